#!/bin/bash
# Builds a release artifact from this checkout, on a fresh Debian machine too
# (installs what is missing with apt-get, as root or with sudo):
#
#   scripts/package.sh zip    build/release/Wendlock-<version>-win64.zip (+ .sha256)
#   scripts/package.sh msi    build/release/Wendlock-<version>-win64.msi and, to publish
#                             beside it, Wendlock-<version>-policies.zip (the Group Policy
#                             templates, which the zip also holds)
#
# The release tree has no tests. The zip is dated with the last commit
# (or SOURCE_DATE_EPOCH): the same commit gives the same zip, byte for byte.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
what=${1:-}
case "$what" in
zip | msi) ;;
*) echo "usage: scripts/package.sh zip|msi" >&2; exit 2 ;;
esac

source scripts/packages.sh
ensure_packages cmake ninja-build g++-mingw-w64-x86-64-posix mingw-w64-tools git "${PACKAGING_PACKAGES[@]}"

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" -DWENDLOCK_TESTS=OFF >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release/CMakeCache.txt)
if [ "$what" = zip ]; then
    cmake --build build/release --target release_files
    (cd build/release && cpack >/dev/null)
    artifact=build/release/Wendlock-$version-win64.zip
    echo "== $artifact"
    cat "$artifact.sha256"
else
    cmake --build build/release --target msi
    artifact=build/release/Wendlock-$version-win64.msi
    echo "== $artifact"
    ls -l build/release/Wendlock-$version-policies.zip
fi
ls -l "$artifact"
