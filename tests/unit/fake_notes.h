// A scripted stand-in for the Notes library, installed behind the library
// boundary. Each test fills a FakeScript; the fake answers from it and
// records what the tool asked.
//
// Time model: a NotesTime is {seconds into the day, day number}; a whole-day
// value has words[0] = 0xFFFFFFFF. time_day_number returns words[1].
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "notes/notes_library.h"

struct FakeNoteInfo {
    NotesStatus status = 549;
    std::int32_t day = 0; // the stub's modification day
    NoteClass note_class = 0x0001;
};

struct FakeScript {
    // Status returned by each status-returning operation, by name; missing: 0.
    // An injected status is returned in place of the operation's work: no
    // output is filled, nothing is opened or removed.
    std::map<std::string, NotesStatus> fail;
    // The same for one call only: fail_nth[op][n] fails the nth call of op.
    std::map<std::string, std::map<int, NotesStatus>> fail_nth;
    // note_delete's status per note ID (missing: 0).
    std::map<NoteId, NotesStatus> delete_status;
    std::vector<std::uint32_t> ids;      // the modified-notes table, STUB_FLAG marking stubs
    std::map<NoteId, FakeNoteInfo> info; // note_info answers (missing: status 0x0200)
    std::int32_t today = 20000;          // day number of time_now
    std::uint16_t version = 148;
    int replace_argc = -1; // notes_setup_args replaces argc when >= 0
    char** replace_argv = nullptr;
    std::uint32_t stop_at_id = 0; // set stop_requested as the Nth ID is delivered
    // A misbehaving library: time_to_text reports this length (0: the true
    // one), and init_error_text writes nothing into the buffer.
    std::uint16_t time_text_length = 0;
    bool init_error_text_silent = false;
    // A large table without storing it: IDs 4, 8, 12, ... (stubs when set).
    std::uint32_t synthetic_count = 0;
    bool synthetic_stubs = false;

    // Observations.
    std::vector<std::string> calls;  // operation names in call order (not per-ID ops)
    std::map<std::string, int> made; // calls of every status-returning operation
    std::vector<NoteId> info_calls;
    std::vector<NotesStatus> status_text_codes; // codes passed to status_text
    std::vector<NoteId> deleted;
    NotesTime since{}; // the bound passed to db_modified_ids
    std::string path;  // the path passed to db_open
    int init_calls = 0, term_calls = 0, open_calls = 0, close_calls = 0;
    int table_allocs = 0, table_frees = 0, program_begins = 0, program_ends = 0;
    std::uint32_t ids_delivered = 0;

    int count(const std::string& op) const;
};

// Installs a fresh script behind the library boundary and returns it.
FakeScript& fake_notes_install();
FakeScript& fake_script();

// The status text the fake gives for a code.
std::string fake_status_text(NotesStatus code);
