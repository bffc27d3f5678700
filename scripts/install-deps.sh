#!/usr/bin/env bash
# Installs every Debian package needed to build, run, test and benchmark Tessarel.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  # toolchain
  g++ cmake ninja-build make pkg-config ccache
  # tests
  libgtest-dev libgmock-dev
  # media layer
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev libsdl2-dev
  # deinterlacing for the players' presets
  libavfilter-dev
  # the ffmpeg command: sample media for the tests and the benchmarks' reference
  ffmpeg
  # the application
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
  # Qt's own texts (standard buttons, the file dialog) in Traditional Chinese
  qt6-translations-l10n
  # the dialog font and its fallbacks
  fonts-arphic-uming fonts-noto-cjk
  # whole-window tests and screenshots, under a window manager as on a desktop
  xvfb xauth x11-utils x11-apps xdotool openbox
  # private session and system buses for the desktop services' tests
  dbus-daemon
  # benchmarks: wall time and peak memory
  time
  # the Debian package and its checks (make package, .ci/run), and the batch recipe for many machines
  dpkg-dev lintian appstream desktop-file-utils file gzip parallel
  # the README's copy-over recipe, tried over a private sshd on the loopback
  openssh-server openssh-client rsync
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
