#include "media/graph/renderer_registry.h"

#include <algorithm>
#include <mutex>

#include "media/com/class_registry.h"

namespace media {
namespace {
std::mutex g_lock;
std::vector<RegisteredFilter>& Entries() {
    static std::vector<RegisteredFilter> entries;
    return entries;
}
}  // namespace

void RegisterRenderer(RegisteredFilter renderer) {
    std::lock_guard lock(g_lock);
    auto& entries = Entries();
    std::erase_if(entries, [&](const RegisteredFilter& e) { return e.clsid == renderer.clsid; });
    entries.push_back(std::move(renderer));
}

std::vector<RegisteredFilter> RenderersByMerit() {
    EnsureBuiltInClasses();
    std::lock_guard lock(g_lock);
    std::vector<RegisteredFilter> copy = Entries();
    std::stable_sort(copy.begin(), copy.end(), [](const auto& a, const auto& b) { return a.merit > b.merit; });
    return copy;
}

}  // namespace media
