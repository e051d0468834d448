#!/usr/bin/env bash
# Makes the Wine prefix WINEPREFIX draw every window in one virtual desktop of 1024 x 768 and
# gives it Wine's own fonts (Debian's fonts-wine: Tahoma for dialogs, Marlett for the caption
# buttons), which Debian's Wine does not look for by itself. Run with the Wine server up.
set -euo pipefail
: "${WINEPREFIX:?wine-desktop: WINEPREFIX is not set}"
fonts=$WINEPREFIX/drive_c/windows/Fonts
# Without the package (or with its folder empty) Wine's built-in fallbacks are used.
shopt -s nullglob
wine_fonts=(/usr/share/wine/fonts/*.ttf)
if [ ${#wine_fonts[@]} -gt 0 ] && [ -d "$fonts" ]; then
    cp -u "${wine_fonts[@]}" "$fonts/"
fi
reg=$WINEPREFIX/drive_c/tessivor-desktop.reg
trap 'rm -f "$reg"' EXIT
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\r\n"Desktop"="Default"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\r\n"Default"="1024x768"\r\n' >"$reg"
wine regedit /S 'C:\tessivor-desktop.reg' </dev/null
