// Console control events on POSIX, with the contract of the Windows call:
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

std::mutex g_lock;
std::vector<PHANDLER_ROUTINE> g_handlers; // most recently added last
bool g_ignore_ctrl_c = false;
bool g_started = false;

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
        std::lock_guard<std::mutex> hold(g_lock);
        if (event == CTRL_C_EVENT && g_ignore_ctrl_c) {
            return true;
        }
        handlers = g_handlers;
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

void start_watcher_locked() {
    if (g_started) {
        return;
    }
    sigset_t set = watched_signals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread(watch_signals, set).detach();
    g_started = true;
}

} // namespace

BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add) {
    std::lock_guard<std::mutex> hold(g_lock);
    if (handler == nullptr) {
        g_ignore_ctrl_c = add != FALSE;
        if (add != FALSE) {
            start_watcher_locked();
        }
        return TRUE;
    }
    auto found = std::find(g_handlers.begin(), g_handlers.end(), handler);
    if (add == FALSE) {
        if (found == g_handlers.end()) {
            return FALSE;
        }
        g_handlers.erase(found);
        return TRUE;
    }
    // Adding a handler that is already there makes it the most recent one;
    // the list never grows by repeated installation.
    if (found != g_handlers.end()) {
        if (found + 1 != g_handlers.end()) {
            g_handlers.erase(found);
            g_handlers.push_back(handler);
        }
    } else {
        g_handlers.push_back(handler);
    }
    start_watcher_locked();
    return TRUE;
}
