#pragma once

// What --help and --version print. The manual page tessarel-convert(1) says the same: a test
// holds the two to the same options.

// The whole help, ending in a line break.
extern const char kHelpText[];

// "tessarel-convert VERSION" and the licence, ending in a line break.
[[nodiscard]] const char* VersionText();

// The line after a usage error.
extern const char kTryHelp[];
