// The tool's own answer to a console interrupt: the handler it installs
// through platform/console_control.h (the mechanism), the stop flag the walk
// reads, and the run's end that the handler of a closing console waits for.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

#include "platform/console_control.h"

// Set to 1 by console_ctrl_handler, never cleared; the walk reads it after
// every ID.
extern std::atomic<std::int32_t> stop_requested;

// How long the handler of a close, logoff or shutdown event waits for the
// run to finish before it returns and lets the system end the process.
constexpr std::chrono::milliseconds RUN_FINISH_WAIT{4000};

// Prints one line for CTRL-C, CTRL-BREAK, CTRL-CLOSE, CTRL-LOGOFF and
// CTRL-SHUTDOWN, sets stop_requested and returns TRUE; returns FALSE for any
// other event. For CTRL-CLOSE, CTRL-LOGOFF and CTRL-SHUTDOWN, after which the
// system ends the process soon after the handler returns, it first waits
// (at most RUN_FINISH_WAIT) until the run has finished. A Windows callback,
// so it has the API's calling convention.
BOOL WINAPI console_ctrl_handler(DWORD event);

// The run's start and end, as the handler waits for them: the run has
// finished once its totals are printed, its table freed, its database closed,
// the runtime ended and the output flushed.
void mark_run_started();
void mark_run_finished();
