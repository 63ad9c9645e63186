#!/bin/bash
# Builds the release a second time, from a copy of this tree in another
# folder (a path of another length), and compares the released wendlock.exe
# and the zip (and the policy templates' zip, when the tree holds one) byte
# for byte with those of a built tree: the same commit must give the same
# bytes wherever and whenever it is built.
# Usage: scripts/check-reproducible.sh [built tree, default build/win]
# (The tree must hold the zip: cmake --build <tree> --target package.)
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
FIRST=$(realpath "${1:-build/win}")
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$FIRST/CMakeCache.txt")
zip=Wendlock-$version-win64.zip
[ -f "$FIRST/$zip" ] || { echo "no $FIRST/$zip: build the package target first" >&2; exit 1; }
compared=(bin/wendlock.exe release/wendlock.exe "$zip")
policies=Wendlock-$version-policies.zip
[ -f "$FIRST/$policies" ] && compared+=("$policies")

# The date of both builds is the commit's, as the package target takes it.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -c safe.directory='*' log -1 --format=%ct)
    export SOURCE_DATE_EPOCH
fi

SECOND=$ROOT/build/reproducible/a-second-checkout-somewhere-else
rm -rf "$ROOT/build/reproducible"
mkdir -p "$SECOND/source"
tar -C "$ROOT" --exclude=./build --exclude=./.git --exclude=./out -cf - . | tar -C "$SECOND/source" -xf -

echo "== second build in $SECOND"
cmake -S "$SECOND/source" -B "$SECOND/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$SECOND/source/cmake/mingw-w64-x86_64.cmake" -DWENDLOCK_TESTS=OFF >/dev/null
# Only what the zips hold, then CPack on it.
cmake --build "$SECOND/build" --target release_files policies
(cd "$SECOND/build" && cpack >/dev/null)

status=0
for file in "${compared[@]}"; do
    if cmp "$FIRST/$file" "$SECOND/build/$file"; then
        echo "same bytes: $file"
    else
        echo "FAIL: $file differs between $FIRST and $SECOND/build" >&2
        status=1
    fi
done
[ $status -eq 0 ] && rm -rf "$ROOT/build/reproducible"
exit $status
