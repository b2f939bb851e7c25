// Time values. Day arithmetic works in local calendar days of the process's
// time zone (TZ); values are stored in UTC.
#include <chrono>
#include <cstdio>

#include "standin/faults.h"
#include "standin/nnotes.h"
#include "standin/settings.h"
#include "standin/status.h"
#include "standin/text.h"
#include "standin/time.h"

namespace nn {

namespace {

constexpr std::int64_t MIN_MS = MIN_DAY * MS_PER_DAY;
constexpr std::int64_t MAX_MS = (MAX_DAY + 1) * MS_PER_DAY - 1;

std::int64_t clamp_ms(std::int64_t ms) {
    return ms < MIN_MS ? MIN_MS : ms > MAX_MS ? MAX_MS : ms;
}

std::int64_t clamp_day(std::int64_t day) {
    return day < MIN_DAY ? MIN_DAY : day > MAX_DAY ? MAX_DAY : day;
}

std::int64_t utc_to_local(std::int64_t utc_ms) {
    return utc_ms + local_offset_ms(utc_ms);
}

// The UTC instant of a local wall-clock time. A time that a clock change
// skips maps to the same wall time under the earlier offset.
std::int64_t local_to_utc(std::int64_t local_ms) {
    std::int64_t guess = local_ms - local_offset_ms(local_ms);
    return local_ms - local_offset_ms(guess);
}

void civil_from_days(std::int64_t z, std::int64_t* y, unsigned* m, unsigned* d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = doy - (153 * mp + 2) / 5 + 1;
    *m = mp < 10 ? mp + 3 : mp - 9;
    *y = static_cast<std::int64_t>(yoe) + era * 400 + (*m <= 2);
}

bool is_leap(std::int64_t y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

unsigned month_length(std::int64_t y, unsigned m) {
    static const unsigned lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && is_leap(y) ? 29 : lengths[m - 1];
}

// Moves a day number by months and years, keeping the day of the month where
// the target month has it (else its last day).
std::int64_t add_months(std::int64_t day, std::int64_t months) {
    if (months == 0) {
        return day;
    }
    std::int64_t y;
    unsigned m, d;
    civil_from_days(day, &y, &m, &d);
    std::int64_t index = y * 12 + (m - 1) + months;
    y = floor_div(index, 12);
    m = static_cast<unsigned>(index - y * 12 + 1);
    if (d > month_length(y, m)) {
        d = month_length(y, m);
    }
    return days_from_civil(y, m, d);
}

} // namespace

std::int64_t floor_div(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

std::int64_t days_from_civil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::int64_t time_to_ms(const NotesTime& t) {
    std::int64_t day = static_cast<std::int32_t>(t.words[1]);
    std::int64_t in_day = t.words[0] == WHOLE_DAY ? 0 : t.words[0] % MS_PER_DAY;
    return day * MS_PER_DAY + in_day;
}

NotesTime time_from_ms(std::int64_t ms) {
    ms = clamp_ms(ms);
    std::int64_t day = floor_div(ms, MS_PER_DAY);
    NotesTime t;
    t.words[0] = static_cast<std::uint32_t>(ms - day * MS_PER_DAY);
    t.words[1] = static_cast<std::uint32_t>(static_cast<std::int32_t>(day));
    return t;
}

bool time_is_wildcard(const NotesTime& t) {
    return static_cast<std::int32_t>(t.words[1]) == INT32_MIN;
}

std::int64_t current_time_ms() {
    if (settings().fixed_now) {
        return settings().now_ms;
    }
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

} // namespace nn

using namespace nn;

extern "C" {

void nn_time_now(NotesTime* out) {
    enter(Op::time_now);
    if (out != nullptr) {
        *out = time_from_ms(current_time_ms());
    }
}

void nn_time_constant(std::uint16_t selector, NotesTime* out) {
    enter(Op::time_constant);
    if (out == nullptr) {
        return;
    }
    // Selector 1: the latest time there is; any other: the earliest, a bound
    // that excludes no note.
    out->words[0] = selector == 1 ? static_cast<std::uint32_t>(MS_PER_DAY - 1) : 0;
    out->words[1] = static_cast<std::uint32_t>(selector == 1 ? INT32_MAX : INT32_MIN);
}

NotesStatus nn_time_normalize(const NotesTime* in, std::uint32_t, NotesTime* out) {
    if (NotesStatus injected = ST_OK; enter(Op::time_normalize, &injected)) {
        return injected;
    }
    if (in == nullptr || out == nullptr) {
        return ST_INVALID_ARGUMENT;
    }
    *out = in->words[0] == WHOLE_DAY ? *in : time_from_ms(time_to_ms(*in));
    return ST_OK;
}

NotesStatus nn_time_adjust(NotesTime* time, int seconds, int minutes, int hours, int days,
                           int months, int years) {
    if (NotesStatus injected = ST_OK; enter(Op::time_adjust, &injected)) {
        return injected;
    }
    if (time == nullptr) {
        return ST_INVALID_ARGUMENT;
    }
    const std::int64_t calendar_months = std::int64_t{years} * 12 + months;
    if (time->words[0] == WHOLE_DAY) {
        std::int64_t day = static_cast<std::int32_t>(time->words[1]);
        day = clamp_day(add_months(day, calendar_months) + days);
        time->words[1] = static_cast<std::uint32_t>(static_cast<std::int32_t>(day));
        return ST_OK;
    }
    std::int64_t utc = time_to_ms(*time);
    utc = clamp_ms(utc + ((std::int64_t{hours} * 60 + minutes) * 60 + seconds) * 1000);
    if (days != 0 || calendar_months != 0) {
        // Calendar steps keep the local time of day across clock changes.
        std::int64_t local = utc_to_local(utc);
        std::int64_t day = floor_div(local, MS_PER_DAY);
        std::int64_t in_day = local - day * MS_PER_DAY;
        day = clamp_day(add_months(clamp_day(day), calendar_months) + days);
        utc = local_to_utc(day * MS_PER_DAY + in_day);
    }
    *time = time_from_ms(utc);
    return ST_OK;
}

std::int32_t nn_time_day_number(const NotesTime* time) {
    enter(Op::time_day_number);
    if (time == nullptr) {
        return 0;
    }
    if (time->words[0] == WHOLE_DAY) {
        return static_cast<std::int32_t>(time->words[1]);
    }
    std::int64_t local = utc_to_local(time_to_ms(*time));
    return static_cast<std::int32_t>(clamp_day(floor_div(local, MS_PER_DAY)));
}

// "2026-12-10 14:03:22 +0100" in local time; "2026-12-10" for a whole day.
NotesStatus nn_time_to_text(const void*, const void*, const NotesTime* time, char* buffer,
                            std::uint16_t buffer_max, std::uint16_t* length_out) {
    if (NotesStatus injected = ST_OK; enter(Op::time_to_text, &injected)) {
        return injected;
    }
    if (time == nullptr || buffer == nullptr || length_out == nullptr) {
        return ST_INVALID_ARGUMENT;
    }
    char text[96];
    if (time->words[0] == WHOLE_DAY) {
        std::int64_t y;
        unsigned m, d;
        civil_from_days(static_cast<std::int32_t>(time->words[1]), &y, &m, &d);
        std::snprintf(text, sizeof text, "%04lld-%02u-%02u", static_cast<long long>(y), m, d);
    } else {
        std::int64_t utc = time_to_ms(*time);
        std::int64_t offset_min = local_offset_ms(utc) / 60000;
        std::int64_t local = utc + offset_min * 60000;
        std::int64_t day = floor_div(local, MS_PER_DAY);
        std::int64_t second_of_day = (local - day * MS_PER_DAY) / 1000;
        std::int64_t y;
        unsigned m, d;
        civil_from_days(day, &y, &m, &d);
        std::int64_t abs_offset = offset_min < 0 ? -offset_min : offset_min;
        std::snprintf(text, sizeof text, "%04lld-%02u-%02u %02lld:%02lld:%02lld %c%02lld%02lld",
                      static_cast<long long>(y), m, d, static_cast<long long>(second_of_day / 3600),
                      static_cast<long long>(second_of_day / 60 % 60),
                      static_cast<long long>(second_of_day % 60), offset_min < 0 ? '-' : '+',
                      static_cast<long long>(abs_offset / 60),
                      static_cast<long long>(abs_offset % 60));
    }
    // The text is not terminated; its length tells where it ends.
    *length_out = copy_text(text, buffer, buffer_max, false);
    return ST_OK;
}

} // extern "C"
