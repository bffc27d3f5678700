#include "engine/text_conversion.h"

#include <vector>

#include "platform/code_page.h"

std::u16string ToWide(const std::string& text) {
    // One UTF-16 unit per narrow byte is always enough, plus the terminator.
    std::vector<WCHAR> buffer(text.size() + 1, u'\0');
    if (MultiByteToWideChar(CP_ACP, MB_KEEP_INVALID_BYTES, text.c_str(), -1, buffer.data(),
                            static_cast<int>(buffer.size())) == 0) {
        return {};
    }
    return std::u16string(buffer.data());
}

std::string ToNarrow(const WCHAR* text) {
    if (text == nullptr) return {};
    const std::size_t units = std::char_traits<char16_t>::length(text);
    std::vector<char> buffer(3 * units + 1, '\0');
    if (WideCharToMultiByte(CP_ACP, WC_KEEP_INVALID_BYTES, text, -1, buffer.data(),
                            static_cast<int>(buffer.size()), nullptr, nullptr) == 0) {
        return {};
    }
    return std::string(buffer.data());
}
