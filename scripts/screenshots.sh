#!/usr/bin/env bash
# Remakes the README's pictures of the windows on a virtual X display:
#   docs/screenshots/runner.png   Tessivor in the middle of a counting program, its speed shown
#   docs/screenshots/editor.png   Tessivor ASM holding examples/count.tsasm, opened with File/Load
#   docs/screenshots/studio.png   Tessivor Studio paused at a breakpoint in examples/count.tsasm,
#                                 its cells, registers and output in view
#   docs/screenshots/studio-help.png   the same, with the instructions panel (Shift+F1)
#   docs/screenshots/studio-queue.png  the same, with two replies in the input queue
#   docs/screenshots/studio-timeline.png  the Studio at 1024 x 768, gone back along the
#                                 timeline of the count example, its marks in view
# usage: scripts/screenshots.sh [BUILD_DIR [OUT_DIR]]
#        (defaults: build and docs/screenshots; run `make` first)
# Installs what it needs when missing: xvfb, openbox (the window frames), xdotool, x11-utils,
# imagemagick.
#
#        scripts/screenshots.sh --web [SITE_DIR [OUT_DIR]]
#   docs/screenshots/web.png      the page (make web) paused at a breakpoint in the fibonacci
#                                 example, in Debian's headless Chromium (installed when missing)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
if [ "${1:-}" = --web ]; then
    site=${2:-build-web/site}
    out=${3:-docs/screenshots}
    [ -f "$site/index.html" ] || { echo "screenshots: $site holds no page; make web first" >&2; exit 1; }
    scripts/install-deps.sh chromium
    mkdir -p "$out"
    site=$(cd "$site" && pwd)
    out=$(cd "$out" && pwd)
    (cd web && node test/screenshot.mjs "$site" "$out/web.png")
    echo "screenshots: $out/web.png"
    exit 0
fi
build=${1:-build}
out=${2:-docs/screenshots}
runner=$build/runner/window/tessivor
editor=$build/assembler/window/tessivor-asm
studio=$build/studio/tessivor-studio
cli=$build/cli/tessivor-cli
for program in "$runner" "$editor" "$studio" "$cli"; do
    [ -x "$program" ] || { echo "screenshots: $program not found; build first (make)" >&2; exit 1; }
done
scripts/install-deps.sh xvfb openbox xdotool x11-utils imagemagick

work=$(mktemp -d)
pids=()
cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A display of its own: Xvfb writes the number it chose to fd 3.
Xvfb -displayfd 3 -noreset -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "screenshots: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(cat "$work/display")
export QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
# The Studio's recent files go to a scratch folder, not the user's settings.
export XDG_CONFIG_HOME=$work/config
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1

. scripts/screenshot-helpers.sh

mkdir -p "$out"

# The runner: a loop that never ends, so the caption shows the speed once a second.
cat >"$work/fast.tsasm" <<'EOF'
// counts up for ever, showing the count //
set 01, 0;
set 90, 1;
lbl 01
inc 01
dsp 01
gto 90
EOF
"$cli" build -o "$work/fast.tsp" "$work/fast.tsasm"
"$runner" "$work/fast.tsp" 2>"$work/runner.log" &
pids+=($!)
id=$(window '^Tessivor 0\.1')
xdotool windowmove --sync "$id" 60 60
wait_for_speed "$id" screenshots
shoot "$id" "$out/runner.png"
kill "${pids[-1]}"
unset 'pids[-1]'

# The editor: File, then Load (the third item), the example's path typed into the dialog.
"$editor" 2>"$work/editor.log" &
pids+=($!)
id=$(window '^Tessivor ASM$')
xdotool windowsize --sync "$id" 560 420
xdotool windowmove --sync "$id" 60 60
xdotool windowactivate --sync "$id"
sleep 0.5
info=$(xwininfo -id "$id")
x=$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$info")
y=$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$info")
xdotool mousemove "$((x + 15))" "$((y + 8))" click 1
sleep 0.5
xdotool key Down Down Down Return
window '^Open$' >/dev/null
sleep 0.5
xdotool type --delay 5 "$root/examples/count.tsasm"
xdotool key Return
sleep 1
if xdotool search --onlyvisible --name '^Open$' >/dev/null; then
    echo "screenshots: the Load dialog did not close" >&2
    exit 1
fi
xdotool mousemove 0 0
shoot "$id" "$out/editor.png"
kill "${pids[-1]}"
unset 'pids[-1]'

# The Studio: a breakpoint on line 11 ("inc 01", inside the loop) set with F9, Run (F5) stops
# there, Continue (F8) twice goes round the loop, so the cells, the registers and three lines
# of output are in view and cell 01 is marked as changed since the last stop.
cp examples/count.tsasm "$work/count.tsasm"
"$studio" "$work/count.tsasm" 2>"$work/studio.log" &
pids+=($!)
id=$(window '^count\.tsasm - Tessivor Studio$')
xdotool windowsize --sync "$id" 1120 700
xdotool windowmove --sync "$id" 40 40
xdotool windowactivate --sync "$id"
sleep 0.5
xdotool key ctrl+Home
for _ in $(seq 10); do xdotool key Down; done
xdotool key F9 F5
sleep 1
xdotool key F8
sleep 0.5
xdotool key F8
sleep 1
xdotool mousemove 0 0
shoot "$id" "$out/studio.png"

# The help panel (Help, Instructions: Shift+F1), then the input queue (View, Go to Input
# Queue: Ctrl+7) holding two replies typed before a run.
xdotool key shift+F1
sleep 1
shoot "$id" "$out/studio-help.png"
xdotool key ctrl+7
sleep 0.5
xdotool type --delay 5 "Ada"
xdotool key Return
xdotool type --delay 5 "12"
sleep 0.5
shoot "$id" "$out/studio-queue.png"

kill "${pids[-1]}"
unset 'pids[-1]'

# The timeline, at 1024 x 768 (a projector's screen): a breakpoint on line 9 ("dsp 01"), Run
# (F5) and Continue (F8) three times, then Back to Breakpoint (Shift+F8) and three steps back
# along the timeline (Ctrl+8, Left): the marks of the stops and of each shown line, the handle
# in the middle of the run, the cells and the output of that moment.
rm -f "$XDG_CONFIG_HOME/Tessivor/Tessivor Studio.conf"
"$studio" "$work/count.tsasm" 2>"$work/studio-timeline.log" &
pids+=($!)
id=$(window '^count\.tsasm - Tessivor Studio$')
xdotool windowsize --sync "$id" 1024 740
xdotool windowmove --sync "$id" 0 0
xdotool windowactivate --sync "$id"
sleep 0.5
xdotool key ctrl+Home
for _ in $(seq 8); do xdotool key Down; done
xdotool key F9 F5
sleep 1
for _ in $(seq 3); do
    xdotool key F8
    sleep 0.5
done
xdotool key shift+F8
sleep 0.5
xdotool key ctrl+8
for _ in $(seq 3); do
    xdotool key Left
    sleep 0.2
done
sleep 1
xdotool mousemove 0 0
shoot "$id" "$out/studio-timeline.png"

echo "screenshots: wrote $out/runner.png, $out/editor.png, $out/studio.png," \
    "$out/studio-help.png, $out/studio-queue.png and $out/studio-timeline.png"
