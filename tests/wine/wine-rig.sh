#!/bin/bash
# The Wine side of the test rig: a quiet 64-bit prefix of the build's own, an
# Xvfb display, Wine's virtual desktop with a notification area, and the
# Outlook stand-in registered in the prefix.
#
#   wine-rig.sh ensure   set up whatever is missing (safe to call from many
#                        processes at once; cheap when all is in place)
#   wine-rig.sh restart  end the prefix's processes (the display stays)
#   wine-rig.sh stop     end the prefix's processes and the display
#
# Expects WINEPREFIX, DISPLAY and WENDLOCK_BIN (folder of the built programs).
set -euo pipefail

: "${WINEPREFIX:?}" "${DISPLAY:?}" "${WENDLOCK_BIN:?}"
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
LOG="$WINEPREFIX.log"

display_up() { xdotool getdisplaygeometry >/dev/null 2>&1; }

# Background programs must not hold the caller's output: ctest waits for
# every holder of its pipe before it ends a test.
# Nor the lock of this script (fd 9), or the next caller waits forever.
detached() { setsid "$@" </dev/null >>"$LOG" 2>&1 9>&- & }
# A Wine command run to its end. The wineserver it may start lives on and
# would inherit the lock too.
wine_cmd() { "$WINE" "$@" </dev/null >>"$LOG" 2>&1 9>&-; }

start_display() {
    display_up && return 0
    local n=${DISPLAY#:}; n=${n%%.*}
    rm -f "/tmp/.X11-unix/X$n" "/tmp/.X$n-lock"
    detached Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp
    for _ in $(seq 100); do display_up && return 0; sleep 0.1; done
    echo "wine-rig: Xvfb did not start on $DISPLAY" >&2
    return 1
}

# A program that crashes ends at once with a backtrace on its standard error:
# Wine's crash dialog would wait, unseen, until the test's time is up.
report_crashes() {
    [ -f "$WINEPREFIX/.wendlock-crash-report" ] && return 0
    wine_cmd reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f &&
        touch "$WINEPREFIX/.wendlock-crash-report"
}

create_prefix() {
    # A prefix copied without its system files is no prefix: make it anew.
    [ -f "$WINEPREFIX/.wendlock-ready" ] &&
        [ -L "$WINEPREFIX/dosdevices/c:" ] &&
        [ -f "$WINEPREFIX/drive_c/windows/system32/kernel32.dll" ] && { report_crashes; return 0; }
    "$WINESERVER" -k 2>/dev/null 9>&- || true
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wine_cmd wineboot -i
    "$WINESERVER" -w 9>&-
    # A virtual desktop with a taskbar: tray icons and balloons show there.
    wine_cmd reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d shell /f
    wine_cmd reg add 'HKCU\Software\Wine\Explorer\Desktops' /v shell /d 1024x768 /f
    rm -f "$WINEPREFIX/.wendlock-crash-report"
    report_crashes
    touch "$WINEPREFIX/.wendlock-ready"
}

# A Wine program of this prefix, not of another build's prefix on the machine.
running() {
    local p
    for p in $(pgrep -f "$1" 2>/dev/null); do
        tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && return 0
    done
    return 1
}

# Every program of the prefix runs in the virtual desktop "shell" (see
# create_prefix), which Wine's explorer starts with the first program and ends
# a moment after the last. The rig keeps one running, so the desktop, its tray
# and the wineserver stay up between tests (and hold no test's output).
start_desktop() {
    running "wine-keeper.exe" && running "explorer.exe /desktop" && return 0
    local keeper="$WENDLOCK_BIN/wine-keeper.exe"
    [ -f "$keeper" ] || { echo "wine-rig: $keeper is not built" >&2; return 1; }
    running "wine-keeper.exe" || detached "$WINE" "$keeper"
    for _ in $(seq 100); do
        running "wine-keeper.exe" && running "explorer.exe /desktop" && return 0
        sleep 0.1
    done
    echo "wine-rig: the desktop did not start (see $LOG)" >&2
    return 1
}

register_standin() {
    local exe="$WENDLOCK_BIN/outlook-standin.exe"
    [ -f "$exe" ] || return 0
    local stamp="$WINEPREFIX/.standin-registered"
    local id; id="$exe $(stat -c %Y "$exe")"
    if [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$id" ]; then
        wine_cmd "$exe" /regserver
        echo "$id" >"$stamp"
        rm -f "$WINEPREFIX/.standin-registered.tmp"
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
    [ -d "$WINEPREFIX" ] && "$WINESERVER" -k 2>/dev/null || true
    pkill -f "Xvfb $DISPLAY " 2>/dev/null || true
    ;;
restart)
    # The prefix's programs end; the display stays, and the next ensure
    # brings the desktop back.
    if [ -d "$WINEPREFIX" ]; then
        "$WINESERVER" -k 2>/dev/null || true
        "$WINESERVER" -w 2>/dev/null || true
    fi
    ;;
*)
    echo "usage: wine-rig.sh ensure|restart|stop" >&2
    exit 2
    ;;
esac
