#!/usr/bin/env bash
# scripts/run builds only what it starts (the program and the lab server), so that the first
# window does not wait for the whole test suite; scripts/test builds everything.
# Arguments: the source tree, then the two targets scripts/run must build.
set -euo pipefail
src=$1
want=("$2" "$3")
for t in "${want[@]}"; do
  [ -n "$t" ] || { echo "FAIL: the project lacks a target scripts/run should build" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root="$work/root"
mkdir -p "$root/scripts" "$work/bin" "$root/build/src/app/program" "$root/build/tools/labserver"
cp "$src/scripts/run" "$src/scripts/test" "$root/scripts/"
printf '#!/bin/sh\nexit 0\n' >"$root/scripts/setup"
# Every cmake call is recorded, one line each; the built programs are stand-ins: the lab server
# says a port, the program ends at once.
cat >"$work/bin/cmake" <<'STUB'
#!/bin/sh
printf '%s\n' "$*" >>"$CALLS"
STUB
printf '#!/bin/sh\nexit 0\n' >"$work/bin/ctest"
printf '#!/bin/sh\nexit 0\n' >"$root/build/src/app/program/photo-order"
printf '#!/bin/sh\necho 12345\nexec sleep 30\n' >"$root/build/tools/labserver/labserver"
chmod +x "$work/bin/"* "$root/scripts/"* "$root/build/src/app/program/photo-order" "$root/build/tools/labserver/labserver"
export PATH="$work/bin:$PATH" DISPLAY=:0

# The targets of the one "--build" call that a script's recorded calls hold ("" for none).
targets_of() {
  local builds
  builds=$(grep -c -- '--build' "$1" || true)
  [ "$builds" = 1 ] || { echo "FAIL: $builds build calls in $1" >&2; cat "$1" >&2; exit 1; }
  grep -- '--build' "$1" | awk '{t=0; for (i = 1; i <= NF; i++) { if ($i ~ /^--/) t = ($i == "--target"); else if (t) printf "%s ", $i } }'
}

CALLS="$work/run.calls" "$root/scripts/run" >/dev/null
got=$(targets_of "$work/run.calls")
if [ "$got" != "${want[0]} ${want[1]} " ]; then
  echo "FAIL: scripts/run builds targets [$got], expected [${want[*]} ]" >&2
  exit 1
fi

CALLS="$work/test.calls" "$root/scripts/test" >/dev/null
got=$(targets_of "$work/test.calls")
if [ -n "$got" ]; then
  echo "FAIL: scripts/test builds only [$got], expected everything" >&2
  exit 1
fi
echo "scripts/run builds ${want[*]}; scripts/test builds everything"
