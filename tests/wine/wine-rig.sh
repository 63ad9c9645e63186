#!/bin/bash
# The Wine side of the test rig: a quiet 64-bit prefix of the build's own, an
# Xvfb display, Wine's virtual desktop with a notification area, and the
# Outlook stand-in registered in the prefix.
#
#   wine-rig.sh ensure   set up whatever is missing (safe to call from many
#                        processes at once; cheap when all is in place)
#   wine-rig.sh stop     end the prefix's processes and the display
#
# Expects WINEPREFIX, DISPLAY and WENDLOCK_BIN (folder of the built programs).
set -euo pipefail

: "${WINEPREFIX:?}" "${DISPLAY:?}" "${WENDLOCK_BIN:?}"
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
WINE=/usr/lib/wine/wine64
LOG="$WINEPREFIX.log"

display_up() { xdotool getdisplaygeometry >/dev/null 2>&1; }

# Background programs must not hold the caller's output: ctest waits for
# every holder of its pipe before it ends a test.
detached() { setsid "$@" </dev/null >>"$LOG" 2>&1 & }

start_display() {
    display_up && return 0
    local n=${DISPLAY#:}; n=${n%%.*}
    rm -f "/tmp/.X11-unix/X$n" "/tmp/.X$n-lock"
    detached Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp
    for _ in $(seq 100); do display_up && return 0; sleep 0.1; done
    echo "wine-rig: Xvfb did not start on $DISPLAY" >&2
    return 1
}

create_prefix() {
    [ -f "$WINEPREFIX/.wendlock-ready" ] && return 0
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    "$WINE" wineboot -i </dev/null >>"$LOG" 2>&1
    # A virtual desktop with a taskbar: tray icons and balloons show there.
    "$WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d shell /f </dev/null >>"$LOG" 2>&1
    "$WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v shell /d 1024x768 /f </dev/null >>"$LOG" 2>&1
    touch "$WINEPREFIX/.wendlock-ready"
}

desktop_up() { pgrep -f "explorer.exe /desktop=shell" >/dev/null 2>&1; }

start_desktop() {
    desktop_up && return 0
    detached "$WINE" explorer /desktop=shell,1024x768
    for _ in $(seq 100); do desktop_up && return 0; sleep 0.1; done
}

register_standin() {
    local exe="$WENDLOCK_BIN/outlook-standin.exe"
    [ -f "$exe" ] || return 0
    local stamp="$WINEPREFIX/.standin-registered"
    local id; id="$exe $(stat -c %Y "$exe")"
    if [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$id" ]; then
        "$WINE" "$exe" /regserver </dev/null >>"$LOG" 2>&1
        echo "$id" >"$stamp"
    fi
}

case "${1:-ensure}" in
ensure)
    mkdir -p "$(dirname "$WINEPREFIX")"
    exec 9>"$WINEPREFIX.lock"
    flock 9
    start_display
    create_prefix
    start_desktop
    register_standin
    ;;
stop)
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    pkill -f "Xvfb $DISPLAY " 2>/dev/null || true
    ;;
*)
    echo "usage: wine-rig.sh ensure|stop" >&2
    exit 2
    ;;
esac
