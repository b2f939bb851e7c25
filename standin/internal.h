// Shared internals of the stand-in Notes library.
#pragma once

#include <cstdint>
#include <string>

#include "notes/notes_library.h"

namespace nn {

// ---- Status codes (low 14 bits; the library never sets bit 0x8000) ----
constexpr NotesStatus ST_OK = 0;
constexpr NotesStatus ST_NOTE_DELETED = 549;
constexpr NotesStatus ST_NO_MODIFIED = 572;
constexpr NotesStatus ST_NOT_STARTED = 0x0101;
constexpr NotesStatus ST_BAD_SETTING_DATA = 0x0102;
constexpr NotesStatus ST_BAD_SETTING_NOW = 0x0103;
constexpr NotesStatus ST_BAD_SETTING_FAIL = 0x0104;
constexpr NotesStatus ST_BAD_SETTING_DELAY = 0x0105;
constexpr NotesStatus ST_BAD_SETTING_TRACE = 0x0106;
constexpr NotesStatus ST_NO_MEMORY = 0x0107;
constexpr NotesStatus ST_INVALID_ARGUMENT = 0x0108;
constexpr NotesStatus ST_INVALID_HANDLE = 0x0109;
constexpr NotesStatus ST_ALREADY_STARTED = 0x010A;
constexpr NotesStatus ST_PATH_TOO_LONG = 0x0110;
constexpr NotesStatus ST_FILE_NOT_FOUND = 0x0111;
constexpr NotesStatus ST_NOT_A_DATABASE = 0x0112;
constexpr NotesStatus ST_MISSING_TABLES = 0x0113;
constexpr NotesStatus ST_SERVER_UNREACHABLE = 0x0114;
constexpr NotesStatus ST_BAD_SERVER_NAME = 0x0115;
constexpr NotesStatus ST_BAD_SERVER_DB_NAME = 0x0116;
constexpr NotesStatus ST_DB_BUSY = 0x0117;
constexpr NotesStatus ST_DB_READ_ONLY = 0x0118;
constexpr NotesStatus ST_DB_ERROR = 0x0119;
constexpr NotesStatus ST_DB_CORRUPT = 0x011A;
constexpr NotesStatus ST_NO_VERSION = 0x011B;
constexpr NotesStatus ST_NOTE_NOT_FOUND = 0x011C;
constexpr NotesStatus ST_NOTE_NOT_STUB = 0x011D;
constexpr NotesStatus ST_NOT_AUTHORIZED = 0x011E;
constexpr NotesStatus ST_BAD_DELETE_FLAGS = 0x011F;
constexpr NotesStatus ST_BAD_NOTE_ID = 0x0120;

// The text of a status code; a generic one naming the number for unknown
// codes. Never null.
std::string status_message(NotesStatus code);

// ---- Operations, for the fault and delay hooks ----
// One per operation of notes/notes_operations.h, in its order: Op::db_close,
// Op::note_info, ...; the names that NOTES_FAIL and NOTES_DELAY take.
enum class Op {
#define NN_OP(name, ordinal) name,
    NOTES_OPERATIONS(NN_OP)
#undef NN_OP
};
#define NN_PLUS_ONE(name, ordinal) +1
constexpr int OP_COUNT = 0 NOTES_OPERATIONS(NN_PLUS_ONE);
#undef NN_PLUS_ONE

// ---- Settings (read from the environment by notes_init) ----
struct Settings {
    std::string data_dir;   // absolute
    bool fixed_now = false; // NOTES_NOW given
    std::int64_t now_ms = 0;
    std::string trace_path; // NOTES_TRACE: test-only report of held resources
};

const Settings& settings();

// Reads NOTES_DATA, NOTES_NOW, NOTES_FAIL, NOTES_DELAY and NOTES_TRACE.
// Returns the status naming the first malformed one.
NotesStatus load_settings();

// Called first by every operation: sleeps for NOTES_DELAY and counts the
// call. True when NOTES_FAIL names this call: the operation then returns
// *injected (0 included) and does nothing else.
bool enter(Op op, NotesStatus* injected);
// The same for an operation that returns no status: NOTES_FAIL does not
// touch it.
void enter(Op op);

// ---- Time values ----
// A NotesTime is words[1] = day number since 1970-01-01 UTC (signed) and
// words[0] = milliseconds into that UTC day, or WHOLE_DAY for a value that
// stands for the whole day.
constexpr std::uint32_t WHOLE_DAY = 0xFFFFFFFFu;
constexpr std::int64_t MS_PER_DAY = 86400000;
constexpr std::int64_t MIN_DAY = INT32_MIN;
constexpr std::int64_t MAX_DAY = INT32_MAX;

std::int64_t floor_div(std::int64_t a, std::int64_t b);
// Day number since 1970-01-01 of a proleptic Gregorian date.
std::int64_t days_from_civil(std::int64_t year, unsigned month, unsigned day);
// Offset of local time from UTC at a UTC instant, in milliseconds (0 where
// the C library cannot tell). The zone is read once, not per call.
std::int64_t local_offset_ms(std::int64_t utc_ms);

// Earliest instant of a time value, in UTC milliseconds since 1970.
std::int64_t time_to_ms(const NotesTime& t);
// Clamped to the representable range.
NotesTime time_from_ms(std::int64_t ms);
// The wildcard bound: no note is older.
bool time_is_wildcard(const NotesTime& t);
std::int64_t current_time_ms();

// ---- Resources still held, for the test-only report at notes_term ----
int open_database_count();
int open_table_count();
void close_all_databases();

// Appends a line to the NOTES_TRACE file, when set.
void trace(const std::string& line);

// "op=N ..." for every operation: how often each was called since the
// runtime's settings were loaded.
std::string call_counts();

// Copies text into a caller's buffer of buffer_max characters (plus room for
// a terminator when terminate is set); returns the length copied.
std::uint16_t copy_text(const std::string& text, char* buffer, int buffer_max, bool terminate);

} // namespace nn
