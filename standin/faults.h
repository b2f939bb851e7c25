// The fault and delay hooks every operation passes through (NOTES_FAIL,
// NOTES_DELAY), and the count of the calls of each operation.
#pragma once

#include <string>

#include "notes/notes_library.h"

namespace nn {

// The operations, as NOTES_FAIL, NOTES_DELAY and the call counts name them.
enum Op {
    OP_NOTES_INIT,
    OP_NOTES_SETUP_ARGS,
    OP_NOTES_PROGRAM_BEGIN,
    OP_NOTES_PROGRAM_END,
    OP_NOTES_TERM,
    OP_INIT_ERROR_TEXT,
    OP_PROGRAM_ERROR_TEXT,
    OP_STATUS_TEXT,
    OP_BUILD_DB_PATH,
    OP_DB_OPEN,
    OP_DB_CLOSE,
    OP_DB_VERSION,
    OP_DB_MODIFIED_IDS,
    OP_IDTABLE_COUNT,
    OP_IDTABLE_NEXT,
    OP_IDTABLE_FREE,
    OP_NOTE_INFO,
    OP_NOTE_DELETE,
    OP_TIME_NOW,
    OP_TIME_CONSTANT,
    OP_TIME_NORMALIZE,
    OP_TIME_ADJUST,
    OP_TIME_DAY_NUMBER,
    OP_TIME_TO_TEXT,
    OP_COUNT
};

// Called first by every operation: sleeps for NOTES_DELAY and counts the
// call. True when NOTES_FAIL names this call: the operation then returns
// *injected (0 included) and does nothing else.
bool enter(Op op, NotesStatus* injected);
// The same for an operation that returns no status: NOTES_FAIL does not
// touch it.
void enter(Op op);

// Forgets every fault and delay and sets the call counts to zero.
void reset_hooks();
// op=STATUS or op#N=STATUS, comma-separated; false when malformed.
bool parse_faults(const std::string& text);
// op=MICROSECONDS, comma-separated, at most a minute each; false when
// malformed.
bool parse_delays(const std::string& text);

// "op=N ..." for every operation: how often each was called since the
// hooks were reset.
std::string call_counts();

} // namespace nn
