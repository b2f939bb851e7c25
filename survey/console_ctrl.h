// Early stop on a console interrupt.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/console_control.h"

// Set to 1 by console_ctrl_handler, never cleared; the walk reads it after
// every ID.
extern std::atomic<std::int32_t> stop_requested;

// Prints one line for CTRL-C, CTRL-BREAK, CTRL-CLOSE, CTRL-LOGOFF and
// CTRL-SHUTDOWN, sets stop_requested and returns TRUE; returns FALSE for any
// other event. A Windows callback, so it has the API's calling convention.
BOOL WINAPI console_ctrl_handler(DWORD event);
