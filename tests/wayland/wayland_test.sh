#!/usr/bin/env bash
# aquarium as a native Wayland client of a real compositor: sway with its
# headless backend and two outputs (HEADLESS-1 800x600 at 0,0 and
# HEADLESS-2 640x480 to its right), pictures taken with grim, keys typed
# through the virtual-keyboard protocol (wtype), the pointer moved and
# pressed by sway's own seat commands (a virtual pointer gives the seat its
# pointer). One scenario per call:
#   run_mode_ends_and_saves  -s covers both outputs and ends on a key, a
#                            click and pointer motion, saving the settings;
#                            previews and modules, which draw in X11
#                            windows, refuse a session without X11
#   hidden_surface_draws_nothing
#                            with both outputs showing other workspaces
#                            aquarium -s takes almost no processor time; shown
#                            again, it draws again and still ends on a key
#   scale_2_is_sharp         on an output of scale 2 the picture, the
#                            information text included, has the detail of
#                            its physical pixels
#   background_follows_outputs
#                            --background --output shows a fish on the named
#                            output only; --background on both outputs and
#                            on an output added later, at the pixels of an
#                            output rescaled to 2; hidden behind the run
#                            mode it draws nothing, shown again it draws;
#                            it ends at once on SIGTERM (sway 1.7's headless
#                            outputs can be added, but neither removed nor
#                            disabled)
#   configure_dialog         -c shows the settings dialog, which Escape
#                            closes, and so does a click on Cancel
#
# sway refuses to run as root: as root everything runs as the unprivileged
# system user aquarium-test (made when it is missing).
#   wayland_test.sh SCENARIO AQUARIUM VIRTUAL_POINTER
set -euo pipefail
scenario=$1 aquarium=$2 pointer_helper=$3
readonly user=aquarium-test

for tool in sway swaymsg grim wtype convert; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (scripts/setup.sh installs it)" >&2; exit 1; }
done

work=$(mktemp -d /tmp/aquarium-wayland-XXXXXX)
chmod 755 "$work"
home=$work/home run=$work/run
mkdir -p "$home/bin" "$run"
chmod 700 "$run"
cp "$aquarium" "$home/bin/aquarium"
cp "$pointer_helper" "$home/bin/virtual-pointer"

sway_pid="" pointer_pid="" aquarium_pid=""
cleanup() {
  for pid in $aquarium_pid $pointer_pid $sway_pid; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  for log in "$work"/*.log "$home"/*.log; do
    [ -f "$log" ] && { echo "--- $log" >&2; tail -n 20 "$log" >&2; }
  done
  exit 1
}

. "$(dirname "${BASH_SOURCE[0]}")/../support/test_user.sh"

scale=1
[ "$scenario" = scale_2_is_sharp ] && scale=2
cat >"$home/sway.conf" <<CONFIG
xwayland disable
default_border none
output HEADLESS-1 resolution 800x600 position 0 0 scale $scale
output HEADLESS-2 resolution 640x480 position 800 0
CONFIG
[ ${#as_user[@]} -eq 0 ] || chown -R "$user:" "$home" "$run"

base_env=(env -i "HOME=$home" "XDG_RUNTIME_DIR=$run" "PATH=/usr/bin:/bin")
"${as_user[@]}" "${base_env[@]}" WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_HEADLESS_OUTPUTS=2 \
  WLR_LIBINPUT_NO_DEVICES=1 sway -c "$home/sway.conf" >"$work/sway.log" 2>&1 &
sway_pid=$!
for _ in $(seq 100); do
  [ -S "$run/wayland-1" ] && compgen -G "$run/sway-ipc.*.sock" >/dev/null && break
  kill -0 "$sway_pid" 2>/dev/null || fail "sway ended at start"
  sleep 0.1
done
[ -S "$run/wayland-1" ] || fail "sway made no Wayland socket"
swaysock=$(compgen -G "$run/sway-ipc.*.sock" | head -n1)

# A command inside the session, as the session's user.
in_session() {
  "${as_user[@]}" "${base_env[@]}" WAYLAND_DISPLAY=wayland-1 "SWAYSOCK=$swaysock" "$@"
}
# Starts a command inside the session in the background, as that very
# process ($! is its pid, not a subshell's); its output goes to file $1.
start_in_session() {
  local log=$1
  shift
  "${as_user[@]}" "${base_env[@]}" WAYLAND_DISPLAY=wayland-1 "SWAYSOCK=$swaysock" "$@" >"$log" 2>&1 &
}
sway_says() { in_session swaymsg "$@" >/dev/null || fail "swaymsg $* failed"; }

start_in_session "$work/pointer.out" "$home/bin/virtual-pointer"
pointer_pid=$!
for _ in $(seq 50); do grep -q ready "$work/pointer.out" && break; sleep 0.1; done
grep -q ready "$work/pointer.out" || fail "the virtual pointer did not start"

# The picture of the whole layout.
shot=$home/shot.png
take_picture() { in_session grim "$shot" || fail "grim failed"; }

# True when the region W x H at X,Y of the last picture shows the tank: the
# dark blue water with its green lines (sway's own background is a flat
# grey, a cleared picture flat blue).
shows_tank() {
  local stats
  stats=$(convert "$shot" -crop "$3x$4+$1+$2" +repage -format '%[fx:mean.r] %[fx:mean.g] %[fx:mean.b]' info:)
  awk -v s="$stats" 'BEGIN { split(s, v, " "); exit !(v[3] > v[1] + 0.05 && v[2] > 0.01) }'
}
# The share of the pixels below the information text of picture $1 that
# are unlike both their neighbours above and below, or left and right: the
# pixels of lines one pixel wide.
thin_line_share() {
  convert "$1" -crop 800x450+0+150 +repage -colorspace Gray -write mpr:g +delete \
    \( mpr:g \( mpr:g -roll +0+1 \) -compose difference -composite \) \
    \( mpr:g \( mpr:g -roll +0-1 \) -compose difference -composite \) -compose darken -composite -write mpr:v +delete \
    \( mpr:g \( mpr:g -roll +1+0 \) -compose difference -composite \) \
    \( mpr:g \( mpr:g -roll -1+0 \) -compose difference -composite \) -compose darken -composite \
    mpr:v -compose lighten -composite -threshold 8% -format '%[fx:mean]' info:
}
both_outputs_show_tank() { take_picture && shows_tank 0 0 800 600 && shows_tank 800 0 640 480; }

settings=$home/.config/aquarium/settings.ini

# Starts aquarium -s and waits until both outputs show a tank.
start_run_mode() {
  rm -f "$settings"
  start_in_session "$work/aquarium.log" AQUARIUM_SEED=7 "$home/bin/aquarium" -s
  aquarium_pid=$!
  local covered=0
  for _ in $(seq 60); do
    both_outputs_show_tank && { covered=1; break; }
    kill -0 "$aquarium_pid" 2>/dev/null || fail "aquarium -s ended at start"
    sleep 0.5
  done
  [ "$covered" -eq 1 ] || fail "aquarium -s did not cover both outputs"
  keep_picture "$1"
  sleep 1
  kill -0 "$aquarium_pid" 2>/dev/null || fail "aquarium -s ended without any input"
}

# Processor time of process $1 over 3 s: under 2% of a core. Drawing in
# software costs far more, even at a few frames a second.
expect_idle() {
  local pid=$1 what=$2 before used hz
  grep -q '^Name:.*aquarium' "/proc/$pid/status" || fail "process $pid is not aquarium"
  before=$(awk '{ print $14 + $15 }' "/proc/$pid/stat")
  sleep 3
  used=$(($(awk '{ print $14 + $15 }' "/proc/$pid/stat") - before))
  hz=$(getconf CLK_TCK)
  echo "processor time of $what while hidden: $used ticks of $((3 * hz))"
  [ "$used" -le $((3 * hz / 50)) ] || fail "hidden, $what used $used ticks in 3 s (at most $((3 * hz / 50)))"
}

# AQUARIUM_TEST_KEEP=DIR keeps the pictures there, to be looked at.
keep_picture() {
  [ -n "${AQUARIUM_TEST_KEEP:-}" ] && mkdir -p "$AQUARIUM_TEST_KEEP" && cp "$shot" "$AQUARIUM_TEST_KEEP/$scenario-$1.png"
  return 0
}

# Waits for aquarium to end by itself within 10 s; fails otherwise.
expect_end_and_saved() {
  for _ in $(seq 100); do kill -0 "$aquarium_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$aquarium_pid" 2>/dev/null && fail "aquarium did not end on $1"
  local status=0
  wait "$aquarium_pid" || status=$?
  aquarium_pid=""
  [ "$status" -eq 0 ] || fail "aquarium ended with status $status on $1"
  grep -q '^d_other_monitors=' "$settings" 2>/dev/null || fail "the settings were not saved on $1"
}

case $scenario in
  run_mode_ends_and_saves)
    start_run_mode key
    # wtype's keyboard is there only while it runs: it waits before the
    # key so that the window has the keyboard's focus.
    in_session wtype -s 700 -k space || fail "wtype failed"
    expect_end_and_saved "a key"

    start_run_mode click
    sway_says seat seat0 cursor move 5 5
    sleep 0.5
    sway_says seat seat0 cursor press button1
    sway_says seat seat0 cursor release button1
    expect_end_and_saved "a click"

    start_run_mode motion
    for _ in $(seq 10); do
      sway_says seat seat0 cursor move 7 3
      sleep 0.1
    done
    expect_end_and_saved "pointer motion"

    for line in "-p 5" "-root" "-window-id 0x400001"; do
      status=0
      # shellcheck disable=SC2086
      in_session "$home/bin/aquarium" $line >"$work/refusal.out" 2>&1 || status=$?
      [ "$status" -eq 1 ] || fail "aquarium $line ended with status $status on a session without X11"
      grep -q "no X display" "$work/refusal.out" || fail "aquarium $line did not say why: $(cat "$work/refusal.out")"
    done
    ;;
  hidden_surface_draws_nothing)
    start_run_mode shown
    workspaces=$(in_session swaymsg -t get_outputs | sed -n 's/.*"current_workspace": "\(.*\)".*/\1/p' | tr '\n' ' ')
    read -r workspace_1 workspace_2 <<<"$workspaces"
    [ -n "$workspace_2" ] || fail "sway told no workspaces: $workspaces"
    sway_says focus output HEADLESS-1
    sway_says workspace elsewhere-1
    sway_says focus output HEADLESS-2
    sway_says workspace elsewhere-2
    take_picture
    keep_picture hidden
    shows_tank 0 0 800 600 && fail "the first output still shows the tank"
    shows_tank 800 0 640 480 && fail "the second output still shows the tank"
    sleep 1
    expect_idle "$aquarium_pid" "aquarium"
    kill -0 "$aquarium_pid" 2>/dev/null || fail "aquarium ended while hidden"

    sway_says workspace "$workspace_1"
    sway_says workspace "$workspace_2"
    shown=0
    for _ in $(seq 20); do
      if both_outputs_show_tank; then
        cp "$shot" "$work/first.png"
        sleep 1
        take_picture
        changed=$(compare -metric AE "$work/first.png" "$shot" null: 2>&1 || true)
        [ "${changed%% *}" -gt 1000 ] && { shown=1; break; }
      fi
      sleep 0.5
    done
    [ "$shown" -eq 1 ] || fail "shown again, aquarium did not draw again"
    keep_picture shown-again
    in_session wtype -s 700 -k space || fail "wtype failed"
    expect_end_and_saved "a key after being hidden"
    ;;
  scale_2_is_sharp)
    # The first output, with the information text, is 400x300 in the
    # layout and 800x600 in pixels.
    start_in_session "$work/aquarium.log" AQUARIUM_SEED=7 "$home/bin/aquarium" -s
    aquarium_pid=$!
    sharp=$home/sharp.png
    covered=0
    for _ in $(seq 60); do
      in_session grim -o HEADLESS-1 "$sharp" || fail "grim failed"
      cp "$sharp" "$shot"
      shows_tank 0 0 800 600 && { covered=1; break; }
      kill -0 "$aquarium_pid" 2>/dev/null || fail "aquarium -s ended at start"
      sleep 0.5
    done
    [ "$covered" -eq 1 ] || fail "aquarium -s did not cover the scaled output"
    keep_picture scaled-output
    size=$(convert "$sharp" -format '%wx%h' info:)
    [ "$size" = 800x600 ] || fail "the scaled output's picture is $size"
    # Lines one pixel wide: a picture drawn at 400x300 and doubled has
    # none, one drawn at 400x300 and smoothed up to 800x600 about as few as
    # it has after halving and doubling once more; a sharp one loses most.
    convert "$sharp" -resize 50% -resize 200% "$home/halved.png"
    thin=$(thin_line_share "$sharp")
    halved=$(thin_line_share "$home/halved.png")
    echo "share of pixels on one-pixel lines: $thin, after halving and doubling: $halved"
    awk -v t="$thin" -v h="$halved" 'BEGIN { exit !(t > 0.002 && t > 1.5 * h) }' ||
      fail "the scaled output shows no one-pixel lines ($thin against $halved)"
    in_session wtype -s 700 -k space || fail "wtype failed"
    expect_end_and_saved "a key on scaled outputs"
    ;;
  background_follows_outputs)
    wait_for_tank() {  # output name
      for _ in $(seq 60); do
        in_session grim -o "$1" "$shot" || fail "grim failed"
        size=$(convert "$shot" -format '%w %h' info:)
        # shellcheck disable=SC2086
        shows_tank 0 0 $size && return 0
        kill -0 "$aquarium_pid" 2>/dev/null || fail "aquarium --background ended"
        sleep 0.5
      done
      fail "no tank on $1"
    }
    # Only the output named.
    start_in_session "$work/aquarium.log" "$home/bin/aquarium" --background --output HEADLESS-2
    aquarium_pid=$!
    wait_for_tank HEADLESS-2
    in_session grim -o HEADLESS-1 "$shot" || fail "grim failed"
    shows_tank 0 0 800 600 && fail "--output HEADLESS-2 drew on HEADLESS-1 too"
    kill -TERM "$aquarium_pid"
    wait "$aquarium_pid" || true

    start_in_session "$work/aquarium.log" AQUARIUM_SEED=7 "$home/bin/aquarium" --background
    aquarium_pid=$!
    wait_for_tank HEADLESS-1
    wait_for_tank HEADLESS-2
    take_picture
    keep_picture both
    sway_says create_output
    wait_for_tank HEADLESS-3
    keep_picture added
    sway_says output HEADLESS-2 scale 2
    sleep 1
    wait_for_tank HEADLESS-2
    keep_picture rescaled
    convert "$shot" -resize 50% -resize 200% "$home/halved.png"
    thin=$(thin_line_share "$shot")
    halved=$(thin_line_share "$home/halved.png")
    awk -v t="$thin" -v h="$halved" 'BEGIN { exit !(t > 0.002 && t > 1.5 * h) }' ||
      fail "the rescaled output's background is not drawn at its pixels ($thin against $halved)"

    # The run mode, full screen on every output, hides the background:
    # sway then asks its surfaces for no frames, and it draws nothing.
    start_in_session "$work/run.log" "$home/bin/aquarium" -s
    run_pid=$!
    for _ in $(seq 60); do
      windows=$(in_session swaymsg -t get_tree | grep -c '"name": "Aquarium' || true)
      [ "$windows" -ge 3 ] && break
      sleep 0.5
    done
    [ "$windows" -ge 3 ] || fail "the run mode did not cover the three outputs"
    sleep 2
    expect_idle "$aquarium_pid" "the background"
    in_session wtype -s 700 -k space || fail "wtype failed"
    for _ in $(seq 100); do kill -0 "$run_pid" 2>/dev/null || break; sleep 0.1; done
    wait "$run_pid" || fail "aquarium -s over the background did not end well"
    rm -f "$settings"  # the run mode's; the background writes none
    wait_for_tank HEADLESS-1
    cp "$shot" "$work/first.png"
    sleep 1
    in_session grim -o HEADLESS-1 "$shot" || fail "grim failed"
    changed=$(compare -metric AE "$work/first.png" "$shot" null: 2>&1 || true)
    [ "${changed%% *}" -gt 1000 ] || fail "shown again, the background did not draw again"
    kill -0 "$aquarium_pid" 2>/dev/null || fail "aquarium --background ended"

    started=$(date +%s%N)
    kill -TERM "$aquarium_pid"
    for _ in $(seq 50); do kill -0 "$aquarium_pid" 2>/dev/null || break; sleep 0.02; done
    kill -0 "$aquarium_pid" 2>/dev/null && fail "aquarium --background did not end on SIGTERM"
    echo "from SIGTERM to the end: $((($(date +%s%N) - started) / 1000000)) ms"
    status=0
    wait "$aquarium_pid" || status=$?
    aquarium_pid=""
    [ "$status" -eq 143 ] || fail "aquarium --background ended with status $status on SIGTERM (143: by the signal)"
    [ -e "$settings" ] && fail "the background wrote the settings"
    ;;
  configure_dialog)
    for closing in key click; do
      start_in_session "$work/aquarium.log" "$home/bin/aquarium" -c
      aquarium_pid=$!
      shown=0
      for _ in $(seq 60); do
        take_picture
        # The dialog: a window over a tenth of the output at least, on
        # sway's flat grey.
        covered=$(convert "$shot" -crop 800x600+0+0 +repage -fill black -opaque 'rgb(63,63,63)' \
          -fill white +opaque black -format '%[fx:mean]' info:)
        awk -v c="$covered" 'BEGIN { exit !(c > 0.1) }' && { shown=1; break; }
        kill -0 "$aquarium_pid" 2>/dev/null || fail "aquarium -c ended at start"
        sleep 0.5
      done
      [ "$shown" -eq 1 ] || fail "aquarium -c showed no dialog"
      keep_picture "$closing"
      if [ "$closing" = key ]; then
        in_session wtype -s 700 -k Escape || fail "wtype failed"
      else
        # Cancel, right of the settings, as sway tiles the dialog over
        # the first output.
        sway_says seat seat0 cursor set 470 73
        sleep 0.3
        sway_says seat seat0 cursor press button1
        sway_says seat seat0 cursor release button1
      fi
      for _ in $(seq 100); do kill -0 "$aquarium_pid" 2>/dev/null || break; sleep 0.1; done
      kill -0 "$aquarium_pid" 2>/dev/null && fail "the dialog did not close on a $closing"
      status=0
      wait "$aquarium_pid" || status=$?
      aquarium_pid=""
      [ "$status" -eq 0 ] || fail "aquarium -c ended with status $status"
    done
    ;;
  *)
    fail "no scenario $scenario"
    ;;
esac
echo "PASS: $scenario"
