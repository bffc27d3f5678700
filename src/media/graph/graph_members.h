#pragma once

// The filters a graph holds, with the names it gave them, in the order they were added. The
// graph alone changes the list; its collaborators read it on the application's thread.

#include <string>
#include <vector>

#include "media/api/interfaces.h"
#include "media/com/com_ptr.h"

namespace media {

struct GraphMember {
    ComPtr<IBaseFilter> filter;
    std::u16string name;
};

using GraphMembers = std::vector<GraphMember>;

}  // namespace media
