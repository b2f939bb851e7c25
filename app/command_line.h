// The command line: the run's only configuration.
#pragma once

#include <cstdint>

constexpr std::uint16_t ACTION_LIST = 0x0002;
constexpr std::uint16_t ACTION_REMOVE = 0x0004;

// Names longer than this are refused, never truncated.
constexpr int NAME_MAX_CHARS = 255;

struct RunSettings {
    std::int32_t start_days; // stubs at most this many days old; negative: no start bound
    std::int32_t end_days;   // stubs at least this many days old; negative: no end bound
    std::int32_t show_progress;
    std::uint16_t action_flags;
    char server_name[NAME_MAX_CHARS + 1]; // empty: a local database
    char db_name[NAME_MAX_CHARS + 1];
};

// The process-wide settings, written only by parse_command_line.
extern RunSettings run_settings;

enum ParseOutcome {
    PARSE_STOP = 0,   // the usage was shown on request: end the run, successfully
    PARSE_GO = 1,     // settings are complete: go on
    PARSE_FAILED = 2, // the arguments are unusable; the message has been shown
};

// Reads arguments 1..argc-1 into run_settings (reset to defaults first).
ParseOutcome parse_command_line(int argc, char** argv);

void print_usage();
