#pragma once

#include <QString>

// Numeric resource ids as the dialog code knows them, and where each lives in the
// program's Qt resources. Dialog templates are compiled .ui forms, so they have no path.
namespace resource_ids {

inline constexpr unsigned kMainDialog = 102;   // main_window.ui
inline constexpr unsigned kAboutDialog = 103;  // about_dialog.ui
inline constexpr unsigned kAppIcon = 128;      // 16, 32 and 48 pixel images
inline constexpr unsigned kSkinBitmap = 136;   // 647 x 492, 24 bits per pixel

}  // namespace resource_ids

// The resource path (":/res/...") of a bitmap or icon id; an empty string for any other id.
// Also makes sure the resources are registered, so callers never depend on static-library
// link order.
[[nodiscard]] QString ResourcePath(unsigned id);
