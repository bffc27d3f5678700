#include "media/graph/filter_registry.h"

#include <algorithm>
#include <mutex>

namespace media {
namespace {
std::mutex g_lock;
std::vector<RegisteredFilter>& Entries() {
    static std::vector<RegisteredFilter> entries;
    return entries;
}
}  // namespace

void RegisterIntermediateFilter(RegisteredFilter filter) {
    std::lock_guard lock(g_lock);
    auto& entries = Entries();
    auto it = std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.clsid == filter.clsid; });
    if (it != entries.end()) {
        *it = std::move(filter);
    } else {
        entries.push_back(std::move(filter));
    }
}

std::vector<RegisteredFilter> IntermediateFiltersByMerit() {
    std::lock_guard lock(g_lock);
    std::vector<RegisteredFilter> copy = Entries();
    std::stable_sort(copy.begin(), copy.end(), [](const auto& a, const auto& b) { return a.merit > b.merit; });
    return copy;
}

}  // namespace media
