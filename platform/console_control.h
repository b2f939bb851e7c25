// Console control handlers: the Windows API itself on Windows; elsewhere a
// layer of our own with the same contract, driven by the signals that stand
// for the console events (see console_control_posix.cpp).
#pragma once

#if defined(_WIN32)
#include <windows.h>
#else
#include <cstdint>

// The calling convention of Windows callbacks; POSIX has only one.
#define WINAPI

using BOOL = int;
using DWORD = std::uint32_t;
using PHANDLER_ROUTINE = BOOL(WINAPI*)(DWORD);

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

constexpr DWORD CTRL_C_EVENT = 0;
constexpr DWORD CTRL_BREAK_EVENT = 1;
constexpr DWORD CTRL_CLOSE_EVENT = 2;
constexpr DWORD CTRL_LOGOFF_EVENT = 5;
constexpr DWORD CTRL_SHUTDOWN_EVENT = 6;

// Adds a handler (add must be TRUE; the tool never removes one, nor asks for
// the null handler, so this layer offers neither and returns FALSE for them).
// Handlers are called most recently added first, on a thread of the layer's
// own, until one returns TRUE; when none does, the event ends the process as
// its signal does by default.
BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add);
#endif
