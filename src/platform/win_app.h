#pragma once

// The application object of a dialog-based program, as the window framework keeps it: one per
// process, created before main as a static object; AfxWinMain starts the user interface and
// runs its InitInstance. It also holds the program's profile, the per-user settings that live
// under the registry key the program names (here in QSettings' native format: organisation
// = the registry key, application = the application name). Narrow text is UTF-8.

#include <string>

class WinApp {
public:
    // Becomes the process's application object (AfxGetApp) until it is destroyed. Touches
    // nothing of Qt: it runs before main.
    WinApp();
    virtual ~WinApp();
    WinApp(const WinApp&) = delete;
    WinApp& operator=(const WinApp&) = delete;

    // The program's start-up. Returning true runs the event loop until the program quits;
    // false ends the program at once. The default has nothing to run.
    virtual bool InitInstance() { return false; }
    // The exit code of the program; the default is 0.
    virtual int ExitInstance() { return 0; }

    // From now on the profile lives under registryKey\(application name). Until then it lives
    // in a file named after the application alone.
    void SetRegistryKey(const char* registryKey);

    // The value of entry in section, or defaultValue (null: empty) when there is none.
    [[nodiscard]] std::string GetProfileString(const char* section, const char* entry,
                                               const char* defaultValue = nullptr) const;
    // Sets entry in section to value; a null value removes the entry, a null entry the whole
    // section. The profile is written at once. False when it cannot be written.
    bool WriteProfileString(const char* section, const char* entry, const char* value);

private:
    std::string m_registryKey;
};

// The application object, or null when none exists.
[[nodiscard]] WinApp* AfxGetApp();

// The program's main: creates the widget application, whose application name is the
// executable's file name, installs the platform's Qt seams (qt_seams.h), then runs
// InitInstance of the application object as described there. Returns the process's exit code.
int AfxWinMain(int argc, char** argv);
