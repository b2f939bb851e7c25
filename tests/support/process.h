// Runs a program with arguments and extra environment, capturing standard
// output and standard error separately.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

struct ProcessResult {
    int exit_code = -1;  // 0..255 when the process exited
    int term_signal = 0; // the signal that ended it, or 0
    std::string out;
    std::string err;
};

struct ProcessOptions {
    std::map<std::string, std::string> env; // set (or, with an empty value, kept empty)
    std::string cwd;                        // empty: the current directory
    // Called with the child's pid and the output so far each time output
    // arrives (and every 10 ms); may send signals.
    std::function<void(int pid, const std::string& out_so_far)> watch;
    int timeout_ms = 60000; // then SIGKILL
    // Once the output has this many lines, its reader goes away (as with
    // "| head -N"): the read end of the pipe is closed. 0: read to the end.
    int close_out_after_lines = 0;
    // Sends this signal to the child again and again (every 100 µs or so),
    // from the moment flood_from returns true (always, when it is empty)
    // until the child has closed its output.
    int flood_signal = 0;
    std::function<bool()> flood_from;
};

ProcessResult run_process(const std::vector<std::string>& argv, const ProcessOptions& options);

// The tool under test: TARNWICK_E2E_COMMAND (words separated by spaces, for
// example a Wine launcher and a Windows binary) or the built binary.
std::vector<std::string> tool_command();

// True when TARNWICK_E2E_WINDOWS is set to 1: the tool under test is the
// Windows build (run through Wine), whose C runtime writes standard output in
// text mode and which hears only SIGINT as a console event.
bool tool_is_windows();

// Undoes the text mode of the Windows C runtime, which writes every "\n" as
// "\r\n": each "\r\n" becomes "\n" again, so that the output is byte for
// byte what the same printf calls write on POSIX.
std::string from_text_mode(const std::string& printed);
