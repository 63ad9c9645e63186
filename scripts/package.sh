#!/bin/bash
# Builds a release artifact from this checkout, on a fresh Debian machine too
# (installs what is missing with apt-get, as root or with sudo):
#
#   scripts/package.sh zip    build/release/Wendlock-<version>-win64.zip (+ .sha256)
#   scripts/package.sh msi    build/release/Wendlock-<version>-win64.msi and, to publish
#                             beside it, Wendlock-<version>-policies.zip (the Group Policy
#                             templates, which the zip also holds)
#   scripts/package.sh winget both, and the winget manifest of that zip and MSI in
#                             build/release/winget/manifests/w/Wendlock/Wendlock/<version>/
#
# The manifest's installer URLs are WENDLOCK_RELEASE_URL/<file name>: the
# folder where the zip and MSI of this very run are published (their hashes
# are in the manifest). Unset, a placeholder that no one can download from.
#
# The release tree has no tests. The zip is dated with the last commit
# (or SOURCE_DATE_EPOCH): the same commit gives the same zip, byte for byte.
#
# Signing (Authenticode, with osslsigncode), when a certificate is given:
#   WENDLOCK_SIGN_PFX            the code-signing certificate with its key, a PKCS#12 (.pfx) file
#   WENDLOCK_SIGN_PASSWORD_FILE  a file holding the PFX's password (unset: no password)
#   WENDLOCK_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamp server (unset: no time stamp)
# wendlock.exe is signed before the zip and the MSI take it, and the MSI is
# signed. Without WENDLOCK_SIGN_PFX the release is unsigned.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
what=${1:-}
case "$what" in
zip | msi | winget) ;;
*) echo "usage: scripts/package.sh zip|msi|winget" >&2; exit 2 ;;
esac

source scripts/packages.sh
ensure_packages cmake ninja-build g++-mingw-w64-x86-64-posix mingw-w64-tools git "${PACKAGING_PACKAGES[@]}"

pfx=${WENDLOCK_SIGN_PFX:-} password_file=${WENDLOCK_SIGN_PASSWORD_FILE:-} timestamp_url=${WENDLOCK_SIGN_TIMESTAMP_URL:-}
if [ -n "$pfx" ]; then
    [ -f "$pfx" ] || { echo "WENDLOCK_SIGN_PFX: no file $pfx" >&2; exit 2; }
    pfx=$(realpath "$pfx")
    if [ -n "$password_file" ]; then
        [ -f "$password_file" ] || { echo "WENDLOCK_SIGN_PASSWORD_FILE: no file $password_file" >&2; exit 2; }
        password_file=$(realpath "$password_file")
    fi
    echo "== signing with $pfx${timestamp_url:+, time stamp from $timestamp_url}"
else
    [ -z "$password_file$timestamp_url" ] ||
        echo "WENDLOCK_SIGN_PASSWORD_FILE or WENDLOCK_SIGN_TIMESTAMP_URL without WENDLOCK_SIGN_PFX: ignored" >&2
    password_file="" timestamp_url=""
    echo "== unsigned: no certificate given (WENDLOCK_SIGN_PFX)"
fi

# The signing settings always, so that an earlier signed run's stay behind in no cache.
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" -DWENDLOCK_TESTS=OFF \
      -DWENDLOCK_SIGN_PFX="$pfx" -DWENDLOCK_SIGN_PASSWORD_FILE="$password_file" \
      -DWENDLOCK_SIGN_TIMESTAMP_URL="$timestamp_url" >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release/CMakeCache.txt)
zip=build/release/Wendlock-$version-win64.zip
msi=build/release/Wendlock-$version-win64.msi
if [ "$what" != msi ]; then
    cmake --build build/release --target release_files
    (cd build/release && cpack >/dev/null)
    echo "== $zip"
    cat "$zip.sha256"
    ls -l "$zip"
fi
if [ "$what" != zip ]; then
    cmake --build build/release --target msi
    echo "== $msi"
    ls -l build/release/Wendlock-$version-policies.zip "$msi"
fi
if [ "$what" = winget ]; then
    base_url=${WENDLOCK_RELEASE_URL:-https://example.invalid/wendlock/releases/$version}
    [ -n "${WENDLOCK_RELEASE_URL:-}" ] ||
        echo "WENDLOCK_RELEASE_URL not set: the manifest names the placeholder $base_url" >&2
    folder=$(bash packaging/winget-manifest.sh "$version" "$zip" "$msi" "$base_url" build/release/winget)
    echo "== $folder"
    ls -l "$folder"
fi
