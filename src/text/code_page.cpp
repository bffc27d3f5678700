#include "text/code_page.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsKnownCodePage(UINT codePage) {
    return codePage == CP_ACP || codePage == CP_UTF8;
}

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// What becomes of bytes that are not valid UTF-8.
enum class Malformed { Replace, Refuse, Keep };

// Where a byte that is not valid UTF-8 is kept: U+DC80-U+DCFF, halves of surrogate pairs that
// valid UTF-16 never leaves alone, so they cannot be mistaken for text.
constexpr char16_t kKeptByteBase = 0xDC00;

bool IsKeptByte(char16_t unit) {
    return unit >= kKeptByteBase + 0x80 && unit <= kKeptByteBase + 0xFF;
}

// Decodes UTF-8. Each maximal malformed subsequence becomes one U+FFFD, fails the whole
// conversion, or has each of its bytes kept, as asked.
std::optional<std::u16string> DecodeUtf8(std::string_view text, Malformed malformed) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        }
        // Length and the allowed range of the second byte, which excludes overlong forms,
        // surrogates and values beyond U+10FFFF.
        int length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        char32_t value = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            value = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            value = lead & 0x0F;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            value = lead & 0x07;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        }
        std::size_t consumed = 1;
        bool complete = length > 0;
        for (int k = 1; complete && k < length; ++k) {
            const std::size_t at = i + static_cast<std::size_t>(k);
            const auto byte = at < text.size() ? static_cast<unsigned char>(text[at]) : 0;
            const bool valid =
                at < text.size() && IsContinuation(byte) && (k > 1 || (byte >= low && byte <= high));
            if (!valid) {
                complete = false;
                break;
            }
            value = (value << 6) | (byte & 0x3F);
            ++consumed;
        }
        if (!complete) {
            if (malformed == Malformed::Refuse) return std::nullopt;
            if (malformed == Malformed::Keep) {
                for (std::size_t k = 0; k < consumed; ++k) {
                    out.push_back(
                        static_cast<char16_t>(kKeptByteBase + static_cast<unsigned char>(text[i + k])));
                }
            } else {
                out.push_back(static_cast<char16_t>(kReplacement));
            }
        } else if (value >= 0x10000) {
            value -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (value >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (value & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(value));
        }
        i += consumed;
    }
    return out;
}

void AppendUtf8(std::string& out, char32_t value) {
    if (value < 0x80) {
        out.push_back(static_cast<char>(value));
    } else if (value < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (value >> 6)));
        out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    } else if (value < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (value >> 12)));
        out.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (value >> 18)));
        out.push_back(static_cast<char>(0x80 | ((value >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    }
}

// Encodes UTF-16 as UTF-8. An unpaired surrogate becomes U+FFFD, except that a kept byte becomes
// that byte again when asked.
std::string EncodeUtf8(std::u16string_view text, bool restoreKeptBytes) {
    std::string out;
    out.reserve(text.size() * 3);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            AppendUtf8(out,
                       0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (restoreKeptBytes && IsKeptByte(unit)) {
            out.push_back(static_cast<char>(unit - kKeptByteBase));
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

// The platform's size protocol: a zero target asks for the size; a target too small fails
// without writing anything.
template <class Unit>
int Deliver(const std::basic_string<Unit>& converted, Unit* target, int targetLength) {
    const auto needed = converted.size();
    if (needed > static_cast<std::size_t>(std::numeric_limits<int>::max())) return 0;
    if (targetLength == 0) return static_cast<int>(needed);
    if (needed > static_cast<std::size_t>(targetLength)) return 0;
    std::copy(converted.begin(), converted.end(), target);
    return static_cast<int>(needed);
}

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, const char* source, int sourceLength, WCHAR* target,
                        int targetLength) {
    if (!IsKnownCodePage(codePage) || source == nullptr || sourceLength == 0 || sourceLength < -1 ||
        targetLength < 0 || (target == nullptr && targetLength != 0)) {
        return 0;
    }
    const std::size_t length =
        sourceLength == -1 ? std::strlen(source) + 1 : static_cast<std::size_t>(sourceLength);
    const Malformed malformed = (flags & MB_KEEP_INVALID_BYTES) != 0  ? Malformed::Keep
                                : (flags & MB_ERR_INVALID_CHARS) != 0 ? Malformed::Refuse
                                                                      : Malformed::Replace;
    const auto converted = DecodeUtf8(std::string_view(source, length), malformed);
    return converted ? Deliver(*converted, target, targetLength) : 0;
}

int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* source, int sourceLength, char* target,
                        int targetLength, const char* /*defaultChar*/, BOOL* usedDefault) {
    if (usedDefault) *usedDefault = 0;
    if (!IsKnownCodePage(codePage) || source == nullptr || sourceLength == 0 || sourceLength < -1 ||
        targetLength < 0 || (target == nullptr && targetLength != 0)) {
        return 0;
    }
    const std::size_t length = sourceLength == -1 ? std::char_traits<char16_t>::length(source) + 1
                                                  : static_cast<std::size_t>(sourceLength);
    return Deliver(EncodeUtf8(std::u16string_view(source, length), (flags & WC_KEEP_INVALID_BYTES) != 0),
                   target, targetLength);
}
