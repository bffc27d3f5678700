#pragma once

// Switching the computer off, in the platform's terms, and the one seam through which it
// happens. Nothing switches off unless a program installs a handler that does: the program
// installs logind's (RequestLogindPowerOff) in main, and every other program (tests, tools)
// keeps the default, which refuses and says so on the error output.

#include <functional>

#include "platform/win_types.h"

inline constexpr UINT EWX_SHUTDOWN = 0x1;
inline constexpr UINT EWX_FORCE = 0x4;

// Asks for the shutdown that flags describe and returns at once: TRUE when the request went
// out, FALSE when it did not. reserved is the platform's and ignored. User-interface thread only.
BOOL ExitWindowsEx(UINT flags, DWORD reserved);

// Receives every request instead of the system; returns what ExitWindowsEx returns.
using PowerOffHandler = std::function<BOOL(UINT flags)>;

// Replaces the handler and returns the previous one; an empty handler restores the refusing
// default. User-interface thread only.
PowerOffHandler SetPowerOffHandler(PowerOffHandler handler);

namespace platform {
// logind's PowerOff on the system bus, not interactive (no authentication dialog), sent without
// waiting for its answer. TRUE when the request could be sent.
BOOL RequestLogindPowerOff(UINT flags);
}  // namespace platform
