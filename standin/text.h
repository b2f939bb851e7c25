// Texts handed to the caller's buffers.
#pragma once

#include <cstdint>
#include <string>

namespace nn {

// Copies text into a caller's buffer of buffer_max characters (plus room for
// a terminator when terminate is set); returns the length copied.
std::uint16_t copy_text(const std::string& text, char* buffer, int buffer_max, bool terminate);

} // namespace nn
