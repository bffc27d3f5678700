#pragma once

// Records the power-off requests that reach the seam while it lives, instead of switching off,
// with whatever the test wants noted at the moment of each request.

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/power_off.h"

class PowerOffRecorder {
public:
    struct Request {
        UINT flags;
        std::string noted;
    };

    PowerOffRecorder()
        : m_previous(SetPowerOffHandler([this](UINT flags) {
              m_requests.push_back({flags, m_note ? m_note() : std::string()});
              return BOOL{1};
          })) {}
    ~PowerOffRecorder() { SetPowerOffHandler(std::move(m_previous)); }
    PowerOffRecorder(const PowerOffRecorder&) = delete;
    PowerOffRecorder& operator=(const PowerOffRecorder&) = delete;

    // What to note with each request, e.g. the status line's text.
    void NoteWithEachRequest(std::function<std::string()> note) { m_note = std::move(note); }
    [[nodiscard]] const std::vector<Request>& Requests() const { return m_requests; }

private:
    std::vector<Request> m_requests;
    std::function<std::string()> m_note;
    PowerOffHandler m_previous;
};
