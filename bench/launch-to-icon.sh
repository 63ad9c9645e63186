#!/bin/bash
# Launch to first tray icon of wendlock.exe against a minimal tray program,
# each started N times (default 4), interleaved, in the test tree's Wine
# prefix (build/win first; not while the tests run). wendlock.exe runs from a
# folder of its own with Outlook left alone (keep-loaded and the overdue scan
# off), so only its start-up is measured.
#   bench/launch-to-icon.sh [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
RUNS=${1:-4}
BUILD=$PWD/build/win
cmake --build "$BUILD" --target minimal_tray launch_to_icon wendlock >/dev/null
export WINEPREFIX=$BUILD/wineprefix WINEDEBUG=-all DISPLAY=${DISPLAY:-${WENDLOCK_DISPLAY:-:97}}
WENDLOCK_BIN=$BUILD/bin tests/wine/wine-rig.sh ensure
DIR=$(mktemp -d)
trap 'rm -rf "$DIR"' EXIT
cp "$BUILD"/bin/wendlock.exe "$BUILD"/bin/*.ico "$BUILD"/bin/newlnks.example.ini "$BUILD"/bin/minimal_tray.exe "$DIR"/
printf '[settings]\r\nDontKeepOlLoaded=-1\r\nDontTrackOverdueTasks=-1\r\n' > "$DIR"/wendlock.ini
/usr/lib/wine/wine64 "$BUILD"/bin/launch_to_icon.exe "$RUNS" \
    "$(winepath -w "$DIR"/minimal_tray.exe)" "$(winepath -w "$DIR"/wendlock.exe)"
