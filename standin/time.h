// Time values and the calendar arithmetic shared by the time operations.
#pragma once

#include <cstdint>

#include "notes/notes_library.h"

namespace nn {

// A NotesTime is words[1] = day number since 1970-01-01 UTC (signed) and
// words[0] = milliseconds into that UTC day, or WHOLE_DAY for a value that
// stands for the whole day.
constexpr std::uint32_t WHOLE_DAY = 0xFFFFFFFFu;
constexpr std::int64_t MS_PER_DAY = 86400000;
constexpr std::int64_t MIN_DAY = INT32_MIN;
constexpr std::int64_t MAX_DAY = INT32_MAX;

std::int64_t floor_div(std::int64_t a, std::int64_t b);
// Day number since 1970-01-01 of a proleptic Gregorian date.
std::int64_t days_from_civil(std::int64_t year, unsigned month, unsigned day);
// Offset of local time from UTC at a UTC instant, in milliseconds (0 where
// the C library cannot tell). The zone is read once, not per call.
std::int64_t local_offset_ms(std::int64_t utc_ms);

// Earliest instant of a time value, in UTC milliseconds since 1970.
std::int64_t time_to_ms(const NotesTime& t);
// Clamped to the representable range.
NotesTime time_from_ms(std::int64_t ms);
// The wildcard bound: no note is older.
bool time_is_wildcard(const NotesTime& t);
std::int64_t current_time_ms();

} // namespace nn
