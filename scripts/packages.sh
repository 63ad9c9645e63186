# Sourced by the scripts: installs the Debian packages that are missing.
# Usage: ensure_packages name...
ensure_packages() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "== installing ${missing[*]}"
    local sudo=
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
}

BUILD_PACKAGES=(cmake ninja-build g++-mingw-w64-x86-64-posix mingw-w64-tools googletest wine64 wine xvfb xdotool)
# The release zip and MSI (cmake/Packaging.cmake) and their tests.
PACKAGING_PACKAGES=(zip unzip cmark-gfm wixl msitools libxml2-utils osslsigncode openssl yq)
