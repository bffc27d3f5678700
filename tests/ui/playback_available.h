#pragma once

// Whether the media layer builds playback graphs yet. Tests of a playing preview skip themselves
// while it doesn't, and switch on by themselves once it does.

#include "engine/interface_ref.h"
#include "engine/text_conversion.h"
#include "media/com/class_registry.h"
#include "media/graph/interfaces.h"
#include "media/graph/uuids.h"
#include "support/samples_dir.h"

inline bool CanRenderFiles() {
    InterfaceRef<IGraphBuilder> graph;
    if (FAILED(
            CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_ALL, IID_IGraphBuilder, graph.ReceiveVoid())))
        return false;
    return graph->RenderFile(ToWide(testsupport::SamplePath("mpeg1_mp2.mpg").string()).c_str(), nullptr) != E_NOTIMPL;
}
