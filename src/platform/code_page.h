#pragma once

// Conversion between narrow text and UTF-16 with the platform's calling conventions. The
// system code page (CP_ACP) is UTF-8 here, so a UTF-16 unit may need up to three bytes.

#include "platform/win_types.h"

inline constexpr UINT CP_ACP = 0;
inline constexpr UINT CP_UTF8 = 65001;

inline constexpr DWORD MB_PRECOMPOSED = 0x1;
inline constexpr DWORD MB_ERR_INVALID_CHARS = 0x8;

// Converts sourceLength bytes of source (-1: up to and including its terminator) to UTF-16.
// With targetLength 0 nothing is written and the number of units needed is returned; otherwise
// the number of units written. 0 on failure: bad arguments, an unknown code page, a target too
// small (nothing is written then), or, with MB_ERR_INVALID_CHARS, malformed input. Without
// that flag each malformed sequence becomes U+FFFD.
int MultiByteToWideChar(UINT codePage, DWORD flags, const char* source, int sourceLength, WCHAR* target,
                        int targetLength);

// Converts sourceLength units of source (-1: up to and including its terminator) to narrow
// text, with the same size conventions as MultiByteToWideChar. An unpaired surrogate becomes
// U+FFFD. defaultChar is not used (UTF-8 can say everything); *usedDefault is set to 0.
int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* source, int sourceLength, char* target,
                        int targetLength, const char* defaultChar, BOOL* usedDefault);
