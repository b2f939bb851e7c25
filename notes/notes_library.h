// The Notes library as the tool sees it: one table of entry points, one per
// operation the tool uses. A binder fills the table for the platform (the
// real library is imported by ordinal); tests install a scripted fake.
//
// Bump NOTES_LIBRARY_VERSION whenever an entry is added, removed or changes
// its signature, so that a table built for another layout is refused.
#pragma once

#include "notes/notes_types.h"

constexpr int NOTES_LIBRARY_VERSION = 1;

// Opaque 28-byte origin record filled by note_info; the tool ignores it.
struct NoteOriginRecord {
    std::uint32_t words[7];
};

extern "C" {

struct NotesLibrary {
    int version;

    // Runtime
    NotesStatus (*notes_init)(int argc, char** argv);
    NotesStatus (*notes_setup_args)(int argc, char** argv, int* argc_out, char*** argv_out);
    NotesStatus (*notes_program_begin)(ProgramEntry entry, int argc, char** argv, int reserved1,
                                       int reserved2);
    void (*notes_program_end)(int argc, char** argv);
    void (*notes_term)();

    // Texts of statuses
    int (*init_error_text)(NotesStatus status, char* buffer, int buffer_max);
    void (*program_error_text)(NotesStatus status, char* buffer, int buffer_max);
    std::uint16_t (*status_text)(int reserved, NotesStatus code, char* buffer,
                                 std::uint16_t buffer_max);

    // Databases
    NotesStatus (*build_db_path)(int reserved, const char* server, const char* db_name,
                                 char* path_out);
    NotesStatus (*db_open)(const char* path, DbHandle* db_out);
    NotesStatus (*db_close)(DbHandle db);
    NotesStatus (*db_version)(DbHandle db, std::uint16_t* version_out);
    NotesStatus (*db_modified_ids)(DbHandle db, std::uint16_t class_mask, NotesTime since,
                                   NotesTime* until_out, IdTableHandle* table_out);

    // Tables of note IDs
    std::uint32_t (*idtable_count)(IdTableHandle table);
    int (*idtable_next)(IdTableHandle table, int first, std::uint32_t* id_out);
    NotesStatus (*idtable_free)(IdTableHandle table);

    // Notes
    NotesStatus (*note_info)(DbHandle db, NoteId id, NoteOriginRecord* origin_out,
                             NotesTime* modified_out, NoteClass* class_out);
    NotesStatus (*note_delete)(DbHandle db, NoteId id, std::uint32_t update_flags);

    // Time values
    void (*time_now)(NotesTime* out);
    void (*time_constant)(std::uint16_t selector, NotesTime* out);
    NotesStatus (*time_normalize)(const NotesTime* in, std::uint32_t option, NotesTime* out);
    NotesStatus (*time_adjust)(NotesTime* time, int seconds, int minutes, int hours, int days,
                               int months, int years);
    std::int32_t (*time_day_number)(const NotesTime* time);
    NotesStatus (*time_to_text)(const void* intl, const void* format, const NotesTime* time,
                                char* buffer, std::uint16_t buffer_max, std::uint16_t* length_out);
};

} // extern "C"

// Selector of time_constant for a bound that excludes no note.
constexpr std::uint16_t TIME_CONSTANT_WILDCARD = 2;
// Update flag of note_delete that removes a deletion stub.
constexpr std::uint32_t NOTE_DELETE_STUB = 0x0200;
// Class mask of the modified-notes query: every class.
constexpr std::uint16_t NOTE_CLASS_ALL = 0x7FFF;
