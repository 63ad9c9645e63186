#!/bin/bash
# The demo: Wendlock under Wine with the Outlook stand-in serving its demo
# mailbox (40 items, overdue tasks, reminders). On a fresh Debian machine it
# installs what is missing and builds first.
#
#   scripts/demo.sh            runs until Enter is pressed
#   DEMO_SECONDS=60 scripts/demo.sh
#
# With DISPLAY set it runs on that display (Wine's virtual desktop, with its
# notification area, opens there); without, on a private Xvfb, and the
# screenshots in build/demo/ show what happened.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

source scripts/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}" imagemagick

cmake -S . -B build/win -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build build/win --target wendlock outlook-standin standin-ctl wine-keeper

DEMO=$ROOT/build/demo
mkdir -p "$DEMO/Wendlock"
cp build/win/bin/wendlock.exe build/win/bin/{olico,olicod,bell,task}.ico build/win/bin/newlnks.example.ini "$DEMO/Wendlock/"

# The stand-in runs from the demo's own folder, so its journal is the demo's.
mkdir -p "$DEMO/bin"
cp build/win/bin/{outlook-standin,standin-ctl,wine-keeper}.exe "$DEMO/bin/"
rm -f "$DEMO/bin/outlook-standin.journal"
export WINEPREFIX=$DEMO/wineprefix WENDLOCK_BIN=$DEMO/bin
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export DISPLAY=${DISPLAY:-:96}
trap 'tests/wine/wine-rig.sh stop' EXIT
tests/wine/wine-rig.sh ensure
# Debian's Wine 8 does not find its own Marlett font: without it the caption
# buttons of the windows show letters instead of their symbols.
cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true

WINE=/usr/lib/wine/wine64
ctl() { "$WINE" "$WENDLOCK_BIN/standin-ctl.exe" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
shot() { import -window root "$DEMO/$1.png" 2>/dev/null && echo "   screenshot: build/demo/$1.png"; }

echo "== starting Wendlock (Outlook is the stand-in with its demo mailbox)"
rm -f "$DEMO/Wendlock/wendlock.ini"
setsid "$WINE" "$DEMO/Wendlock/wendlock.exe" </dev/null >/dev/null 2>&1 9>&- &
for _ in $(seq 100); do ctl ping | grep -q '^ok' && break; sleep 0.2; done
sleep 4
echo "   the tray shows the Outlook icon and the overdue-tasks icon with its balloon"
shot 1-started

echo "== Outlook fires a reminder"
id=$(ctl add folder=Calendar "subject=Project review with Klaus" reminder=now | sed -n 's/^ok //p')
ctl fire-reminder "$id" >/dev/null
sleep 4
echo "   a bell icon joins them, with a balloon listing the reminder"
shot 2-reminder

echo "== the user opens the reminders window from the bell's menu"
# Icons sit right to left in the order they came: Outlook, tasks, bell.
read -r width height < <(xdotool getdisplaygeometry)
xdotool mousemove $((width - 50)) $((height - 10)) click 3
sleep 1
xdotool mousemove_relative 20 -20 sleep 0.3 key Down sleep 0.3 key Return
sleep 2
shot 3-reminders-window

echo "== the journal of what Wendlock asked Outlook (first lines)"
ctl journal | sed -n '2,16p'

if [ -n "${DEMO_SECONDS:-}" ]; then
    sleep "$DEMO_SECONDS"
else
    read -r -p "Wendlock is running. Press Enter to end the demo. " _ || true
fi
