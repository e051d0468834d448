#!/usr/bin/env bash
# Runs the tests of a Windows cross build (build-windows/) with CTest under Wine.
#   scripts/wine-ctest.sh BUILD_DIR [CTEST_ARGS...]
# The Wine prefix lives in BUILD_DIR/wine (WINEPREFIX overrides it); its first start creates
# it, which takes 10 to 20 seconds. One Wine server is kept running for the whole test run, so
# each test's program starts in about a second instead of bringing up Wine anew; it is stopped
# at the end. The server is started with its output on /dev/null: Wine's background processes
# would otherwise hold CTest's output pipes open and stall it.
#
# The windows' tests open windows: the run has an X display of its own (xvfb-run), never the
# user's, and Wine draws every window inside one virtual desktop on it, as Windows draws its
# frames (without a window manager Wine would wait two seconds on each window that closes).
# Wine's own fonts (Debian's fonts-wine) are put into the prefix, so dialogs and frames look as
# they do on Windows.
set -euo pipefail
build=${1:?usage: wine-ctest.sh BUILD_DIR [CTEST_ARGS...]}
shift
build=$(cd "$build" && pwd)

if [ -z "${TESSIVOR_WINE_XVFB:-}" ]; then
    command -v xvfb-run >/dev/null || { echo "wine-ctest: xvfb-run is not installed" >&2; exit 1; }
    TESSIVOR_WINE_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
        "$0" "$build" "$@"
fi

export WINEPREFIX=${WINEPREFIX:-$build/wine}
export WINEDEBUG=${WINEDEBUG:--all}
# No .NET runtime or HTML engine: the tests need neither, and Wine would offer to install them.
# No menu builder: installing into the prefix must not add entries to the user's own menus.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml,winemenubuilder.exe=}
export WINEARCH=win64

command -v wine >/dev/null || { echo "wine-ctest: wine is not installed" >&2; exit 1; }
mkdir -p "$WINEPREFIX"
stop() { wineserver -k >/dev/null 2>&1 || true; }
trap stop EXIT
start=$SECONDS
wineserver -p </dev/null >/dev/null 2>&1
wine wineboot -i </dev/null >"$build/wineboot.log" 2>&1 || {
    echo "wine-ctest: Wine could not start (see $build/wineboot.log)" >&2
    exit 1
}
scripts=$(cd "$(dirname "$0")" && pwd)
"$scripts/wine-desktop.sh" >>"$build/wineboot.log" 2>&1
echo "wine-ctest: Wine ready in $((SECONDS - start)) s (prefix $WINEPREFIX)"
ctest --test-dir "$build" --output-on-failure "$@"
