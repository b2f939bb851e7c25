// libFuzzer target: arbitrary command lines through parse_command_line.
//
// The input is split at NUL bytes into the argument vector (element 0, the
// program name, comes first and is never read by the parser). Besides the
// sanitizers' checks, every result is compared with an independent reading
// of the same rules, built on the C library's strtoll.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "output/console_output.h"

namespace {

struct Reading {
    ParseOutcome outcome = PARSE_STOP;
    std::int32_t start_days = -1;
    std::int32_t end_days = -1;
    std::int32_t show_progress = 0;
    std::uint16_t action_flags = 0;
    std::string server_name;
    std::string db_name;
};

std::int32_t reference_days(const char* text) {
    errno = 0;
    long long value = std::strtoll(text, nullptr, 10); // saturates; no digits: 0
    if (value > INT32_MAX) {
        return INT32_MAX;
    }
    if (value < INT32_MIN) {
        return INT32_MIN;
    }
    return static_cast<std::int32_t>(value);
}

Reading reference_parse(const std::vector<std::string>& args) {
    Reading r;
    if (args.size() < 2) {
        return r;
    }
    std::vector<std::string> names;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.empty() || (a[0] != '-' && a[0] != '/')) {
            names.push_back(a);
            continue;
        }
        const char letter = a.size() > 1 ? a[1] : '\0';
        if (letter == '?') {
            return Reading{};
        }
        if (letter == 'd' || letter == 'D') {
            r.show_progress = 1;
        } else if (letter == 'l' || letter == 'L') {
            r.action_flags |= ACTION_LIST;
        } else if (letter == 'r' || letter == 'R') {
            r.action_flags |= ACTION_REMOVE;
        } else if (letter == 's' || letter == 'S' || letter == 'e' || letter == 'E') {
            const std::size_t colon = a.find(':');
            if (colon != std::string::npos && colon + 1 < a.size()) {
                const std::int32_t days = reference_days(a.c_str() + colon + 1);
                (letter == 's' || letter == 'S' ? r.start_days : r.end_days) = days;
            }
        }
    }
    if (names.empty()) {
        r.outcome = PARSE_FAILED;
        return r;
    }
    if (names.size() == 1) {
        names.insert(names.begin(), "");
    }
    r.server_name = names[0];
    r.db_name = names[1];
    r.outcome = r.server_name.size() > NAME_MAX_CHARS || r.db_name.size() > NAME_MAX_CHARS
                    ? PARSE_FAILED
                    : PARSE_GO;
    return r;
}

void check(bool ok) {
    if (!ok) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::FILE* sink = [] {
        std::FILE* f = std::fopen("/dev/null", "w");
        out_set_stream(f);
        return f;
    }();
    (void)sink;

    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.emplace_back();
        } else {
            args.back() += static_cast<char>(data[i]);
        }
    }
    // Each argument in its own allocation, so that the address sanitizer
    // sees any read past its end.
    std::vector<std::vector<char>> storage;
    std::vector<char*> argv;
    for (const std::string& a : args) {
        storage.emplace_back(a.begin(), a.end());
        storage.back().push_back('\0');
    }
    for (std::vector<char>& s : storage) {
        argv.push_back(s.data());
    }
    argv.push_back(nullptr);

    const ParseOutcome outcome = parse_command_line(static_cast<int>(args.size()), argv.data());
    const Reading expected = reference_parse(args);
    check(outcome == expected.outcome);
    const RunSettings& s = run_settings;
    check(std::memchr(s.server_name, '\0', sizeof s.server_name) != nullptr);
    check(std::memchr(s.db_name, '\0', sizeof s.db_name) != nullptr);
    check((s.action_flags & ~(ACTION_LIST | ACTION_REMOVE)) == 0);
    if (outcome == PARSE_GO) {
        check(s.start_days == expected.start_days);
        check(s.end_days == expected.end_days);
        check(s.show_progress == expected.show_progress);
        check(s.action_flags == expected.action_flags);
        check(s.server_name == expected.server_name);
        check(s.db_name == expected.db_name);
    }
    return 0;
}
