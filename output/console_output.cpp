#include "output/console_output.h"

#include <atomic>
#include <cstdarg>
#include <mutex>

#include "platform/terminal.h"

namespace {

// The lock is never destroyed: the console-control thread may still print
// while the process runs its exit handlers.
std::mutex& output_lock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

std::FILE* g_stream = nullptr;
std::atomic<bool> g_failed{false};

std::FILE* stream() {
    return g_stream != nullptr ? g_stream : stdout;
}

void write_locked(bool flush, const char* format, std::va_list args) {
    std::lock_guard<std::mutex> hold(output_lock());
    std::FILE* out = stream();
    bool ok = std::vfprintf(out, format, args) >= 0;
    if (flush) {
        ok = std::fflush(out) == 0 && ok;
    }
    if (!ok || std::ferror(out) != 0) {
        g_failed.store(true);
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
    std::lock_guard<std::mutex> hold(output_lock());
    g_stream = s;
    g_failed.store(false);
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

bool out_flush() {
    std::lock_guard<std::mutex> hold(output_lock());
    std::FILE* out = stream();
    if (std::fflush(out) != 0 || std::ferror(out) != 0) {
        g_failed.store(true);
    }
    return !g_failed.load();
}

bool out_failed() {
    return g_failed.load();
}
