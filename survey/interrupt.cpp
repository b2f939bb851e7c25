#include "survey/interrupt.h"

#include <condition_variable>
#include <mutex>

#include "output/console_output.h"

std::atomic<std::int32_t> stop_requested{0};

namespace {

// Whether the run has finished, and a way to wait for it. Never destroyed: a
// handler may be waiting on it while the process exits.
struct RunEnd {
    std::mutex lock;
    std::condition_variable changed;
    bool finished = false;
};

RunEnd& run_end() {
    static RunEnd* state = new RunEnd;
    return *state;
}

void wait_for_run_end() {
    RunEnd& state = run_end();
    std::unique_lock<std::mutex> hold(state.lock);
    state.changed.wait_for(hold, RUN_FINISH_WAIT, [&state] { return state.finished; });
}

} // namespace

void mark_run_started() {
    RunEnd& state = run_end();
    std::lock_guard<std::mutex> hold(state.lock);
    state.finished = false;
}

void mark_run_finished() {
    RunEnd& state = run_end();
    {
        std::lock_guard<std::mutex> hold(state.lock);
        state.finished = true;
    }
    state.changed.notify_all();
}

BOOL WINAPI console_ctrl_handler(DWORD event) {
    const char* name = nullptr;
    bool process_ends = false; // the system ends the process once we return
    switch (event) {
    case CTRL_C_EVENT:
        name = "CTRL-C";
        break;
    case CTRL_BREAK_EVENT:
        name = "CTRL-BREAK";
        break;
    case CTRL_CLOSE_EVENT:
        name = "CTRL-CLOSE";
        process_ends = true;
        break;
    case CTRL_LOGOFF_EVENT:
        name = "CTRL-LOGOFF";
        process_ends = true;
        break;
    case CTRL_SHUTDOWN_EVENT:
        name = "CTRL-SHUTDOWN";
        process_ends = true;
        break;
    default:
        return FALSE;
    }
    // Flushed at once: after a close, logoff or shutdown the process may have
    // only seconds left.
    out_printf_flush("Process terminated with %s\n", name);
    stop_requested.store(1);
    if (process_ends) {
        // The walk stops after the note in hand; returning now would let the
        // system end the process before the totals, the table's release and
        // the database's close.
        wait_for_run_end();
    }
    return TRUE;
}
