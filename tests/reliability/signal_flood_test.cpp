// Console interrupts at every moment of a run, its exit included: the tool
// either ends by the signal's default action (before its handler is in
// place) or finishes its run; it never crashes or reports a fault of its own.
#include "tests/e2e/e2e_fixture.h"

#include <chrono>
#include <csignal>

namespace {

class SignalFlood : public ToolTest {};

TEST_F(SignalFlood, InterruptsThroughoutWholeRunsNeverCrashTheTool) {
    if (tool_is_windows()) {
        GTEST_SKIP() << "the POSIX console layer is what is flooded here";
    }
    make_notes_db(db("names.nsf"), sample_notes());
    env["NOTES_TRACE"] = dir.file("trace");
    // The path is built right after the handler is installed; held up there,
    // the run is flooded from just after that point to its very end.
    env["NOTES_DELAY"] = "build_db_path=50000";
    constexpr int RUNS = 300;
    int finished = 0;
    for (int i = 0; i < RUNS; ++i) {
        SCOPED_TRACE(i);
        std::remove(dir.file("trace").c_str());
        ProcessOptions options;
        options.flood_signal = SIGINT;
        // From a moment after the runtime's start, when the handler is
        // normally in place: a run that is not that far yet ends by the
        // signal, which is allowed; the rest are flooded to their end.
        using Clock = std::chrono::steady_clock;
        Clock::time_point started{};
        options.flood_from = [this, &started] {
            if (started == Clock::time_point{}) {
                if (read_file(dir.file("trace")).find("init") == std::string::npos) {
                    return false;
                }
                started = Clock::now();
            }
            return Clock::now() - started > std::chrono::milliseconds(20);
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
    EXPECT_GE(finished, RUNS / 10) << "too few runs reached the flood's point";
}

} // namespace
