// Local time on Windows is the time zone Windows is set to, with its
// daylight-saving rules, read through the time-zone API as any Windows
// program would. (The C runtime's localtime reads TZ by rules of its own: a
// three-letter name, American daylight-saving dates, the rest ignored.)
#include <windows.h>

#include "standin/time.h"

namespace nn {

namespace {

// 100-nanosecond ticks of a FILETIME, and its epoch, 1601-01-01, as a day
// number since 1970-01-01.
constexpr std::int64_t TICKS_PER_MS = 10000;
constexpr std::int64_t FILETIME_EPOCH_DAY = -134774;
// The calendar, weekdays included, repeats every 400 years, and so do a
// zone's yearly rules.
constexpr std::int64_t DAYS_PER_400_YEARS = 146097;

struct Zone {
    bool known = false;
    TIME_ZONE_INFORMATION info{};
};

// The zone and its yearly rules, read once, when first needed.
const Zone& zone() {
    static const Zone z = [] {
        Zone read;
        read.known = GetTimeZoneInformation(&read.info) != TIME_ZONE_ID_INVALID;
        return read;
    }();
    return z;
}

std::int64_t ticks_of(const SYSTEMTIME& t, bool* ok) {
    FILETIME f;
    *ok = SystemTimeToFileTime(&t, &f) != 0;
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(f.dwHighDateTime) << 32) |
                                     f.dwLowDateTime);
}

} // namespace

std::int64_t local_offset_ms(std::int64_t utc_ms) {
    const Zone& z = zone();
    if (!z.known) {
        return 0;
    }
    // A SYSTEMTIME holds the years 1601 to 30827: an instant outside them
    // (with a margin for the offset) is taken to its year of the same place
    // in the 400-year cycle, from 2000 on.
    std::int64_t day = floor_div(utc_ms, MS_PER_DAY);
    const std::int64_t in_day = utc_ms - day * MS_PER_DAY;
    if (day < days_from_civil(1602, 1, 1) || day >= days_from_civil(30826, 1, 1)) {
        const std::int64_t base = days_from_civil(2000, 1, 1);
        day = base + (day - base) - floor_div(day - base, DAYS_PER_400_YEARS) * DAYS_PER_400_YEARS;
    }
    const std::int64_t ticks = ((day - FILETIME_EPOCH_DAY) * MS_PER_DAY + in_day) * TICKS_PER_MS;
    FILETIME f;
    f.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFF);
    f.dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(ticks) >> 32);
    SYSTEMTIME utc, local;
    if (FileTimeToSystemTime(&f, &utc) == 0) {
        return 0;
    }
    if (SystemTimeToTzSpecificLocalTime(&z.info, &utc, &local) == 0) {
        return 0;
    }
    bool ok = false;
    const std::int64_t local_ticks = ticks_of(local, &ok);
    if (!ok) {
        return 0;
    }
    // Whole milliseconds: SYSTEMTIME drops what is below them.
    return floor_div(local_ticks, TICKS_PER_MS) - floor_div(ticks, TICKS_PER_MS);
}

} // namespace nn
