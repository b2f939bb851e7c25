// The entry points of the stand-in Notes library. On Windows they are
// exported by ordinal only (nNOTES.def); elsewhere by these names.
#pragma once

#include "notes/notes_library.h"

#if defined(_WIN32)
#define NN_EXPORT
#else
#define NN_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

NN_EXPORT NotesStatus nn_notes_init(int argc, char** argv);
NN_EXPORT NotesStatus nn_notes_setup_args(int argc, char** argv, int* argc_out, char*** argv_out);
NN_EXPORT NotesStatus nn_notes_program_begin(ProgramEntry entry, int argc, char** argv,
                                             int reserved1, int reserved2);
NN_EXPORT void nn_notes_program_end(int argc, char** argv);
NN_EXPORT void nn_notes_term();

NN_EXPORT int nn_init_error_text(NotesStatus status, char* buffer, int buffer_max);
NN_EXPORT void nn_program_error_text(NotesStatus status, char* buffer, int buffer_max);
NN_EXPORT std::uint16_t nn_status_text(int reserved, NotesStatus code, char* buffer,
                                       std::uint16_t buffer_max);

NN_EXPORT NotesStatus nn_build_db_path(int reserved, const char* server, const char* db_name,
                                       char* path_out);
NN_EXPORT NotesStatus nn_db_open(const char* path, DbHandle* db_out);
NN_EXPORT NotesStatus nn_db_close(DbHandle db);
NN_EXPORT NotesStatus nn_db_version(DbHandle db, std::uint16_t* version_out);
NN_EXPORT NotesStatus nn_db_modified_ids(DbHandle db, std::uint16_t class_mask, NotesTime since,
                                         NotesTime* until_out, IdTableHandle* table_out);

NN_EXPORT std::uint32_t nn_idtable_count(IdTableHandle table);
NN_EXPORT int nn_idtable_next(IdTableHandle table, int first, std::uint32_t* id_out);
NN_EXPORT NotesStatus nn_idtable_free(IdTableHandle table);

NN_EXPORT NotesStatus nn_note_info(DbHandle db, NoteId id, NoteOriginRecord* origin_out,
                                   NotesTime* modified_out, NoteClass* class_out);
NN_EXPORT NotesStatus nn_note_delete(DbHandle db, NoteId id, std::uint32_t update_flags);

NN_EXPORT void nn_time_now(NotesTime* out);
NN_EXPORT void nn_time_constant(std::uint16_t selector, NotesTime* out);
NN_EXPORT NotesStatus nn_time_normalize(const NotesTime* in, std::uint32_t option, NotesTime* out);
NN_EXPORT NotesStatus nn_time_adjust(NotesTime* time, int seconds, int minutes, int hours, int days,
                                     int months, int years);
NN_EXPORT std::int32_t nn_time_day_number(const NotesTime* time);
NN_EXPORT NotesStatus nn_time_to_text(const void* intl, const void* format, const NotesTime* time,
                                      char* buffer, std::uint16_t buffer_max,
                                      std::uint16_t* length_out);

} // extern "C"
