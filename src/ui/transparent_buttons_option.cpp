#include "ui/transparent_buttons_option.h"

#include "platform/win_app.h"

namespace {

constexpr char kSection[] = "RegAT";
constexpr char kEntry[] = "trans";
constexpr char kOn[] = "trans";

}  // namespace

bool ReadTransparentButtonsOption() {
    const WinApp* app = AfxGetApp();
    return app != nullptr && app->GetProfileString(kSection, kEntry, "") == kOn;
}

void StoreTransparentButtonsOption(bool on) {
    if (WinApp* app = AfxGetApp()) app->WriteProfileString(kSection, kEntry, on ? kOn : "");
}
