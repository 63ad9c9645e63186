#!/bin/bash
# Writes the winget manifest of a release (the three files of a multi-file
# manifest, in the folder layout of the winget-pkgs repository) from the
# built zip and MSI: their SHA-256 hashes, the MSI's product and upgrade codes.
# Usage: winget-manifest.sh VERSION ZIP MSI BASE-URL OUT-DIR
# The installers' URLs are BASE-URL/<file name>. Prints the manifest's folder.
set -euo pipefail
version=$1 zip=$2 msi=$3 base_url=${4%/} out=$5

id=Wendlock.Wendlock
manifest_version=1.10.0
folder=$out/manifests/w/Wendlock/Wendlock/$version

sha256() { sha256sum "$1" | cut -d' ' -f1 | tr a-f A-F; }
property() {
    local value
    value=$(msiinfo export "$msi" Property | sed -n "s/^$1\t\([^\r]*\)\r\?$/\1/p")
    [ -n "$value" ] || { echo "no $1 in $msi" >&2; exit 1; }
    echo "$value"
}
product_code=$(property ProductCode)
upgrade_code=$(property UpgradeCode)
zip_name=$(basename "$zip")
msi_name=$(basename "$msi")
msi_sha=$(sha256 "$msi")
zip_sha=$(sha256 "$zip")
# The zip's one top folder, named like the zip.
zip_folder=${zip_name%.zip}

rm -rf "$folder"
mkdir -p "$folder"
header() {  # manifest type
    echo "# Made by scripts/package.sh winget from Wendlock $version."
    echo "# yaml-language-server: \$schema=https://aka.ms/winget-manifest.$1.$manifest_version.schema.json"
    echo
}

{
    header version
    cat <<EOF
PackageIdentifier: $id
PackageVersion: $version
DefaultLocale: en-US
ManifestType: version
ManifestVersion: $manifest_version
EOF
} >"$folder/$id.yaml"

# The MSI installs per user unless ALLUSERS=1, which needs an elevated
# winget (the package does not ask for elevation itself). The zip is a
# portable copy: winget puts its folder on PATH rather than linking the exe
# from elsewhere, since Wendlock looks for its icons and links beside itself.
{
    header installer
    cat <<EOF
PackageIdentifier: $id
PackageVersion: $version
MinimumOSVersion: 10.0.0.0
Installers:
- Architecture: x64
  InstallerType: msi
  Scope: user
  InstallerUrl: $base_url/$msi_name
  InstallerSha256: $msi_sha
  ProductCode: '$product_code'
  UpgradeBehavior: install
  AppsAndFeaturesEntries:
  - UpgradeCode: '$upgrade_code'
- Architecture: x64
  InstallerType: msi
  Scope: machine
  InstallerUrl: $base_url/$msi_name
  InstallerSha256: $msi_sha
  InstallerSwitches:
    Custom: ALLUSERS=1
  ElevationRequirement: elevationRequired
  ProductCode: '$product_code'
  UpgradeBehavior: install
  AppsAndFeaturesEntries:
  - UpgradeCode: '$upgrade_code'
- Architecture: x64
  InstallerType: zip
  NestedInstallerType: portable
  NestedInstallerFiles:
  - RelativeFilePath: $zip_folder\\wendlock.exe
    PortableCommandAlias: wendlock
  ArchiveBinariesDependOnPath: true
  InstallerUrl: $base_url/$zip_name
  InstallerSha256: $zip_sha
ManifestType: installer
ManifestVersion: $manifest_version
EOF
} >"$folder/$id.installer.yaml"

{
    header defaultLocale
    cat <<EOF
PackageIdentifier: $id
PackageVersion: $version
PackageLocale: en-US
Publisher: The Wendlock developers
PackageName: Wendlock
Moniker: wendlock
License: MIT
ShortDescription: Keeps Outlook loaded and alerts for reminders and overdue tasks.
Description: A small notification-area utility that looks after classic Microsoft Outlook for the logged-on user. It keeps Outlook loaded in the background, opens Outlook on a chosen folder, starts new items from a list of links, restarts Outlook, and raises its own alerts for reminders and overdue tasks.
Tags:
- outlook
- reminders
- tasks
- tray
ManifestType: defaultLocale
ManifestVersion: $manifest_version
EOF
} >"$folder/$id.locale.en-US.yaml"

echo "$folder"
