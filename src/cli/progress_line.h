#pragma once

// The progress of a run on the standard output. On a terminal, one line per job that updates
// in place: "[2/5] clip.mpg  37 %  48 fps  0:12 left", its file name cut in the middle so that
// the line fits the terminal's width, and at the job's end its result. Not on a terminal, only
// the result: one line per converted job. Json: one object per line for front ends, at every
// new percent and at the job's end. Quiet prints nothing.

#include <chrono>
#include <cstdio>
#include <string>

enum class ProgressStyle { Terminal, Lines, Json, Quiet };

// Json when asked, else Quiet when asked, else Terminal when descriptor is one, else Lines.
[[nodiscard]] ProgressStyle ProgressStyleFor(int descriptor, bool quiet, bool json = false);

// "m:ss", or "h:mm:ss" from an hour on; negative times count as 0.
[[nodiscard]] std::string ClockText(double seconds);

class ProgressLine {
public:
    explicit ProgressLine(ProgressStyle style, std::FILE* out = stdout) : m_style(style), m_out(out) {}

    // A job begins: number of count, converting file (a path, as bytes). Its clock starts.
    void Begin(int number, int count, const std::string& file);

    // After each slice of the job's wait: percent by PercentOf, frames the compressor has had.
    // Draws the terminal's line when its text changes.
    void Update(int percent, long long frames);

    // The job converted into output: "[2/5] clip.mpg -> converted/clip.avi  0:31  48 fps".
    void Converted(const std::string& output);

    // The job was passed over: output exists. "[2/5] clip.mpg: converted/clip.avi exists, skipped".
    void Skipped(const std::string& output);

    // The job did not convert: "failed" or "stopped", for Json; the terminal's line is wiped.
    void Ended(const char* state);

    // Makes room for other text on the terminal: the line is wiped; the next Update draws it
    // again.
    void Clear();

private:
    using Clock = std::chrono::steady_clock;

    [[nodiscard]] double Seconds() const;
    // "[2/5] NAME", NAME cut so that the line with tail after it fits the terminal.
    [[nodiscard]] std::string Head(const std::string& tail = {}) const;
    void Draw(const std::string& text);
    // One Json object: the job, state, and the pace when given.
    void Report(const char* state, int percent, bool withPace);

    ProgressStyle m_style;
    std::FILE* m_out;
    int m_number = 0;
    int m_count = 0;
    std::string m_file;
    std::string m_name;
    int m_reported = -1;  // the percent of the last Json line
    Clock::time_point m_started;
    long long m_frames = 0;
    std::string m_drawn;  // the text on the terminal's line now
};
