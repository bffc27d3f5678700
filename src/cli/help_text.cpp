#include "cli/help_text.h"

const char kHelpText[] =
    "Usage: tessarel-convert [OPTIONS] FILE...\n"
    "       tessarel-convert --list\n"
    "\n"
    "Converts each FILE into an AVI file as the Tessarel window does: the video re-encoded by\n"
    "the chosen compressor, the audio carried over as it is. The output is converted/BASE.avi\n"
    "beside FILE; two inputs with one base name get BASE.avi and \"BASE (2).avi\". An existing\n"
    "output is never replaced without --overwrite. The files are converted one after another;\n"
    "the first that fails ends the run.\n"
    "\n"
    "Options:\n"
    "  -o OUTPUT                 write the output to OUTPUT (one FILE only)\n"
    "      --output-dir DIR      put every output into DIR instead, named by the same rules\n"
    "      --compressor NAME|INDEX\n"
    "                            the video compressor: its index in --list, or its name or a\n"
    "                            unique part of it, in any case; without it, the automatic\n"
    "                            choice, as the window starts with\n"
    "      --list                list the compressors: index, name, and the automatic one\n"
    "      --no-audio            leave the audio out\n"
    "      --overwrite           replace an existing output\n"
    "      --keep-going          go on after a FILE fails, and list every failure at the end\n"
    "  -q, --quiet               print errors only, no progress and no warnings\n"
    "      --verbose             print FFmpeg's warnings too\n"
    "  -h, --help                print this help\n"
    "      --version             print the version\n"
    "\n"
    "Progress: on a terminal, one line per FILE that updates in place; otherwise one line per\n"
    "converted FILE.\n"
    "\n"
    "Exit status: 0 when every FILE converted, 1 when any failed, 2 for a usage error, 130 or\n"
    "143 when SIGINT or SIGTERM stopped the run (the file in hand is finished with what was\n"
    "converted, and no further FILE is started).\n";

const char kTryHelp[] = "Try 'tessarel-convert --help' for more information.\n";

const char* VersionText() {
    return "tessarel-convert " TESSAREL_VERSION
           "\n"
           "Licence GPL-2.0-or-later: this is free software, and there is NO WARRANTY.\n";
}
