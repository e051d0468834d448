#!/usr/bin/env bash
# Runs every example with two builds of tessivor-cli, the host's and a cross-built one (a
# Windows .exe under Wine), and checks that both give the same bytes: the program file each
# builds, the events of `run --events` on the example's input and seed (both interpreters),
# and the exit status.
#   compare_events.sh HOST_CLI "EMULATOR" CLI SOURCE_DIR WORK_DIR NAME...
# The plain loop runs with the virtual clock, so the speed display and "tic" give the same
# values on both sides and every event is compared, captions included; the fast loop runs with
# the real clock, so its captions are left out, and so is the timing example, which shows it. The seed and the input are those of
# the first case of NAME.toml.
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

rm -rf "$work"
mkdir -p "$work"
for name in "$@"; do
    before=$failures
    spec="$source_dir/$name.toml"
    [ -f "$spec" ] || { fail "no $spec"; continue; }
    # The seed (defaults or first case) and the first case's input lines, from the test file.
    python3 - "$spec" "$work/$name.input" "$work/$name.seed" <<'PY' || { fail "unreadable $spec"; continue; }
import sys, tomllib
with open(sys.argv[1], "rb") as f:
    spec = tomllib.load(f)
case = spec["case"][0]
seed = case.get("seed", spec.get("defaults", {}).get("seed", 1))
with open(sys.argv[2], "wb") as f:
    f.write("".join(line + "\n" for line in case.get("input", [])).encode("latin-1"))
with open(sys.argv[3], "w") as f:
    f.write(str(seed))
PY
    seed=(--seed "$(cat "$work/$name.seed")")

    "$host" build -o "$work/$name.host.tsp" "$source_dir/$name.tsasm" ||
        { fail "the host's build failed"; continue; }
    "${emulator[@]}" "$cli" build -o "$work/$name.tsp" "$source_dir/$name.tsasm" ||
        { fail "the cross build's build failed"; continue; }
    cmp "$work/$name.host.tsp" "$work/$name.tsp" || fail "the program files differ"

    for mode in fast plain; do
        flags=(run --events --clock virtual --plain "${seed[@]}")
        if [ $mode = fast ]; then
            [ "$name" != timing ] || continue
            flags=(run --events "${seed[@]}")
        fi
        host_status=0
        "$host" "${flags[@]}" "$work/$name.host.tsp" <"$work/$name.input" \
            >"$work/$name.$mode.host.events" || host_status=$?
        status=0
        "${emulator[@]}" "$cli" "${flags[@]}" "$work/$name.tsp" <"$work/$name.input" \
            >"$work/$name.$mode.events" || status=$?
        [ "$host_status" = "$status" ] ||
            fail "$mode: exit status $status, the host's $host_status"
        grep -v '^{"caption": ' "$work/$name.$mode.host.events" >"$work/$name.$mode.host.cmp" || true
        grep -v '^{"caption": ' "$work/$name.$mode.events" >"$work/$name.$mode.cmp" || true
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
