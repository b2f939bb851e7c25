#include "survey/console_ctrl.h"

#include "output/console_output.h"

std::atomic<std::int32_t> stop_requested{0};

BOOL WINAPI console_ctrl_handler(DWORD event) {
    const char* name = nullptr;
    switch (event) {
    case CTRL_C_EVENT:
        name = "CTRL-C";
        break;
    case CTRL_BREAK_EVENT:
        name = "CTRL-BREAK";
        break;
    case CTRL_CLOSE_EVENT:
        name = "CTRL-CLOSE";
        break;
    case CTRL_LOGOFF_EVENT:
        name = "CTRL-LOGOFF";
        break;
    case CTRL_SHUTDOWN_EVENT:
        name = "CTRL-SHUTDOWN";
        break;
    default:
        return FALSE;
    }
    // Flushed at once: after a close, logoff or shutdown the process may have
    // only seconds left.
    out_printf_flush("Process terminated with %s\n", name);
    stop_requested.store(1);
    return TRUE;
}
