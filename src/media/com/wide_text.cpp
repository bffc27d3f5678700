#include "media/com/wide_text.h"

#include <algorithm>

#include "media/com/task_memory.h"
#include "platform/code_page.h"

namespace media {

std::string ToUtf8(std::u16string_view text) {
    if (text.empty()) return {};
    // Three bytes per unit are enough for any UTF-16 text; a kept byte takes one.
    std::string out(3 * text.size(), '\0');
    const int written =
        WideCharToMultiByte(CP_UTF8, WC_KEEP_INVALID_BYTES, text.data(), static_cast<int>(text.size()),
                            out.data(), static_cast<int>(out.size()), nullptr, nullptr);
    out.resize(static_cast<std::size_t>(written));
    return out;
}

std::u16string ToUtf16(std::string_view text) {
    if (text.empty()) return {};
    // Never more units than bytes.
    std::u16string out(text.size(), u'\0');
    const int written =
        MultiByteToWideChar(CP_UTF8, MB_KEEP_INVALID_BYTES, text.data(), static_cast<int>(text.size()),
                            out.data(), static_cast<int>(out.size()));
    out.resize(static_cast<std::size_t>(written));
    return out;
}

std::optional<std::string> FileNameBytes(std::u16string_view name) {
    std::string bytes = ToUtf8(name);
    if (ToUtf16(bytes) != name) return std::nullopt;
    return bytes;
}

void CopyToFixed(std::u16string_view text, WCHAR* target, std::size_t capacity) {
    if (target == nullptr || capacity == 0) return;
    const std::size_t n = std::min(text.size(), capacity - 1);
    std::copy_n(text.data(), n, target);
    target[n] = 0;
}

LPWSTR TaskMemString(std::u16string_view text) {
    auto* s = static_cast<LPWSTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(WCHAR)));
    if (s == nullptr) return nullptr;
    std::copy(text.begin(), text.end(), s);
    s[text.size()] = 0;
    return s;
}

}  // namespace media
