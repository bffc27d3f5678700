#pragma once

// Opening a file with the desktop's default application, in the platform's terms, and the one
// seam through which it happens. The desktop's own lookup lives in default_shell_execute.cpp;
// tests install a handler so that no test ever starts a real player.

#include <cstdint>
#include <functional>
#include <string>

inline constexpr int SW_SHOW = 5;

// Results of 32 or less are failures, as the platform's shell reports them.
inline constexpr std::intptr_t SE_ERR_FNF = 2;       // the file, or the associated program, is missing
inline constexpr std::intptr_t SE_ERR_NOASSOC = 31;  // no application is associated with the file's type
// Any result above 32 is success; this is the one the default handler gives.
inline constexpr std::intptr_t kShellExecuteStarted = 42;

// Performs verb on file (UTF-8) and returns the result as ShellExecuteA does.
using ShellExecuteHandler = std::function<std::intptr_t(const std::string& verb, const std::string& file)>;

// Replaces the handler and returns the previous one; an empty handler restores the desktop's.
// User-interface thread only.
ShellExecuteHandler SetShellExecuteHandler(ShellExecuteHandler handler);

// Asks the desktop to perform verb ("open") on file and returns at once: above 32 when the
// application was started, 32 or less when it was not (SE_ERR_FNF: file missing;
// SE_ERR_NOASSOC: nothing associated with its type, or a verb other than "open"). The path
// reaches the application as one argument, never through a shell. owner, parameters, directory
// and showCommand are the platform's; here the application places its own window.
std::intptr_t ShellExecuteA(const void* owner, const char* verb, const char* file, const char* parameters,
                            const char* directory, int showCommand);

namespace platform {
// The default handler: the desktop's default application for the file's type (see
// desktop_applications.h), started with the path as one argument.
std::intptr_t OpenWithDefaultApplication(const std::string& verb, const std::string& file);
}  // namespace platform
