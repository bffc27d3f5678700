#include "cli/help_text.h"

#include <string>

#include "text/message_catalogue.h"

const char* const kHelpText = TranslatableText(
    "Usage: tessarel-convert [OPTIONS] FILE...\n"
    "       tessarel-convert --list | --list-presets\n"
    "\n"
    "Converts each FILE into an AVI file as the Tessarel window does: the video\n"
    "re-encoded by the chosen compressor, the audio carried over as it is. The\n"
    "output is converted/BASE.avi beside FILE; two inputs with one base name get\n"
    "BASE.avi and \"BASE (2).avi\". An existing output is never replaced without\n"
    "--overwrite. The files are converted one after another; the first that fails\n"
    "ends the run.\n"
    "\n"
    "Options:\n"
    "  -o OUTPUT            write the output to OUTPUT, an .avi file (one FILE only)\n"
    "      --output-dir DIR put every output into DIR instead, by the same names\n"
    "      --compressor NAME|INDEX\n"
    "                       the video compressor: its index in --list, its name or\n"
    "                       a unique part of it, its encoder's name (libx264, mjpeg,\n"
    "                       mpeg4, libxvid) or h264, x264, xvid, divx, in any case;\n"
    "                       without it, the automatic choice, as the window's\n"
    "      --quality Q      encode at quality Q, 0 (smallest file) to 100 (best\n"
    "                       picture); without it, the compressor's own setting\n"
    "      --bitrate KBITS  encode at an average of KBITS kbit/s instead, in one pass\n"
    "      --keyint N       at most N frames from one key frame to the next\n"
    "      --max-size WxH   scale a larger picture down to fit WxH, keeping its\n"
    "                       shape; a smaller one keeps its size\n"
    "      --audio keep|mp3|mp3-when-needed\n"
    "                       the audio as it is (keep, without the option), always as\n"
    "                       MP3 at 192 kbit/s, or as MP3 when it is none of MP3, MP2,\n"
    "                       AC-3 or PCM, which AVI players commonly play\n"
    "      --preset NAME    the compressor and settings for a kind of player; options\n"
    "                       after it change single ones (--list-presets lists them):\n"
    "                       dvd-player: Xvid, at most 720x576, 4000 kbit/s, MP3\n"
    "                       sound when needed; hd-player: 1280x720, 8000 kbit/s\n"
    "      --list           list the compressors: index, name, and the automatic one\n"
    "      --list-presets   list the presets: name and what they set\n"
    "      --no-audio       leave the audio out\n"
    "      --overwrite      replace an existing output\n"
    "      --skip-existing  pass over a FILE whose output exists, as done: a stopped\n"
    "                       batch starts again where it stopped\n"
    "      --keep-going     go on after a FILE fails; list every failure at the end\n"
    "      --dry-run        print each FILE's output, the compressor, the settings;\n"
    "                       convert none\n"
    "      --progress=json  print the progress as one JSON object per line: file,\n"
    "                       index, count, percent, fps, eta (seconds), state\n"
    "  -q, --quiet          print errors only, no progress and no warnings\n"
    "      --verbose        print FFmpeg's warnings too\n"
    "  -h, --help           print this help\n"
    "      --version        print the version\n"
    "\n"
    "These settings come from the command line only: the window's stored settings\n"
    "are never read, so a script gives the same result on every machine.\n"
    "\n"
    "For a DVD player: tessarel-convert --preset dvd-player phone.mp4\n"
    "\n"
    "Progress: on a terminal, one line per FILE that updates in place; otherwise one\n"
    "line per converted FILE.\n"
    "\n"
    "Exit status: 0 when every FILE converted (or was skipped), 1 when any failed, 2\n"
    "for a usage error. SIGINT, SIGTERM or SIGHUP finishes the file in hand with what\n"
    "was converted, starts no further FILE, and then ends the program by that signal\n"
    "(status 130, 143 or 129 in a shell, which stops its loop).\n");

const char* const kTryHelp = TranslatableText("Try 'tessarel-convert --help' for more information.\n");

const char* VersionText() {
    static const std::string text = std::string("tessarel-convert " TESSAREL_VERSION "\n") +
                                    Translated(
                                        "Licence GPL-2.0-or-later: this is free software, and there is NO "
                                        "WARRANTY.\n");
    return text.c_str();
}
