#pragma once

// The progress of a run on the standard output. On a terminal, one line per job that updates
// in place: "[2/5] clip.mpg  37 %  48 fps  0:12 left", and at the job's end its result. Not on
// a terminal, only the result: one line per converted job. Quiet prints nothing.

#include <chrono>
#include <cstdio>
#include <string>

enum class ProgressStyle { Terminal, Lines, Quiet };

// Terminal when descriptor is one, Lines otherwise, Quiet when asked.
[[nodiscard]] ProgressStyle ProgressStyleFor(int descriptor, bool quiet);

// "m:ss", or "h:mm:ss" from an hour on; negative times count as 0.
[[nodiscard]] std::string ClockText(double seconds);

class ProgressLine {
public:
    explicit ProgressLine(ProgressStyle style, std::FILE* out = stdout) : m_style(style), m_out(out) {}

    // A job begins: number of count, named name (a file name, as bytes). Its clock starts.
    void Begin(int number, int count, const std::string& name);

    // After each slice of the job's wait: percent by PercentOf, frames the compressor has had.
    // Draws the terminal's line when its text changes.
    void Update(int percent, long long frames);

    // The job converted into output: "[2/5] clip.mpg -> converted/clip.avi  0:31  48 fps".
    void Converted(const std::string& output);

    // Makes room for other text on the terminal: the line is wiped; the next Update draws it
    // again. Ends a job that did not convert.
    void Clear();

private:
    using Clock = std::chrono::steady_clock;

    [[nodiscard]] double Seconds() const;
    [[nodiscard]] std::string Head() const;
    void Draw(const std::string& text);

    ProgressStyle m_style;
    std::FILE* m_out;
    int m_number = 0;
    int m_count = 0;
    std::string m_name;
    Clock::time_point m_started;
    long long m_frames = 0;
    std::string m_drawn;  // the text on the terminal's line now
};
