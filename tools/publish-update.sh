#!/bin/sh
# Publishes a new build of Setup for the update server.
#
#   publish-update.sh [--version V] [--name NAME] SETUP UPDATEINFO KEY OUTDIR
#
# SETUP       the new build (its version record gives the build number and label)
# UPDATEINFO  the notice text shown to users (UTF-8 or Windows-1251)
# KEY         an Ed25519 private key: openssl genpkey -algorithm ed25519 -out key.pem
# OUTDIR      receives Setup.7z, Build.upd and UpdateInfo.txt; copy them to /pub/OVK/
#
# --version   version label "a.b.c.d" instead of the one in SETUP's record
# --name      installed executable name (default: SETUP's file name), packed as NAME.newupdate
#
# Prints the public key to build the program with (-DSETUP_UPDATE_PUBLIC_KEY=...).
# Needs 7z, openssl (3.x), sha256sum, od and, to read the version record, objcopy.
set -eu

usage() {
    sed -n '2,16s/^# \{0,1\}//p' "$0" >&2
    exit 2
}

version=""
name=""
while [ $# -gt 0 ]; do
    case "$1" in
        --version) [ $# -ge 2 ] || usage; version=$2; shift 2 ;;
        --name) [ $# -ge 2 ] || usage; name=$2; shift 2 ;;
        -h|--help) usage ;;
        --) shift; break ;;
        -*) usage ;;
        *) break ;;
    esac
done
[ $# -eq 4 ] || usage
setup=$1 info=$2 key=$3 out=$4

fail() {
    echo "publish-update: $*" >&2
    exit 1
}

[ -f "$setup" ] || fail "no such file: $setup"
[ -f "$info" ] || fail "no such file: $info"
[ -f "$key" ] || fail "no such file: $key"
mkdir -p "$out"

work=$(mktemp -d "${TMPDIR:-/tmp}/publish-update.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

if [ -z "$version" ]; then
    objcopy -O binary --only-section=setup_version "$setup" "$work/record" 2>/dev/null ||
        fail "$setup has no version record; give --version"
    # TFixedFileInfo: signature, structure version, file version MS, file version LS.
    set -- $(od -An -tu4 -N16 -v "$work/record")
    [ $# -eq 4 ] && [ "$1" = 4277077181 ] || fail "$setup has no version record; give --version"
    version="$(($3 >> 16)).$(($3 & 65535)).$(($4 >> 16)).$(($4 & 65535))"
fi
case "$version" in
    *[!0-9.]*|.*|*.|*..*) fail "version \"$version\" is not four numbers joined by points" ;;
esac
IFS=. read -r v1 v2 v3 build extra <<EOV
$version
EOV
[ -n "$build" ] && [ -z "$extra" ] || fail "version \"$version\" is not four numbers joined by points"
[ "$build" -le 65535 ] || fail "build number $build does not fit 16 bits"
build=$((build + 0))

if [ -z "$name" ]; then
    name=$(basename "$setup")
fi
case "$name" in
    */*|"") fail "bad executable name \"$name\"" ;;
esac
base=${name%.*}
[ "$base" != "$name" ] && [ -n "$base" ] || base=$name
packed="$base.newupdate"

# The package: the new build at the root under its .newupdate name.
mkdir "$work/pkg"
cp "$setup" "$work/pkg/$packed"
chmod 0755 "$work/pkg/$packed"
rm -f "$work/Setup.7z"
(cd "$work/pkg" && 7z a -t7z -bd -y "$work/Setup.7z" "$packed" >/dev/null) || fail "7z failed"

sha=$(sha256sum "$work/Setup.7z" | cut -d' ' -f1)
printf '%s\n%s\n%s' "$build" "$version" "$sha" >"$work/signed"
openssl pkeyutl -sign -rawin -inkey "$key" -in "$work/signed" -out "$work/sig" ||
    fail "signing failed (is $key an Ed25519 private key?)"
openssl pkey -in "$key" -pubout -out "$work/pub.pem" 2>/dev/null || fail "cannot read $key"
openssl pkeyutl -verify -rawin -pubin -inkey "$work/pub.pem" -in "$work/signed" -sigfile "$work/sig" \
    >/dev/null || fail "the signature does not verify"
sig=$(od -An -tx1 -v "$work/sig" | tr -d ' \n')
pub=$(openssl pkey -pubin -in "$work/pub.pem" -outform DER | tail -c 32 | od -An -tx1 -v | tr -d ' \n')
[ ${#sig} -eq 128 ] && [ ${#pub} -eq 64 ] || fail "$key is not an Ed25519 key"

# Written beside each other last, so a failed run leaves the old set in place.
cp "$work/Setup.7z" "$out/Setup.7z.tmp"
printf '%s\n%s\n' "$(cat "$work/signed")" "$sig" >"$out/Build.upd.tmp"
cp "$info" "$out/UpdateInfo.txt.tmp"
mv -f "$out/Setup.7z.tmp" "$out/Setup.7z"
mv -f "$out/UpdateInfo.txt.tmp" "$out/UpdateInfo.txt"
mv -f "$out/Build.upd.tmp" "$out/Build.upd"

echo "Published build $build ($version) as $packed in $out"
echo "SETUP_UPDATE_PUBLIC_KEY=$pub"
