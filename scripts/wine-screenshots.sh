#!/usr/bin/env bash
# Remakes the README's pictures of the Windows programs, running under Wine in a virtual
# desktop on a virtual X display (the frames are Wine's, drawn as Windows draws them):
#   docs/screenshots/windows-runner.png   tessivor.exe in the middle of a counting program,
#                                         its speed in the caption
#   docs/screenshots/windows-editor.png   tessivor-asm.exe holding examples/count.tsasm,
#                                         loaded with File, Load and the Open dialog
# usage: scripts/wine-screenshots.sh [WINDOWS_BUILD_DIR [OUT_DIR]]
#        (defaults: build-windows and docs/screenshots; run `make windows` first)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build-windows}
out=${2:-docs/screenshots}
runner=$build/runner/window/tessivor.exe
editor=$build/assembler/window/tessivor-asm.exe
for program in "$runner" "$editor"; do
    [ -f "$program" ] || { echo "wine-screenshots: $program not found; make windows first" >&2; exit 1; }
done
scripts/install-deps.sh wine wine64 fonts-wine xvfb xauth xdotool x11-utils imagemagick
if [ -z "${TESSIVOR_WINE_XVFB:-}" ]; then
    TESSIVOR_WINE_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" "$@"
fi

build=$(cd "$build" && pwd)
mkdir -p "$out"
out=$(cd "$out" && pwd)
export WINEPREFIX=${WINEPREFIX:-$build/wine}
export WINEDEBUG=-all WINEARCH=win64
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml,winemenubuilder.exe=}
work=$(mktemp -d)
stop() {
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap stop EXIT
wineserver -p </dev/null >/dev/null 2>&1
wine wineboot -i </dev/null >/dev/null 2>&1
scripts/wine-desktop.sh >/dev/null 2>&1

. scripts/screenshot-helpers.sh

# The runner: a count that never ends, so the caption shows the speed once a second.
cat >"$work/fast.tsasm" <<'TSASM'
// counts up for ever, showing the count //
set 01, 0;
set 90, 1;
lbl 01
inc 01
dsp 01
gto 90
TSASM
# Wine puts an argument with a blank in double quotes, as Windows passes a path: the runner
# drops them.
mkdir "$work/my programs"
wine "$build/cli/tessivor-cli.exe" build -o "$work/my programs/fast.tsp" "$work/fast.tsasm" \
    </dev/null
wine "$runner" "Z:${work//\//\\}\\my programs\\fast.tsp" </dev/null >/dev/null 2>&1 &
id=$(window '^Tessivor 0\.1')
wait_for_speed "$id" wine-screenshots
shoot "$id" "$out/windows-runner.png"
xdotool windowclose "$id" 2>/dev/null || true
wineserver -k || true
wineserver -p </dev/null >/dev/null 2>&1

# The editor: File (the menu bar's first item), then Load (the third), the example's path
# typed into the Open dialog.
wine "$editor" </dev/null >/dev/null 2>&1 &
id=$(window '^Tessivor ASM$')
sleep 1
xdotool key --window "$id" F10 Return Down Down Return
open=$(window '^Open$')
sleep 0.5
xdotool type --delay 5 "Z:${root//\//\\}\\examples\\count.tsasm"
xdotool key Return
sleep 1.5
if xdotool search --onlyvisible --name '^Open$' >/dev/null; then
    echo "wine-screenshots: the Open dialog did not close" >&2
    exit 1
fi
shoot "$id" "$out/windows-editor.png"
echo "wine-screenshots: wrote $out/windows-runner.png and $out/windows-editor.png"
