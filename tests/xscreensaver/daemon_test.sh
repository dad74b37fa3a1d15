#!/usr/bin/env bash
# The real XScreenSaver daemon, with its D-Bus helper xscreensaver-systemd,
# on a private X server and private D-Bus session and system buses, with
# aquarium as its only display module: once activated, the same aquarium
# process keeps running and drawing for two minutes; the helper never
# deactivates the saver.
#
# XScreenSaver refuses to run display modules as root, so as root this runs
# everything as the unprivileged system user aquarium-test (made when it is
# missing).
#   daemon_test.sh AQUARIUM LOGIN_MANAGER_STUB
set -euo pipefail
aquarium=$1 login_stub=$2
readonly run_seconds=120 user=aquarium-test

for tool in xscreensaver xscreensaver-command dbus-daemon dbus-send Xvfb import convert; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (scripts/setup.sh installs it)" >&2; exit 1; }
done
helper=/usr/libexec/xscreensaver/xscreensaver-systemd
[ -x "$helper" ] || { echo "FAIL: $helper is missing" >&2; exit 1; }

work=$(mktemp -d /tmp/aquarium-xscreensaver-XXXXXX)
chmod 755 "$work"
xvfb_pid=""
cleanup() {
  [ -f "$work/home/session.pids" ] && xargs -r kill <"$work/home/session.pids" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  [ -f "$work/home/xscreensaver.log" ] && tail -n 40 "$work/home/xscreensaver.log" >&2
  exit 1
}

. "$(dirname "${BASH_SOURCE[0]}")/../support/test_user.sh"

# The module and the daemon's settings in a private home.
mkdir -p "$work/home/bin"
cp "$aquarium" "$work/home/bin/aquarium"
cp "$login_stub" "$work/home/bin/login-manager-stub"
cat >"$work/home/.xscreensaver" <<'SETTINGS'
timeout:	0:30:00
cycle:		0:00:00
lock:		False
splash:		False
fade:		False
unfade:		False
dpmsEnabled:	False
mode:		one
selected:	0
programs:	GL: aquarium -root \n
SETTINGS
[ ${#as_user[@]} -eq 0 ] || chown -R "$user:" "$work/home"

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
display=":$(head -n1 "$work/display")"

# The user's session: two private buses (the helper needs a system bus with
# a login manager on it), the stand-in login manager, the daemon.
cat >"$work/session.sh" <<'SESSION'
set -eu
cd "$HOME"
dbus-daemon --session --fork --print-address=3 --print-pid=4 3>session.bus 4>>session.pids
dbus-daemon --session --fork --print-address=3 --print-pid=4 3>system.bus 4>>session.pids
export DBUS_SESSION_BUS_ADDRESS=$(head -n1 session.bus) DBUS_SYSTEM_BUS_ADDRESS=$(head -n1 system.bus)
"$LOGIN_STUB" >login.out 2>&1 &
echo $! >>session.pids
for _ in $(seq 50); do grep -q ready login.out && break; sleep 0.1; done
xscreensaver -no-splash -verbose -log "$HOME/xscreensaver.log" >/dev/null 2>&1 &
echo $! >>session.pids
SESSION
env -i "HOME=$work/home" "DISPLAY=$display" "PATH=$work/home/bin:/usr/bin:/bin" "LOGIN_STUB=$work/home/bin/login-manager-stub" \
  "${as_user[@]}" bash "$work/session.sh" || fail "the session did not start"
session_bus=$(head -n1 "$work/home/session.bus")
run() { env -i "HOME=$work/home" "DISPLAY=$display" "DBUS_SESSION_BUS_ADDRESS=$session_bus" PATH=/usr/bin:/bin "${as_user[@]}" "$@"; }

# The helper answers for the desktop's screen-saver interface: an inhibit
# request (what SDL sends unless told not to) would switch the saver off.
owner=""
for _ in $(seq 100); do
  owner=$(run dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.freedesktop.ScreenSaver 2>/dev/null | grep -o 'true' || true)
  [ "$owner" = true ] && break
  sleep 0.2
done
[ "$owner" = true ] || fail "xscreensaver-systemd did not take org.freedesktop.ScreenSaver"

run xscreensaver-command -activate >/dev/null || fail "xscreensaver-command -activate failed"
pid=""
for _ in $(seq 150); do
  # Ours is the copy in our private home: other runs of this test (other
  # build folders) may have their aquarium running as the same user.
  pid=""
  for candidate in $(pgrep -u "$(run id -u)" -x aquarium || true); do
    if [ "$(readlink "/proc/$candidate/exe" 2>/dev/null)" = "$work/home/bin/aquarium" ]; then
      pid=$candidate
      break
    fi
  done
  [ -n "$pid" ] && break
  sleep 0.2
done
[ -n "$pid" ] || fail "XScreenSaver did not start aquarium"
echo "aquarium runs as pid $pid"

start=$SECONDS
while [ $((SECONDS - start)) -lt $run_seconds ]; do
  sleep 5
  kill -0 "$pid" 2>/dev/null || fail "aquarium ended after $((SECONDS - start)) s"
  run xscreensaver-command -time 2>/dev/null | grep -q "blanked since" ||
    fail "the saver was deactivated after $((SECONDS - start)) s"
done

# Still drawing: the tank's water covers most of the screen.
import -display "$display" -window root "$work/screen.png"
water=$(convert "$work/screen.png" -fill white -opaque "#000028" -fill black +opaque white -format "%[fx:mean]" info:)
awk -v w="$water" 'BEGIN { exit !(w > 0.5) }' || fail "the screen shows no scene (water share $water)"
grep -qi "deactivat" "$work/home/xscreensaver.log" && fail "XScreenSaver was told to deactivate"
echo "aquarium ran for $run_seconds s under XScreenSaver with xscreensaver-systemd (water share $water)"
