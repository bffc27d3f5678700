#pragma once

// How wide the terminal is, and how wide text is on it: what keeps a line that updates in place
// on one line.

#include <cstddef>
#include <string>

// The columns of the terminal on descriptor, read again after the terminal was resized
// (SIGWINCH); 0 when descriptor is no terminal or does not tell. Main thread.
[[nodiscard]] int TerminalColumns(int descriptor);

// Starts watching for resizes. Main thread, once.
void WatchTerminalResizes();

// The columns text (UTF-8, or any bytes) takes: two for East Asian wide characters, one for
// every other character and for each byte that is not UTF-8.
[[nodiscard]] std::size_t ColumnsOf(const std::string& text);

// text in at most columns: cut in the middle, where "…" stands for what was left out.
[[nodiscard]] std::string CutToColumns(const std::string& text, std::size_t columns);
