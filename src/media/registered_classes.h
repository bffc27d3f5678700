#pragma once

// Each part of the media layer registers its classes through one of these; the layer's root
// calls them all once, before the first object is created.

namespace media {

// Registers every class below, once. MT safe. CoCreateInstance does this first.
void EnsureMediaClassesRegistered();

void RegisterFilterGraph();          // graph/filter_graph.cpp
void RegisterCaptureGraphBuilder();  // graph/capture_graph_builder.cpp
void RegisterFileSource();           // filters/file_source.cpp
void RegisterMediaSplitter();        // filters/media_splitter.cpp
void RegisterVideoDecoder();         // filters/video_decoder.cpp
void RegisterColourConverter();      // filters/colour_converter.cpp
void RegisterSampleGrabber();        // filters/sample_grabber.cpp
void RegisterAviMux();               // filters/avi_mux.cpp
void RegisterFileWriter();           // filters/file_writer.cpp
void RegisterCompressorCatalogue();  // catalogue/*.cpp: device enumerator and compressor filters
void RegisterAudioDecoder();         // filters/audio_decoder.cpp
void RegisterMp3Encoder();           // filters/mp3_encoder.cpp
void RegisterVideoRenderer();        // filters/video_renderer.cpp
void RegisterAudioRenderer();        // filters/audio_renderer.cpp
void RegisterMediaDetector();        // media_detector.cpp

}  // namespace media
