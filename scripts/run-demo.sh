#!/usr/bin/env bash
# Installs what is needed, builds Setup, lays out a demo mod folder beside a copy of it
# and starts the wizard there.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
demo=build/demo
rm -rf "$demo"
mkdir -p "$demo/Crosshairs" "$demo/Sounds" "$demo/Skins"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mk() { # mk ARCHIVE TYPE FILE...: archives made by the 7z tool
  local out=$1 type=$2; shift 2
  (cd "$work" && rm -rf content && mkdir -p content/gui/flash && for f in "$@"; do
     printf 'demo %s\n' "$f" > "content/gui/flash/$f"; done &&
   cd content && 7z a -bd -y "-t$type" "../out.$type" . >/dev/null)
  mv "$work/out.$type" "$out"
}
mk "$demo/Crosshairs/Crosshair-A.7z" 7z crosshair_a.xml crosshair_a.dds
mk "$demo/Crosshairs/Crosshair-B.zip" zip crosshair_b.xml
mk "$demo/Sounds/Voices.7z" 7z voices.bank
mk "$demo/Skins/Camo.zip" zip camo.dds camo.xml
cp build/bin/Setup "$demo/Setup"
cd "$demo"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting offscreen (set DISPLAY to see the window)." >&2
  export QT_QPA_PLATFORM=offscreen
fi
exec ./Setup
