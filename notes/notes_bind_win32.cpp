// Binds the wrappers to nNOTES.dll, which Windows loads with the tool. Every
// operation is imported by ordinal: the import library that dlltool makes
// from notes/nNOTES.def maps each nn_* link name below to the library's
// ordinal with NONAME, so the executable's import table carries numbers only
// and the library's own names never matter.
#include "notes/notes_api.h"
#include "notes/notes_platform.h"

// One import per operation, with exactly the function type of its entry in
// the table.
#define NOTES_IMPORT(name, ordinal)                                                                \
    extern "C" __declspec(dllimport) NOTES_ENTRY_TYPE(name) nn_##name;
NOTES_OPERATIONS(NOTES_IMPORT)
#undef NOTES_IMPORT

bool notes_bind_platform() {
    // The addresses of imported functions are known only once the loader has
    // filled the import table, so the table is built on the first call.
#define NOTES_IMPORTED_ENTRY(name, ordinal) .name = nn_##name,
    static const NotesLibrary imported_library = {.version = NOTES_LIBRARY_VERSION,
                                                  NOTES_OPERATIONS(NOTES_IMPORTED_ENTRY)};
#undef NOTES_IMPORTED_ENTRY
    return notes_use_library(&imported_library);
}
