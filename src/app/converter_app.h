#pragma once

#include "platform/win_app.h"

// The application object. Its only work is its start-up: it names the registry key of the
// program's profile, runs the main window until the user closes it, and ends the program.
//
// Everything the program keeps between runs:
// - the transparent-buttons option, in the profile: registry key "Local AppWizard-Generated
//   Applications", then the application name (the executable's file name), section "RegAT",
//   entry "trans" (see ui/transparent_buttons_option.h);
// - the compressor the user picked by hand, in the private profile file "tessarel.ini",
//   section "Compressor", entry "CompressorNumber" (see engine/compressor_setting.h).
// Nothing else: the job lists, the check boxes and the window's place start afresh each run.
class ConverterApp : public WinApp {
public:
    // Runs the main window modally, then returns false: the program ends when the window does.
    bool InitInstance() override;
};
