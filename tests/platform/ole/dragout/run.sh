#!/usr/bin/env bash
# Drags a file list between a window of the program's layer and another program under a virtual
# display, both ways. The layer window (layer_peer) sits at x 0..300, a plain toolkit window of
# another process (desktop_peer) at x 400..700; xdotool holds the left button down, moves across
# and lets go, and the receiving side must print the three paths exactly.
#   out: layer_peer calls DoDragDrop; the drag leaves our windows and goes to the desktop.
#   in:  desktop_peer drags with the toolkit; layer_peer's registered drop target reads CF_HDROP.
# Needs Xvfb and xdotool; not run by ctest (desktop drags under a virtual display depend on timing).
#
#   tests/platform/ole/dragout/run.sh [build-dir]     (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/../../../.." && pwd)
build=${1:-$root/build}
layer=$build/tests/platform/ole/layer_peer
desktop=$build/tests/platform/ole/desktop_peer
for tool in Xvfb xdotool; do
  command -v $tool >/dev/null || { echo "needs $tool (apt-get install xvfb xdotool)" >&2; exit 2; }
done
[ -x "$layer" ] && [ -x "$desktop" ] || { echo "build layer_peer and desktop_peer first" >&2; exit 2; }

work=$(mktemp -d)
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  kill "$xvfb" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export DISPLAY=$display QT_QPA_PLATFORM=xcb
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

files=("/tmp/фото/Лето 2024.jpg" "/tmp/a folder/b c.png" "/tmp/100% real.jpeg")
expected=$(printf 'DROPPED %s\n' "${files[@]}")
failed=0

# drag from x0 to x1 along y 150, the button held
drag() {
  xdotool mousemove "$1" 150; sleep 0.3
  xdotool mousedown 1; sleep 0.3
  local x=$1 step=$(( ($2 - $1) / 12 ))
  for _ in $(seq 12); do x=$((x + step)); xdotool mousemove "$x" 150; sleep 0.2; done
  sleep 0.5
  xdotool mouseup 1
}

# check NAME SOURCE-OUT RECEIVER-OUT X0 X1: waits for both programs' windows, drags, checks
check() {
  local name=$1 src=$2 dst=$3
  xdotool search --sync --name "layer peer" >/dev/null
  xdotool search --sync --name "desktop peer" >/dev/null
  sleep 1
  drag "$4" "$5"
  for _ in $(seq 100); do grep -q '^DROPPED' "$dst" 2>/dev/null && grep -q -E '^(DROP|DRAGGED)' "$src" && break; sleep 0.1; done
  sleep 0.5
  echo "== $name: source";   cat "$src"
  echo "== $name: receiver"; cat "$dst"
  if [ "$(grep '^DROPPED' "$dst" || true)" = "$expected" ]; then
    echo "$name: the receiver got the three paths"
  else
    echo "$name: FAILED" >&2
    failed=1
  fi
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait "${pids[@]}" 2>/dev/null || true
  pids=()
}

"$desktop" >"$work/out-desktop.txt" 2>"$work/out-desktop.err" &
pids+=($!)
"$layer" "${files[@]}" >"$work/out-layer.txt" 2>"$work/out-layer.err" &
pids+=($!)
check "out" "$work/out-layer.txt" "$work/out-desktop.txt" 150 550

"$layer" --receive >"$work/in-layer.txt" 2>"$work/in-layer.err" &
pids+=($!)
"$desktop" "${files[@]}" >"$work/in-desktop.txt" 2>"$work/in-desktop.err" &
pids+=($!)
check "in" "$work/in-desktop.txt" "$work/in-layer.txt" 550 150

exit $failed
