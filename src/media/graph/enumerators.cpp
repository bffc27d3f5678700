#include "media/graph/enumerators.h"

#include <algorithm>

#include "media/api/com_object.h"

namespace media {
namespace {

// Enumerates a snapshot of items through interface E. HandOut turns one item into what Next
// gives the caller (which then owns it); null means it could not, and Next stops there.
template <class E, class Item, class Out, Out (*HandOut)(const Item&)>
class SnapshotEnumerator final : public ComObject<E> {
public:
    explicit SnapshotEnumerator(std::vector<Item> items, std::size_t position = 0)
        : m_items(std::move(items)), m_position(position) {}

    HRESULT Next(ULONG count, Out* out, ULONG* fetched) override {
        if (out == nullptr) return E_POINTER;
        ULONG n = 0;
        while (n < count && m_position < m_items.size()) {
            out[n] = HandOut(m_items[m_position++]);
            if (out[n] == nullptr) break;
            ++n;
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(ULONG count) override {
        m_position = std::min<std::size_t>(m_items.size(), m_position + count);
        return m_position < m_items.size() ? S_OK : S_FALSE;
    }
    HRESULT Reset() override {
        m_position = 0;
        return S_OK;
    }
    HRESULT Clone(E** clone) override {
        if (clone == nullptr) return E_POINTER;
        *clone = new SnapshotEnumerator(m_items, m_position);
        return S_OK;
    }

private:
    std::vector<Item> m_items;
    std::size_t m_position = 0;
};

// A new reference for the caller.
template <class I>
I* NewReference(const ComPtr<I>& item) {
    return InterfaceRef<I>(item.Get()).Detach();
}

// A copy in task-allocator memory, for the caller to delete.
AM_MEDIA_TYPE* NewMediaType(const MediaType& type) {
    return CreateMediaType(&type);
}

template <class E, class I>
using ReferenceEnumerator = SnapshotEnumerator<E, ComPtr<I>, I*, &NewReference<I>>;

template <class I>
std::vector<ComPtr<I>> Held(const std::vector<I*>& items) {
    std::vector<ComPtr<I>> held;
    for (I* item : items) held.emplace_back(item);
    return held;
}

}  // namespace

IEnumPins* CreatePinEnumerator(const std::vector<IPin*>& pins) {
    return new ReferenceEnumerator<IEnumPins, IPin>(Held(pins));
}

IEnumMediaTypes* CreateMediaTypeEnumerator(const std::vector<MediaType>& types) {
    return new SnapshotEnumerator<IEnumMediaTypes, MediaType, AM_MEDIA_TYPE*, &NewMediaType>(types);
}

IEnumFilters* CreateFilterEnumerator(const std::vector<IBaseFilter*>& filters) {
    return new ReferenceEnumerator<IEnumFilters, IBaseFilter>(Held(filters));
}

}  // namespace media
