// The tool's own cost of a walk: scan_stubs driven through a library that
// answers every call at once from memory, so that what is measured is the
// walk itself — the loop, the window test, the listing line and its
// formatting, the removal's bookkeeping and flushes — per ID of the table.
//
//   build/walk-bench [--benchmark_filter=...]
//
// Prints the CPU time per ID ("per_ID", with an SI prefix: 4.5n is 4.5 ns);
// figures only, nothing here can fail. CPU time, not wall time, so that other
// work on the machine does not count; it includes the system calls of the
// flushes that a removal makes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "app/command_line.h"
#include "notes/notes_api.h"
#include "output/console_output.h"
#include "survey/survey.h"

namespace {

// ---- A library that answers at once ---------------------------------------
// Times are {0, day}; every stub was deleted on day TODAY.
constexpr std::int32_t TODAY = 20000;

std::vector<std::uint32_t> g_ids;
std::size_t g_cursor = 0;

NotesStatus ok_init(int, char**) {
    return 0;
}
NotesStatus ok_setup(int argc, char** argv, int* argc_out, char*** argv_out) {
    *argc_out = argc;
    *argv_out = argv;
    return 0;
}
NotesStatus ok_begin(ProgramEntry, int, char**, int, int) {
    return 0;
}
void no_end(int, char**) {}
void no_term() {}
int no_init_text(NotesStatus, char* buffer, int) {
    buffer[0] = '\0';
    return 0;
}
void no_program_text(NotesStatus, char* buffer, int) {
    buffer[0] = '\0';
}
std::uint16_t no_status_text(int, NotesStatus, char*, std::uint16_t) {
    return 0;
}
NotesStatus ok_path(int, const char*, const char*, char* path) {
    path[0] = '\0';
    return 0;
}
NotesStatus ok_open(const char*, DbHandle* db) {
    *db = DbHandle{1};
    return 0;
}
NotesStatus ok_close(DbHandle) {
    return 0;
}
NotesStatus ok_version(DbHandle, std::uint16_t* version) {
    *version = 148;
    return 0;
}
NotesStatus ok_modified(DbHandle, std::uint16_t, NotesTime, NotesTime*, IdTableHandle* table) {
    *table = IdTableHandle{1};
    return 0;
}
std::uint32_t table_count(IdTableHandle) {
    return static_cast<std::uint32_t>(g_ids.size());
}
int table_next(IdTableHandle, int first, std::uint32_t* id) {
    if (first != 0) {
        g_cursor = 0;
    }
    if (g_cursor == g_ids.size()) {
        return 0;
    }
    *id = g_ids[g_cursor++];
    return 1;
}
NotesStatus ok_free(IdTableHandle) {
    return 0;
}
NotesStatus stub_info(DbHandle, NoteId, NoteOriginRecord*, NotesTime* modified,
                      NoteClass* note_class) {
    modified->words[0] = 3600;
    modified->words[1] = static_cast<std::uint32_t>(TODAY);
    *note_class = 0x0001;
    return STATUS_NOTE_DELETED;
}
NotesStatus ok_delete(DbHandle, NoteId, std::uint32_t) {
    return 0;
}
void now(NotesTime* out) {
    out->words[0] = 43200;
    out->words[1] = static_cast<std::uint32_t>(TODAY);
}
void wildcard(std::uint16_t, NotesTime* out) {
    out->words[0] = 0;
    out->words[1] = 0x80000000u;
}
NotesStatus normalize(const NotesTime* in, std::uint32_t, NotesTime* out) {
    *out = *in;
    return 0;
}
NotesStatus adjust(NotesTime* t, int, int, int, int days, int, int) {
    t->words[1] += static_cast<std::uint32_t>(days);
    return 0;
}
std::int32_t day_number(const NotesTime* t) {
    return static_cast<std::int32_t>(t->words[1]);
}
NotesStatus to_text(const void*, const void*, const NotesTime*, char* buffer, std::uint16_t,
                    std::uint16_t* length) {
    static const char text[] = "2026-12-10 14:03:22 +0100";
    std::memcpy(buffer, text, sizeof text - 1);
    *length = sizeof text - 1;
    return 0;
}

const NotesLibrary instant_library = {
    .version = NOTES_LIBRARY_VERSION,
    .notes_init = ok_init,
    .notes_setup_args = ok_setup,
    .notes_program_begin = ok_begin,
    .notes_program_end = no_end,
    .notes_term = no_term,
    .init_error_text = no_init_text,
    .program_error_text = no_program_text,
    .status_text = no_status_text,
    .build_db_path = ok_path,
    .db_open = ok_open,
    .db_close = ok_close,
    .db_version = ok_version,
    .db_modified_ids = ok_modified,
    .idtable_count = table_count,
    .idtable_next = table_next,
    .idtable_free = ok_free,
    .note_info = stub_info,
    .note_delete = ok_delete,
    .time_now = now,
    .time_constant = wildcard,
    .time_normalize = normalize,
    .time_adjust = adjust,
    .time_day_number = day_number,
    .time_to_text = to_text,
};

// ---- One walk --------------------------------------------------------------

constexpr std::uint32_t TABLE_IDS = 1 << 20;

// A table of TABLE_IDS IDs, every one a stub or none.
void make_table(bool stubs) {
    g_ids.resize(TABLE_IDS);
    for (std::uint32_t i = 0; i < TABLE_IDS; ++i) {
        g_ids[i] = (i + 1) * 4 | (stubs ? STUB_FLAG : 0);
    }
}

// Walks the table once per iteration with the given switches, its output to
// a file, and reports nanoseconds per ID.
void walk(benchmark::State& state, bool stubs, std::int32_t start_days, std::uint16_t actions) {
    notes_use_library(&instant_library);
    make_table(stubs);
    run_settings = RunSettings{};
    run_settings.start_days = start_days;
    run_settings.end_days = -1;
    run_settings.action_flags = actions;
    std::FILE* file = std::tmpfile();
    static char buffer[1 << 16];
    std::setvbuf(file, buffer, _IOFBF, sizeof buffer);
    out_set_stream(file);

    NotesTime start{};
    NotesTime end{};
    now(&start);
    now(&end);
    adjust(&start, 0, 0, 0, -start_days, 0, 0);
    for (auto _ : state) {
        std::rewind(file);
        std::int32_t count = 0;
        WalkShortfalls shortfalls{};
        NotesStatus status = scan_stubs(DbHandle{1}, start, end, &count, actions, &shortfalls);
        benchmark::DoNotOptimize(status);
        benchmark::DoNotOptimize(count);
    }
    out_set_stream(nullptr);
    std::fclose(file);
    // Seconds of CPU time per ID (printed with an SI prefix: "4.5n" is 4.5 ns).
    state.counters["per_ID"] = benchmark::Counter(static_cast<double>(TABLE_IDS),
                                                  benchmark::Counter::kIsIterationInvariantRate |
                                                      benchmark::Counter::kInvert);
}

void BM_LiveIds(benchmark::State& state) {
    walk(state, false, -1, 0);
}
void BM_CountedStubs(benchmark::State& state) {
    walk(state, true, -1, 0);
}
void BM_CountedStubsInAWindow(benchmark::State& state) {
    walk(state, true, 7, 0);
}
void BM_ListedStubs(benchmark::State& state) {
    walk(state, true, -1, ACTION_LIST);
}
void BM_RemovedStubs(benchmark::State& state) {
    walk(state, true, -1, ACTION_REMOVE);
}
void BM_ListedAndRemovedStubs(benchmark::State& state) {
    walk(state, true, -1, ACTION_LIST | ACTION_REMOVE);
}

BENCHMARK(BM_LiveIds)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CountedStubs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CountedStubsInAWindow)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListedStubs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RemovedStubs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListedAndRemovedStubs)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
