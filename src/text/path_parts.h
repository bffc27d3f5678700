#pragma once

// The parts of a path: its folder and its name. Paths are byte strings split at '/' only (any
// bytes but '/' and NUL may stand in a name); nothing here touches the file system.

#include <string>

// The text before path's last '/': "/" for a file in the root folder, empty for a bare name.
[[nodiscard]] std::string FolderPartOf(const std::string& path);

// The folder that path names a file in: FolderPartOf, or "." for a bare name (the current
// folder), so that the result can be handed to the system as it is.
[[nodiscard]] std::string FolderOf(const std::string& path);

// The text after path's last '/': the whole path when it has none.
[[nodiscard]] std::string NameOf(const std::string& path);
