// The fault and delay hooks: NOTES_FAIL makes a chosen call of an operation
// return a given status, NOTES_DELAY makes every call of one wait; and the
// count of the calls of each operation, for the trace.
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "standin/faults.h"
#include "standin/status.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace nn {

namespace {

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

} // namespace

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

void reset_hooks() {
    g_faults.clear();
    std::memset(g_delay_us, 0, sizeof g_delay_us);
    std::memset(g_calls, 0, sizeof g_calls);
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

} // namespace nn
