#pragma once

// Where joined recordings start their clocks again, shared by the clocks of a file's streams. A
// stream that starts again goes on where it was, and every stream of the file must move by the
// same amount there, or the part after the join plays with its sound ahead of or behind its
// picture by as much as the streams' ends differed before it. The first stream to find a restart
// decides by how much; the others take that when they find theirs at about the same time, and
// make up the difference as a gap (filled with silence, or skipped frames) or by dropping the
// sound that was played already. Streaming thread only.

#include <vector>

#include "media/api/types.h"

namespace media {

class SplitterRestarts {
public:
    // A stream's clock starts again at at (its time, 100-ns units), and would go on where it was
    // if moved by wanted: by how much it moves.
    [[nodiscard]] REFERENCE_TIME Shift(REFERENCE_TIME at, REFERENCE_TIME wanted);
    void Reset() { m_restarts.clear(); }

private:
    struct Restart {
        REFERENCE_TIME at = 0;
        REFERENCE_TIME shift = 0;
    };
    std::vector<Restart> m_restarts;  // the latest last
};

}  // namespace media
