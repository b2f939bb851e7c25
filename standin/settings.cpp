// The stand-in's configuration, read from the environment when the runtime
// starts, and the fault and delay hooks that every operation passes through.
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "standin/internal.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace nn {

namespace {

// The names by which NOTES_FAIL, NOTES_DELAY and the trace know the
// operations, indexed by Op.
const char* const op_names[OP_COUNT] = {
#define NN_OP_NAME(name, ordinal) #name,
    NOTES_OPERATIONS(NN_OP_NAME)
#undef NN_OP_NAME
};

struct Fault {
    Op op;
    std::uint64_t nth; // 0: every call
    NotesStatus status;
};

Settings g_settings;
std::vector<Fault> g_faults;
std::uint32_t g_delay_us[OP_COUNT] = {};
std::uint64_t g_calls[OP_COUNT] = {};

bool find_op(const std::string& name, Op* op) {
    for (int i = 0; i < OP_COUNT; ++i) {
        if (name == op_names[i]) {
            *op = static_cast<Op>(i);
            return true;
        }
    }
    return false;
}

// Whole-string unsigned number, decimal or 0x hexadecimal, at most max.
bool parse_number(const std::string& text, std::uint64_t max, std::uint64_t* out) {
    if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ') {
        return false;
    }
    int base = 10;
    std::string digits = text;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        digits = text.substr(2);
    }
    errno = 0;
    char* end = nullptr;
    unsigned long long value = std::strtoull(digits.c_str(), &end, base);
    if (errno != 0 || end == digits.c_str() || *end != '\0' || value > max) {
        return false;
    }
    *out = value;
    return true;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t begin = 0;
    for (;;) {
        std::size_t at = text.find(separator, begin);
        parts.push_back(text.substr(begin, at - begin));
        if (at == std::string::npos) {
            return parts;
        }
        begin = at + 1;
    }
}

// op=STATUS or op#N=STATUS, comma-separated.
bool parse_faults(const std::string& text) {
    for (const std::string& item : split(text, ',')) {
        std::size_t eq = item.find('=');
        if (eq == std::string::npos) {
            return false;
        }
        std::string name = item.substr(0, eq);
        std::uint64_t nth = 0;
        std::size_t hash = name.find('#');
        if (hash != std::string::npos) {
            if (!parse_number(name.substr(hash + 1), UINT64_MAX, &nth) || nth == 0) {
                return false;
            }
            name.resize(hash);
        }
        Fault fault{};
        std::uint64_t status = 0;
        if (!find_op(name, &fault.op) || !parse_number(item.substr(eq + 1), 0xFFFF, &status)) {
            return false;
        }
        fault.nth = nth;
        fault.status = static_cast<NotesStatus>(status);
        g_faults.push_back(fault);
    }
    return true;
}

// op=MICROSECONDS, comma-separated; at most a minute each.
bool parse_delays(const std::string& text) {
    for (const std::string& item : split(text, ',')) {
        std::size_t eq = item.find('=');
        Op op{};
        std::uint64_t us = 0;
        if (eq == std::string::npos || !find_op(item.substr(0, eq), &op) ||
            !parse_number(item.substr(eq + 1), 60000000, &us)) {
            return false;
        }
        g_delay_us[static_cast<int>(op)] = static_cast<std::uint32_t>(us);
    }
    return true;
}

bool digits_at(const std::string& s, std::size_t at, std::size_t n, int* out) {
    int value = 0;
    for (std::size_t i = at; i < at + n; ++i) {
        if (s[i] < '0' || s[i] > '9') {
            return false;
        }
        value = value * 10 + (s[i] - '0');
    }
    *out = value;
    return true;
}

// YYYY-MM-DDTHH:MM:SSZ, a valid UTC date and time.
bool parse_now(const std::string& s, std::int64_t* ms) {
    int y, mo, d, h, mi, se;
    if (s.size() != 20 || s[4] != '-' || s[7] != '-' || s[10] != 'T' || s[13] != ':' ||
        s[16] != ':' || s[19] != 'Z' || !digits_at(s, 0, 4, &y) || !digits_at(s, 5, 2, &mo) ||
        !digits_at(s, 8, 2, &d) || !digits_at(s, 11, 2, &h) || !digits_at(s, 14, 2, &mi) ||
        !digits_at(s, 17, 2, &se)) {
        return false;
    }
    static const int month_days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (mo < 1 || mo > 12 || d < 1 || d > month_days[mo - 1] || (mo == 2 && d == 29 && !leap) ||
        h > 23 || mi > 59 || se > 59) {
        return false;
    }
    std::int64_t days = days_from_civil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d));
    *ms = days * MS_PER_DAY + ((h * 60 + mi) * 60 + se) * std::int64_t{1000};
    return true;
}

#if defined(_WIN32)
// Windows sleeps in whole ticks of its timer (a millisecond or more), so a
// short wait would be cut to nothing: the time is slept off in whole
// milliseconds while more than two remain, and the rest waited out on the
// performance counter.
void wait_microseconds(std::uint32_t us) {
    LARGE_INTEGER frequency, now, until;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    until.QuadPart = now.QuadPart + static_cast<LONGLONG>(us) * frequency.QuadPart / 1000000;
    for (;;) {
        const LONGLONG left_us = (until.QuadPart - now.QuadPart) * 1000000 / frequency.QuadPart;
        if (left_us <= 0) {
            return;
        }
        if (left_us > 2000) {
            Sleep(static_cast<DWORD>(left_us / 1000 - 1));
        } else {
            YieldProcessor();
        }
        QueryPerformanceCounter(&now);
    }
}
#else
void wait_microseconds(std::uint32_t us) {
    std::this_thread::sleep_for(std::chrono::microseconds(us));
}
#endif

const char* env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

} // namespace

const Settings& settings() {
    return g_settings;
}

NotesStatus load_settings() {
    g_settings = Settings{};
    g_faults.clear();
    std::memset(g_delay_us, 0, sizeof g_delay_us);
    std::memset(g_calls, 0, sizeof g_calls);

    std::error_code ec;
    std::string data = env("NOTES_DATA");
    std::filesystem::path dir = std::filesystem::absolute(data.empty() ? "." : data, ec);
    if (ec || !std::filesystem::is_directory(dir, ec)) {
        return ST_BAD_SETTING_DATA;
    }
    g_settings.data_dir = dir.lexically_normal().string();

    std::string now = env("NOTES_NOW");
    if (!now.empty()) {
        if (!parse_now(now, &g_settings.now_ms)) {
            return ST_BAD_SETTING_NOW;
        }
        g_settings.fixed_now = true;
    }
    std::string fail = env("NOTES_FAIL");
    if (!fail.empty() && !parse_faults(fail)) {
        return ST_BAD_SETTING_FAIL;
    }
    std::string delay = env("NOTES_DELAY");
    if (!delay.empty() && !parse_delays(delay)) {
        return ST_BAD_SETTING_DELAY;
    }
    g_settings.trace_path = env("NOTES_TRACE");
    if (!g_settings.trace_path.empty()) {
        std::ofstream probe(g_settings.trace_path, std::ios::app);
        if (!probe) {
            return ST_BAD_SETTING_TRACE;
        }
    }
    return ST_OK;
}

bool enter(Op op, NotesStatus* injected) {
    if (g_delay_us[static_cast<int>(op)] != 0) {
        wait_microseconds(g_delay_us[static_cast<int>(op)]);
    }
    std::uint64_t call = ++g_calls[static_cast<int>(op)];
    for (const Fault& fault : g_faults) {
        if (fault.op == op && (fault.nth == 0 || fault.nth == call)) {
            *injected = fault.status;
            return true;
        }
    }
    return false;
}

void enter(Op op) {
    NotesStatus ignored = ST_OK;
    enter(op, &ignored);
}

void trace(const std::string& line) {
    if (!g_settings.trace_path.empty()) {
        std::ofstream out(g_settings.trace_path, std::ios::app);
        out << line << '\n';
    }
}

std::string call_counts() {
    std::string text;
    for (int i = 0; i < OP_COUNT; ++i) {
        if (i != 0) {
            text += ' ';
        }
        text += op_names[i];
        text += '=';
        text += std::to_string(g_calls[i]);
    }
    return text;
}

std::uint16_t copy_text(const std::string& text, char* buffer, int buffer_max, bool terminate) {
    if (buffer == nullptr || buffer_max <= 0) {
        return 0;
    }
    std::size_t length = text.size() < static_cast<std::size_t>(buffer_max)
                             ? text.size()
                             : static_cast<std::size_t>(buffer_max);
    if (length > 0xFFFF) {
        length = 0xFFFF;
    }
    std::memcpy(buffer, text.data(), length);
    if (terminate) {
        buffer[length] = '\0';
    }
    return static_cast<std::uint16_t>(length);
}

} // namespace nn
