# What the two screenshot scripts share (sourced, not run): finding a window, taking its
# picture, and waiting for the runner's caption to show a speed.

# window TITLE: the X window of the first visible window whose title matches the pattern
window() { xdotool search --sync --onlyvisible --name "$1" | head -1; }

# shoot WINDOW FILE: the window with the frame its window manager draws around it (none where
# the frame is the window's own, as Wine draws it in its desktop)
shoot() {
    local info x y w h left right top bottom
    info=$(xwininfo -id "$1")
    x=$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$info")
    y=$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$info")
    w=$(sed -n 's/.*Width: *//p' <<<"$info")
    h=$(sed -n 's/.*Height: *//p' <<<"$info")
    read -r left right top bottom < <(xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null |
        sed -n 's/.*= *//p' | tr -d ',') || true
    left=${left:-0} right=${right:-0} top=${top:-0} bottom=${bottom:-0}
    import -silent -window root \
        -crop "$((w + left + right))x$((h + top + bottom))+$((x - left))+$((y - top))" \
        +repage "$2"
}

# wait_for_speed WINDOW NAME: waits until the runner's caption shows a speed above zero (the
# first refresh comes a second into a run), then a little more; a runner that never shows one
# is broken, and its picture would mislead: NAME says so and the script ends.
wait_for_speed() {
    local caption="" shown
    for _ in $(seq 100); do
        caption=$(xdotool getwindowname "$1")
        if [[ $caption =~ \ -\ ([0-9.]+)mhz$ ]]; then
            shown=${BASH_REMATCH[1]}
            if [[ $shown =~ [1-9] ]]; then
                sleep 1.5
                return 0
            fi
        fi
        sleep 0.1
    done
    echo "$2: the runner showed no speed: '$caption'" >&2
    exit 1
}
