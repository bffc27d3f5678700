#include "media/graph/enumerators.h"

#include "media/com/com_object.h"

namespace media {
namespace {

// Enumerates held references to interface I through interface E.
template <class E, class I>
class ReferenceEnumerator final : public ComObject<E> {
public:
    explicit ReferenceEnumerator(const std::vector<I*>& items) {
        for (I* item : items) m_items.emplace_back(item);
    }
    HRESULT Next(ULONG count, I** out, ULONG* fetched) override {
        if (out == nullptr) return E_POINTER;
        ULONG n = 0;
        while (n < count && m_position < m_items.size()) {
            out[n] = InterfaceRef<I>(m_items[m_position++].Get()).Detach();
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
        std::vector<I*> raw;
        for (auto& item : m_items) raw.push_back(item.Get());
        auto* copy = new ReferenceEnumerator(raw);
        copy->m_position = m_position;
        *clone = copy;
        return S_OK;
    }

private:
    std::vector<ComPtr<I>> m_items;
    std::size_t m_position = 0;
};

class MediaTypeEnumerator final : public ComObject<IEnumMediaTypes> {
public:
    explicit MediaTypeEnumerator(std::vector<MediaType> types) : m_types(std::move(types)) {}
    HRESULT Next(ULONG count, AM_MEDIA_TYPE** out, ULONG* fetched) override {
        if (out == nullptr) return E_POINTER;
        ULONG n = 0;
        while (n < count && m_position < m_types.size()) {
            out[n] = CreateMediaType(&m_types[m_position++]);
            if (out[n] == nullptr) break;
            ++n;
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(ULONG count) override {
        m_position = std::min<std::size_t>(m_types.size(), m_position + count);
        return m_position < m_types.size() ? S_OK : S_FALSE;
    }
    HRESULT Reset() override {
        m_position = 0;
        return S_OK;
    }
    HRESULT Clone(IEnumMediaTypes** clone) override {
        if (clone == nullptr) return E_POINTER;
        auto* copy = new MediaTypeEnumerator(m_types);
        copy->m_position = m_position;
        *clone = copy;
        return S_OK;
    }

private:
    std::vector<MediaType> m_types;
    std::size_t m_position = 0;
};

}  // namespace

IEnumPins* CreatePinEnumerator(const std::vector<IPin*>& pins) {
    return new ReferenceEnumerator<IEnumPins, IPin>(pins);
}

IEnumMediaTypes* CreateMediaTypeEnumerator(const std::vector<MediaType>& types) {
    return new MediaTypeEnumerator(types);
}

IEnumFilters* CreateFilterEnumerator(const std::vector<IBaseFilter*>& filters) {
    return new ReferenceEnumerator<IEnumFilters, IBaseFilter>(filters);
}

}  // namespace media
