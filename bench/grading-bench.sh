#!/usr/bin/env bash
# Grading as batch work: 200 small submissions (a quarter of them wrong, a few looping) against
# a test file of 10 cases, with `tessivor-cli test -j 2`; prints the median wall-clock and CPU
# seconds of several runs against the target of 5 s, the same with --plain (the straightforward
# step loop) beside it, and, where valgrind is installed, callgrind's instruction counts of
# grading one looping submission in either loop, which a busy machine does not change.
#
# Usage: bench/grading-bench.sh TESSIVOR_CLI   (BENCH_RUNS=N sets the runs; default 5)
set -euo pipefail

cli=$1
runs=${BENCH_RUNS:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/submissions"

# The assignment: ask for two numbers, show "Sum: N". Ten cases.
{
    echo '[defaults]'
    echo 'max_steps = 100000'
    for i in $(seq 1 10); do
        a=$((i * 7 - 20)) b=$((i * 13 - 50))
        echo '[[case]]'
        echo "name = \"sum $i\""
        echo "input = [\"$a\", \"$b\"]"
        echo "output = [\"Sum: $((a + b))\"]"
    done
} >"$work/sum.toml"

# Submissions differ in their cells and comments; every fourth shows the difference instead
# of the sum, every twentieth loops until the step limit.
for i in $(seq 1 200); do
    c=$(printf '%02d' $((i % 60 + 10)))
    {
        echo "// submission $i //"
        echo "set 80, First number?;"
        echo "set 81, Second number?;"
        echo "inp 80, $c"
        echo "inp 81, 02"
        if [ $((i % 20)) -eq 0 ]; then
            echo "set 90, 1;"
            echo "lbl 01"
            echo "inc 02"
            echo "gto 90"
        fi
        if [ $((i % 4)) -eq 0 ]; then echo "sub $c, 02, 03"; else echo "add $c, 02, 03"; fi
        echo "set 04, Sum: ;"
        echo "apd 03, 04"
        echo "dsp 04"
        echo "end"
    } >"$work/submissions/s$i.tsasm"
done

status=0
"$cli" test -j 2 "$work/sum.toml" "$work/submissions" >"$work/report" || status=$?
if [ "$status" -ne 1 ] || ! tail -1 "$work/report" | grep -q '^1500 of 2000 cases passed'; then
    echo "grading-bench: unexpected report (exit status $status):" >&2
    tail -3 "$work/report" >&2
    exit 1
fi

median() { printf '%s\n' "$@" | sort -n | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }'; }
# time_grading LABEL NOTE [OPTION...]: the median wall-clock and CPU seconds of several runs.
time_grading() {
    local label=$1 note=$2
    shift 2
    local wall=() cpu=() r start end t
    for ((r = 0; r < runs; r++)); do
        start=$(date +%s%N)
        t=$( { TIMEFORMAT='%3U %3S'; time "$cli" test -j 2 "$@" "$work/sum.toml" \
            "$work/submissions" >/dev/null 2>&1 || true; } 2>&1 | awk '{ print $1 + $2 }')
        end=$(date +%s%N)
        wall+=("$(awk -v n=$((end - start)) 'BEGIN { printf "%.3f", n / 1e9 }')")
        cpu+=("$t")
    done
    printf '%-36s %10s %10s   %s\n' "$label" "$(median "${wall[@]}")" "$(median "${cpu[@]}")" \
        "$note"
}
printf '%-36s %10s %10s\n' "" "wall s" "cpu s"
time_grading "grade 200 submissions x 10 cases" "< 5 s with -j 2 (10 of them loop to 100,000 steps)"
time_grading "the same, --plain" "the plain loop, for comparison"

# Instructions of grading one looping submission (10 cases of 100,000 steps each).
if command -v valgrind >/dev/null 2>&1; then
    # instructions [OPTION...]: callgrind's count of the whole grading run.
    instructions() {
        valgrind --tool=callgrind --callgrind-out-file="$work/callgrind.out" "$cli" test "$@" \
            "$work/sum.toml" "$work/submissions/s20.tsasm" >/dev/null 2>"$work/callgrind.err" || true
        awk '/^summary:/ { print $2 }' "$work/callgrind.out"
    }
    fast=$(instructions)
    plain=$(instructions --plain)
    printf '%-36s %14s instructions\n' "grade 1 looping submission" "$fast"
    printf '%-36s %14s instructions   fast / plain = %s\n' "the same, --plain" "$plain" \
        "$(awk -v f="$fast" -v p="$plain" 'BEGIN { printf "%.2f", f / p }')"
else
    echo "(instruction counts skipped: valgrind is not installed)"
fi
