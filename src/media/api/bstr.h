#pragma once

// Length-prefixed UTF-16 strings and string variants, as property bags hand them out.

#include <cstdint>
#include <string>

#include "media/api/types.h"

// A new BSTR holding a copy of text (up to its terminator); null for null text.
BSTR SysAllocString(const OLECHAR* text);
BSTR SysAllocStringLen(const OLECHAR* text, std::uint32_t length);
void SysFreeString(BSTR text);
std::uint32_t SysStringLen(BSTR text);

using VARTYPE = std::uint16_t;
inline constexpr VARTYPE VT_EMPTY = 0;
inline constexpr VARTYPE VT_I4 = 3;
inline constexpr VARTYPE VT_BSTR = 8;

struct VARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        LONG lVal;
        BSTR bstrVal;
        LONGLONG llVal;
    };
};

void VariantInit(VARIANT* v);
// Frees what the variant holds (the string of a VT_BSTR) and leaves it VT_EMPTY.
HRESULT VariantClear(VARIANT* v);

namespace media {
// Number of BSTRs allocated and not yet freed. Tests expect zero after each test.
[[nodiscard]] long LiveStrings();
}  // namespace media
