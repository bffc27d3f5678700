#include "media/graph/filter_registry.h"

#include <algorithm>
#include <mutex>


namespace media {
namespace {
std::mutex g_lock;
std::vector<RegisteredFilter>& Intermediates() {
    static std::vector<RegisteredFilter> entries;
    return entries;
}
std::vector<RegisteredFilter>& Renderers() {
    static std::vector<RegisteredFilter> entries;
    return entries;
}

void AddOrReplace(std::vector<RegisteredFilter>& entries, RegisteredFilter filter) {
    std::lock_guard lock(g_lock);
    auto it =
        std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.clsid == filter.clsid; });
    if (it != entries.end()) {
        *it = std::move(filter);
    } else {
        entries.push_back(std::move(filter));
    }
}

std::vector<RegisteredFilter> ByMerit(const std::vector<RegisteredFilter>& entries) {
    std::lock_guard lock(g_lock);
    std::vector<RegisteredFilter> copy = entries;
    std::stable_sort(copy.begin(), copy.end(),
                     [](const auto& a, const auto& b) { return a.merit > b.merit; });
    return copy;
}
}  // namespace

void RegisterIntermediateFilter(RegisteredFilter filter) {
    AddOrReplace(Intermediates(), std::move(filter));
}

std::vector<RegisteredFilter> IntermediateFiltersByMerit() {
    return ByMerit(Intermediates());
}

void RegisterRenderer(RegisteredFilter renderer) {
    AddOrReplace(Renderers(), std::move(renderer));
}

std::vector<RegisteredFilter> RenderersByMerit() {
    return ByMerit(Renderers());
}

}  // namespace media
