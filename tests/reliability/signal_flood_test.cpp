// Console interrupts at every moment of a run, its exit included: the tool
// either ends by the signal's default action (before its handler is in
// place) or finishes its run; it never crashes or reports a fault of its own.
#include "tests/e2e/e2e_fixture.h"

#include <csignal>

namespace {

class SignalFlood : public ToolTest {};

TEST_F(SignalFlood, InterruptsThroughoutWholeRunsNeverCrashTheTool) {
    if (tool_is_windows()) {
        GTEST_SKIP() << "the POSIX console layer is what is flooded here";
    }
    make_notes_db(db("names.nsf"), sample_notes());
    env["NOTES_TRACE"] = dir.file("trace");
    constexpr int RUNS = 300;
    int finished = 0;
    for (int i = 0; i < RUNS; ++i) {
        SCOPED_TRACE(i);
        std::remove(dir.file("trace").c_str());
        ProcessOptions options;
        options.flood_signal = SIGINT;
        // From the runtime's start on: the handler is installed a moment
        // later, so nearly every run is flooded through its walk and exit.
        options.flood_from = [this] {
            return read_file(dir.file("trace")).find("init") != std::string::npos;
        };
        ProcessResult r = run({"names.nsf", "/l"}, options); // standard error stays empty
        if (r.term_signal == 0) {
            EXPECT_EQ(r.exit_code, 0) << r.out.substr(0, 200);
            ++finished;
        } else {
            EXPECT_EQ(r.term_signal, SIGINT);
        }
        if (HasFailure()) {
            break;
        }
    }
    std::printf("[ flood    ] %d of %d runs finished under a flood of SIGINT\n", finished, RUNS);
    EXPECT_GT(finished, RUNS / 2);
}

} // namespace
