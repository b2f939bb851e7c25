// The fault and delay hooks every operation passes through (NOTES_FAIL,
// NOTES_DELAY), and the count of the calls of each operation.
#pragma once

#include <string>

#include "notes/notes_library.h"

namespace nn {

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
