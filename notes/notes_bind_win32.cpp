// Binds the wrappers to nNOTES.dll, which Windows loads with the tool. Every
// operation is imported by ordinal: the import library that dlltool makes
// from notes/nNOTES.def maps each nn_* link name below to the library's
// ordinal with NONAME, so the executable's import table carries numbers only
// and the library's own names never matter.
#include <type_traits>

#include "notes/notes_api.h"
#include "notes/notes_platform.h"

// An import has exactly the function type of its entry in the table.
#define NOTES_IMPORT(entry)                                                                        \
    extern "C" __declspec(dllimport) std::remove_pointer_t<decltype(NotesLibrary::entry)> nn_##entry

NOTES_IMPORT(notes_init);
NOTES_IMPORT(notes_setup_args);
NOTES_IMPORT(notes_program_begin);
NOTES_IMPORT(notes_program_end);
NOTES_IMPORT(notes_term);
NOTES_IMPORT(init_error_text);
NOTES_IMPORT(program_error_text);
NOTES_IMPORT(status_text);
NOTES_IMPORT(build_db_path);
NOTES_IMPORT(db_open);
NOTES_IMPORT(db_close);
NOTES_IMPORT(db_version);
NOTES_IMPORT(db_modified_ids);
NOTES_IMPORT(idtable_count);
NOTES_IMPORT(idtable_next);
NOTES_IMPORT(idtable_free);
NOTES_IMPORT(note_info);
NOTES_IMPORT(note_delete);
NOTES_IMPORT(time_now);
NOTES_IMPORT(time_constant);
NOTES_IMPORT(time_normalize);
NOTES_IMPORT(time_adjust);
NOTES_IMPORT(time_day_number);
NOTES_IMPORT(time_to_text);

bool notes_bind_platform() {
    // The addresses of imported functions are known only once the loader has
    // filled the import table, so the table is built on the first call.
    static const NotesLibrary imported_library = {
        NOTES_LIBRARY_VERSION, nn_notes_init,      nn_notes_setup_args, nn_notes_program_begin,
        nn_notes_program_end,  nn_notes_term,      nn_init_error_text,  nn_program_error_text,
        nn_status_text,        nn_build_db_path,   nn_db_open,          nn_db_close,
        nn_db_version,         nn_db_modified_ids, nn_idtable_count,    nn_idtable_next,
        nn_idtable_free,       nn_note_info,       nn_note_delete,      nn_time_now,
        nn_time_constant,      nn_time_normalize,  nn_time_adjust,      nn_time_day_number,
        nn_time_to_text,
    };
    return notes_use_library(&imported_library);
}
