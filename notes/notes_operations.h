// The one list of the Notes library's operations that the tool uses: each
// with its ordinal in nNOTES.dll, in the order of the entries of NotesLibrary
// (notes_library.h). Everything else that names every operation is made from
// it: the table's completeness check, the stand-in's entry points and its
// names for the fault and delay hooks, the binders and the Windows imports.
// The checks that nNOTES.def and the Windows binaries agree with it read it
// too, one X(name, ordinal) to a line.
//
//   #define ENTRY(name, ordinal) ...
//   NOTES_OPERATIONS(ENTRY)
#pragma once

// clang-format off
#define NOTES_OPERATIONS(X)                                                                        \
    X(notes_init, 15)                                                                              \
    X(notes_setup_args, 51)                                                                        \
    X(notes_program_begin, 25)                                                                     \
    X(notes_program_end, 52)                                                                       \
    X(notes_term, 13)                                                                              \
    X(init_error_text, 29)                                                                         \
    X(program_error_text, 27)                                                                      \
    X(status_text, 707)                                                                            \
    X(build_db_path, 938)                                                                          \
    X(db_open, 2005)                                                                               \
    X(db_close, 2001)                                                                              \
    X(db_version, 2024)                                                                            \
    X(db_modified_ids, 2118)                                                                       \
    X(idtable_count, 324)                                                                          \
    X(idtable_next, 323)                                                                           \
    X(idtable_free, 861)                                                                           \
    X(note_info, 2085)                                                                             \
    X(note_delete, 2010)                                                                           \
    X(time_now, 165)                                                                               \
    X(time_constant, 451)                                                                          \
    X(time_normalize, 398)                                                                         \
    X(time_adjust, 210)                                                                            \
    X(time_day_number, 448)                                                                        \
    X(time_to_text, 224)
// clang-format on
