#!/usr/bin/env bash
# Runs every example with two builds of tessivor-cli, the host's and a cross-built one (a
# Windows .exe under Wine), and checks that both give the same bytes: the program file each
# builds, the events of `run --events` on the example's input and seed (both interpreters),
# and the exit status.
#   compare_events.sh HOST_CLI "EMULATOR" CLI SOURCE_DIR WORK_DIR NAME...
# Caption events are left out (the speed display follows the clock), and so are the events
# that NAME.expect accepts with any value ("*"); in an example that has such an event, the
# cells of the final event are left out too, since the clock's values end up there.
set -euo pipefail
host=$1
read -r -a emulator <<<"$2"
cli=$3
source_dir=$4
work=$5
shift 5

failures=0
fail() {
    echo "$name: $*" >&2
    failures=$((failures + 1))
}

# Event lines without captions, masked where the .expect file accepts any value.
events() {
    grep -v '^{"caption": ' "$1" | awk -v masked="$2" -v cells="$3" '
        BEGIN { n = split(masked, m, " "); for (i = 1; i <= n; i++) skip[m[i]] = 1 }
        { k = NR - 1 }
        k in skip { print "(any value)"; next }
        cells == "no" && /^{"end": / { sub(/, "cells": \[.*$/, ", ...}") }
        { print }'
}

rm -rf "$work"
mkdir -p "$work"
for name in "$@"; do
    before=$failures
    expect="$source_dir/$name.expect"
    [ -f "$expect" ] || { fail "no $expect"; continue; }
    seed=()
    input=""
    masked=""
    k=0
    while IFS= read -r line || [ -n "$line" ]; do
        line=${line%$'\r'}
        case $line in
        "seed "*) seed=(--seed "${line#seed }") ;;
        input) input+=$'\n' ;;
        "input "*) input+="${line#input }"$'\n' ;;
        "? {"*)
            [[ $line == *'"*"'* ]] && masked+=" $k"
            k=$((k + 1))
            ;;
        "{"*) k=$((k + 1)) ;;
        esac
    done <"$expect"
    cells=yes
    [ -z "$masked" ] || cells=no
    printf '%s' "$input" >"$work/$name.input"

    "$host" build -o "$work/$name.host.tsp" "$source_dir/$name.tsasm" ||
        { fail "the host's build failed"; continue; }
    "${emulator[@]}" "$cli" build -o "$work/$name.tsp" "$source_dir/$name.tsasm" ||
        { fail "the cross build's build failed"; continue; }
    cmp "$work/$name.host.tsp" "$work/$name.tsp" || fail "the program files differ"

    for mode in fast plain; do
        flags=(run --events "${seed[@]}")
        [ $mode = fast ] || flags+=(--plain)
        host_status=0
        "$host" "${flags[@]}" "$work/$name.host.tsp" <"$work/$name.input" \
            >"$work/$name.$mode.host.events" || host_status=$?
        status=0
        "${emulator[@]}" "$cli" "${flags[@]}" "$work/$name.tsp" <"$work/$name.input" \
            >"$work/$name.$mode.events" || status=$?
        [ "$host_status" = "$status" ] ||
            fail "$mode: exit status $status, the host's $host_status"
        events "$work/$name.$mode.host.events" "$masked" $cells >"$work/$name.$mode.host.cmp"
        events "$work/$name.$mode.events" "$masked" $cells >"$work/$name.$mode.cmp"
        [ -s "$work/$name.$mode.host.cmp" ] || fail "$mode: the host's run gave no events"
        if ! cmp -s "$work/$name.$mode.host.cmp" "$work/$name.$mode.cmp"; then
            fail "$mode: the events differ (< host, > cross build):"
            { diff "$work/$name.$mode.host.cmp" "$work/$name.$mode.cmp" || true; } |
                head -20 | cat -A >&2
        fi
    done
    [ "$failures" -ne "$before" ] || echo "$name: same program file and events"
done
[ "$failures" -eq 0 ] || { echo "$failures differences" >&2; exit 1; }
