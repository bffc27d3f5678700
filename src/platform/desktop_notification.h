#pragma once

// A notification on the desktop (a bubble that comes and goes), and the one seam through which
// it is sent. Nothing is shown unless a program installs a handler that shows it: the program
// installs the freedesktop.org one (SendFreedesktopNotification) in main; tests and tools keep
// the default, which shows nothing.

#include <functional>
#include <string>

// Shows summary and body (UTF-8) under the application's name and icon, and returns at once
// without waiting for the desktop. With no notification service nothing happens.
// User-interface thread only.
void ShowDesktopNotification(const std::string& summary, const std::string& body);

using NotificationHandler = std::function<void(const std::string& summary, const std::string& body)>;

// Replaces the handler and returns the previous one; an empty handler restores the default.
// User-interface thread only.
NotificationHandler SetNotificationHandler(NotificationHandler handler);

namespace platform {
// org.freedesktop.Notifications' Notify on the session bus, sent without waiting for its answer.
void SendFreedesktopNotification(const std::string& summary, const std::string& body);
}  // namespace platform
