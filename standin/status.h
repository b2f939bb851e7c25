// The statuses the stand-in returns and their texts (status.cpp).
#pragma once

#include <string>

#include "notes/notes_library.h"

namespace nn {

// Low 14 bits; the library never sets bit 0x8000.
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

// The status for a SQLite result code (OK for SQLITE_OK, _DONE and _ROW).
NotesStatus from_sqlite(int rc);

} // namespace nn
