#pragma once

// What --help and --version print. The manual page tessarel-convert(1) says the same: a test
// holds the two to the same options.

// The whole help, ending in a line break, as written (Translated gives the user's language).
extern const char* const kHelpText;

// "tessarel-convert VERSION" and the licence in the user's language, ending in a line break.
[[nodiscard]] const char* VersionText();

// The line after a usage error, as written.
extern const char* const kTryHelp;
