#!/bin/bash
# The release zip holds what a user needs and nothing else: the program as
# released, its icons, the example links file, the guide, the licence, the
# Group Policy templates, and SHA256SUMS that match them; the exe's version is
# the zip's; every entry is dated with the commit (the zip is reproducible).
# Usage: check-zip.sh ZIP VERSION RELEASE-EXE SOURCE-DIR
set -euo pipefail
zip=$(realpath "$1") version=$2 exe=$(realpath "$3") source=$(realpath "$4")
name=Wendlock-$version-win64
fail() { echo "FAIL: $*" >&2; exit 1; }

[ "$(basename "$zip")" = "$name.zip" ] || fail "zip named $(basename "$zip"), not $name.zip"

expected=$(printf '%s\n' LICENSE.txt SHA256SUMS "User Guide.html" bell.ico newlnks.example.ini olico.ico olicod.ico \
    policies/Wendlock.admx policies/en-US/Wendlock.adml task.ico wendlock.exe | sed "s|^|$name/|")
actual=$(unzip -Z1 "$zip")
[ "$actual" = "$expected" ] || fail "entries differ from the release files:
$(diff <(echo "$expected") <(echo "$actual"))"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unzip -q "$zip" -d "$work"
cd "$work/$name"

sha256sum --quiet -c SHA256SUMS || fail "SHA256SUMS does not match the files"
listed=$(sed 's/^[0-9a-f]\{64\}  //' SHA256SUMS)
[ "$listed" = "$(find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort)" ] || fail "SHA256SUMS does not list every file"

cmp -s wendlock.exe "$exe" || fail "wendlock.exe is not the released build"
for file in olico.ico olicod.ico bell.ico task.ico newlnks.example.ini; do
    cmp -s "$file" "$source/resources/$file" || fail "$file differs from resources/$file"
done
cmp -s LICENSE.txt "$source/LICENSE" || fail "LICENSE.txt differs from LICENSE"
for file in policies/Wendlock.admx policies/en-US/Wendlock.adml; do
    cmp -s "$file" "$source/$file" || fail "$file differs from the source"
done
grep -q '<h1 id="wendlock-user-guide">' "User Guide.html" || fail "User Guide.html is not the guide"
! grep -q 'src="images/' "User Guide.html" || fail "User Guide.html refers to picture files it does not carry"
! grep -q 'raw HTML omitted' "User Guide.html" || fail "User Guide.html lost the guide's own HTML"

# The version block says the version the zip's name says.
file_version=$(x86_64-w64-mingw32-strings -e l wendlock.exe | grep -A1 -x FileVersion | tail -n 1)
[ "$file_version" = "$version" ] || fail "wendlock.exe says version '$file_version'"

# Every entry carries the commit's date (zip keeps even seconds, rounding up).
if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
    epoch=$SOURCE_DATE_EPOCH
else
    epoch=$(git -c safe.directory='*' -C "$source" log -1 --format=%ct)
fi
stamp=$(TZ=UTC date -d "@$(( (epoch + 1) / 2 * 2 ))" +%Y%m%d.%H%M%S)
dates=$(TZ=UTC zipinfo -T "$zip" | awk 'NF >= 8 && $1 ~ /^-/ { print $7 }' | sort -u)
[ "$dates" = "$stamp" ] || fail "entries dated $dates, the commit $stamp"
echo "ok: $name.zip"
