#include "app/command_line.h"

#include <cstring>

#include "output/console_output.h"

RunSettings run_settings;

namespace {

void reset_settings() {
    run_settings = RunSettings{};
    run_settings.start_days = -1;
    run_settings.end_days = -1;
}

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Converts a day count the way the C library's atoi reads it (leading white
// space, one sign, digits up to the first other character, no digits: 0),
// except that a number beyond the signed 32-bit range is clamped to its ends
// rather than wrapped.
std::int32_t parse_days(const char* text) {
    while (is_space(*text)) {
        ++text;
    }
    bool negative = false;
    if (*text == '+' || *text == '-') {
        negative = *text == '-';
        ++text;
    }
    constexpr std::int64_t limit = std::int64_t{1} << 31; // |INT32_MIN|
    std::int64_t magnitude = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        if (magnitude < limit) {
            magnitude = magnitude * 10 + (*text - '0');
        }
    }
    if (magnitude > limit) {
        magnitude = limit;
    }
    std::int64_t value = negative ? -magnitude : magnitude;
    if (value > INT32_MAX) {
        value = INT32_MAX;
    }
    return static_cast<std::int32_t>(value);
}

// /s:<days> and /e:<days>: the value is everything after the first ':'. No
// ':' or nothing after it leaves the setting as it was.
void apply_days_switch(const char* arg, std::int32_t* setting) {
    const char* colon = std::strchr(arg, ':');
    if (colon == nullptr || colon[1] == '\0') {
        return;
    }
    *setting = parse_days(colon + 1);
}

bool copy_name(const char* name, char* field, const char* what) {
    if (std::strlen(name) > NAME_MAX_CHARS) {
        out_printf("** The %s name is longer than %d characters! **\n", what, NAME_MAX_CHARS);
        return false;
    }
    std::strcpy(field, name);
    return true;
}

} // namespace

ParseOutcome parse_command_line(int argc, char** argv) {
    reset_settings();
    if (argc < 2) {
        print_usage();
        return PARSE_STOP;
    }

    const char* names[2] = {nullptr, nullptr};
    int name_count = 0;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (arg[0] != '-' && arg[0] != '/') {
            if (name_count < 2) {
                names[name_count++] = arg;
            }
            continue;
        }
        switch (arg[1]) {
        case '?':
            print_usage();
            return PARSE_STOP;
        case 'd':
        case 'D':
            run_settings.show_progress = 1;
            break;
        case 'l':
        case 'L':
            run_settings.action_flags |= ACTION_LIST;
            break;
        case 'r':
        case 'R':
            run_settings.action_flags |= ACTION_REMOVE;
            break;
        case 's':
        case 'S':
            apply_days_switch(arg, &run_settings.start_days);
            break;
        case 'e':
        case 'E':
            apply_days_switch(arg, &run_settings.end_days);
            break;
        default: // unknown letters and a lone '-' or '/' are ignored
            break;
        }
    }

    if (name_count == 0) {
        out_printf("** Not enough arguments! **\n");
        print_usage();
        return PARSE_FAILED;
    }
    if (name_count == 1) {
        return copy_name(names[0], run_settings.db_name, "database") ? PARSE_GO : PARSE_FAILED;
    }
    if (!copy_name(names[0], run_settings.server_name, "server") ||
        !copy_name(names[1], run_settings.db_name, "database")) {
        return PARSE_FAILED;
    }
    return PARSE_GO;
}

void print_usage() {
    out_printf("Counts, lists, and optionally removes deletion stubs from a database.\n\n");
    out_printf("USAGE: tarnwick [ServerName] <DbName> [/d] [/l] [/r] [/s:days] [/e:days]\n\n");
    out_printf("  ServerName      [optional] The name of the server that the database is on.\n");
    out_printf("  DbName          The name of the database to examine.\n");
    out_printf("  /d              Display occasional progress as the stubs are counted.\n");
    out_printf("  /l              List information about the deletion stubs.\n");
    out_printf("  /r              Remove all deletion stubs that match the date criteria.\n");
    out_printf("  /s:days         Get deletion stubs that are this many days old or newer.\n");
    out_printf("  /e:days         Get deletion stubs that are this many days old or older.\n");
    out_printf(
        "\nIf the server or database name contains spaces, enclose it in quotation marks.\n");
    out_printf("You must have at least Editor access to remove deletion stubs. You can also\n");
    out_printf("use a combination of the /s and /e options to specify a date range - for\n");
    out_printf("example, /s:14 /e:7 gets stubs created in the last 7 to 14 days, /s:1 /e:1\n");
    out_printf("gets stubs created yesterday, and /s:0 /e:0 gets stubs created today. To see\n");
    out_printf("stubs created in the future, don't use the /e option.\n");
    out_printf("\n");
    out_printf("tarnwick - deletion stub survey for Notes databases\n");
    // The project's version, from CMake's project(VERSION).
    out_printf("version %s\n", TARNWICK_VERSION);
}
