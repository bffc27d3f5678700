// The window's side of a conversion run, measured: how soon it handles an event while a job
// runs (the run serves events only between its 100 ms waits on the graph), and how long the
// run over the given files takes from Start to its end, for comparison with `tessarel-convert`
// on the same files. Optionally grabs the screen half-way through the job of the first INPUT.
//
//   window_run_bench [--screenshot FILE.png] INPUT...
//
// Outputs go to "<input folder>/converted/<name>.avi", as the program names them. Prints one
// "reaction" line per job (milliseconds: events, median, 95th percentile, worst; an event
// posted while a job is being prepared counts for the job before) and a "run" line with the
// wall time in seconds. Exits non-zero when the run did not complete.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <QApplication>
#include <QEvent>
#include <QListWidget>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include "platform/message_box.h"
#include "platform/power_off.h"
#include "skin/skin_button.h"
#include "ui/converter_dialog.h"

namespace {

using Clock = std::chrono::steady_clock;

// An event stamped when it was posted; its receiver notes how long it waited.
class StampedEvent : public QEvent {
public:
    static inline const QEvent::Type kType = static_cast<QEvent::Type>(QEvent::registerEventType());
    StampedEvent() : QEvent(kType), posted(Clock::now()) {}
    const Clock::time_point posted;
};

class ReactionProbe : public QObject {
public:
    bool event(QEvent* event) override {
        if (event->type() != StampedEvent::kType) return QObject::event(event);
        const auto waited = Clock::now() - static_cast<StampedEvent*>(event)->posted;
        if (m_row >= 0) {
            m_waits.resize(std::max<std::size_t>(m_waits.size(), static_cast<std::size_t>(m_row) + 1));
            m_waits[static_cast<std::size_t>(m_row)].push_back(
                std::chrono::duration<double, std::milli>(waited).count());
        }
        return true;
    }
    void SetRow(int row) { m_row = row; }
    [[nodiscard]] const std::vector<std::vector<double>>& Waits() const { return m_waits; }

private:
    int m_row = -1;
    std::vector<std::vector<double>> m_waits;  // per job, in milliseconds
};

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

std::string OutputFor(const std::filesystem::path& input) {
    return (input.parent_path() / "converted" / (input.stem().string() + ".avi")).string();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    std::string screenshot;
    std::vector<std::filesystem::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--screenshot" && i + 1 < argc) {
            screenshot = argv[++i];
        } else {
            inputs.push_back(std::filesystem::absolute(argument));
        }
    }
    if (inputs.empty()) {
        std::fprintf(stderr, "usage: window_run_bench [--screenshot FILE.png] INPUT...\n");
        return 2;
    }

    SetMessageBoxHandler([](const std::string& text) {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        return IDOK;
    });
    SetPowerOffHandler([](UINT) { return BOOL{0}; });

    ConverterDialog dialog;
    dialog.show();
    for (const auto& input : inputs) {
        std::filesystem::create_directories(input.parent_path() / "converted");
        dialog.m_inputList->addItem(QString::fromStdString(input.string()));
        dialog.m_outputList->addItem(QString::fromStdString(OutputFor(input)));
    }

    ReactionProbe probe;
    bool grabbed = false;
    QObject::connect(&dialog, &ConverterDialog::JobProgressed, [&](int row, int percent) {
        probe.SetRow(row);
        const bool firstGiven =
            dialog.m_inputList->item(row)->text().toStdString() == inputs.front().string();
        if (!screenshot.empty() && !grabbed && percent >= 50 && firstGiven) {
            grabbed = true;
            dialog.grab();  // make sure the window has painted this state
            QApplication::primaryScreen()->grabWindow(0).save(QString::fromStdString(screenshot));
        }
    });

    // Events posted from another thread at irregular intervals while the run goes on.
    std::atomic<bool> running{true};
    std::thread poster([&] {
        unsigned step = 0;
        while (running.load()) {
            QCoreApplication::postEvent(&probe, new StampedEvent);
            std::this_thread::sleep_for(std::chrono::milliseconds(23 + (step++ * 17) % 41));
        }
    });

    double seconds = 0;
    QTimer::singleShot(0, &dialog, [&] {
        const auto start = Clock::now();
        dialog.m_btnStart->click();  // returns when the run has ended
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
        dialog.reject();
    });
    (void)dialog.exec();
    running = false;
    poster.join();

    const bool complete = dialog.m_status == "壓縮完成.";
    for (std::size_t row = 0; row < probe.Waits().size(); ++row) {
        const std::vector<double>& waits = probe.Waits()[row];
        if (waits.empty()) continue;
        // The list sorts its rows, so a row's file is the list's, not the command line's.
        const std::filesystem::path input =
            dialog.m_inputList->item(static_cast<int>(row))->text().toStdString();
        std::printf("reaction %s: %zu events, median %.1f ms, p95 %.1f ms, worst %.1f ms\n",
                    input.filename().c_str(), waits.size(), Percentile(waits, 0.5), Percentile(waits, 0.95),
                    *std::max_element(waits.begin(), waits.end()));
    }
    std::printf("run: %.2f s, %s\n", seconds, complete ? "complete" : "NOT complete");
    return complete ? 0 : 1;
}
