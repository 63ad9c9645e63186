#!/bin/bash
# The Group Policy templates (policies/) are well-formed, their texts all
# exist, every policy writes one REG_DWORD under Software\Policies\Wendlock in
# one of the two regular shapes the program reads, there is one policy per
# setting of the Options dialog and one for the stores scanned, and the start folders are the program's own,
# captions and numbers. With a zip, checks that it carries both files, dated
# with the commit.
# Usage: check-policies.sh SOURCE-DIR [POLICIES-ZIP]
set -euo pipefail
source=$(realpath "$1") policies_zip=${2:-}
admx=$source/policies/Wendlock.admx
adml=$source/policies/en-US/Wendlock.adml
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

xmllint --noout "$admx" "$adml" || { echo "FAIL: not well-formed XML" >&2; exit 1; }

# XPath without the default namespace.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sed 's/ xmlns="[^"]*"//' "$admx" >"$work/admx"
sed 's/ xmlns="[^"]*"//' "$adml" >"$work/adml"
admx() { xmllint --xpath "$1" "$work/admx"; }
adml() { xmllint --xpath "$1" "$work/adml"; }

# Every reference to the ADML resolves.
for ref in $(grep -o '\$([a-z]*\.[A-Za-z0-9_]*)' "$admx" | sort -u); do
    kind=${ref#\$(} kind=${kind%%.*} id=${ref#*.} id=${id%)}
    case $kind in
    string) [ "$(adml "count(//stringTable/string[@id='$id'])")" = 1 ] || fail "no string '$id' in the ADML" ;;
    presentation) [ "$(adml "count(//presentationTable/presentation[@id='$id'])")" = 1 ] || fail "no presentation '$id' in the ADML" ;;
    *) fail "unknown reference $ref" ;;
    esac
done

count=$(admx 'count(//policy)')
[ "$count" -gt 0 ] || fail "no policy"
value_names=()
for i in $(seq "$count"); do
    p="(//policy)[$i]"
    name=$(admx "string($p/@name)")
    [ "$(admx "string($p/@key)")" = 'Software\Policies\Wendlock' ] || fail "$name: key is not Software\\Policies\\Wendlock"
    [ "$(admx "string($p/@class)")" = Both ] || fail "$name: not for both the computer and the user"
    [ "$(admx "string($p/parentCategory/@ref)")" = Wendlock ] || fail "$name: not in the Wendlock category"
    value=$(admx "string($p/@valueName)")
    elements=$(admx "count($p/elements/*)")
    if [ -n "$value" ]; then
        # On or off: 1 when enabled, 0 when disabled.
        [ "$elements" = 0 ] || fail "$name: both a value and elements"
        [ "$(admx "string($p/enabledValue/decimal/@value)")" = 1 ] || fail "$name: enabled is not the number 1"
        [ "$(admx "string($p/disabledValue/decimal/@value)")" = 0 ] || fail "$name: disabled is not the number 0"
    else
        # One element with its own value, and its control in the ADML.
        [ "$elements" = 1 ] || fail "$name: $elements elements, not one"
        kind=$(admx "local-name($p/elements/*)")
        [ "$kind" = enum ] || [ "$kind" = decimal ] || fail "$name: element $kind is neither enum nor decimal"
        value=$(admx "string($p/elements/*/@valueName)")
        [ -n "$value" ] || fail "$name: its element has no value name"
        id=$(admx "string($p/elements/*/@id)")
        presentation=$(admx "string($p/@presentation)")
        presentation=${presentation#\$(presentation.} presentation=${presentation%)}
        [ "$(adml "count(//presentation[@id='$presentation']/*[@refId='$id'])")" = 1 ] ||
            fail "$name: the presentation '$presentation' shows no control for '$id'"
    fi
    [ -n "$value" ] && value_names+=("$value")
done
duplicates=$(printf '%s\n' "${value_names[@]}" | sort | uniq -d)
[ -z "$duplicates" ] || fail "value names used twice: $duplicates"

# One policy per setting of the Options dialog (its list, box and check boxes),
# and one that limits the overdue scan to the default store (which greys the
# dialog's list of stores).
# The warning's check box and its list of minutes are one setting.
options=$(sed -n '/^IDD_MAIN DIALOGEX/,/^END/p' "$source/resources/wendlock.rc" |
    grep -E '^\s*(AUTOCHECKBOX|COMBOBOX|EDITTEXT)\b' | grep -cv 'IDC_CHKWARN')
[ "$((options + 1))" = "$count" ] || fail "$count policies for $options settings in the Options dialog and the stores"
[ "$(admx "count(//policy[@name='OverdueTasksDefaultStoreOnly'])")" = 1 ] ||
    fail "no policy OverdueTasksDefaultStoreOnly"

# The delay: whole seconds within what Options accepts.
[ "$(admx "string(//policy[@name='LoadDelaySeconds']/elements/decimal/@minValue)")" = 0 ] &&
    [ "$(admx "string(//policy[@name='LoadDelaySeconds']/elements/decimal/@maxValue)")" = 600 ] ||
    fail "LoadDelaySeconds: not 0 to 600"

# The start folders: the Options list's captions (resources/wendlock.rc), in
# its order (kStartFolders), with the program's numbers (StartFolder).
header=$source/outlook/StartFolder.h
expected=""
i=0
for folder in $(sed -n '/kStartFolders\[\]/,/};/p' "$header" | grep -o 'StartFolder::[A-Za-z]*' | sed 's/StartFolder:://'); do
    number=$(sed -n "s/^ *$folder = \\(-\\?[0-9]*\\),.*/\\1/p" "$header")
    caption=$(sed -n "s/^ *IDS_START_FOLDER_FIRST+$i *\"\\(.*\\)\"/\\1/p" "$source/resources/wendlock.rc")
    expected+="$number $caption"$'\n'
    i=$((i + 1))
done
[ "$i" = 10 ] || fail "read $i start folders from the program, not 10"
actual=""
enum='//policy[@name="StartOutlookIn"]/elements/enum'
for j in $(seq "$(admx "count($enum/item)")"); do
    number=$(admx "string($enum/item[$j]/value/decimal/@value)")
    id=$(admx "string($enum/item[$j]/@displayName)")
    id=${id#\$(string.} id=${id%)}
    actual+="$number $(adml "string(//string[@id='$id'])")"$'\n'
done
[ "$actual" = "$expected" ] || fail "start folders differ from the Options list:
$(diff <(echo "$expected") <(echo "$actual"))"

if [ -n "$policies_zip" ]; then
    entries=$(unzip -Z1 "$policies_zip")
    [ "$entries" = $'policies/Wendlock.admx\npolicies/en-US/Wendlock.adml' ] || fail "$policies_zip holds:
$entries"
    unzip -q "$policies_zip" -d "$work/zip"
    cmp -s "$work/zip/policies/Wendlock.admx" "$admx" || fail "the ADMX in $policies_zip differs"
    cmp -s "$work/zip/policies/en-US/Wendlock.adml" "$adml" || fail "the ADML in $policies_zip differs"
    # Dated with the commit, as the release zip (zip keeps even seconds, rounding up).
    epoch=${SOURCE_DATE_EPOCH:-$(git -c safe.directory='*' -C "$source" log -1 --format=%ct)}
    stamp=$(TZ=UTC date -d "@$(( (epoch + 1) / 2 * 2 ))" +%Y%m%d.%H%M%S)
    dates=$(TZ=UTC zipinfo -T "$policies_zip" | awk 'NF >= 8 && $1 ~ /^-/ { print $7 }' | sort -u)
    [ "$dates" = "$stamp" ] || fail "$policies_zip dated $dates, the commit $stamp"
fi

[ $failures -eq 0 ] || exit 1
echo "ok: $count policies"
