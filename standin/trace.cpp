// The NOTES_TRACE file: a test-only report of what a program left held.
#include <fstream>
#include <string>

#include "standin/settings.h"
#include "standin/trace.h"

namespace nn {

void trace(const std::string& line) {
    if (!settings().trace_path.empty()) {
        std::ofstream out(settings().trace_path, std::ios::app);
        out << line << '\n';
    }
}

} // namespace nn
