// Binds the wrappers to the Notes library linked into the process by name
// (the stand-in library on platforms without the real one).
#include "notes/notes_api.h"
#include "notes/notes_platform.h"
#include "standin/nnotes.h"

namespace {

// Each entry is the stand-in's function of the same name.
#define NOTES_LINKED_ENTRY(name, ordinal) .name = nn_##name,
const NotesLibrary linked_library = {.version = NOTES_LIBRARY_VERSION,
                                     NOTES_OPERATIONS(NOTES_LINKED_ENTRY)};
#undef NOTES_LINKED_ENTRY

} // namespace

bool notes_bind_platform() {
    return notes_use_library(&linked_library);
}
