#!/bin/bash
# The soak: the program's soak build under Wine for the given minutes
# (default 10), with reminders every two seconds, tasks added and completed
# and Outlook killed twice. Prints the program's handle, GDI, USER and private
# memory figures; fails when the program stops answering or saving.
# A second argument "reminders" leaves out the tasks and the kills, "nokill"
# the kills.
# Uses the test tree's prefix: do not run it while scripts/test.sh runs.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
source scripts/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}"
cmake -S . -B build/win -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build build/win --target wendlock_soakrun wine-keeper
WENDLOCK_WINE_TIMEOUT=0 exec build/win/wine-run.sh build/win/bin/wendlock_soakrun.exe "${1:-10}" ${2:-}
