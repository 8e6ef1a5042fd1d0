#!/usr/bin/env bash
# What a window manager makes of the program's windows: window_manager_peer opens them one after
# the other under a private Xvfb display with the window manager named (openbox or fluxbox, each
# with settings of its own, so that no user's configuration plays a part); for each, xprop must read
#   - WM_TRANSIENT_FOR: the main window for every window it owns (a message box, the file dialog,
#     the add-photos dialog, the preview, the order dialog), none for the price-list dialog and
#     the main window;
#   - the window type: a dialog for an owned window, a normal one else;
#   - _MOTIF_WM_HINTS: exactly the title-bar buttons of the window's border (system menu with the
#     close button, minimise, maximise) and nothing the window cannot do;
#   - _NET_WM_ALLOWED_ACTIONS, what the window manager made of those hints and of the sizes in
#     WM_NORMAL_HINTS:
#       openbox 3.6 allows sizing where the Motif functions and the sizes do, maximising wherever
#       it allows sizing (whatever the maximise function says), and minimising and closing on
#       every framed window whatever the hints say: sizing and maximising are required exactly
#       for the sizeable windows, minimising and closing only where the border has them;
#       fluxbox 1.3 honours the Motif functions for sizing, minimising and closing, and maximises
#       (and shows full screen) exactly the windows that state no greatest size, whatever their
#       Motif functions: every action is required exactly as the border has it -- moving always,
#       sizing with a sizing frame, closing with the system menu, minimising with its button,
#       maximising and the full screen with the maximise button on a sizeable border.
#     Neither takes a button off the title bar for a function the hints withhold: both draw a
#     close button on every window with a title bar, the order dialog's too, which the pictures
#     show and no property does.
# and a click on the main window while an owned window is up must leave that window on top of
# _NET_CLIENT_LIST_STACKING and bring it the focus, as on the platform.
# Nothing waits for a time: each look polls for its condition with a limit.
#   tests/app/desktop/run.sh <window_manager_peer> openbox|fluxbox [screenshot-dir]
# The screenshots are of each window with the window manager's frame, <wm>-<window>.png.
# Exits 77 (skipped) when Xvfb, the window manager, xprop, xwininfo or xdotool is missing.
set -uo pipefail
peer=${1:?the window_manager_peer executable}
wm=${2:?the window manager: openbox or fluxbox}
shots=${3:-}
case $wm in
  openbox | fluxbox) ;;
  *) echo "no check for the window manager $wm" >&2; exit 2 ;;
esac
for tool in Xvfb "$wm" xprop xdotool xwininfo; do
  command -v $tool >/dev/null || { echo "SKIP: needs $tool" >&2; exit 77; }
done

work=$(mktemp -d)
pids=()
wm_pid=
cleanup() {
  { exec 4>&-; } 2>/dev/null
  # fluxbox answers SIGTERM with calls to the X server from its signal handler, which hang for good
  # when the signal comes while it waits for the server itself: it is killed outright.
  [ "$wm" = fluxbox ] && [ -n "$wm_pid" ] && kill -KILL "$wm_pid" 2>/dev/null
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP PIPE

# until LIMIT-SECONDS COMMAND...: runs the command until it succeeds; fails after the limit.
until_ok() {
  local limit=$1
  shift
  local deadline=$((SECONDS + limit))
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.05
  done
}
fail() {
  echo "FAIL: $*" >&2
  failed=1
}

# X window ids as xprop and xwininfo print them, and as the peer does, compared as numbers.
same_window() { [ -n "$1" ] && [ -n "$2" ] && (($1 == $2)); }
windows_of() { xprop -root "$1" 2>/dev/null | sed -n 's/.*# //p' | tr -d ' ' | tr ',' '\n'; }
managed() {
  local w
  for w in $(windows_of _NET_CLIENT_LIST); do same_window "$w" "$1" && return 0; done
  return 1
}
top_of_stack() { windows_of _NET_CLIENT_LIST_STACKING | tail -1; }
active_window() { windows_of _NET_ACTIVE_WINDOW | head -1; }
is_active() { same_window "$(active_window)" "$1"; }
desktop_count() { xprop -root _NET_NUMBER_OF_DESKTOPS | sed -n 's/.*= //p'; }
desktop_count_is() { [ "$(desktop_count)" = "$1" ]; }
has_desktops() { [ -n "$(desktop_count)" ]; }
has_actions() { xprop -id "$1" _NET_WM_ALLOWED_ACTIONS | grep -q _NET_WM_ACTION; }

# geometry WINDOW: x y width height of the window on the screen
geometry() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
                           /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}'
}
# frame WINDOW: the window with the window manager's frame around it
frame() {
  local x y w h l r t b
  read -r x y w h < <(geometry "$1")
  read -r l r t b < <(xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= //p' | tr -d ',')
  echo $((x - ${l:-0})) $((y - ${t:-0})) $((w + ${l:-0} + ${r:-0})) $((h + ${t:-0} + ${b:-0}))
}

# The buttons the Motif hints ask for: menu (the system menu and the close box), minimise, maximise.
motif_buttons() {
  local flags functions decorations out=()
  read -r flags functions decorations < <(xprop -id "$1" _MOTIF_WM_HINTS | sed -n 's/.*= //p' | tr -d ',' | awk '{print $1, $2, $3}')
  [ -n "${flags:-}" ] || { echo "none-set"; return; }
  # Functions: all when not given, or when MWM_FUNC_ALL (1) is among them.
  ((flags & 1)) || functions=1
  ((functions & 1)) && functions=$((0x3e))
  ((flags & 2)) || decorations=0
  ((decorations & 1)) && decorations=$((0x7e))
  ((decorations & 0x10 && functions & 0x20)) && out+=(menu)
  ((decorations & 0x20 && functions & 0x08)) && out+=(minimise)
  ((decorations & 0x40 && functions & 0x10)) && out+=(maximise)
  # A function without its button is offered by some window managers all the same.
  ((functions & 0x20)) && ! ((decorations & 0x10)) && out+=(close-without-menu)
  ((functions & 0x08)) && ! ((decorations & 0x20)) && out+=(minimise-without-button)
  ((functions & 0x10)) && ! ((decorations & 0x40)) && out+=(maximise-without-button)
  echo "${out[*]:-}"
}
allowed() { xprop -id "$1" _NET_WM_ALLOWED_ACTIONS | grep -o "_NET_WM_ACTION_$2\b" >/dev/null; }
has_button() { [[ " ${buttons[$1]} " == *" $2 "* ]]; }

wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; }

# A display number of its own: Xvfb chooses a free one and names it once it listens.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
until_ok 30 test -s "$work/display" || { cat "$work/xvfb.log" >&2; echo "FAIL: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(head -1 "$work/display")

# The window manager with settings folders of its own, so that no user's configuration plays a part.
mkdir -p "$work/home" "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
case $wm in
  openbox)
    XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime openbox --sm-disable >"$work/wm.log" 2>&1 &
    ;;
  fluxbox)
    # fluxbox copies its own defaults over a settings file given to it anywhere else than in
    # ~/.fluxbox: the settings go into a home of its own.
    fb=$work/home/.fluxbox
    mkdir -p "$fb"
    : >"$fb/keys"
    : >"$fb/apps"
    : >"$fb/menu"
    # The package's default style sets a wallpaper through a helper that opens a window of its own
    # when it cannot: no wallpaper.
    echo "background: none" >"$fb/overlay"
    cat >"$fb/init" <<EOF
session.configVersion: 13
session.keyFile: $fb/keys
session.appsFile: $fb/apps
session.menuFile: $fb/menu
session.styleFile: /usr/share/fluxbox/styles/Emerge
session.styleOverlay: $fb/overlay
session.screen0.workspaces: 1
session.screen0.toolbar.visible: false
session.screen0.focusModel: ClickFocus
session.screen0.clickRaises: true
session.screen0.focusNewWindows: true
session.screen0.titlebar.left:
session.screen0.titlebar.right: Minimize Maximize Close
EOF
    HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime fluxbox >"$work/wm.log" 2>&1 &
    ;;
esac
wm_pid=$!
pids+=($wm_pid)
until_ok 30 wm_running && until_ok 30 has_desktops ||
  { cat "$work/wm.log" >&2; echo "FAIL: $wm did not start" >&2; exit 1; }

# Under LeakSanitizer: the toolkit's D-Bus thread keeps what libdbus allocated for it, and libdbus
# keeps no frame pointers; the full unwinder finds the toolkit's frames the suppressions name.
[ -n "${LSAN_OPTIONS:-}" ] && export LSAN_OPTIONS="$LSAN_OPTIONS:fast_unwind_on_malloc=0"
mkfifo "$work/in"
QT_QPA_PLATFORM=xcb "$peer" <"$work/in" >"$work/out" 2>"$work/peer.log" &
peer_pid=$!
pids+=($peer_pid)
exec 4>"$work/in"
say() { echo "$*" >&4; }

# The peer's lines, one at a time into $line, as they come.
line_no=0
line=
has_lines() { [ "$(wc -l <"$work/out")" -ge "$1" ]; }
has_lines_or_ended() { has_lines "$1" || ! kill -0 "$peer_pid" 2>/dev/null; }
next_line() {
  line_no=$((line_no + 1))
  until_ok 120 has_lines_or_ended $line_no && has_lines $line_no || return 1
  line=$(sed -n "${line_no}p" "$work/out")
}

# What each window's border gives it: owned or not, the buttons, whether it can be sized.
declare -A owned=([download]=no [main]=no [message]=yes [open]=yes [add]=yes [preview]=yes [order]=yes)
declare -A buttons=([download]="menu minimise" [main]="menu minimise maximise" [message]=menu [open]=menu
                    [add]=menu [preview]=menu [order]="")
declare -A sizeable=([download]=no [main]=yes [message]=no [open]=yes [add]=no [preview]=no [order]=no)

failed=0
main_window=
while :; do
  next_line || { fail "the peer stopped"; break; }
  [ "$line" = DONE ] && break
  read -r word name window <<<"$line"
  [ "$word" = OPEN ] || { fail "unexpected line from the peer: $line"; break; }
  [ "$name" = main ] && main_window=$window
  until_ok 60 managed "$window" || { fail "$name: $wm never managed window $window"; say NEXT; continue; }
  # The window manager writes the allowed actions as it takes the window in.
  until_ok 30 has_actions "$window" ||
    fail "$name: no _NET_WM_ALLOWED_ACTIONS"
  echo "== $name ($window)"
  xprop -id "$window" WM_TRANSIENT_FOR _NET_WM_WINDOW_TYPE _NET_WM_ALLOWED_ACTIONS _MOTIF_WM_HINTS WM_NORMAL_HINTS | sed 's/^/   /'

  transient=$(xprop -id "$window" WM_TRANSIENT_FOR | sed -n 's/.*# //p')
  type=$(xprop -id "$window" _NET_WM_WINDOW_TYPE | sed -n 's/.*= //p' | cut -d, -f1)
  if [ "${owned[$name]}" = yes ]; then
    same_window "$transient" "$main_window" || fail "$name: WM_TRANSIENT_FOR is '${transient:-none}', not the main window $main_window"
    [ "$type" = _NET_WM_WINDOW_TYPE_DIALOG ] || fail "$name: window type $type, not a dialog"
  else
    [ -z "$transient" ] || fail "$name: owned by no window, yet WM_TRANSIENT_FOR is $transient"
    [ "$type" = _NET_WM_WINDOW_TYPE_NORMAL ] || fail "$name: window type $type, not a normal window"
  fi

  got=$(motif_buttons "$window")
  [ "$got" = "${buttons[$name]}" ] || fail "$name: the Motif hints ask for '$got', the border for '${buttons[$name]}'"
  case $wm in
    openbox)
      for action in RESIZE MAXIMIZE_HORZ MAXIMIZE_VERT; do
        if [ "${sizeable[$name]}" = yes ]; then
          allowed "$window" $action || fail "$name: a sizeable window, yet $action is not allowed"
        else
          allowed "$window" $action && fail "$name: a window of fixed size, yet $action is allowed"
        fi
      done
      allowed "$window" MOVE || fail "$name: cannot be moved"
      for b in ${buttons[$name]}; do
        case $b in
          menu) allowed "$window" CLOSE || fail "$name: has a close box, yet CLOSE is not allowed" ;;
          minimise) allowed "$window" MINIMIZE || fail "$name: has a minimise button, yet MINIMIZE is not allowed" ;;
        esac
      done
      ;;
    fluxbox)
      # Exactly what the border offers: moving always, sizing with a sizing frame, closing with
      # the system menu, minimising and maximising (and so the full screen) with their buttons.
      want=" MOVE "
      [ "${sizeable[$name]}" = yes ] && want+="RESIZE "
      has_button "$name" menu && want+="CLOSE "
      has_button "$name" minimise && want+="MINIMIZE "
      has_button "$name" maximise && [ "${sizeable[$name]}" = yes ] && want+="MAXIMIZE_HORZ MAXIMIZE_VERT FULLSCREEN "
      for action in MOVE RESIZE CLOSE MINIMIZE MAXIMIZE_HORZ MAXIMIZE_VERT FULLSCREEN; do
        if [[ $want == *" $action "* ]]; then
          allowed "$window" $action || fail "$name: the border offers $action, yet fluxbox does not allow it"
        else
          allowed "$window" $action && fail "$name: the border has no $action, yet fluxbox allows it"
        fi
      done
      ;;
  esac

  if [ "${owned[$name]}" = yes ]; then
    # A click on the main window where the dialog does not cover it.
    read -r mx my mw mh < <(geometry "$main_window")
    read -r dx dy dw dh < <(frame "$window")
    point=
    for p in "$((mx + 8)) $((my + 8))" "$((mx + mw - 8)) $((my + 8))" "$((mx + 8)) $((my + mh - 8))" \
             "$((mx + mw - 8)) $((my + mh - 8))"; do
      read -r px py <<<"$p"
      if ((px < dx || px >= dx + dw || py < dy || py >= dy + dh)); then point=$p; break; fi
    done
    if [ -z "$point" ]; then
      fail "$name: covers the whole main window; nowhere to click"
    else
      # One connection to the X server: the pointer moves, clicks, and asks the window manager
      # for another desktop count, in this order. openbox and fluxbox both handle their events in
      # order and take a new count: once the count is there, the click has been handled.
      desktops=$(($(desktop_count) + 1))
      read -r px py <<<"$point"
      xdotool mousemove "$px" "$py" click 1 set_num_desktops "$desktops"
      until_ok 30 desktop_count_is "$desktops" ||
        fail "$name: $wm did not take the click"
      top=$(top_of_stack)
      same_window "$top" "$window" || fail "$name: after a click on the main window, $top is on top, not the dialog"
      until_ok 30 is_active "$window" ||
        fail "$name: after a click on the main window, the active window is $(active_window), not the dialog"
    fi
  fi

  if [ -n "$shots" ]; then
    mkdir -p "$shots"
    say "SHOT $(frame "$window") $shots/$wm-$name.png"
    next_line && echo "   $line"
  fi
  say NEXT
done
# The end of its input ends the peer, which must end well.
exec 4>&-
peer_ended() { ! kill -0 "$peer_pid" 2>/dev/null; }
if until_ok 60 peer_ended; then
  wait "$peer_pid"
  rc=$?
  [ "$rc" -eq 0 ] || fail "the peer ended with $rc"
else
  fail "the peer did not end"
fi
if [ "$failed" -ne 0 ]; then
  echo "--- peer's log" >&2
  cat "$work/peer.log" >&2
  exit 1
fi
echo "every window is owned, framed and stacked as its border and owner say"
