#pragma once

// A desktop of the test's own, as a user has one: an X server (Xvfb, 1024 x 768) with a window
// manager (openbox) that frames, places and focuses windows; and the tools to drive programs on
// it (xdotool) and to look at it (xwd).

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class DesktopSession {
public:
    DesktopSession() = default;
    ~DesktopSession();
    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;

    // Starts the server and the window manager with a home folder of its own; false with a
    // reason in Error() when a tool is missing or does not start.
    [[nodiscard]] bool Start();
    [[nodiscard]] const QString& Error() const { return m_error; }

    // The environment of a program on this desktop: its display, home and configuration folder.
    [[nodiscard]] QProcessEnvironment Environment() const;
    [[nodiscard]] QString Home() const { return m_home.path(); }

    // Runs xdotool (or another X tool) on this desktop; what it printed, trimmed.
    QString Run(const QString& tool, const QStringList& arguments) const;
    QString XDoTool(const QStringList& arguments) const { return Run(m_xdotool, arguments); }

    // The id of the first visible window whose title matches pattern (a regular expression), once
    // there is one within timeoutMs while program runs; empty otherwise.
    [[nodiscard]] QString WaitForWindow(const QString& pattern, const QProcess& program, int timeoutMs) const;

    // Where the window's client area is on the screen, and the frame the window manager drew
    // around it (left, top, right, bottom; null when it drew none).
    [[nodiscard]] QRect ClientGeometry(const QString& window) const;
    [[nodiscard]] QMargins FrameExtents(const QString& window) const;

    // The screen as it is now, or with a window id that window's own contents; null when it can't
    // be taken. Under Xvfb a dialog opened from a
    // nested event loop reads as black in a dump of the screen while its own dump shows it drawn.
    [[nodiscard]] QImage Screenshot(const QString& window = {}) const;

private:
    QTemporaryDir m_home;
    QProcess m_server;
    QProcess m_windowManager;
    QString m_display;
    QString m_xdotool;
    QString m_error;
};
