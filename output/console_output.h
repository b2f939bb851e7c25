// Standard output for the tool's messages. Every message goes through
// out_printf, which writes one whole message under a lock so that lines from
// the console-control thread never interleave with the main thread's.
#pragma once

#include <cstdio>

#if defined(__GNUC__)
#define OUT_PRINTF_FORMAT(fmt_index, first_arg)                                                    \
    __attribute__((format(printf, fmt_index, first_arg)))
#else
#define OUT_PRINTF_FORMAT(fmt_index, first_arg)
#endif

// Gives the output a large buffer (listing lines are many and small).
void out_init();

// Redirects the output (tests capture it); nullptr restores stdout.
void out_set_stream(std::FILE* stream);

void out_printf(const char* format, ...) OUT_PRINTF_FORMAT(1, 2);

// Like out_printf, then pushes everything written so far to the stream's
// destination: for lines that a person tailing a log must see at once.
void out_printf_flush(const char* format, ...) OUT_PRINTF_FORMAT(1, 2);

void out_flush();
