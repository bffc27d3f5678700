#include "engine/conversion_job.h"

#include "engine/job_percent.h"

HRESULT ConversionJob::Start(const std::string& inputPath, const std::string& outputPath,
                             LONG compressorIndex, bool keepAudio, bool ignoreWarnings,
                             InterfaceRef<IBaseFilter>& compressorFilter, ExistingOutput existing) {
    return BuildRecompressionGraph(inputPath, outputPath, compressorIndex, keepAudio, ignoreWarnings,
                                   compressorFilter, m_graph, existing);
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
    return StopRecompressionGraph(m_graph);
}
