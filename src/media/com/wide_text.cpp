#include "media/com/wide_text.h"

#include <algorithm>

#include "media/api/task_memory.h"

namespace media {

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
