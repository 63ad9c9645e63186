#!/bin/bash
# The winget manifest of a built release (packaging/winget-manifest.sh): three
# YAML files where winget-pkgs keeps them, with the fields the manifest schema
# requires and values it allows, the installers' hashes those of the built
# zip and MSI, the MSI's product code, and the portable exe where the zip has it.
# Usage: check-winget.sh SOURCE-DIR VERSION ZIP MSI WORK-DIR
set -euo pipefail
source=$(realpath "$1") version=$2 zip=$(realpath "$3") msi=$(realpath "$4") work=$5
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

base_url=https://example.invalid/wendlock/releases/$version
rm -rf "$work"
folder=$(bash "$source/packaging/winget-manifest.sh" "$version" "$zip" "$msi" "$base_url" "$work")
id=Wendlock.Wendlock
[ "$folder" = "$work/manifests/w/Wendlock/Wendlock/$version" ] || fail "manifest in $folder"
files=$(cd "$folder" && ls)
[ "$files" = $'Wendlock.Wendlock.installer.yaml\nWendlock.Wendlock.locale.en-US.yaml\nWendlock.Wendlock.yaml' ] ||
    fail "files: $files"
version_file=$folder/$id.yaml installer=$folder/$id.installer.yaml locale=$folder/$id.locale.en-US.yaml

# Each file read once as YAML (yq), then queried as JSON (jq).
for file in "$version_file" "$installer" "$locale"; do
    yq . "$file" >"$file.json" || { echo "FAIL: $(basename "$file") is not YAML" >&2; exit 1; }
done
# One value, as text; "null" when absent.
get() { jq -r "$2" "$1.json"; }

# The fields every manifest of its type needs (the schema's "required"), and
# those shared by the three.
require() {  # file, fields...
    local file=$1 field
    shift
    for field in "$@"; do
        [ "$(get "$file" "(.$field // \"\") | tostring")" != "" ] || fail "$(basename "$file"): no $field"
    done
}
require "$version_file" PackageIdentifier PackageVersion DefaultLocale ManifestType ManifestVersion
require "$installer" PackageIdentifier PackageVersion Installers ManifestType ManifestVersion
require "$locale" PackageIdentifier PackageVersion PackageLocale Publisher PackageName License ShortDescription \
    ManifestType ManifestVersion
[ "$(get "$version_file" .ManifestType)/$(get "$installer" .ManifestType)/$(get "$locale" .ManifestType)" = \
    version/installer/defaultLocale ] || fail "manifest types"
manifest_version=$(get "$version_file" .ManifestVersion)
[[ $manifest_version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "ManifestVersion $manifest_version"
for file in "$version_file" "$installer" "$locale"; do
    [ "$(get "$file" .PackageIdentifier)" = $id ] || fail "$(basename "$file"): another package"
    [ "$(get "$file" '.PackageVersion | tostring')" = "$version" ] || fail "$(basename "$file"): not version $version"
    [ "$(get "$file" .ManifestVersion)" = "$manifest_version" ] || fail "$(basename "$file"): another manifest version"
    grep -q "^# yaml-language-server: \$schema=https://aka.ms/winget-manifest.$(get "$file" .ManifestType).$manifest_version.schema.json$" \
        "$file" || fail "$(basename "$file"): no schema line of its type and version"
done
[ "$(get "$version_file" .DefaultLocale)" = "$(get "$locale" .PackageLocale)" ] || fail "the default locale's file is not the default locale"
[[ $id =~ ^[^.[:space:]]{1,32}(\.[^.[:space:]]{1,32}){1,7}$ ]] || fail "PackageIdentifier $id"
length=$(get "$locale" '.ShortDescription | length')
[ "$length" -ge 3 ] && [ "$length" -le 256 ] || fail "ShortDescription of $length characters"
[ "$(get "$locale" '.Tags | length')" -le 16 ] || fail "more than 16 tags"

# Each installer: the values the schema allows, the file it names and its hash.
msi_sha=$(sha256sum "$msi" | cut -d' ' -f1)
zip_sha=$(sha256sum "$zip" | cut -d' ' -f1)
product_code=$(msiinfo export "$msi" Property | sed -n 's/^ProductCode\t\([^\r]*\)\r\?$/\1/p')
[ -n "$product_code" ] || fail "no ProductCode in the MSI"
count=$(get "$installer" '.Installers | length')
[ "$count" = 3 ] || fail "$count installers, not 3"
kinds=""
for i in $(seq 0 $((count - 1))); do
    at=".Installers[$i]"
    type=$(get "$installer" "$at.InstallerType")
    scope=$(get "$installer" "$at.Scope")
    kinds+="$type/$scope "
    [ "$(get "$installer" "$at.Architecture")" = x64 ] || fail "installer $i: not x64"
    url=$(get "$installer" "$at.InstallerUrl")
    sha=$(get "$installer" "$at.InstallerSha256")
    [[ $url =~ ^https?://.+$ ]] || fail "installer $i: URL $url"
    [[ $sha =~ ^[A-Fa-f0-9]{64}$ ]] || fail "installer $i: hash $sha"
    custom=$(get "$installer" "$at.InstallerSwitches.Custom // \"\"")
    case $type in
    msi)
        [ "$url" = "$base_url/$(basename "$msi")" ] || fail "installer $i: URL $url"
        [ "${sha,,}" = "$msi_sha" ] || fail "installer $i: hash $sha, the MSI's is $msi_sha"
        [ "$(get "$installer" "$at.ProductCode")" = "$product_code" ] || fail "installer $i: not the MSI's product code $product_code"
        [ "$(get "$installer" "$at.UpgradeBehavior")" = install ] || fail "installer $i: upgrade behaviour"
        case $scope in
        machine)
            [[ " $custom " == *" ALLUSERS=1 "* ]] || fail "per machine without ALLUSERS=1"
            [ "$(get "$installer" "$at.ElevationRequirement")" = elevationRequired ] || fail "per machine without elevation"
            ;;
        user) [[ $custom != *ALLUSERS* ]] || fail "per user with $custom" ;;
        *) fail "installer $i: scope $scope" ;;
        esac
        ;;
    zip)
        [ "$url" = "$base_url/$(basename "$zip")" ] || fail "installer $i: URL $url"
        [ "${sha,,}" = "$zip_sha" ] || fail "installer $i: hash $sha, the zip's is $zip_sha"
        [ "$(get "$installer" "$at.NestedInstallerType")" = portable ] || fail "the zip is not a portable"
        [ "$(get "$installer" "$at.NestedInstallerFiles | length")" = 1 ] || fail "the zip: not one nested file"
        nested=$(get "$installer" "$at.NestedInstallerFiles[0].RelativeFilePath")
        unzip -Z1 "$zip" | grep -qxF "${nested//\\//}" || fail "no $nested in the zip"
        [ "$(get "$installer" "$at.NestedInstallerFiles[0].PortableCommandAlias")" = wendlock ] || fail "the zip's alias"
        ;;
    *) fail "installer $i: type $type" ;;
    esac
done
[ "$kinds" = "msi/user msi/machine zip/null " ] || fail "installers $kinds"

[ $failures -eq 0 ] || exit 1
echo "ok: $folder"
