#!/usr/bin/env bash
# The portable Setup on a system without Qt, OpenSSL or ICU: a minimal Debian root with only
# X client libraries, GL and fonts, the program started in it with chroot under Xvfb and
# openbox, driven through an install by real X events; then a pending new build beside it
# is completed at start-up.
#
#   chroot_test.sh PORTABLE ROOT_CACHE
set -euo pipefail
portable=$(realpath "$1")
root=$(realpath -m "$2")
mirror=${SETUP_DEBIAN_MIRROR:-http://deb.debian.org/debian}
skip() { echo "SKIPPED: $*"; exit 77; }
shot=$(dirname "$root")/portable-failure.png
fail() {
  echo "FAILED: $*" >&2
  [ -f "${log:-}" ] && sed 's/^/  setup: /' "$log" >&2
  [ -n "${DISPLAY:-}" ] && command -v import >/dev/null && import -window root "$shot" && echo "screen: $shot" >&2
  exit 1
}

[ "$(id -u)" = 0 ] || skip "chroot and mount need root"
[ -x "$portable" ] || fail "no portable file at $portable"
for tool in debootstrap Xvfb openbox xdotool; do
  command -v "$tool" >/dev/null || fail "$tool is not installed"
done

if [ ! -f "$root/.complete" ]; then
  curl -sfI --max-time 20 "$mirror/dists/bookworm/Release" >/dev/null ||
    skip "debootstrap cannot reach the package registry at $mirror"
  rm -rf "$root" "$root.tmp"
  debootstrap --variant=minbase \
    --include=libx11-6,libx11-xcb1,libxcb1,libgl1,libegl1,libfontconfig1,libfreetype6,fonts-dejavu-core \
    bookworm "$root.tmp" "$mirror" >"$root.log" 2>&1 || { tail -20 "$root.log" >&2; fail "debootstrap failed"; }
  # Mesa's LLVM pulls in ICU through libxml2; the point is a system without it.
  chroot "$root.tmp" dpkg --purge --force-depends libicu72 >>"$root.log" 2>&1
  touch "$root.tmp/.complete"
  mv "$root.tmp" "$root"
fi
if compgen -G "$root/usr/lib/x86_64-linux-gnu/libQt6*" >/dev/null ||
   compgen -G "$root/usr/lib/x86_64-linux-gnu/libicu*" >/dev/null ||
   [ -e "$root/usr/include/openssl" ]; then
  fail "the root is not minimal: it has Qt, ICU or OpenSSL headers"
fi

work=/home/player
rm -rf "$root$work" "$root/root/.cache"
mkdir -p "$root$work/mods/Mods" "$root$work/target" "$root/tmp/.X11-unix"
src=$(mktemp -d)
display=""
kill_rooted() {  # every process running inside the root
  local p
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/root" 2>/dev/null)" = "$(realpath "$root")" ] && kill -9 "${p#/proc/}" 2>/dev/null
  done
  sleep 0.2
}
cleanup() {
  kill_rooted
  umount "$root/tmp/.X11-unix" 2>/dev/null || true
  umount "$root/proc" 2>/dev/null || true
  [ -n "$display" ] && kill "$xvfb_pid" "$wm_pid" 2>/dev/null || true
  rm -rf "$src"
}
trap cleanup EXIT
mkdir -p "$src/gui/mods"
echo "portable install" >"$src/gui/mods/a.txt"
(cd "$src" && 7z a -bd -t7z "$root$work/mods/Mods/A.7z" gui >/dev/null)
cp "$portable" "$root$work/mods/Setup"

for n in $(seq 90 130); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=:$n; break; }
done
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 & xvfb_pid=$!
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
export DISPLAY=$display
openbox >/dev/null 2>&1 & wm_pid=$!
mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"
mount -t proc proc "$root/proc"

log=$(mktemp)
start() {
  chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/bin:/bin DISPLAY="$display" LANG=C.UTF-8 \
    /bin/sh -c "cd $work/mods && exec ./Setup" >"$log" 2>&1 &
  setup_pid=$!
}
window() {  # the wizard's window, once it is mapped
  local w=""
  for _ in $(seq 200); do
    w=$(xdotool search --onlyvisible --name '^Setup$' 2>/dev/null | head -1) && [ -n "$w" ] && break
    sleep 0.1
  done
  [ -n "$w" ] || fail "no window appeared"
  echo "$w"
}
click() {  # click WINDOW X Y, from the window's top left; negative counts from the far edge
  local w=$1 x=$2 y=$3 g width height
  g=$(xdotool getwindowgeometry --shell "$w")
  width=$(sed -n 's/^WIDTH=//p' <<<"$g"); height=$(sed -n 's/^HEIGHT=//p' <<<"$g")
  ((x < 0)) && x=$((width + x)); ((y < 0)) && y=$((height + y))
  xdotool mousemove --window "$w" "$x" "$y" click 1
  sleep 0.5
}

# An install of a 7z into a typed folder.
start
w=$(window)
next=(-132 -19)
click "$w" "${next[@]}"                     # language page
click "$w" "${next[@]}"                     # the files page, the archive ticked
click "$w" 258 155                          # the folder field
xdotool key ctrl+a type --delay 5 "$work/target"
click "$w" "${next[@]}"
for _ in $(seq 100); do [ -f "$root$work/target/gui/mods/a.txt" ] && break; sleep 0.1; done
cmp "$src/gui/mods/a.txt" "$root$work/target/gui/mods/a.txt" || fail "the archive's file was not installed"
compgen -G "$root/root/.cache/Setup/*/Setup" >/dev/null || fail "nothing was unpacked into the user's cache"
click "$w" -49 -19                          # Done
for _ in $(seq 50); do kill -0 "$setup_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$setup_pid" 2>/dev/null && fail "the program did not end on Done"
wait "$setup_pid" || fail "the program ended with an error"
echo "installed through the window: ok"

# A pending new build is put in place and started.
cp "$portable" "$root$work/mods/Setup.newupdate"
new_inode=$(stat -c %i "$root$work/mods/Setup.newupdate")
start
swapped() {
  [ ! -e "$root$work/mods/Setup.newupdate" ] && [ ! -e "$root$work/mods/Setup.oldupdate" ] &&
    [ "$(stat -c %i "$root$work/mods/Setup")" = "$new_inode" ]
}
for _ in $(seq 150); do swapped && break; sleep 0.1; done
swapped || fail "the swap was not completed: $(ls "$root$work/mods")"
wait "$setup_pid" || fail "the old build ended with an error"
w=$(window)
echo "pending new build completed at start-up: ok"
