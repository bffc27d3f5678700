#pragma once

// Why a job could not start, in words a command-line user can act on. The engine's messages are
// the window's and name the step that failed; the cause is found by looking at what the job's
// paths are now: the input (missing, a directory, not a regular file, unreadable, empty, not
// media, no video), the output's folder (missing, not a folder, not writable), and else the
// result the build gave.

#include <string>

#include "engine/job_naming.h"
#include "media/api/types.h"

// The cause, for the line after the engine's message: "is a directory", "output folder DIR:
// Permission denied", "holds no video stream", ... started is the result of the job's Start.
// Empty when nothing better than the message can be said.
[[nodiscard]] std::string StartFailureCause(const ListedJob& job, HRESULT started);

// Why the input FILE cannot even be read: its stat or open error, "is a directory" or "is not a
// regular file"; empty for a readable regular file.
[[nodiscard]] std::string UnreadableInputCause(const std::string& input);
