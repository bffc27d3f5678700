#pragma once

// One FILE converted through the engine's conversion job, as the window converts a row of its
// list: the same graph, compressor, audio rule and messages, with its progress on the line.

#include <string>

#include "cli/message_relay.h"
#include "cli/progress_line.h"
#include "engine/compression_choice.h"
#include "engine/job_naming.h"
#include "media/api/interface_ref.h"
#include "media/api/interfaces.h"

struct JobSettings {
    LONG compressorIndex = -1;
    CompressionChoice compression;  // set on the compressor once it is bound
    bool keepAudio = true;
    bool ignoreWarnings = false;  // as the window's hidden box: no warning of an unknown duration
    bool overwrite = false;       // an existing output is replaced
    bool createFolder = false;    // the output's folder is made when missing, for an input that
                                  // can be read
};

enum class JobOutcome {
    Converted,  // the output is in place
    Failed,     // nothing was written; an earlier output keeps what it had
    Stopped,    // a stop signal ended it; the output holds what was converted, finished
};

struct JobResult {
    JobOutcome outcome = JobOutcome::Failed;
    std::string reason;  // why it failed or stopped
    bool shown = false;  // the reason is a message already on the error output
};

// Converts job.input into job.output. compressorFilter is bound anew for the job and stays
// bound, as the window's. A stop signal ends the wait; the job's file is then finished.
[[nodiscard]] JobResult ConvertFile(const ListedJob& job, const JobSettings& settings,
                                    InterfaceRef<IBaseFilter>& compressorFilter, ProgressLine& progress,
                                    MessageRelay& messages);
