// Console control events on POSIX, with the part of the Windows call's contract
// that the tool uses (adding a handler):
//
//   SIGINT -> CTRL_C_EVENT, SIGQUIT -> CTRL_BREAK_EVENT,
//   SIGHUP -> CTRL_CLOSE_EVENT, SIGTERM -> CTRL_SHUTDOWN_EVENT.
//
// Handlers do not run inside a signal handler: the first installation blocks
// the four signals in the calling thread (and so in every thread it starts
// later) and starts a thread that waits for them with sigwait() and calls the
// handlers there, where they may print and lock like any other code. When no
// handler takes an event, the signal is delivered again with its default
// action, so the process ends by it as it would have without us.
#include "platform/console_control.h"

#include <algorithm>
#include <csignal>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <vector>

namespace {

struct EventSignal {
    int signal_number;
    DWORD event;
};

constexpr EventSignal event_signals[] = {
    {SIGINT, CTRL_C_EVENT},
    {SIGQUIT, CTRL_BREAK_EVENT},
    {SIGHUP, CTRL_CLOSE_EVENT},
    {SIGTERM, CTRL_SHUTDOWN_EVENT},
};

// The layer's state. It is never destroyed: the watcher thread may take a
// signal while the process runs its exit handlers, and must then find the
// handlers where they were.
struct Layer {
    std::mutex lock;
    std::vector<PHANDLER_ROUTINE> handlers; // most recently added last
    bool started = false;
};

Layer& layer() {
    static Layer* state = new Layer;
    return *state;
}

sigset_t watched_signals() {
    sigset_t set;
    sigemptyset(&set);
    for (const EventSignal& e : event_signals) {
        sigaddset(&set, e.signal_number);
    }
    return set;
}

DWORD event_of(int signal_number) {
    for (const EventSignal& e : event_signals) {
        if (e.signal_number == signal_number) {
            return e.event;
        }
    }
    return CTRL_C_EVENT;
}

bool dispatch(DWORD event) {
    std::vector<PHANDLER_ROUTINE> handlers;
    {
        Layer& state = layer();
        std::lock_guard<std::mutex> hold(state.lock);
        handlers = state.handlers;
    }
    for (auto it = handlers.rbegin(); it != handlers.rend(); ++it) {
        if ((*it)(event) != FALSE) {
            return true;
        }
    }
    return false;
}

// Ends the process by signal_number's default action.
[[noreturn]] void die_by_default(int signal_number) {
    std::signal(signal_number, SIG_DFL);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, signal_number);
    pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    std::raise(signal_number);
    // Default actions of the watched signals all end the process; should the
    // signal have been ignored by whoever started us, still end as asked.
    std::_Exit(128 + signal_number);
}

void watch_signals(sigset_t set) {
    for (;;) {
        int signal_number = 0;
        if (sigwait(&set, &signal_number) != 0) {
            continue;
        }
        if (!dispatch(event_of(signal_number))) {
            die_by_default(signal_number);
        }
    }
}

void start_watcher_locked(Layer& state) {
    if (state.started) {
        return;
    }
    sigset_t set = watched_signals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread(watch_signals, set).detach();
    state.started = true;
}

} // namespace

BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add) {
    if (handler == nullptr || add == FALSE) {
        return FALSE;
    }
    Layer& state = layer();
    std::lock_guard<std::mutex> hold(state.lock);
    std::vector<PHANDLER_ROUTINE>& handlers = state.handlers;
    // Adding a handler that is already there makes it the most recent one;
    // the list never grows by repeated installation.
    auto found = std::find(handlers.begin(), handlers.end(), handler);
    if (found != handlers.end()) {
        if (found + 1 != handlers.end()) {
            handlers.erase(found);
            handlers.push_back(handler);
        }
    } else {
        handlers.push_back(handler);
    }
    start_watcher_locked(state);
    return TRUE;
}
