#pragma once

// Conversion between narrow text and UTF-16 with the platform's calling conventions. The
// system code page (CP_ACP) is UTF-8 here, so a UTF-16 unit may need up to three bytes.

#include <cstdint>

// The platform's own names for the types of these calls.
using UINT = unsigned int;
using DWORD = std::uint32_t;
using BOOL = std::int32_t;
using WCHAR = char16_t;

inline constexpr UINT CP_ACP = 0;
inline constexpr UINT CP_UTF8 = 65001;

inline constexpr DWORD MB_PRECOMPOSED = 0x1;
inline constexpr DWORD MB_ERR_INVALID_CHARS = 0x8;
// Beyond the platform's flags, for file names, which are bytes here: a byte that is not part of
// valid UTF-8 becomes the lone surrogate U+DC00 + byte (U+DC80-U+DCFF), and such a surrogate
// becomes that byte again, so every name survives the round trip exactly.
inline constexpr DWORD MB_KEEP_INVALID_BYTES = 0x10000;
inline constexpr DWORD WC_KEEP_INVALID_BYTES = 0x10000;

// Converts sourceLength bytes of source (-1: up to and including its terminator) to UTF-16.
// With targetLength 0 nothing is written and the number of units needed is returned; otherwise
// the number of units written. 0 on failure: bad arguments, an unknown code page, a target too
// small (nothing is written then), or, with MB_ERR_INVALID_CHARS, malformed input. Without
// that flag each malformed sequence becomes U+FFFD; with MB_KEEP_INVALID_BYTES (which makes
// MB_ERR_INVALID_CHARS moot) each of its bytes is kept.
int MultiByteToWideChar(UINT codePage, DWORD flags, const char* source, int sourceLength, WCHAR* target,
                        int targetLength);

// Converts sourceLength units of source (-1: up to and including its terminator) to narrow
// text, with the same size conventions as MultiByteToWideChar. An unpaired surrogate becomes
// U+FFFD; with WC_KEEP_INVALID_BYTES one of U+DC80-U+DCFF becomes its byte instead. defaultChar
// is not used (UTF-8 can say everything); *usedDefault is set to 0.
int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* source, int sourceLength, char* target,
                        int targetLength, const char* defaultChar, BOOL* usedDefault);
