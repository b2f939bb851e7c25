// The tool's only way into the Notes library. Every operation goes through a
// thin wrapper of the same name that calls the bound table; the wrappers hold
// the checks that keep a misbehaving library from corrupting the tool's
// buffers.
#pragma once

#include "notes/notes_library.h"

// Installs the table that the wrappers call. Returns false (and keeps the
// previous table) when the table's version is not NOTES_LIBRARY_VERSION or an
// entry is missing.
bool notes_use_library(const NotesLibrary* library);

NotesStatus notes_init(int argc, char** argv);
NotesStatus notes_setup_args(int argc, char** argv, int* argc_out, char*** argv_out);
NotesStatus notes_program_begin(ProgramEntry entry, int argc, char** argv, int reserved1,
                                int reserved2);
void notes_program_end(int argc, char** argv);
void notes_term();

int init_error_text(NotesStatus status, char* buffer, int buffer_max);
void program_error_text(NotesStatus status, char* buffer, int buffer_max);
std::uint16_t status_text(int reserved, NotesStatus code, char* buffer, std::uint16_t buffer_max);

NotesStatus build_db_path(int reserved, const char* server, const char* db_name, char* path_out);
NotesStatus db_open(const char* path, DbHandle* db_out);
NotesStatus db_close(DbHandle db);
NotesStatus db_version(DbHandle db, std::uint16_t* version_out);
NotesStatus db_modified_ids(DbHandle db, std::uint16_t class_mask, NotesTime since,
                            NotesTime* until_out, IdTableHandle* table_out);

std::uint32_t idtable_count(IdTableHandle table);
bool idtable_next(IdTableHandle table, int first, std::uint32_t* id_out);
NotesStatus idtable_free(IdTableHandle table);

NotesStatus note_info(DbHandle db, NoteId id, NoteOriginRecord* origin_out, NotesTime* modified_out,
                      NoteClass* class_out);
NotesStatus note_delete(DbHandle db, NoteId id, std::uint32_t update_flags);

void time_now(NotesTime* out);
void time_constant(std::uint16_t selector, NotesTime* out);
NotesStatus time_normalize(const NotesTime* in, std::uint32_t option, NotesTime* out);
NotesStatus time_adjust(NotesTime* time, int seconds, int minutes, int hours, int days, int months,
                        int years);
std::int32_t time_day_number(const NotesTime* time);
NotesStatus time_to_text(const void* intl, const void* format, const NotesTime* time, char* buffer,
                         std::uint16_t buffer_max, std::uint16_t* length_out);

// Prints "(Error: <text>)" for the status's code, or nothing when the library
// has no text for it. Bit 0x8000 plays no part here.
void print_status_text(NotesStatus status);

// Size of the text buffers used for status texts and paths.
constexpr int NOTES_TEXT_BUFFER = 256;
constexpr int NOTES_TEXT_MAX = NOTES_TEXT_BUFFER - 1;
