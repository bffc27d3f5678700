#pragma once

#include <string>

namespace resource_ids {

inline constexpr unsigned kAboutMenuString = 120;  // the About entry of the window menu

}  // namespace resource_ids

// The text of string resource id, UTF-8; empty for an id the table does not hold.
[[nodiscard]] std::string LoadResourceString(unsigned id);
