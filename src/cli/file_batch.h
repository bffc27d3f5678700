#pragma once

// The run over every FILE of the command line, one after another, as the window's run goes
// down its list: the first failure ends it unless --keep-going, a stop signal ends it after the
// job in hand. Its result is the program's exit status.

#include "cli/convert_options.h"

// 0 when every FILE converted, 1 when any failed, 2 for a compressor that matches no single
// entry, 128 + the signal's number when a stop signal ended the run.
[[nodiscard]] int ConvertFiles(const ConvertOptions& options);
