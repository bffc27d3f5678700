// The stream probe before each job of a conversion run: does the input carry audio? The answer
// becomes the "keep the audio stream" check box (1003) for that job.

#include <memory>
#include <string>

#include <QListWidget>

#include "media/api/bstr.h"
#include "media/api/class_registry.h"
#include "media/api/interface_ref.h"
#include "media/api/uuids.h"
#include "platform/message_box.h"
#include "platform/win_types.h"
#include "text/text_conversion.h"
#include "ui/converter_dialog.h"
#include "ui/run_messages.h"

namespace {

using OwnedBstr = std::unique_ptr<OLECHAR, decltype(&SysFreeString)>;

std::string RowText(const QListWidget& list, int row) {
    const QListWidgetItem* item = list.item(row);
    return item != nullptr ? item->text().toStdString() : std::string();
}

}  // namespace

void ConverterDialog::ProbeAudioStream(int row) {
    ReleasePreviewGraph();
    m_inputPath = RowText(*m_inputList, row);
    m_outputPath = RowText(*m_outputList, row);

    InterfaceRef<IMediaDet> detector;
    if (FAILED(
            CoCreateInstance(CLSID_MediaDet, nullptr, CLSCTX_ALL, IID_IMediaDet, detector.ReceiveVoid())) ||
        !detector) {
        AfxMessageBox(kCannotCreateMediaDet, MB_OK);
        UpdateData(false);
        return;
    }

    // The detector gets at most a path's MAX_PATH - 1 bytes; the run refuses longer paths before
    // this.
    const std::u16string wide = ToWide(m_inputPath.substr(0, MAX_PATH - 1));
    const OwnedBstr fileName(SysAllocString(wide.c_str()), &SysFreeString);
    if (FAILED(detector->put_Filename(fileName.get()))) {
        AfxMessageBox(kProbeCannotOpenFile, MB_OK);
        return;
    }

    LONG streams = 0;
    if (FAILED(detector->get_OutputStreams(&streams))) {
        AfxMessageBox(kCannotGetOutputStreams, MB_OK);
        return;
    }

    bool hasAudio = false;
    for (LONG stream = 0; stream < streams; ++stream) {
        if (FAILED(detector->put_CurrentStream(stream))) {
            AfxMessageBox(kCannotSetCurrentStream, MB_OK);
            return;
        }
        GUID majorType = GUID_NULL;
        if (FAILED(detector->get_StreamType(&majorType))) {
            AfxMessageBox(kCannotGetStreamType, MB_OK);
            return;
        }
        if (majorType == MEDIATYPE_Audio) hasAudio = true;
    }

    m_keepAudio = hasAudio ? TRUE : FALSE;
    EnableJobButtons(true);
    UpdateData(false);
}
