// Texts copied into the caller's buffers.
#include <cstring>
#include <string>

#include "standin/text.h"

namespace nn {

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
