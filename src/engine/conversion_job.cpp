#include "engine/conversion_job.h"

#include <sys/stat.h>

#include "engine/job_percent.h"

namespace {

// The file at path, as far as a job can change it: a published output is a new file.
std::string FileIdentity(const std::string& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) return {};
    return std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino) + ":" +
           std::to_string(status.st_size) + ":" + std::to_string(status.st_mtim.tv_sec) + "." +
           std::to_string(status.st_mtim.tv_nsec);
}

}  // namespace

HRESULT ConversionJob::Start(const std::string& inputPath, const std::string& outputPath,
                             LONG compressorIndex, bool keepAudio, bool ignoreWarnings,
                             InterfaceRef<IBaseFilter>& compressorFilter, ExistingOutput existing,
                             const CompressionChoice& choice) {
    m_outputPath = outputPath;
    m_outputBefore = FileIdentity(outputPath);
    return BuildRecompressionGraph(inputPath, outputPath, compressorIndex, keepAudio, ignoreWarnings,
                                   compressorFilter, m_graph, existing, choice);
}

HRESULT ConversionJob::WatchVideoFrames(ISampleGrabberCB* watcher) {
    if (!m_graph.videoGrabberControl) return E_UNEXPECTED;
    return m_graph.videoGrabberControl->SetCallback(watcher, 0);
}

LONG ConversionJob::WaitForEnd(const KeepWaiting& keepWaiting, const Progressed& progressed) {
    if (!m_graph.events) return 0;
    LONG eventCode = 0;
    while (eventCode == 0) {
        (void)m_graph.events->WaitForCompletion(kWaitSliceMs, &eventCode);
        if (!keepWaiting()) break;
        progressed(Percent());
    }
    return eventCode;
}

int ConversionJob::Percent() const {
    LONGLONG position = 0;
    if (m_graph.seeking) (void)m_graph.seeking->GetCurrentPosition(&position);
    return PercentOf(position, m_graph.duration);
}

HRESULT ConversionJob::Stop() {
    const HRESULT hr = StopRecompressionGraph(m_graph);
    if (hr == S_OK && FileIdentity(m_outputPath) == m_outputBefore) return S_FALSE;
    return hr;
}
