// Large-table warning, progress lines, and stopping on a console interrupt.
#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "app/exit_status.h"
#include "survey/interrupt.h"
#include "tests/support/capture_output.h"
#include "tests/unit/fake_notes.h"
#include "tests/unit/run_tool.h"

namespace {

const std::string warning_local =
    "There are more than 150000 records being searched. This may take a while...\n";
const std::string warning_server =
    "There are more than 2000 records being searched. This may take a while...\n";

TEST(Progress, WarningAboveTheLimitQuotesTheLimit) {
    const struct {
        std::vector<std::string> args;
        std::uint32_t total;
        std::string warning;
    } cases[] = {
        {{"db"}, 150000, ""},
        {{"db"}, 150001, warning_local},
        {{"db", "/l"}, 150001, warning_local},
        {{"srv", "db"}, 150000, ""}, // a server walk without note info keeps the local pace
        {{"srv", "db"}, 150001, warning_local},
        {{"srv", "db", "/l"}, 2000, ""},
        {{"srv", "db", "/l"}, 2001, warning_server},
        {{"srv", "db", "/s:3"}, 2001, warning_server},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back() + " " + std::to_string(c.total));
        FakeScript& f = fake_notes_install();
        f.synthetic_count = c.total;
        ToolRun run = run_startup(c.args);
        EXPECT_EQ(run.output.rfind(c.warning + (c.args.back() == "/l" ? "NOTE ID" : "\n"), 0), 0u)
            << run.output.substr(0, 120);
    }
}

TEST(Progress, ProgressLinesEveryIntervalAndAFinalLine) {
    FakeScript& f = fake_notes_install();
    f.synthetic_count = 60001;
    f.synthetic_stubs = true;
    ToolRun run = run_startup({"db", "/d"});
    EXPECT_EQ(run.output, "30000 of 60001 records searched, 30000 stubs found so far\n"
                          "60000 of 60001 records searched, 60000 stubs found so far\n"
                          "60001 of 60001 records searched\n"
                          "\n60001 stubs found\n"
                          "Total space used @ 100 bytes per stub = 6000100 bytes\n");
}

TEST(Progress, ServerWalkWithNoteInfoReportsEveryThousand) {
    FakeScript& f = fake_notes_install();
    f.synthetic_count = 2500;
    ToolRun run = run_startup({"srv", "db", "/d", "/s:1"});
    EXPECT_EQ(run.output, warning_server + "1000 of 2500 records searched, 0 stubs found so far\n"
                                           "2000 of 2500 records searched, 0 stubs found so far\n"
                                           "2500 of 2500 records searched\n"
                                           "\n0 stubs found\n"
                                           "Total space used @ 100 bytes per stub = 0 bytes\n");
}

TEST(Interrupt, StopsAfterTheCurrentIdAndStillReportsAndReleases) {
    for (std::uint32_t n : {1u, 2u, 5u}) {
        SCOPED_TRACE(n);
        FakeScript& f = fake_notes_install();
        f.ids = {STUB_FLAG | 4, 6, STUB_FLAG | 8, 10, STUB_FLAG | 12};
        f.stop_at_id = n;
        ToolRun run = run_startup({"db", "/r"});
        const int stubs = n >= 5 ? 3 : n >= 3 ? 2 : 1;
        EXPECT_EQ(run.output, "Process terminated with CTRL-C\n" + std::to_string(n) +
                                  " of 5 records searched\n\n" + std::to_string(stubs) +
                                  " stubs removed\n" + std::to_string(stubs) +
                                  " stubs found\nTotal space used @ 100 bytes per stub = " +
                                  std::to_string(stubs * 100) + " bytes\n");
        EXPECT_EQ(run.exit_status, EXIT_OK);
        EXPECT_EQ(f.ids_delivered, n);
        EXPECT_EQ(f.deleted.size(), static_cast<std::size_t>(stubs));
        EXPECT_EQ(f.table_frees, 1);
        EXPECT_EQ(f.close_calls, 1);
        EXPECT_EQ(f.term_calls, 1);
    }
}

TEST(Interrupt, FlagSetBeforeTheWalkStillLetsOneIdThrough) {
    FakeScript& f = fake_notes_install();
    f.ids = {STUB_FLAG | 4, STUB_FLAG | 8};
    stop_requested.store(1);
    ToolRun run = run_startup({"db"});
    EXPECT_EQ(run.output, "1 of 2 records searched\n\n1 stubs found\n"
                          "Total space used @ 100 bytes per stub = 100 bytes\n");
    EXPECT_EQ(f.ids_delivered, 1u);
}

TEST(ConsoleHandler, TableOfEvents) {
    mark_run_finished(); // nothing for the close, logoff and shutdown events to wait for
    const struct {
        DWORD event;
        const char* line; // nullptr: not handled
    } cases[] = {
        {0, "Process terminated with CTRL-C\n"},
        {1, "Process terminated with CTRL-BREAK\n"},
        {2, "Process terminated with CTRL-CLOSE\n"},
        {3, nullptr},
        {4, nullptr},
        {5, "Process terminated with CTRL-LOGOFF\n"},
        {6, "Process terminated with CTRL-SHUTDOWN\n"},
        {7, nullptr},
        {0xFFFFFFFF, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.event);
        stop_requested.store(0);
        CapturedOutput out;
        BOOL handled = console_ctrl_handler(c.event);
        EXPECT_EQ(handled, c.line != nullptr ? TRUE : FALSE);
        EXPECT_EQ(out.text(), c.line != nullptr ? c.line : "");
        EXPECT_EQ(stop_requested.load(), c.line != nullptr ? 1 : 0);
    }
    // A second event prints a second line; the flag stays set.
    CapturedOutput out;
    console_ctrl_handler(0);
    console_ctrl_handler(1);
    EXPECT_EQ(out.text(), "Process terminated with CTRL-C\nProcess terminated with CTRL-BREAK\n");
    EXPECT_EQ(stop_requested.load(), 1);
}

using Clock = std::chrono::steady_clock;

// Calls the handler on a thread of its own, as the system does; returns how
// long it took to return, once it has.
std::future<Clock::duration> handle_on_own_thread(DWORD event) {
    return std::async(std::launch::async, [event] {
        const Clock::time_point begin = Clock::now();
        EXPECT_EQ(console_ctrl_handler(event), TRUE);
        return Clock::now() - begin;
    });
}

// After a close, logoff or shutdown the system ends the process soon after
// the handler returns: so the handler returns only once the run has
// finished, or the wait's bound has passed.
TEST(ConsoleHandler, CloseLogoffAndShutdownWaitForTheRunToFinish) {
    using std::chrono::milliseconds;
    for (DWORD event : {CTRL_CLOSE_EVENT, CTRL_LOGOFF_EVENT, CTRL_SHUTDOWN_EVENT}) {
        SCOPED_TRACE(event);
        CapturedOutput out;
        mark_run_started();
        std::future<Clock::duration> waited = handle_on_own_thread(event);
        EXPECT_EQ(waited.wait_for(milliseconds(300)), std::future_status::timeout);
        EXPECT_EQ(stop_requested.load(), 1); // the walk is told to stop meanwhile
        mark_run_finished();
        EXPECT_EQ(waited.wait_for(milliseconds(3000)), std::future_status::ready);
    }
    // A run that has already finished is not waited for.
    CapturedOutput out;
    EXPECT_LT(handle_on_own_thread(CTRL_CLOSE_EVENT).get(), milliseconds(3000));
    mark_run_started();
}

TEST(ConsoleHandler, ARunThatDoesNotFinishIsWaitedForAtMostTheBound) {
    CapturedOutput out;
    mark_run_started();
    const Clock::duration waited = handle_on_own_thread(CTRL_SHUTDOWN_EVENT).get();
    EXPECT_GE(waited, RUN_FINISH_WAIT);
    EXPECT_LT(waited, RUN_FINISH_WAIT + std::chrono::seconds(10));
    EXPECT_EQ(out.text(), "Process terminated with CTRL-SHUTDOWN\n");
    // Ctrl+C and Ctrl+Break never wait.
    for (DWORD event : {CTRL_C_EVENT, CTRL_BREAK_EVENT}) {
        EXPECT_LT(handle_on_own_thread(event).get(), RUN_FINISH_WAIT / 2);
    }
    mark_run_finished();
}

} // namespace
