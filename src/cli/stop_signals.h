#pragma once

// SIGINT, SIGTERM and SIGHUP stop the conversion as the window's Stop does: the job in hand ends
// with its file finished, and no further job starts. A second signal does not cut that finish
// short; a third ends the program at once. When the run is over, the program dies by the first
// signal (DieByStopSignal), so that a shell sees it and stops its loop. A SIGINT ignored when the
// program starts (a shell's background job) stays ignored.

// Installs the handlers. Main thread, once, before any job.
void CatchStopSignals();

// The first stop signal that arrived, 0 while none did. Any thread.
[[nodiscard]] int StopSignal();

// Ends the process by the stop signal that arrived, taking its default course, once everything
// is finished and flushed; returns only when none arrived. Main thread.
void DieByStopSignal();

// Keeps the stop signals away from this thread while it lives, and so from every thread started
// meanwhile (they inherit the mask): a job's streaming threads are started under one, so only
// the main thread ever takes the signals and their system calls are never interrupted. A signal
// that arrives meanwhile is taken when the block ends.
class StopSignalsBlocked {
public:
    StopSignalsBlocked();
    ~StopSignalsBlocked();
    StopSignalsBlocked(const StopSignalsBlocked&) = delete;
    StopSignalsBlocked& operator=(const StopSignalsBlocked&) = delete;
};
