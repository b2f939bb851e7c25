// Console interrupts on the built tool: each event stops the walk after the
// current ID, and the run still prints its totals and exits 0.
#include "tests/e2e/e2e_fixture.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

constexpr int TOTAL = 3000;

class Interrupt : public ToolTest {
  protected:
    void SetUp() override { make_database(); }

    void make_database() {
        std::filesystem::remove_all(dir.file("servers"));
        // A server database read with note information: progress every 1000
        // IDs, and each ID slowed down, so that the first progress line shows
        // the walk under way long before it ends.
        std::filesystem::create_directories(dir.file("servers/Mail01"));
        std::vector<NoteRow> rows;
        for (int i = 1; i <= TOTAL; ++i) {
            rows.push_back({i * 4, 1, utc_ms("2026-11-30T00:00:00Z"), i % 3 == 0 ? 1 : 0});
        }
        make_notes_db(dir.file("servers/Mail01/big.nsf"), rows);
        env["NOTES_DELAY"] = "idtable_next=1000";
    }

    // Runs a listing with progress and sends the signals once the first
    // progress line has come through.
    ProcessResult run_interrupted(const std::vector<int>& signals) {
        ProcessOptions options;
        bool sent = false;
        options.watch = [&](int pid, const std::string& out) {
            if (!sent && out.find(" records searched, ") != std::string::npos) {
                for (int s : signals) {
                    kill(pid, s);
                }
                sent = true;
            }
        };
        return run({"Mail01", "big.nsf", "/l", "/d", "/r"}, options);
    }
};

// The number of records the final line says were searched, or -1.
int searched(const std::string& out) {
    const std::string tail = " of 3000 records searched\n";
    const std::size_t at = out.rfind(tail);
    if (at == std::string::npos) {
        return -1;
    }
    const std::size_t start = out.rfind('\n', at);
    const std::string digits = out.substr(start + 1, at - start - 1);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) {
        return -1;
    }
    return std::stoi(digits);
}

TEST_F(Interrupt, EachConsoleSignalStopsTheWalkAndKeepsTheTotals) {
    const struct {
        int signal_number;
        const char* line;
    } cases[] = {
        {SIGINT, "Process terminated with CTRL-C\n"},
        {SIGQUIT, "Process terminated with CTRL-BREAK\n"},
        {SIGHUP, "Process terminated with CTRL-CLOSE\n"},
        {SIGTERM, "Process terminated with CTRL-SHUTDOWN\n"},
    };
    for (const auto& c : cases) {
        // Wine makes a console event (CTRL_C_EVENT) of SIGINT alone; the
        // other signals end Wine itself and say nothing about the tool.
        if (tool_is_windows() && c.signal_number != SIGINT) {
            continue;
        }
        SCOPED_TRACE(c.line);
        make_database(); // a fresh file for each run
        ProcessResult r = run_interrupted({c.signal_number});
        EXPECT_EQ(r.term_signal, 0);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_NE(r.out.find(c.line), std::string::npos) << r.out.substr(r.out.size() - 300);

        const int done = searched(r.out);
        EXPECT_GE(done, 1000);
        EXPECT_LT(done, TOTAL);
        // Every stub met before the stop was listed and removed, no other.
        const int stubs = done / 3;
        EXPECT_NE(
            r.out.find("\n\n" + std::to_string(stubs) + " stubs removed\n" + count_lines(stubs)),
            std::string::npos);
        EXPECT_EQ(read_notes(dir.file("servers/Mail01/big.nsf")).size(),
                  static_cast<std::size_t>(TOTAL - stubs));
    }
}

TEST_F(Interrupt, TwoInterruptsPrintTwoLinesAndStopOnce) {
    env["NOTES_DELAY"] += ",db_close=300000"; // time for the second one to land
    ProcessOptions options;
    int seen = 0;
    options.watch = [&](int pid, const std::string& out) {
        if (seen == 0 && out.find(" records searched, ") != std::string::npos) {
            kill(pid, SIGINT);
            seen = 1;
        } else if (seen == 1 && out.find("Process terminated with CTRL-C\n") != std::string::npos) {
            kill(pid, SIGINT);
            seen = 2;
        }
    };
    ProcessResult r = run({"Mail01", "big.nsf", "/l", "/d"}, options);
    EXPECT_EQ(r.exit_code, 0);
    std::size_t first = r.out.find("Process terminated with CTRL-C\n");
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(r.out.find("Process terminated with CTRL-C\n", first + 1), std::string::npos);
    EXPECT_LT(searched(r.out), TOTAL);
}

// Before the handler is installed a console signal ends the process as it
// would any program. The signal goes as soon as the runtime has started (its
// trace says so), while the registration of the program is held up.
TEST_F(Interrupt, SignalsBeforeTheHandlerEndTheProcessByDefault) {
    env["NOTES_DELAY"] = "notes_program_begin=3000000";
    env["NOTES_TRACE"] = dir.file("trace");
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal_number);
        std::remove(dir.file("trace").c_str());
        ProcessOptions options;
        bool sent = false;
        options.watch = [&](int pid, const std::string&) {
            if (!sent && read_file(dir.file("trace")).find("init") != std::string::npos) {
                kill(pid, signal_number);
                sent = true;
            }
        };
        ProcessResult r = run({"Mail01", "big.nsf"}, options);
        EXPECT_TRUE(sent);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(read_file(dir.file("trace")).find("term"), std::string::npos)
            << "the run went on to its end";
        if (tool_is_windows() && signal_number == SIGINT) {
            // Wine hands SIGINT to Windows as CTRL_C_EVENT, whose default
            // handling ends the process with an exit status, not a signal.
            EXPECT_EQ(r.term_signal, 0);
        } else {
            EXPECT_EQ(r.term_signal, signal_number);
        }
    }
}

// The interruption line reaches a pipe when it is printed, not with the
// rest of the output at the end: the database's close is held up after the
// walk, and the line must have arrived long before the run ends.
TEST_F(Interrupt, TheInterruptionLineReachesAPipeAtOnce) {
    using Clock = std::chrono::steady_clock;
    env["NOTES_DELAY"] += ",db_close=1500000";
    env["NOTES_TRACE"] = dir.file("trace");
    ProcessOptions options;
    Clock::time_point started{}, line_seen{};
    bool sent = false;
    options.watch = [&](int pid, const std::string& out) {
        if (started == Clock::time_point{} &&
            read_file(dir.file("trace")).find("init") != std::string::npos) {
            started = Clock::now();
        }
        // The handler is in place a moment after the runtime has started.
        if (!sent && started != Clock::time_point{} &&
            Clock::now() - started > std::chrono::milliseconds(300)) {
            kill(pid, SIGINT);
            sent = true;
        }
        if (line_seen == Clock::time_point{} &&
            out.find("Process terminated with CTRL-C\n") != std::string::npos) {
            line_seen = Clock::now();
        }
    };
    ProcessResult r = run({"Mail01", "big.nsf", "/l"}, options);
    const Clock::time_point ended = Clock::now();
    ASSERT_TRUE(sent);
    ASSERT_NE(line_seen, Clock::time_point{});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_LT(searched(r.out), TOTAL);
    EXPECT_GE(ended - line_seen, std::chrono::milliseconds(1000));
}

} // namespace
