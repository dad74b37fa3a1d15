#!/usr/bin/env bash
# A screen saver never keeps the screen from blanking. In each of its modes
# (module, full-screen run, settings dialog, preview) aquarium runs on a
# private X server with a private D-Bus session bus watched by dbus-monitor:
# it sends no request to inhibit screen saving and no simulated user
# activity, and the X server's own screen saver still comes on after its
# one-second timeout.
#   never_inhibits_test.sh AQUARIUM HOST_WINDOW_PROGRAM SCREEN_SAVER_STATE
set -euo pipefail
aquarium=$1 host_program=$2 state=$3

work=$(mktemp -d /tmp/aquarium-inhibit-XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# The X server picks a free display and writes its number to fd 3.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"

dbus-daemon --session --nofork --print-address=3 3>"$work/bus" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/bus" ] && break; sleep 0.1; done
[ -s "$work/bus" ] || fail "dbus-daemon did not start"
export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$work/bus")
dbus-monitor >"$work/monitor.log" 2>&1 &
pids+=($!)
sleep 0.5

mkdir -p "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
export SDL_VIDEODRIVER=x11 AQUARIUM_SEED=3 AQUARIUM_MESSAGE_BOXES=stderr
unset WAYLAND_DISPLAY XSCREENSAVER_WINDOW SDL_VIDEO_ALLOW_SCREENSAVER

# The stand-in host's window prints its id (hexadecimal) on its first line.
coproc HOST { "$host_program" 320 240 ffffff; }
read -r -t 10 host_id <&"${HOST[0]}" || fail "no host window"
pids+=("$HOST_PID")

check_mode() {
  local name=$1; shift
  "$aquarium" "$@" 2>"$work/$name.err" &
  local pid=$!
  sleep 3
  kill -0 "$pid" 2>/dev/null || fail "$name: aquarium ended early: $(cat "$work/$name.err")"
  "$state" --arm 1
  sleep 2.5
  local now
  now=$("$state")
  kill -TERM "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  [ "$now" = on ] || fail "$name: the X server's screen saver is '$now' after its timeout (suspended)"
  echo "$name: the X server's screen saver came on"
}

check_mode module -window-id "$host_id"
check_mode run -s
check_mode configure -c
check_mode preview -p "$((host_id))"

sleep 0.5
if grep -E "member=(Inhibit|SimulateUserActivity|UnInhibit)" "$work/monitor.log"; then
  fail "aquarium asked the desktop over D-Bus to keep the screen on"
fi
# The watch itself works: a signal sent now shows up.
dbus-send --session --type=signal /org/example/Probe org.example.Probe.Ping
sleep 0.5
grep -q "member=Ping" "$work/monitor.log" || fail "dbus-monitor saw nothing: is the bus watched?"
echo "no inhibition and no simulated activity on the session bus"
