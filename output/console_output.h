// Standard output for the tool's messages. Every message goes through
// out_printf, which writes one whole message under a lock so that lines from
// the console-control thread never interleave with the main thread's.
//
// A write or flush that fails (a closed pipe, a full disk) is remembered:
// out_failed() tells the walk to stop and the run to end in failure, since a
// report that did not reach its reader is not a success.
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

// Redirects the output (tests capture it); nullptr restores stdout. The new
// stream starts with no failure recorded.
void out_set_stream(std::FILE* stream);

void out_printf(const char* format, ...) OUT_PRINTF_FORMAT(1, 2);

// Like out_printf, then pushes everything written so far to the stream's
// destination: for lines that a person tailing a log must see at once.
void out_printf_flush(const char* format, ...) OUT_PRINTF_FORMAT(1, 2);

// Pushes everything written so far; false when that (or any earlier write)
// failed.
bool out_flush();

// True once any write or flush of the output has failed.
bool out_failed();
