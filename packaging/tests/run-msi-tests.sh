#!/bin/bash
# Runs the MSI tests (MsiTest.cpp) under Wine in a fresh Wine prefix of their
# own, beside the test rig's: an installation writes a logon entry, which
# Wine's boot would act on in the rig's prefix. Same display and desktop
# settings as the rig, and the Outlook stand-in registered, so the installed
# program has an Outlook to connect to.
# Usage: run-msi-tests.sh TESTS.exe PACKAGE.msi NEXT.msi RELEASE.zip [gtest arguments]
# Expects WENDLOCK_BIN, WENDLOCK_RIG and DISPLAY (set by CTest).
set -euo pipefail
tests=$1 msi=$2 next=$3 zip=$4
shift 4
: "${WENDLOCK_BIN:?}" "${WENDLOCK_RIG:?}" "${DISPLAY:?}"

work=$(realpath "$(dirname "$msi")")/msi-test
export WINEPREFIX=$work/wineprefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

# Whatever happens, the prefix's programs end (they would hold CTest's output).
trap '"$WINESERVER" -k 2>/dev/null || true' EXIT
[ -d "$WINEPREFIX" ] && { "$WINESERVER" -k 2>/dev/null || true; "$WINESERVER" -w 2>/dev/null || true; }
rm -rf "$work"
mkdir -p "$work/release"
unzip -q "$zip" -d "$work/release"
release=$(find "$work/release" -mindepth 1 -maxdepth 1 -type d)

"$WENDLOCK_RIG" ensure

winpath() { echo "Z:$(realpath "$1" | tr / '\\')"; }
export WENDLOCK_MSI WENDLOCK_MSI_NEXT WENDLOCK_RELEASE_DIR
WENDLOCK_MSI=$(winpath "$msi")
WENDLOCK_MSI_NEXT=$(winpath "$next")
WENDLOCK_RELEASE_DIR="$(winpath "$release")\\"
status=0
"$WINE" "$tests" "$@" </dev/null || status=$?
"$WINESERVER" -k 2>/dev/null || true
"$WINESERVER" -w 2>/dev/null || true
# A passing run leaves nothing behind (the prefix is 700 MB); a failing one
# keeps it, with msiexec's logs in its user's Temp folder.
if [ $status -eq 0 ]; then
    rm -rf "$work"
else
    echo "msiexec logs: $WINEPREFIX/drive_c/users/$(id -un)/Temp/wendlock-msiexec-*.log" >&2
fi
exit $status
