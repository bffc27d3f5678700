#pragma once

// The desktop's applications and which one opens a type of file, read from the freedesktop.org
// files (desktop entries and mimeapps.list) without any desktop library. No Qt.

#include <optional>
#include <string>
#include <vector>

// The folders the lookup reads, most important first.
struct XdgDirectories {
    std::vector<std::string> config;    // $XDG_CONFIG_HOME, then $XDG_CONFIG_DIRS
    std::vector<std::string> data;      // $XDG_DATA_HOME, then $XDG_DATA_DIRS
    std::vector<std::string> desktops;  // $XDG_CURRENT_DESKTOP, lower case

    // From the environment, with the specification's defaults for unset variables.
    [[nodiscard]] static XdgDirectories FromEnvironment();
};

// An installed application, from its desktop entry.
struct DesktopApplication {
    std::string desktopFile;  // full path of the entry
    std::string name;
    std::string icon;
    std::string exec;  // the Exec line, string escapes already undone
};

// The application that opens files of mimeTypes (the most specific type first): the first
// installed one named for a type under [Default Applications] of the mimeapps.list files, then
// under [Added Associations], then any installed application that lists the type. None when
// nothing is associated. Files that are not regular files, or far too large, are not read.
[[nodiscard]] std::optional<DesktopApplication> DefaultApplicationFor(
    const std::vector<std::string>& mimeTypes, const XdgDirectories& directories);

// The program and its arguments that application's Exec line gives for file: file takes the
// place of %f, %F, %u or %U as one argument, whatever characters it holds; without any of those it
// is added at the end. Empty when the Exec line is empty, its quoting is broken, or the file
// would be the program.
[[nodiscard]] std::vector<std::string> CommandLineFor(const DesktopApplication& application,
                                                      const std::string& file);
