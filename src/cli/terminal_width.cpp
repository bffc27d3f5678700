#include "cli/terminal_width.h"

#include <atomic>
#include <vector>

#include <signal.h>
#include <sys/ioctl.h>

namespace {

std::atomic<bool> g_resized{true};
static_assert(std::atomic<bool>::is_always_lock_free, "written from a signal handler");

extern "C" void OnResize(int) {
    g_resized.store(true);
}

// One character of text: where it starts, how many bytes and columns it takes.
struct Character {
    std::size_t start = 0;
    std::size_t bytes = 1;
    std::size_t columns = 1;
};

bool IsWide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
           (c >= 0x20000 && c <= 0x3FFFD);
}

std::vector<Character> CharactersOf(const std::string& text) {
    std::vector<Character> characters;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80           ? 1
                                   : (lead >> 5) == 0x6  ? 2
                                   : (lead >> 4) == 0xE  ? 3
                                   : (lead >> 3) == 0x1E ? 4
                                                         : 0;
        char32_t code = length == 1   ? lead
                        : length == 2 ? lead & 0x1F
                        : length == 3 ? lead & 0x0F
                                      : lead & 0x07;
        bool whole = length > 0 && i + length <= text.size();
        for (std::size_t k = 1; whole && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            whole = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        if (!whole) {
            characters.push_back({i, 1, 1});
            ++i;
            continue;
        }
        characters.push_back({i, length, IsWide(code) ? 2u : 1u});
        i += length;
    }
    return characters;
}

}  // namespace

int TerminalColumns(int descriptor) {
    static int columns = 0;
    if (g_resized.exchange(false)) {
        winsize size{};
        columns = ::ioctl(descriptor, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
    }
    return columns;
}

void WatchTerminalResizes() {
    struct sigaction action {};
    action.sa_handler = OnResize;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGWINCH, &action, nullptr);
}

std::size_t ColumnsOf(const std::string& text) {
    std::size_t columns = 0;
    for (const Character& c : CharactersOf(text)) columns += c.columns;
    return columns;
}

std::string CutToColumns(const std::string& text, std::size_t columns) {
    if (ColumnsOf(text) <= columns) return text;
    static constexpr char kLeftOut[] = "\xE2\x80\xA6";  // "…", one column
    if (columns == 0) return {};
    const std::vector<Character> characters = CharactersOf(text);
    // The head gets the larger half of what is left beside the mark.
    const std::size_t room = columns - 1;
    std::size_t headColumns = 0;
    std::size_t head = 0;
    while (head < characters.size() && headColumns + characters[head].columns <= (room + 1) / 2)
        headColumns += characters[head++].columns;
    std::size_t tailColumns = 0;
    std::size_t tail = characters.size();
    while (tail > head && tailColumns + characters[tail - 1].columns <= room - headColumns)
        tailColumns += characters[--tail].columns;
    const std::size_t headBytes = head < characters.size() ? characters[head].start : text.size();
    const std::size_t tailStart = tail < characters.size() ? characters[tail].start : text.size();
    return text.substr(0, headBytes) + kLeftOut + text.substr(tailStart);
}
