#include "media/api/bstr.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {
std::atomic<long> g_liveStrings{0};

// A string's block: a 32-bit byte count, then the text, then a terminator; a BSTR points at the
// text, so that it reads as a terminated wide string and its length is found without a scan.
std::uint32_t* Header(BSTR text) { return reinterpret_cast<std::uint32_t*>(text) - 1; }
}  // namespace

BSTR SysAllocStringLen(const OLECHAR* text, std::uint32_t length) {
    auto* block = static_cast<std::uint32_t*>(
        std::malloc(sizeof(std::uint32_t) + (static_cast<std::size_t>(length) + 1) * sizeof(OLECHAR)));
    if (block == nullptr) return nullptr;
    block[0] = length * static_cast<std::uint32_t>(sizeof(OLECHAR));
    auto* chars = reinterpret_cast<OLECHAR*>(block + 1);
    if (text) {
        std::memcpy(chars, text, length * sizeof(OLECHAR));
    } else {
        std::memset(chars, 0, length * sizeof(OLECHAR));
    }
    chars[length] = 0;
    g_liveStrings.fetch_add(1);
    return chars;
}

BSTR SysAllocString(const OLECHAR* text) {
    if (text == nullptr) return nullptr;
    return SysAllocStringLen(text, static_cast<std::uint32_t>(std::char_traits<char16_t>::length(text)));
}

void SysFreeString(BSTR text) {
    if (text == nullptr) return;
    g_liveStrings.fetch_sub(1);
    std::free(Header(text));
}

std::uint32_t SysStringLen(BSTR text) {
    return text == nullptr ? 0 : *Header(text) / static_cast<std::uint32_t>(sizeof(OLECHAR));
}

void VariantInit(VARIANT* v) {
    if (v == nullptr) return;
    std::memset(v, 0, sizeof(*v));
    v->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* v) {
    if (v == nullptr) return E_INVALIDARG;
    if (v->vt == VT_BSTR) SysFreeString(v->bstrVal);
    VariantInit(v);
    return S_OK;
}

namespace media {
long LiveStrings() { return g_liveStrings.load(); }
}  // namespace media
