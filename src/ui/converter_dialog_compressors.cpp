// The compressor list of the main window: the catalogue, the start-up choice and the user's.

#include <string>
#include <vector>

#include <QComboBox>

#include "engine/compressor_catalogue.h"
#include "engine/compressor_selection.h"
#include "ui/converter_dialog.h"

HRESULT ConverterDialog::EnumerateCompressors() {
    m_compressorCombo->clear();
    std::vector<std::string> names;
    const HRESULT hr = ::EnumerateCompressors(names, m_autoCompressorIndex);
    if (FAILED(hr)) return hr;

    for (const std::string& name : names) m_compressorCombo->addItem(QString::fromStdString(name));
    m_compressorCombo->setCurrentIndex(0);
    UpdateData(false);
    return S_OK;
}

void ConverterDialog::SelectStartupCompressor() {
    const LONG index = StartupCompressorIndex(m_autoCompressorIndex);
    // An index outside the list leaves nothing selected.
    m_compressorCombo->setCurrentIndex(index);
    RebindCompressor(index, m_compressorFilter);
}

void ConverterDialog::OnSelchangeCompressor() {
    UpdateData(true);
    OnCompressorSelected(m_compressorCombo->currentIndex(), m_compressorFilter);
}
