#!/usr/bin/env bash
# Drags a file list out of a window of the program into another program under a virtual display:
# the source (a layer window calling DoDragDrop) sits at x 0..300, a plain toolkit window that
# accepts drops at x 400..700. xdotool holds the left button down, moves across and lets go; the
# receiver must print the three paths. Needs Xvfb and xdotool; not run by ctest (desktop drags
# under a virtual display depend on timing).
#
#   tests/platform/ole/dragout/run.sh [build-dir]     (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/../../../.." && pwd)
build=${1:-$root/build}
src=$build/tests/platform/ole/dragout_source
dst=$build/tests/platform/ole/drop_receiver
for tool in Xvfb xdotool; do
  command -v $tool >/dev/null || { echo "needs $tool (apt-get install xvfb xdotool)" >&2; exit 2; }
done
[ -x "$src" ] && [ -x "$dst" ] || { echo "build dragout_source and drop_receiver first" >&2; exit 2; }

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
"$dst" >"$work/receiver.out" 2>"$work/receiver.err" &
pids+=($!)
"$src" "${files[@]}" >"$work/source.out" 2>"$work/source.err" &
pids+=($!)
xdotool search --sync --name "drop receiver" >/dev/null
xdotool search --sync --name "drag-out source" >/dev/null
sleep 1

# Press inside the source, move past the drag distance, then across to the receiver and let go.
xdotool mousemove 150 150; sleep 0.3
xdotool mousedown 1; sleep 0.3
for x in 160 180 220 260 290 320 360 420 480 520 540 550; do xdotool mousemove "$x" 150; sleep 0.2; done
sleep 0.5
xdotool mouseup 1
for _ in $(seq 100); do grep -q "^DROPPED" "$work/receiver.out" 2>/dev/null && grep -q "effect=" "$work/source.out" && break; sleep 0.1; done
sleep 0.5

echo "== source";   cat "$work/source.out"
echo "== receiver"; cat "$work/receiver.out"
expected=$(printf 'DROPPED %s\n' "${files[@]}")
got=$(grep '^DROPPED' "$work/receiver.out" || true)
if [ "$got" = "$expected" ] && grep -q '^DROP effect=' "$work/source.out"; then
  echo "drag-out: the receiver got the three paths"
else
  echo "drag-out: FAILED" >&2
  cat "$work/source.err" "$work/receiver.err" >&2
  exit 1
fi
