#include "media/catalogue/moniker_enumerator.h"

#include <algorithm>

#include "media/api/com_object.h"
#include "media/catalogue/compressor_moniker.h"

namespace media {
namespace {

using Snapshot = std::shared_ptr<const std::vector<CompressorEntry>>;

class MonikerEnumerator final : public ComObject<IEnumMoniker> {
public:
    MonikerEnumerator(Snapshot entries, std::size_t position)
        : m_entries(std::move(entries)), m_position(position) {}

    HRESULT Next(ULONG count, IMoniker** monikers, ULONG* fetched) override {
        if (monikers == nullptr) return E_POINTER;
        if (count > 1 && fetched == nullptr) return E_INVALIDARG;
        ULONG done = 0;
        while (done < count && m_position < m_entries->size()) {
            monikers[done++] = CreateCompressorMoniker((*m_entries)[m_position++]);
        }
        if (fetched != nullptr) *fetched = done;
        return done == count ? S_OK : S_FALSE;
    }

    HRESULT Skip(ULONG count) override {
        const std::size_t left = m_entries->size() - m_position;
        m_position += std::min<std::size_t>(count, left);
        return count <= left ? S_OK : S_FALSE;
    }

    HRESULT Reset() override {
        m_position = 0;
        return S_OK;
    }

    HRESULT Clone(IEnumMoniker** clone) override {
        if (clone == nullptr) return E_POINTER;
        *clone = new MonikerEnumerator(m_entries, m_position);
        return S_OK;
    }

private:
    const Snapshot m_entries;
    std::size_t m_position;
};

}  // namespace

IEnumMoniker* CreateMonikerEnumerator(std::vector<CompressorEntry> entries) {
    return new MonikerEnumerator(std::make_shared<const std::vector<CompressorEntry>>(std::move(entries)), 0);
}

}  // namespace media
