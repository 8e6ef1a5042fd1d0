#!/usr/bin/env bash
# Drags two selected items and then a column of a list view under a virtual display, and takes a
# screenshot of the whole screen halfway through each drag, with the button still held: the
# dragged items' image, and then the column's, must show under the pointer. A last drag takes the
# items out of the window, where the desktop's drag carries the image.
#   out: <out-dir>/drag-items.png, drag-column.png and drag-out.png, to be looked at.
# Needs Xvfb, xdotool and ImageMagick's import; not run by ctest (drags under a virtual display
# depend on timing).
#
#   tests/dragimage/run.sh [build-dir] [out-dir]     (defaults: build, /tmp)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
out=${2:-/tmp}
peer=$build/tests/dragimage/drag_image_peer
for tool in Xvfb xdotool import; do
  command -v $tool >/dev/null || { echo "needs $tool (apt-get install xvfb xdotool imagemagick)" >&2; exit 2; }
done
[ -x "$peer" ] || { echo "build drag_image_peer first" >&2; exit 2; }

work=$(mktemp -d)
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 800x600x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
peer_pid=
cleanup() {
  [ -n "$peer_pid" ] && kill "$peer_pid" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export DISPLAY=$display QT_QPA_PLATFORM=xcb
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

"$peer" >"$work/peer.txt" 2>"$work/peer.err" &
peer_pid=$!
for _ in $(seq 100); do grep -q '^COLUMN' "$work/peer.txt" 2>/dev/null && break; sleep 0.1; done
read -r _ ix iy < <(grep '^ITEM' "$work/peer.txt")
read -r _ cx cy < <(grep '^COLUMN' "$work/peer.txt")
sleep 1

# drag X Y DX DY SHOT: presses at (X, Y), moves by (DX, DY) in ten steps, takes the screenshot
# with the button held, and lets go
drag() {
  xdotool mousemove "$1" "$2"; sleep 0.3
  xdotool mousedown 1; sleep 0.3
  local x=$1 y=$2
  for _ in $(seq 10); do x=$((x + $3 / 10)); y=$((y + $4 / 10)); xdotool mousemove "$x" "$y"; sleep 0.1; done
  sleep 0.5
  import -window root "$5"
  xdotool mouseup 1; sleep 0.5
}

drag "$ix" "$iy" 200 120 "$out/drag-items.png"
drag "$cx" "$cy" 170 0 "$out/drag-column.png"
drag "$ix" "$iy" 700 250 "$out/drag-out.png"
echo "screenshots: $out/drag-items.png $out/drag-column.png $out/drag-out.png"
