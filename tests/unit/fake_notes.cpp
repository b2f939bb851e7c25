#include "tests/unit/fake_notes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "notes/notes_api.h"
#include "survey/interrupt.h"

namespace {

FakeScript g_script;

// Counts a call of a status-returning operation and returns the status
// scripted for it (0: none). Per-ID operations are not listed in calls.
NotesStatus scripted(const char* op, bool listed = true) {
    if (listed) {
        g_script.calls.push_back(op);
    }
    const int n = ++g_script.made[op];
    auto nth = g_script.fail_nth.find(op);
    if (nth != g_script.fail_nth.end()) {
        auto at = nth->second.find(n);
        if (at != nth->second.end()) {
            return at->second;
        }
    }
    auto it = g_script.fail.find(op);
    return it == g_script.fail.end() ? 0 : it->second;
}

void copy_out(const std::string& text, char* buffer, int max) {
    std::size_t n = std::min<std::size_t>(text.size(), static_cast<std::size_t>(max));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

constexpr IdTableHandle TABLE{77};
constexpr DbHandle DB{5};

NotesStatus f_init(int, char**) {
    ++g_script.init_calls;
    return scripted("notes_init");
}
NotesStatus f_setup_args(int argc, char** argv, int* argc_out, char*** argv_out) {
    if (NotesStatus injected = scripted("notes_setup_args")) {
        return injected;
    }
    *argc_out = g_script.replace_argc >= 0 ? g_script.replace_argc : argc;
    *argv_out = g_script.replace_argv != nullptr ? g_script.replace_argv : argv;
    return 0;
}
NotesStatus f_program_begin(ProgramEntry, int, char**, int, int) {
    ++g_script.program_begins;
    return scripted("notes_program_begin");
}
void f_program_end(int, char**) {
    ++g_script.program_ends;
    g_script.calls.push_back("notes_program_end");
}
void f_term() {
    ++g_script.term_calls;
    g_script.calls.push_back("notes_term");
}
int f_init_error_text(NotesStatus status, char* buffer, int max) {
    if (g_script.init_error_text_silent) {
        return 0;
    }
    copy_out("init: " + fake_status_text(status & 0x3FFF), buffer, max);
    return 42;
}
void f_program_error_text(NotesStatus status, char* buffer, int max) {
    copy_out("program: " + fake_status_text(status & 0x3FFF), buffer, max);
}
std::uint16_t f_status_text(int, NotesStatus code, char* buffer, std::uint16_t max) {
    g_script.status_text_codes.push_back(code);
    if (code == 0) {
        return 0; // no text
    }
    std::string text = fake_status_text(code);
    copy_out(text, buffer, max);
    return static_cast<std::uint16_t>(std::min<std::size_t>(text.size(), max));
}
NotesStatus f_build_db_path(int, const char* server, const char* db, char* path) {
    if (NotesStatus injected = scripted("build_db_path")) {
        return injected;
    }
    std::snprintf(path, 256, "%s!!%s", server, db);
    return 0;
}
NotesStatus f_db_open(const char* path, DbHandle* db) {
    ++g_script.open_calls;
    g_script.path = path;
    NotesStatus s = scripted("db_open");
    if (s == 0) {
        *db = DB;
    }
    return s;
}
NotesStatus f_db_close(DbHandle) {
    ++g_script.close_calls;
    return scripted("db_close");
}
NotesStatus f_db_version(DbHandle, std::uint16_t* version) {
    NotesStatus s = scripted("db_version");
    if (s == 0) {
        *version = g_script.version;
    }
    return s;
}
NotesStatus f_db_modified_ids(DbHandle, std::uint16_t, NotesTime since, NotesTime*,
                              IdTableHandle* table) {
    g_script.since = since;
    NotesStatus s = scripted("db_modified_ids");
    if (s == 0) {
        ++g_script.table_allocs;
        *table = TABLE;
    }
    return s;
}
std::uint32_t f_idtable_count(IdTableHandle) {
    return g_script.synthetic_count != 0 ? g_script.synthetic_count
                                         : static_cast<std::uint32_t>(g_script.ids.size());
}
int f_idtable_next(IdTableHandle, int first, std::uint32_t* id) {
    static std::size_t cursor = 0;
    if (first != 0) {
        cursor = 0;
    }
    if (g_script.synthetic_count != 0) {
        if (cursor >= g_script.synthetic_count) {
            return 0;
        }
        ++cursor;
        *id = static_cast<std::uint32_t>(cursor * 4) | (g_script.synthetic_stubs ? STUB_FLAG : 0);
    } else if (cursor < g_script.ids.size()) {
        *id = g_script.ids[cursor++];
    } else {
        return 0;
    }
    ++g_script.ids_delivered;
    if (g_script.stop_at_id != 0 && g_script.ids_delivered == g_script.stop_at_id) {
        console_ctrl_handler(CTRL_C_EVENT);
    }
    return 1;
}
NotesStatus f_idtable_free(IdTableHandle) {
    ++g_script.table_frees;
    return scripted("idtable_free");
}
NotesStatus f_note_info(DbHandle, NoteId id, NoteOriginRecord*, NotesTime* modified,
                        NoteClass* note_class) {
    g_script.info_calls.push_back(id);
    if (NotesStatus injected = scripted("note_info", false)) {
        return injected;
    }
    auto it = g_script.info.find(id);
    if (it == g_script.info.end()) {
        return 0x0200;
    }
    modified->words[0] = 3600;
    modified->words[1] = static_cast<std::uint32_t>(it->second.day);
    *note_class = it->second.note_class;
    return it->second.status;
}
NotesStatus f_note_delete(DbHandle, NoteId id, std::uint32_t flags) {
    if (NotesStatus injected = scripted("note_delete", false)) {
        return injected;
    }
    if (flags != 0x0200) {
        return 0x3001;
    }
    auto it = g_script.delete_status.find(id);
    NotesStatus s = it == g_script.delete_status.end() ? 0 : it->second;
    if (s == 0) {
        g_script.deleted.push_back(id);
    }
    return s;
}
void f_time_now(NotesTime* out) {
    out->words[0] = 43200;
    out->words[1] = static_cast<std::uint32_t>(g_script.today);
}
void f_time_constant(std::uint16_t, NotesTime* out) {
    out->words[0] = 0;
    out->words[1] = 0x80000000u;
}
NotesStatus f_time_normalize(const NotesTime* in, std::uint32_t, NotesTime* out) {
    if (NotesStatus injected = scripted("time_normalize", false)) {
        return injected;
    }
    *out = *in;
    return 0;
}
NotesStatus f_time_adjust(NotesTime* t, int, int, int, int days, int, int) {
    if (NotesStatus injected = scripted("time_adjust", false)) {
        return injected;
    }
    std::int64_t day = static_cast<std::int32_t>(t->words[1]) + std::int64_t{days};
    day = std::clamp<std::int64_t>(day, INT32_MIN, INT32_MAX);
    t->words[1] = static_cast<std::uint32_t>(static_cast<std::int32_t>(day));
    return 0;
}
std::int32_t f_time_day_number(const NotesTime* t) {
    return static_cast<std::int32_t>(t->words[1]);
}
NotesStatus f_time_to_text(const void*, const void*, const NotesTime* t, char* buffer,
                           std::uint16_t max, std::uint16_t* length) {
    if (NotesStatus injected = scripted("time_to_text", false)) {
        return injected;
    }
    char text[32];
    int n = std::snprintf(text, sizeof text, "day %d", static_cast<std::int32_t>(t->words[1]));
    *length = static_cast<std::uint16_t>(std::min<int>(n, max));
    std::memcpy(buffer, text, *length); // not terminated, as the library does
    if (g_script.time_text_length != 0) {
        *length = g_script.time_text_length; // more than it wrote, or than fits
    }
    return 0;
}

const NotesLibrary fake_library = {
    .version = NOTES_LIBRARY_VERSION,
    .notes_init = f_init,
    .notes_setup_args = f_setup_args,
    .notes_program_begin = f_program_begin,
    .notes_program_end = f_program_end,
    .notes_term = f_term,
    .init_error_text = f_init_error_text,
    .program_error_text = f_program_error_text,
    .status_text = f_status_text,
    .build_db_path = f_build_db_path,
    .db_open = f_db_open,
    .db_close = f_db_close,
    .db_version = f_db_version,
    .db_modified_ids = f_db_modified_ids,
    .idtable_count = f_idtable_count,
    .idtable_next = f_idtable_next,
    .idtable_free = f_idtable_free,
    .note_info = f_note_info,
    .note_delete = f_note_delete,
    .time_now = f_time_now,
    .time_constant = f_time_constant,
    .time_normalize = f_time_normalize,
    .time_adjust = f_time_adjust,
    .time_day_number = f_time_day_number,
    .time_to_text = f_time_to_text,
};

} // namespace

int FakeScript::count(const std::string& op) const {
    return static_cast<int>(std::count(calls.begin(), calls.end(), op));
}

std::string fake_status_text(NotesStatus code) {
    return "fake status " + std::to_string(code);
}

FakeScript& fake_notes_install() {
    g_script = FakeScript{};
    stop_requested.store(0);
    notes_use_library(&fake_library);
    return g_script;
}

FakeScript& fake_script() {
    return g_script;
}
