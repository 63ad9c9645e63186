#!/bin/bash
# A program folder the user cannot write, as C:\Program Files is to a
# standard user on Windows. Wine runs as root here and root writes anywhere,
# so the folder is made read-only below Wine: a read-only bind mount, or the
# immutable attribute where mounting is not allowed.
#
#   readonly-folder.sh setup <folder> <bin>   copies the program into it as
#       "Wendlock RO.exe" with its files, makes it read-only and prints its
#       Windows path; fails (printing nothing) when neither way works
#   readonly-folder.sh teardown <folder>
set -uo pipefail

teardown() {
    local folder=$1
    umount "$folder" 2>/dev/null
    chattr -i "$folder" 2>/dev/null
    rm -rf "$folder"
}

case "${1:-}" in
setup)
    folder=$2 bin=$3
    teardown "$folder"
    mkdir -p "$folder" || exit 1
    cp "$bin/wendlock.exe" "$folder/Wendlock RO.exe" || exit 1
    cp "$bin"/{olico,olicod,bell,task}.ico "$bin/newlnks.example.ini" "$folder/" || exit 1
    { mount --bind "$folder" "$folder" && mount -o remount,bind,ro "$folder"; } 2>/dev/null ||
        chattr +i "$folder" 2>/dev/null
    if touch "$folder/.probe" 2>/dev/null; then
        rm -f "$folder/.probe"
        teardown "$folder"
        exit 1
    fi
    echo "Z:${folder//\//\\}\\"
    ;;
teardown)
    teardown "$2"
    ;;
*)
    echo "usage: readonly-folder.sh setup <folder> <bin> | teardown <folder>" >&2
    exit 2
    ;;
esac
