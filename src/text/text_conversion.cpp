#include "text/text_conversion.h"

std::u16string ToWide(const std::string& text) {
    return text::ToUtf16(text.c_str());
}

std::string ToNarrow(const WCHAR* text) {
    return text == nullptr ? std::string() : text::ToUtf8(text);
}

namespace text {

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

}  // namespace text
