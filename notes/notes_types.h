// Value types shared by the tool and the Notes library it drives.
#pragma once

#include <cstdint>

using NotesStatus = std::uint16_t; // 0: success
using NoteId = std::uint32_t;
using NoteClass = std::uint16_t;

// Handles of an open database and of a table of note IDs: 32-bit values the
// library hands out and takes back, passed by value like the integers they
// are. Two types, so that one cannot be given where the other belongs.
enum class DbHandle : std::uint32_t {};
enum class IdTableHandle : std::uint32_t {};
static_assert(sizeof(DbHandle) == 4 && sizeof(IdTableHandle) == 4);

// The library's 8-byte time value. Only the library creates and interprets
// it; the tool copies it around (and sets words[0] to 0xFFFFFFFF to make a
// query bound cover whole days).
struct NotesTime {
    std::uint32_t words[2];
};

// Bit 31 of an ID in a table of modified notes marks a deletion stub.
constexpr NoteId STUB_FLAG = 0x80000000u;

// Bit 15 of a status: its text has already been shown.
constexpr NotesStatus STATUS_SHOWN = 0x8000u;
// The low 14 bits of a status are the code whose text is looked up.
constexpr NotesStatus STATUS_CODE_MASK = 0x3FFFu;

// Status codes that the tool tests by number.
constexpr NotesStatus STATUS_NOTE_DELETED = 549; // note_info on a deletion stub
constexpr NotesStatus STATUS_NO_MODIFIED = 572;  // query found no modified notes

// Program entry point handed to notes_program_begin.
using ProgramEntry = int (*)(int, char**);
