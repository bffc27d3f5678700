#pragma once

// The transparent-buttons option, kept in the application's profile: section "RegAT", entry
// "trans". It is on when the entry holds exactly "trans"; any other text, or none, means off.

// Without an application object the option reads as off.
[[nodiscard]] bool ReadTransparentButtonsOption();

// Stores "trans" when on, the empty text when off. Without an application object it is not kept.
void StoreTransparentButtonsOption(bool on);
