#!/usr/bin/env bash
# `check` and `build` of one-line sources ("dsp 1" over and over, no line end), side by side for
# two builds of tessivor-cli: the processor seconds of each (user and system, the best of
# BENCH_RUNS runs: on a loaded machine the wall clock says more of the others than of us), the
# ratio, and, with BENCH_CALLGRIND=1, callgrind's instruction counts for two small sizes (the
# counts repeat exactly; their growth from one size to the next tells linear from quadratic).
#
# Usage: bench/long-line-bench.sh OLD_CLI NEW_CLI [MEGABYTES...]   (default: 0.5 1 2)
set -euo pipefail

old=$1 new=$2
shift 2
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(0.5 1 2)
runs=${BENCH_RUNS:-1}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The best processor seconds (user and system) of `runs` runs of the command.
seconds() {
    local best=
    for ((r = 0; r < runs; r++)); do
        local t
        t=$( { TIMEFORMAT='%3U %3S'; time "$@" >/dev/null 2>&1 || true; } 2>&1 |
            awk '{ printf "%.2f", $1 + $2 }')
        if [ -z "$best" ] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$t; fi
    done
    echo "$best"
}

printf '%-28s %10s %10s %8s\n' "one-line source" "old cpu s" "new cpu s" "old/new"
for mb in "${sizes[@]}"; do
    src="$work/line-$mb.tsasm"
    python3 -c "import sys; n = int(float(sys.argv[1]) * 1e6 / 5); open(sys.argv[2], 'w').write('dsp 1' * n)" "$mb" "$src"
    for command in "check" "check --format json" "build"; do
        # shellcheck disable=SC2206
        words=($command)
        if [ "$command" = build ]; then words+=(-o "$work/out.tsp"); fi
        a=$(seconds "$old" "${words[@]}" "$src")
        b=$(seconds "$new" "${words[@]}" "$src")
        printf '%-28s %10s %10s %8s\n' "$command $mb MB" "$a" "$b" \
            "$(awk -v a="$a" -v b="$b" 'BEGIN { if (b > 0) printf "%.1f", a / b; else print "-" }')"
    done
done

if [ "${BENCH_CALLGRIND:-0}" = 1 ]; then
    printf '\n%-28s %16s %16s\n' "callgrind, check" "old instructions" "new instructions"
    for kb in 100 200; do
        src="$work/line-$kb-kb.tsasm"
        python3 -c "import sys; open(sys.argv[2], 'w').write('dsp 1' * (int(sys.argv[1]) * 200))" "$kb" "$src"
        counts=()
        for cli in "$old" "$new"; do
            counts+=("$(valgrind --tool=callgrind --callgrind-out-file=/dev/null "$cli" check "$src" \
                2>&1 >/dev/null | awk '/refs:/ { gsub(",", "", $NF); print $NF }')")
        done
        printf '%-28s %16s %16s\n' "check $kb KB" "${counts[0]}" "${counts[1]}"
    done
fi
