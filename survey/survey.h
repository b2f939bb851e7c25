// One survey of one database: the day window, the walk over the table of
// modified notes, the count and the space estimate.
#pragma once

#include <cstdint>

#include "notes/notes_types.h"

// Status returned when a failure has already been reported in full: it ends
// the run with a failure exit status and prints nothing more.
constexpr NotesStatus STATUS_FAILURE_SHOWN = STATUS_SHOWN;

// What a walk could not do, beside what it counted.
struct WalkShortfalls {
    std::int32_t failures;   // matching stubs whose removal failed
    std::int32_t unreadable; // stubs whose date could not be read under a day bound
};

// Parses the command line and runs the survey. Returns 0 on success (or when
// only the usage was asked for), the status of a failed path build (whose text
// the caller prints), or STATUS_FAILURE_SHOWN for failures already reported.
NotesStatus survey_main(int argc, char** argv);

// Walks the modified notes of db and counts (lists, removes) the deletion
// stubs inside the window [start, end] of run_settings. Sets *count and
// *shortfalls. Returns 0 when the walk ran or the query
// found nothing modified, otherwise the failed query's status.
NotesStatus scan_stubs(DbHandle db, NotesTime start, NotesTime end, std::int32_t* count,
                       std::uint16_t action_flags, WalkShortfalls* shortfalls);

// Estimated size of one deletion stub in bytes, from the database's version;
// 0 when the version cannot be read.
std::int32_t bytes_per_stub(DbHandle db);
