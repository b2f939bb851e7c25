// Every status-returning operation of the library failing at each of its
// calls in turn, through the fake: whatever fails, the runtime is ended
// once, every table is freed and every database closed, no stub is removed
// that the run was not asked to remove, and a run that did less than asked
// ends in failure.
#include <gtest/gtest.h>

#include <set>

#include "app/exit_status.h"
#include "tests/unit/fake_notes.h"
#include "tests/unit/run_tool.h"

namespace {

constexpr std::int32_t TODAY = 20000;
constexpr std::uint32_t S = STUB_FLAG;

const char* const status_ops[] = {
    "notes_init",  "notes_setup_args", "notes_program_begin", "build_db_path", "time_normalize",
    "time_adjust", "db_open",          "db_modified_ids",     "note_info",     "time_to_text",
    "note_delete", "idtable_free",     "db_version",          "db_close",
};

// Stubs 4 and 8 inside /s:10 /e:1, 12 after it (today), 16 before it; two
// live notes.
FakeScript& window_fixture() {
    FakeScript& f = fake_notes_install();
    f.today = TODAY;
    f.ids = {S | 4, 6, S | 8, 10, S | 12, S | 16};
    f.info[4] = {549, TODAY - 2, 0x0001};
    f.info[8] = {549, TODAY - 10, 0x0008};
    f.info[12] = {549, TODAY, 0x0001};
    f.info[16] = {549, TODAY - 11, 0x0004};
    return f;
}

const std::vector<std::string> args = {"db.nsf", "/l", "/r", "/s:10", "/e:1"};

// Faults after which the run still does all it was asked.
bool harmless(const std::string& op, int n) {
    return op == "db_close" || op == "idtable_free" || op == "db_version" || op == "time_to_text" ||
           (op == "time_adjust" && n == 3); // the query bound
}

TEST(LibraryFaults, EveryFailureOfEveryCallIsHandled) {
    FakeScript& clean = window_fixture();
    const ToolRun clean_run = run_startup(args);
    ASSERT_EQ(clean_run.exit_status, EXIT_OK);
    ASSERT_EQ(clean.deleted, (std::vector<NoteId>{4, 8}));
    const std::map<std::string, int> made = clean.made;

    int reached = 0;
    for (NotesStatus status : {NotesStatus{0x0119}, NotesStatus{0x8119}}) {
        for (const char* op : status_ops) {
            const int calls = made.count(op) != 0 ? made.at(op) : 0;
            ASSERT_GE(calls, 1) << op << " is never called: its faults would not be seen";
            for (int n = 1; n <= calls + 1; ++n) {
                SCOPED_TRACE(std::string(op) + "#" + std::to_string(n) + " status " +
                             std::to_string(status));
                FakeScript& f = window_fixture();
                f.fail_nth[op][n] = status;
                const ToolRun run = run_startup(args);
                // The operation whose fault was reached, if any.
                const std::string name = n <= calls ? op : "";

                if (name == "notes_init") {
                    EXPECT_EQ(run.exit_status, EXIT_RUNTIME_UNAVAILABLE);
                    EXPECT_EQ(f.term_calls, 0);
                    continue;
                }
                EXPECT_EQ(f.term_calls, 1);
                EXPECT_EQ(f.program_ends, name == "notes_setup_args" ? 0 : 1);
                EXPECT_EQ(f.close_calls, f.open_calls - (name == "db_open" ? 1 : 0));
                EXPECT_EQ(f.table_frees, f.table_allocs);
                for (NoteId id : f.deleted) {
                    EXPECT_TRUE(id == 4 || id == 8) << "removed " << id;
                }

                if (name.empty()) {
                    EXPECT_EQ(run.output, clean_run.output);
                    EXPECT_EQ(run.exit_status, EXIT_OK);
                } else if (harmless(name, n)) {
                    ++reached;
                    EXPECT_EQ(run.exit_status, EXIT_OK);
                    EXPECT_EQ(f.deleted, clean.deleted);
                } else {
                    ++reached;
                    EXPECT_EQ(run.exit_status,
                              name == "notes_setup_args" ? EXIT_RUNTIME_UNAVAILABLE : EXIT_FAILED);
                    EXPECT_NE(run.output, clean_run.output) << "a failure that says nothing";
                }
            }
        }
    }
    EXPECT_GT(reached, 0);
}

} // namespace
