// Common ground of the end-to-end tests: a temporary data directory, a fixed
// current time, and a runner for the built tool.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/notes_db.h"
#include "tests/support/process.h"

// The current time of every end-to-end run unless a test sets another.
constexpr const char* E2E_NOW = "2026-12-01T12:00:00Z";

class ToolTest : public ::testing::Test {
  protected:
    TempDir dir;
    std::map<std::string, std::string> env{
        {"NOTES_DATA", dir.path()}, {"NOTES_NOW", E2E_NOW}, {"TZ", "UTC0"}};

    // Runs the tool in the data directory; checks that nothing reached
    // standard error. The output of the Windows build is taken back from text
    // mode, for the watcher and in the result alike.
    ProcessResult run(const std::vector<std::string>& args, ProcessOptions options = {}) {
        std::vector<std::string> argv = tool_command();
        argv.insert(argv.end(), args.begin(), args.end());
        for (const auto& [k, v] : env) {
            options.env.emplace(k, v);
        }
        if (options.cwd.empty()) {
            options.cwd = dir.path();
        }
        const bool windows = tool_is_windows();
        if (windows && options.watch) {
            options.watch = [watch = options.watch](int pid, const std::string& out) {
                watch(pid, from_text_mode(out));
            };
        }
        ProcessResult result = run_process(argv, options);
        if (windows) {
            result.out = from_text_mode(result.out);
        }
        EXPECT_EQ(result.err, "");
        return result;
    }

    std::string db(const std::string& name) const { return dir.file(name); }
};

// The count lines that end every successful run.
inline std::string count_lines(int stubs, int bytes_per_stub = 100) {
    return std::to_string(stubs) + " stubs found\nTotal space used @ " +
           std::to_string(bytes_per_stub) +
           " bytes per stub = " + std::to_string(static_cast<long long>(stubs) * bytes_per_stub) +
           " bytes\n";
}

// A small database: four stubs deleted today, 3, 10 and 548 days before
// E2E_NOW, two live notes, and a stub of no class (which no query of modified
// notes ever returns).
inline std::vector<NoteRow> sample_notes() {
    return {
        {4, 0x0001, utc_ms("2026-12-01T08:00:00Z"), 1},
        {8, 0x0001, utc_ms("2026-12-01T09:00:00Z"), 0},
        {12, 0x0008, utc_ms("2026-11-28T00:00:00Z"), 1},
        {16, 0x0004, utc_ms("2026-11-21T23:59:59Z"), 1},
        {20, 0x0001, utc_ms("2026-01-01T00:00:00Z"), 0},
        {24, 0x2000, utc_ms("2025-06-01T10:30:00Z"), 1},
        {28, 0x0000, utc_ms("2026-11-30T10:30:00Z"), 1},
    };
}
