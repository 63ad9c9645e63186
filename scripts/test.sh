#!/bin/bash
# Builds everything and runs every test, on a fresh Debian machine too:
#   1. installs what is missing (apt-get, as root),
#   2. the native build of the Windows-free rules with ASan and UBSan (clang),
#   3. the Windows build with mingw-w64, its tests under Wine and Xvfb.
# Usage: scripts/test.sh [ctest arguments, e.g. -R Tray]
# WENDLOCK_DISPLAY: the Xvfb display of the Windows tests (default :97), so
# that two checkouts can run their tests side by side.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
JOBS=$(nproc)

source scripts/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${PACKAGING_PACKAGES[@]}" clang libclang-rt-14-dev

echo "== native build (ASan, UBSan)"
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DWENDLOCK_SANITIZE=ON >/dev/null
cmake --build build/native -j "$JOBS"
ctest --test-dir build/native --output-on-failure -j "$JOBS" "$@"

echo "== Windows build (mingw-w64), tests under Wine"
DISPLAY_NUMBER=${WENDLOCK_DISPLAY:-:97}
cmake -S . -B build/win -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" -DWENDLOCK_WINE_DISPLAY="$DISPLAY_NUMBER" >/dev/null
cmake --build build/win -j "$JOBS"
# One prefix, display and desktop for the whole run; ended however the run ends.
RIG_ENV=(WINEPREFIX="$ROOT/build/win/wineprefix" DISPLAY="$DISPLAY_NUMBER" WENDLOCK_BIN="$ROOT/build/win/bin")
READONLY="$ROOT/build/win/readonly"
trap 'env "${RIG_ENV[@]}" tests/wine/wine-rig.sh stop; tests/wine/readonly-folder.sh teardown "$READONLY"' EXIT
env "${RIG_ENV[@]}" tests/wine/wine-rig.sh ensure
# A program folder the user cannot write (the test that needs it says so when it is missing).
if WENDLOCK_READONLY_FOLDER=$(tests/wine/readonly-folder.sh setup "$READONLY" "$ROOT/build/win/bin"); then
    export WENDLOCK_READONLY_FOLDER
else
    echo "== no read-only folder could be made here: the test of a read-only program folder is skipped"
fi
ctest --test-dir build/win --output-on-failure "$@"
