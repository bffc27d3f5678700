#pragma once

// File attributes in the platform's terms, answered from the file system here.

#include "platform/win_types.h"

inline constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
inline constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x2;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;

// INVALID_FILE_ATTRIBUTES when path (UTF-8) names nothing. Otherwise FILE_ATTRIBUTE_DIRECTORY
// for a directory, FILE_ATTRIBUTE_HIDDEN added when its name starts with "." and
// FILE_ATTRIBUTE_READONLY when the user may not write it. A file with neither of the last two
// answers FILE_ATTRIBUTE_NORMAL alone, as on the platform. Symbolic links are followed.
DWORD GetFileAttributesA(const char* path);
