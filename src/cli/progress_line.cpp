#include "cli/progress_line.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <unistd.h>

#include "cli/terminal_width.h"
#include "engine/job_percent.h"
#include "text/message_catalogue.h"
#include "text/path_parts.h"

namespace {

// Back to the line's start, and everything after the cursor erased.
constexpr char kReturn[] = "\r";
constexpr char kEraseToEnd[] = "\x1b[K";
// The shortest a cut name gets; a terminal narrower than that wraps.
constexpr std::size_t kShortestName = 8;

long long PerSecond(long long frames, double seconds) {
    return seconds > 0 ? std::llround(static_cast<double>(frames) / seconds) : 0;
}

std::string FramesPerSecond(long long frames, double seconds) {
    return std::to_string(PerSecond(frames, seconds)) + " fps";
}

// text as a JSON string: bytes that are not UTF-8 become U+FFFD.
std::string JsonString(const std::string& text) {
    std::string json = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            json += '\\';
            json += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            json += escaped;
        } else if (c < 0x80) {
            json += static_cast<char>(c);
        } else {
            const std::size_t length = (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
            bool whole = length > 0 && i + length <= text.size();
            for (std::size_t k = 1; whole && k < length; ++k)
                whole = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
            if (whole) {
                json.append(text, i, length);
                i += length - 1;
            } else {
                json += "\\ufffd";
            }
        }
    }
    return json + "\"";
}

}  // namespace

ProgressStyle ProgressStyleFor(int descriptor, bool quiet, bool json) {
    if (json) return ProgressStyle::Json;
    if (quiet) return ProgressStyle::Quiet;
    if (!::isatty(descriptor)) return ProgressStyle::Lines;
    WatchTerminalResizes();
    return ProgressStyle::Terminal;
}

std::string ClockText(double seconds) {
    const long long whole = seconds > 0 ? std::llround(seconds) : 0;
    const long long hours = whole / 3600;
    const long long minutes = whole / 60 % 60;
    const long long rest = whole % 60;
    char text[32];
    if (hours > 0) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", hours, minutes, rest);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", minutes, rest);
    }
    return text;
}

void ProgressLine::Begin(int number, int count, const std::string& file) {
    m_number = number;
    m_count = count;
    m_file = file;
    m_name = NameOf(file);
    m_started = Clock::now();
    m_frames = 0;
    m_reported = -1;
    Update(0, 0);
}

void ProgressLine::Update(int percent, long long frames) {
    m_frames = frames;
    const int shown = ShownPercent(percent);
    if (m_style == ProgressStyle::Json && shown != m_reported) Report("converting", shown, true);
    if (m_style != ProgressStyle::Terminal) return;
    std::string tail = "  " + std::to_string(shown) + " %  " + FramesPerSecond(frames, Seconds());
    // What is left, at the pace so far; nothing to go by before the first percent.
    if (shown > 0)
        tail +=
            "  " + FormatText(Translated("%s left"), ClockText(Seconds() * (100 - shown) / shown).c_str());
    const std::string text = Head(tail) + tail;
    if (text != m_drawn) Draw(text);
}

void ProgressLine::Converted(const std::string& output) {
    if (m_style == ProgressStyle::Quiet) return;
    if (m_style == ProgressStyle::Json) return Report("converted", 100, true);
    const std::string pace = "  " + ClockText(Seconds()) + "  " + FramesPerSecond(m_frames, Seconds());
    std::string shownOutput = output;
    // The output's name is cut too when the file's name alone can't make the line fit.
    if (const int columns = m_style == ProgressStyle::Terminal ? TerminalColumns(::fileno(m_out)) : 0;
        columns > 0) {
        const std::size_t number = std::to_string(m_number).size() + std::to_string(m_count).size() + 4;
        const std::size_t rest =
            number + std::min(ColumnsOf(m_name), kShortestName) + ColumnsOf(" -> " + pace) + 1;
        if (rest + ColumnsOf(output) > static_cast<std::size_t>(columns))
            shownOutput =
                CutToColumns(output, std::max(columns - std::min<std::size_t>(rest, columns), kShortestName));
    }
    const std::string tail = " -> " + shownOutput + pace;
    const std::string text = Head(tail) + tail;
    if (m_style == ProgressStyle::Terminal) {
        Draw(text);
        m_drawn.clear();
        std::fputs("\n", m_out);
    } else {
        std::fprintf(m_out, "%s\n", text.c_str());
    }
    std::fflush(m_out);
}

void ProgressLine::Skipped(const std::string& output) {
    if (m_style == ProgressStyle::Quiet) return;
    if (m_style == ProgressStyle::Json) return Report("skipped", 100, false);
    Clear();
    const std::string tail = FormatText(Translated(": %s exists, skipped"), output.c_str());
    std::fprintf(m_out, "%s%s\n", Head(tail).c_str(), tail.c_str());
    std::fflush(m_out);
}

void ProgressLine::Ended(const char* state) {
    if (m_style == ProgressStyle::Json) return Report(state, m_reported < 0 ? 0 : m_reported, false);
    Clear();
}

void ProgressLine::Clear() {
    if (m_drawn.empty()) return;
    std::fprintf(m_out, "%s%s", kReturn, kEraseToEnd);
    std::fflush(m_out);
    m_drawn.clear();
}

double ProgressLine::Seconds() const {
    return std::chrono::duration<double>(Clock::now() - m_started).count();
}

std::string ProgressLine::Head(const std::string& tail) const {
    const std::string number = "[" + std::to_string(m_number) + "/" + std::to_string(m_count) + "] ";
    const int columns = m_style == ProgressStyle::Terminal ? TerminalColumns(::fileno(m_out)) : 0;
    if (columns <= 0) return number + m_name;
    // One column stays free: a line that fills the last one wraps on some terminals.
    const std::size_t around = ColumnsOf(number) + ColumnsOf(tail) + 1;
    const std::size_t room = static_cast<std::size_t>(columns) > around ? columns - around : 0;
    return number + CutToColumns(m_name, std::max(room, kShortestName));
}

void ProgressLine::Draw(const std::string& text) {
    std::fprintf(m_out, "%s%s%s", kReturn, text.c_str(), kEraseToEnd);
    std::fflush(m_out);
    m_drawn = text;
}

void ProgressLine::Report(const char* state, int percent, bool withPace) {
    m_reported = percent;
    const double seconds = Seconds();
    std::string line = "{\"file\":" + JsonString(m_file) + ",\"index\":" + std::to_string(m_number) +
                       ",\"count\":" + std::to_string(m_count) + ",\"percent\":" + std::to_string(percent);
    if (withPace) {
        line += ",\"fps\":" + std::to_string(PerSecond(m_frames, seconds));
        // Seconds left at the pace so far; null before the first percent.
        line += ",\"eta\":" + (percent > 0 && percent < 100
                                   ? std::to_string(std::llround(seconds * (100 - percent) / percent))
                                   : std::string(percent >= 100 ? "0" : "null"));
    }
    line += ",\"state\":\"" + std::string(state) + "\"}\n";
    std::fputs(line.c_str(), m_out);
    std::fflush(m_out);
}
