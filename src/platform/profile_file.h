#pragma once

// Private profile (INI) files with the platform's calls. A bare file name such as
// "tessarel.ini" lives in the user's configuration folder: $XDG_CONFIG_HOME, else ~/.config.
// Narrow text is UTF-8.

#include <string>

#include "platform/win_types.h"

// Copies the value of key in section of fileName, or defaultValue (null: empty) when the file,
// the section or the key is missing, into returned: at most size - 1 bytes and a terminator.
// Returns the number of bytes copied without the terminator. Sections and keys compare without
// regard to case. A null section or key (the platform's listing forms) gives the default.
DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue, char* returned,
                               DWORD size, const char* fileName);

// Sets key in section of fileName to value, creating the folder, the file and the section as
// needed and keeping every other line. A null value removes the key, a null key the section.
// The file is replaced in one step, so a failed write leaves the old one whole; a read-only file,
// or one the user may not write, is never replaced. Non-zero on success; 0 when the file cannot
// be written or a text holds a line break.
BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                const char* fileName);

namespace platform {
// Where fileName lives: a name with a "/" as it is, a bare name in the configuration folder.
[[nodiscard]] std::string ProfileFilePath(const char* fileName);
}  // namespace platform
