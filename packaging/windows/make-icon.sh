#!/usr/bin/env bash
# Remakes packaging/windows/tessivor.ico, the Windows programs' icon, from packaging/tessivor.svg:
# each size drawn by headless Chromium with a transparent background, then joined by
# ImageMagick (Debian's chromium and imagemagick; installed when missing).
#   packaging/windows/make-icon.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/install-deps.sh chromium imagemagick
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pngs=()
for size in 16 20 24 32 40 48 64 256; do
    cat >"$work/icon.html" <<HTML
<!doctype html><html><body style="margin:0;background:transparent">
<img src="file://$PWD/packaging/tessivor.svg" width="$size" height="$size" style="display:block">
</body></html>
HTML
    chromium --headless --disable-gpu --no-sandbox --hide-scrollbars \
        --default-background-color=00000000 --window-size="$size,$size" \
        --screenshot="$work/$size.png" "file://$work/icon.html" >/dev/null 2>&1
    pngs+=("$work/$size.png")
done
convert "${pngs[@]}" packaging/windows/tessivor.ico
identify packaging/windows/tessivor.ico
