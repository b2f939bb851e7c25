// The test-only report of held resources and calls (NOTES_TRACE).
#pragma once

#include <string>

namespace nn {

// Appends a line to the NOTES_TRACE file, when set.
void trace(const std::string& line);

} // namespace nn
