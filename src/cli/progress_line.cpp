#include "cli/progress_line.h"

#include <cmath>

#include <unistd.h>

#include "engine/job_percent.h"

namespace {

// Back to the line's start, and everything after the cursor erased.
constexpr char kReturn[] = "\r";
constexpr char kEraseToEnd[] = "\x1b[K";

std::string FramesPerSecond(long long frames, double seconds) {
    const long long rate = seconds > 0 ? std::llround(static_cast<double>(frames) / seconds) : 0;
    return std::to_string(rate) + " fps";
}

}  // namespace

ProgressStyle ProgressStyleFor(int descriptor, bool quiet) {
    if (quiet) return ProgressStyle::Quiet;
    return ::isatty(descriptor) ? ProgressStyle::Terminal : ProgressStyle::Lines;
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

void ProgressLine::Begin(int number, int count, const std::string& name) {
    m_number = number;
    m_count = count;
    m_name = name;
    m_started = Clock::now();
    m_frames = 0;
    Update(0, 0);
}

void ProgressLine::Update(int percent, long long frames) {
    m_frames = frames;
    if (m_style != ProgressStyle::Terminal) return;
    const int shown = ShownPercent(percent);
    std::string text = Head() + "  " + std::to_string(shown) + " %  " + FramesPerSecond(frames, Seconds());
    // What is left, at the pace so far; nothing to go by before the first percent.
    if (shown > 0) text += "  " + ClockText(Seconds() * (100 - shown) / shown) + " left";
    if (text != m_drawn) Draw(text);
}

void ProgressLine::Converted(const std::string& output) {
    if (m_style == ProgressStyle::Quiet) return;
    const std::string text =
        Head() + " -> " + output + "  " + ClockText(Seconds()) + "  " + FramesPerSecond(m_frames, Seconds());
    if (m_style == ProgressStyle::Terminal) {
        Draw(text);
        m_drawn.clear();
        std::fputs("\n", m_out);
    } else {
        std::fprintf(m_out, "%s\n", text.c_str());
    }
    std::fflush(m_out);
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

std::string ProgressLine::Head() const {
    return "[" + std::to_string(m_number) + "/" + std::to_string(m_count) + "] " + m_name;
}

void ProgressLine::Draw(const std::string& text) {
    std::fprintf(m_out, "%s%s%s", kReturn, text.c_str(), kEraseToEnd);
    std::fflush(m_out);
    m_drawn = text;
}
