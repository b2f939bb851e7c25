// Binds the wrappers to the Notes library linked into the process by name
// (the stand-in library on platforms without the real one).
#include "notes/notes_api.h"
#include "notes/notes_platform.h"
#include "standin/nnotes.h"

namespace {

const NotesLibrary linked_library = {
    NOTES_LIBRARY_VERSION, nn_notes_init,      nn_notes_setup_args, nn_notes_program_begin,
    nn_notes_program_end,  nn_notes_term,      nn_init_error_text,  nn_program_error_text,
    nn_status_text,        nn_build_db_path,   nn_db_open,          nn_db_close,
    nn_db_version,         nn_db_modified_ids, nn_idtable_count,    nn_idtable_next,
    nn_idtable_free,       nn_note_info,       nn_note_delete,      nn_time_now,
    nn_time_constant,      nn_time_normalize,  nn_time_adjust,      nn_time_day_number,
    nn_time_to_text,
};

} // namespace

bool notes_bind_platform() {
    return notes_use_library(&linked_library);
}
