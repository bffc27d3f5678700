#!/usr/bin/env bash
# The README's two GNU parallel recipes, run as they are written there, with only the host list
# replaced: two host aliases of a private sshd on 127.0.0.1 (its own keys and configuration, a
# free high port, stopped at the end), each alias a "machine" with a folder of its own. Names with
# a space, a quote and CJK characters; an existing output that must survive, and the new one kept
# beside it.
#
# Usage: farm_recipes.sh DIR_OF_TESSAREL_CONVERT SAMPLES_DIR
set -euo pipefail
bin=$(cd "$1" && pwd)
samples=$(cd "$2" && pwd)
readme=$(cd "$(dirname "$0")/../.." && pwd)/README.md
fail() { echo "farm recipes: $*" >&2; exit 1; }
[[ -x /usr/sbin/sshd ]] || fail "sshd is needed (scripts/install-deps.sh)"

scratch=$(mktemp -d)
sshd_pid=
cleanup() {
    [[ -n $sshd_pid ]] && kill "$sshd_pid" 2>/dev/null && wait "$sshd_pid" 2>/dev/null
    [[ -n ${FARM_KEEP:-} ]] || rm -rf "$scratch"
}
trap cleanup EXIT

# The private sshd: its own host key, the user's key, a free port on the loopback only.
ssh-keygen -q -t ed25519 -N '' -f "$scratch/host_key"
ssh-keygen -q -t ed25519 -N '' -f "$scratch/user_key"
cp "$scratch/user_key.pub" "$scratch/authorized_keys"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkdir -p "$scratch/machines/farm1" "$scratch/machines/farm2"
# sshd's privilege separation needs its empty folder, which only a started service makes.
[[ $(id -u) -ne 0 ]] || mkdir -p /run/sshd
cat > "$scratch/sshd_config" <<CONFIG
ListenAddress 127.0.0.1
Port $port
HostKey $scratch/host_key
PidFile $scratch/sshd.pid
AuthorizedKeysFile $scratch/authorized_keys
PasswordAuthentication no
KbdInteractiveAuthentication no
PermitRootLogin prohibit-password
StrictModes no
UsePAM no
AcceptEnv FARM_MACHINE
# Each alias is a machine of its own: its own folder, tessarel-convert of this build on its path.
ForceCommand cd "$scratch/machines/\$FARM_MACHINE" && PATH="$bin:\$PATH" exec /bin/bash -c "\$SSH_ORIGINAL_COMMAND"
CONFIG
/usr/sbin/sshd -D -e -f "$scratch/sshd_config" 2>"$scratch/sshd.log" &
sshd_pid=$!
cat > "$scratch/ssh_config" <<CONFIG
Host farm1 farm2
    HostName 127.0.0.1
    Port $port
    User $(id -un)
    IdentityFile $scratch/user_key
    IdentitiesOnly yes
    BatchMode yes
    StrictHostKeyChecking no
    UserKnownHostsFile /dev/null
    LogLevel ERROR
Host farm1
    SetEnv FARM_MACHINE=farm1
Host farm2
    SetEnv FARM_MACHINE=farm2
CONFIG
export PARALLEL_SSH="ssh -F $scratch/ssh_config"
export PATH="$bin:$PATH"
for _ in $(seq 50); do $PARALLEL_SSH farm1 true 2>/dev/null && break; sleep 0.1; done
$PARALLEL_SSH farm2 true || fail "cannot log in over the private sshd: $(cat "$scratch/sshd.log")"

# The README's indented lines from the one that starts with start, joined where they end in "\",
# the host list replaced.
recipe() {
    awk -v start="$1" '
        index($0, "    " start) == 1 { on = 1 }
        on && /^    / { line = substr($0, 5); sub(/^ +/, "", line); text = text (text == "" ? "" : " ") line
                        if (line !~ /\\$/) { print text; text = "" }; next }
        on { exit }' "$readme" | sed -e 's/ *\\ / /g' -e "s|1/host1,1/host2|1/farm1,1/farm2|"
}
run() {
    echo "farm recipes: $1" >&2
    (cd "$2" && timeout 600 bash -c "$1")
}

names=("a b.mpg" "it's.mpg" "影片 一.mpg" "kept.mpg")
setup() {
    rm -rf "$1" && mkdir -p "$1/videos"
    for name in "${names[@]}"; do cp "$samples/mpeg1_mp2.mpg" "$1/videos/$name"; done
    cp "$samples/h264_aac.mov" "$1/videos/b.mov"
    mkdir "$1/videos/converted"
    echo earlier > "$1/videos/converted/kept.avi"
}

# Shared files: one folder seen by every machine (here the same one; the recipe's "cd" names it).
shared=$scratch/shared
setup "$shared"
ln -s "$shared" "$scratch/machines/farm1/shared" && ln -s "$shared" "$scratch/machines/farm2/shared"
command=$(recipe "parallel --sshlogin 1/host1,1/host2,1/:")
[[ -n $command ]] || fail "no shared-files recipe in the README"
status=0
run "$command" "$shared/videos" || status=$?
[[ $status -eq 1 ]] || fail "shared files: parallel exited $status; 1 expected (kept.avi exists)"

# Copy-over: the files exist only here.
copied=$scratch/copied
setup "$copied"
command=$(recipe "export RSYNC_OLD_ARGS=1")
[[ $(grep -c '^parallel' <<<"$command") -eq 2 ]] || fail "no copy-over recipe in the README"
status=0
run "$command" "$copied" || status=$?
[[ $status -eq 1 ]] || fail "copy-over: status $status; 1 expected (kept.avi exists)"

for folder in "$shared/videos" "$copied/videos"; do
    [[ $(cat "$folder/converted/kept.avi") == earlier ]] || fail "$folder: the existing output was replaced"
    for name in "a b" "it's" "影片 一"; do
        streams=$(ffprobe -v error -show_entries stream=codec_type -of csv=p=0 "$folder/converted/$name.avi") &&
            grep -qx video <<<"$streams" || fail "$folder/converted/$name.avi is missing or has no video"
    done
done
# The output that found its name taken came back and is kept beside it, not lost.
[[ $(find "$copied/videos/converted" -name '.kept.*.avi' | wc -l) -eq 1 ]] ||
    fail "copy-over: the refused output was lost: $(ls -A "$copied/videos/converted")"
# Nothing is left on the machines but the folders parallel made.
leftovers=$(cd "$scratch/machines" && find . -type f)
[[ -z $leftovers ]] || fail "left on the machines: $leftovers"
echo "farm recipes: both README recipes kept every output and replaced none" >&2
