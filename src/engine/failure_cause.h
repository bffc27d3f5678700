#pragma once

// Why a conversion failed, in words for a terminal or a log: the system's own text for a file
// that could not be written, and for a streaming error the filter and the stream it failed on.
// The window keeps its own fixed message; these words are for the command line.

#include <string>

#include "media/api/interfaces.h"

// A failure result in words: the system's error text for the system's errors (a full disk, a
// file too large, access denied, ...), a few words for the media layer's own streaming
// failures, and the code itself for anything else.
[[nodiscard]] std::string ResultText(HRESULT hr);

// An error abort's parameters (EC_ERRORABORT) in words: ResultText(hr), then the filter that
// reported it and, for a streaming failure, the stream of the input it was working on, named
// after the input's own pin for that stream ("Video 0"), when pin (which may be null) tells
// them. Application thread, while the pin's graph is whole.
[[nodiscard]] std::string AbortCause(HRESULT hr, IPin* pin);
