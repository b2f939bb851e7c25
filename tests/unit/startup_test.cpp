// The start and end of the runtime, and the exit status, through the fake.
#include <gtest/gtest.h>

#include "app/exit_status.h"
#include "tests/unit/fake_notes.h"
#include "tests/unit/run_tool.h"

namespace {

const std::vector<std::string> count_db = {"db.nsf"};

TEST(Startup, FailedInitPrintsItsTextAndStartsNothing) {
    FakeScript& f = fake_notes_install();
    f.fail["notes_init"] = 0x0123;
    ToolRun run = run_startup(count_db);
    EXPECT_EQ(run.output, "\r\ninit: fake status 291\r\n\r\n");
    EXPECT_EQ(run.exit_status, EXIT_RUNTIME_UNAVAILABLE);
    EXPECT_EQ(f.term_calls, 0);
    EXPECT_EQ(f.program_begins, 0);
}

TEST(Startup, FailedInitWithShownBitPrintsNothing) {
    FakeScript& f = fake_notes_install();
    f.fail["notes_init"] = 0x8123;
    ToolRun run = run_startup(count_db);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(run.exit_status, EXIT_RUNTIME_UNAVAILABLE);
}

// A text lookup that writes nothing leaves an empty text, never what the
// buffer held before.
TEST(Startup, AnInitErrorTextThatWritesNothingPrintsAnEmptyText) {
    FakeScript& f = fake_notes_install();
    f.fail["notes_init"] = 0x0123;
    f.init_error_text_silent = true;
    ToolRun run = run_startup(count_db);
    EXPECT_EQ(run.output, "\r\n\r\n\r\n");
    EXPECT_EQ(run.exit_status, EXIT_RUNTIME_UNAVAILABLE);
}

TEST(Startup, FailedSetupArgsPrintsItsTextAndTerminatesOnce) {
    FakeScript& f = fake_notes_install();
    f.fail["notes_setup_args"] = 7;
    ToolRun run = run_startup(count_db);
    EXPECT_EQ(run.output, "\r\ninit: fake status 7\r\n\r\n");
    EXPECT_EQ(run.exit_status, EXIT_RUNTIME_UNAVAILABLE);
    EXPECT_EQ(f.term_calls, 1);
    EXPECT_EQ(f.program_begins, 0);
}

TEST(Startup, FailedProgramBeginPrintsNothingEndsProgramAndRuntime) {
    FakeScript& f = fake_notes_install();
    f.fail["notes_program_begin"] = 9;
    ToolRun run = run_startup(count_db);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(run.exit_status, EXIT_FAILED);
    EXPECT_EQ(f.open_calls, 0);
    EXPECT_EQ(f.program_ends, 1);
    EXPECT_EQ(f.term_calls, 1);
}

TEST(Startup, ReplacedArgumentsAreUsedByTheSurvey) {
    FakeScript& f = fake_notes_install();
    static char prog[] = "tarnwick", server[] = "other", db[] = "replaced.nsf";
    static char* replaced[] = {prog, server, db, nullptr};
    f.replace_argc = 3;
    f.replace_argv = replaced;
    run_startup(count_db);
    EXPECT_EQ(f.path, "other!!replaced.nsf");
}

TEST(Startup, UsageOnlyRunsExitZeroAndStillEndTheRuntime) {
    for (const auto& args : {std::vector<std::string>{}, std::vector<std::string>{"/?"}}) {
        FakeScript& f = fake_notes_install();
        ToolRun run = run_startup(args);
        EXPECT_EQ(run.exit_status, EXIT_OK);
        EXPECT_EQ(f.term_calls, 1);
        EXPECT_EQ(f.program_ends, 1);
        EXPECT_EQ(f.open_calls, 0);
        EXPECT_EQ(f.count("build_db_path"), 0);
    }
}

TEST(Startup, MissingNamesExitWithFailureAndNoStatusText) {
    FakeScript& f = fake_notes_install();
    ToolRun run = run_startup({"/l"});
    EXPECT_EQ(run.exit_status, EXIT_FAILED);
    EXPECT_EQ(run.output.rfind("** Not enough arguments! **\n", 0), 0u);
    EXPECT_EQ(run.output.find("program:"), std::string::npos);
    EXPECT_EQ(f.term_calls, 1);
}

// Every path after a successful notes_init terminates the runtime exactly once.
TEST(Startup, RuntimeTerminatedOnceOnEveryPath) {
    const char* failing_ops[] = {"notes_program_begin", "build_db_path", "db_open",
                                 "db_modified_ids",     "db_version",    "db_close",
                                 "idtable_free"};
    for (const char* op : failing_ops) {
        SCOPED_TRACE(op);
        FakeScript& f = fake_notes_install();
        f.ids = {0x80000004};
        f.fail[op] = 0x0222;
        run_startup({"db.nsf", "/r"});
        EXPECT_EQ(f.term_calls, 1);
        EXPECT_EQ(f.program_ends, 1);
        const int opened = f.open_calls - (std::string(op) == "db_open" ? 1 : 0);
        EXPECT_EQ(f.close_calls, opened);
        EXPECT_EQ(f.table_allocs, f.table_frees);
    }
}

} // namespace
