// The Notes library as the tool sees it: one table of entry points, one per
// operation the tool uses, in the order of the list of notes_operations.h. A
// binder fills the table for the platform (the real library is imported by
// ordinal); tests install a scripted fake. Binders name each entry they fill
// (.db_close = ...), and no two entries have the same type, so an entry
// filled with another's function does not compile.
//
// Bump NOTES_LIBRARY_VERSION whenever an entry is added, removed or changes
// its signature, so that a table built for another layout is refused.
#pragma once

#include <cstddef>
#include <type_traits>

#include "notes/notes_operations.h"
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

// The function type of an entry: what an implementation of the operation is.
#define NOTES_ENTRY_TYPE(name) std::remove_pointer_t<decltype(NotesLibrary::name)>

namespace notes_library_checks {

// The table has exactly the listed entries, in the list's order: a structure
// made from the list has the table's layout, entry by entry.
struct Listed {
    int version;
#define NOTES_LISTED_ENTRY(name, ordinal) decltype(NotesLibrary::name) name;
    NOTES_OPERATIONS(NOTES_LISTED_ENTRY)
#undef NOTES_LISTED_ENTRY
};
static_assert(sizeof(Listed) == sizeof(NotesLibrary), "an entry of NotesLibrary is not listed");
#define NOTES_SAME_PLACE(name, ordinal)                                                            \
    static_assert(offsetof(Listed, name) == offsetof(NotesLibrary, name),                          \
                  "NotesLibrary::" #name " is not where the list puts it");
NOTES_OPERATIONS(NOTES_SAME_PLACE)
#undef NOTES_SAME_PLACE

// No two entries share a type.
template <typename... Types> struct Distinct : std::true_type {};
template <typename First, typename... Rest>
struct Distinct<First, Rest...>
    : std::bool_constant<(!std::is_same_v<First, Rest> && ...) && Distinct<Rest...>::value> {};
struct EndOfList {};
#define NOTES_ENTRY_POINTER_TYPE(name, ordinal) decltype(NotesLibrary::name),
static_assert(Distinct<NOTES_OPERATIONS(NOTES_ENTRY_POINTER_TYPE) EndOfList>::value,
              "two entries of NotesLibrary have the same type, so binders could swap them");
#undef NOTES_ENTRY_POINTER_TYPE

} // namespace notes_library_checks

// Selector of time_constant for a bound that excludes no note.
constexpr std::uint16_t TIME_CONSTANT_WILDCARD = 2;
// Update flag of note_delete that removes a deletion stub.
constexpr std::uint32_t NOTE_DELETE_STUB = 0x0200;
// Class mask of the modified-notes query: every class.
constexpr std::uint16_t NOTE_CLASS_ALL = 0x7FFF;
