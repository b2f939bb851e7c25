#include <ctime>

#include "standin/time.h"

namespace nn {

std::int64_t local_offset_ms(std::int64_t utc_ms) {
    std::time_t seconds = static_cast<std::time_t>(floor_div(utc_ms, 1000));
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr) {
        return 0;
    }
    return static_cast<std::int64_t>(local.tm_gmtoff) * 1000;
}

} // namespace nn
