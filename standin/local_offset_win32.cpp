#include <ctime>

#include "standin/internal.h"

namespace nn {

// Local minus UTC, from the two broken-down forms of the same instant.
std::int64_t local_offset_ms(std::int64_t utc_ms) {
    std::time_t seconds = static_cast<std::time_t>(floor_div(utc_ms, 1000));
    std::tm local{};
    std::tm utc{};
    if (localtime_s(&local, &seconds) != 0 || gmtime_s(&utc, &seconds) != 0) {
        return 0;
    }
    std::int64_t local_days =
        days_from_civil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    std::int64_t utc_days = days_from_civil(utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday);
    std::int64_t local_s =
        ((local_days * 24 + local.tm_hour) * 60 + local.tm_min) * 60 + local.tm_sec;
    std::int64_t utc_s = ((utc_days * 24 + utc.tm_hour) * 60 + utc.tm_min) * 60 + utc.tm_sec;
    return (local_s - utc_s) * 1000;
}

} // namespace nn
