#include "output/console_output.h"

#include <cstdarg>
#include <mutex>

#include "platform/terminal.h"

namespace {

std::mutex g_output_lock;
std::FILE* g_stream = nullptr;

std::FILE* stream() {
    return g_stream != nullptr ? g_stream : stdout;
}

void write_locked(bool flush, const char* format, std::va_list args) {
    std::lock_guard<std::mutex> hold(g_output_lock);
    std::vfprintf(stream(), format, args);
    if (flush) {
        std::fflush(stream());
    }
}

} // namespace

void out_init() {
    // A console shows every line as it comes. A pipe or a file is fully
    // buffered with a generous buffer; lines that must be seen at once are
    // flushed explicitly.
    if (stdout_is_terminal()) {
        return;
    }
    static char buffer[1 << 16];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
}

void out_set_stream(std::FILE* s) {
    std::lock_guard<std::mutex> hold(g_output_lock);
    g_stream = s;
}

void out_printf(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    write_locked(false, format, args);
    va_end(args);
}

void out_printf_flush(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    write_locked(true, format, args);
    va_end(args);
}

void out_flush() {
    std::lock_guard<std::mutex> hold(g_output_lock);
    std::fflush(stream());
}
