// The entry points of the stand-in Notes library: nn_<operation> for every
// operation of notes/notes_operations.h, each with exactly the function type
// of its entry in NotesLibrary (so a definition of another type does not
// compile). On Windows they are exported by ordinal only (nNOTES.def);
// elsewhere by these names.
#pragma once

#include "notes/notes_library.h"

#if defined(_WIN32)
#define NN_EXPORT
#else
#define NN_EXPORT __attribute__((visibility("default")))
#endif

#define NN_DECLARE_ENTRY(name, ordinal) NN_EXPORT NOTES_ENTRY_TYPE(name) nn_##name;
extern "C" {
NOTES_OPERATIONS(NN_DECLARE_ENTRY)
} // extern "C"
#undef NN_DECLARE_ENTRY
