#!/bin/bash
# Signing a release: the release rules, given a throwaway certificate made
# here, sign wendlock.exe before the MSI packs it and sign the MSI; both
# signatures verify against that certificate and not against another one.
# In a tree that signs nothing, the released exe carries no signature and is
# the signed one with its signature removed, byte for byte.
# Usage: check-signing.sh TREE PACKAGE-NAME OSSLSIGNCODE TREE'S-WENDLOCK_SIGN_PFX
# (the tree's release built: Package.Build; exits 77 when a tool is missing)
set -euo pipefail
tree=$(realpath "$1") name=$2 osslsigncode=$3 tree_pfx=$4
fail() { echo "FAIL: $*" >&2; exit 1; }

if [ -z "$osslsigncode" ] || [[ $osslsigncode == *NOTFOUND ]] || ! command -v openssl >/dev/null; then
    echo "skipped: osslsigncode or openssl not found (Debian packages osslsigncode, openssl)"
    exit 77
fi

dir=$tree/package-test/signed
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rm -rf "$dir"
mkdir -p "$dir"

# A self-signed code-signing certificate; the key and its password only in
# the PKCS#12 file and the password file, as a real release would have them.
make_certificate() {  # name
    openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -nodes -subj "/CN=Wendlock test signer $1" \
        -addext extendedKeyUsage=codeSigning -addext keyUsage=digitalSignature \
        -keyout "$work/$1.key" -out "$work/$1.pem" 2>/dev/null
}
make_certificate signer
make_certificate stranger
openssl rand -hex 16 >"$dir/signer.password"
openssl pkcs12 -export -inkey "$work/signer.key" -in "$work/signer.pem" \
    -passout "file:$dir/signer.password" -out "$dir/signer.pfx"

cmake --build "$tree" --target signed_release_test >"$work/build.log" 2>&1 ||
    fail "the signed build failed:
$(cat "$work/build.log")"
exe=$dir/wendlock.exe msi=$dir/$name.msi
! grep -qF "$(cat "$dir/signer.password")" "$work/build.log" || fail "the build log shows the password"

verify() {  # certificate file
    "$osslsigncode" verify -CAfile "$work/$1.pem" -in "$2" >"$work/verify.log" 2>&1
}
for file in "$exe" "$msi"; do
    verify signer "$file" && grep -q '^Signature verification: ok' "$work/verify.log" ||
        fail "$(basename "$file") does not verify against its certificate:
$(cat "$work/verify.log")"
    grep -q 'Subject: /CN=Wendlock test signer signer' "$work/verify.log" || fail "$(basename "$file"): another signer"
    ! verify stranger "$file" || fail "$(basename "$file") verifies against a certificate that did not sign it"
done
echo "== $(basename "$msi"), against its certificate:"
verify signer "$msi"
grep -E '^(Message digest algorithm|Signature verification|\s+Subject)' "$work/verify.log"

# The MSI holds the signed exe.
(cd "$work" && msiextract -C extracted "$msi" >/dev/null)
packed=$(find "$work/extracted" -name wendlock.exe)
[ -n "$packed" ] || fail "no wendlock.exe in the MSI"
cmp -s "$packed" "$exe" || fail "the MSI's wendlock.exe is not the signed one"

if [ -z "$tree_pfx" ]; then
    unsigned=$tree/release/wendlock.exe
    ! "$osslsigncode" verify -in "$unsigned" >"$work/verify.log" 2>&1 ||
        fail "the release of a tree without a certificate is signed"
    "$osslsigncode" remove-signature -in "$exe" -out "$work/unsigned.exe" >/dev/null
    cmp -s "$work/unsigned.exe" "$unsigned" ||
        fail "the signed exe less its signature differs from the unsigned release"
fi
echo "ok: wendlock.exe and $(basename "$msi") signed"
