// Preview playback in the main window: an input plays in the preview area; an output opens with
// the desktop's player, and plays in the preview area only when the desktop can't open it.

#include <string>

#include <QListWidget>
#include <QRect>

#include "media/api/class_registry.h"
#include "media/api/interface_ref.h"
#include "media/api/uuids.h"
#include "media/api/video_surface.h"
#include "platform/file_attributes.h"
#include "platform/message_box.h"
#include "platform/shell_execute.h"
#include "text/text_conversion.h"
#include "ui/converter_dialog.h"
#include "ui/preview_area.h"
#include "ui/preview_messages.h"

namespace {

// The longest path the preview takes, in bytes of narrow text.
constexpr std::size_t kLongestPath = MAX_PATH - 1;

// The text of the selected entry of list, or false when nothing is selected.
bool SelectedEntry(const QListWidget& list, std::string& text) {
    const QList<QListWidgetItem*> selected = list.selectedItems();
    if (selected.isEmpty()) return false;
    text = selected.front()->text().toStdString();
    return true;
}

}  // namespace

void ConverterDialog::OnPlayInput() {
    UpdateData(true);
    if (!SelectedEntry(*m_inputList, m_inputPath)) {
        AfxMessageBox(kSelectInputFile, MB_OK);
        return;
    }
    PlayInPreview(m_inputPath);
}

void ConverterDialog::OnPlayOutput() {
    UpdateData(true);
    if (!SelectedEntry(*m_outputList, m_outputPath)) {
        AfxMessageBox(kSelectOutputFile, MB_OK);
        return;
    }
    // The desktop's player shows it in a window of its own.
    if (ShellExecuteA(this, "open", m_outputPath.c_str(), nullptr, nullptr, SW_SHOW) > 32) return;
    PlayInPreview(m_outputPath);
}

void ConverterDialog::PlayInPreview(const std::string& path) {
    if (path.size() > kLongestPath) {
        AfxMessageBox(kPreviewFileNameTooLong, MB_OK);
        return;
    }
    ReleasePreviewGraph();
    const std::u16string widePath = ToWide(path);

    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || attributes == FILE_ATTRIBUTE_DIRECTORY) {
        AfxMessageBox(kPreviewFileMissing, MB_OK);
        return;
    }

    (void)CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_ALL, IID_IGraphBuilder,
                           m_previewGraph.ReceiveVoid());
    if (!m_previewGraph) {
        AfxMessageBox(kCannotCreatePreviewGraph, MB_OK);
        return;
    }
    // A failed graph stays held until the next release, as any other preview graph.
    if (FAILED(m_previewGraph->RenderFile(widePath.c_str(), nullptr))) {
        AfxMessageBox(kCannotRenderFile, MB_OK);
        return;
    }

    // A graph without a video renderer (sound only) has no video window, and plays without.
    InterfaceRef<IVideoWindow> videoWindow;
    if (SUCCEEDED(videoWindow.Query(m_previewGraph.Get())) &&
        SUCCEEDED(videoWindow->put_Owner(VideoSurfaceHandle(m_preview)))) {
        (void)videoWindow->put_WindowStyle(WS_CHILD);
        const QRect client = m_preview->contentsRect();
        if (FAILED(videoWindow->SetWindowPosition(client.left(), client.top(), client.width(),
                                                  client.height()))) {
            AfxMessageBox(kCannotPlaceVideoWindow, MB_OK);
            return;
        }
    }

    InterfaceRef<IMediaControl> control;
    if (FAILED(control.Query(m_previewGraph.Get())) || FAILED(control->Run()))
        AfxMessageBox(kCannotRunPreviewGraph, MB_OK);
}

void ConverterDialog::OnStopPlayback() {
    if (!m_previewGraph) return;
    InterfaceRef<IMediaControl> control;
    InterfaceRef<IMediaSeeking> seeking;
    (void)control.Query(m_previewGraph.Get());
    (void)seeking.Query(m_previewGraph.Get());

    if (!control || FAILED(control->Stop())) {
        AfxMessageBox(kCannotStopPreviewGraph, MB_OK);
        return;
    }
    if (seeking) {
        LONGLONG start = 0;
        (void)seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr,
                                    AM_SEEKING_NoPositioning);
    }
    // Paused at the start, the video shows the first picture.
    if (FAILED(control->Pause())) AfxMessageBox(kCannotPausePreviewGraph, MB_OK);
}

void ConverterDialog::ReleasePreviewGraph() {
    if (!m_previewGraph) return;
    // The graph's threads are gone with it, so no picture arrives after the area is cleared.
    m_previewGraph.Reset();
    m_preview->Clear();
}
