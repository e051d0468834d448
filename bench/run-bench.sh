#!/usr/bin/env bash
# Runs Tessivor's benchmark programs side by side with their Lua 5.4 and Python 3 equivalents
# and prints one table: median seconds of several runs, million steps a second, and the ratio
# Tessivor / peer (at most 1.00: Tessivor is no slower). Then callgrind's instructions per loop
# turn of the same programs, which a busy machine does not change, and preparation,
# translation and start-up against their targets.
#
# Usage: bench/run-bench.sh [BUILD_DIR]   (BUILD_DIR holds a Release build; default: build)
# BENCH_RUNS=N sets the runs a measurement takes (default 5). BENCH_BEFORE=CLI adds columns for
# another tessivor-cli (an older build, say), measured in the same run.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
cli=$build/cli/tessivor-cli
input=$build/bench/tessivor_bench_input
runs=${BENCH_RUNS:-5}
programs=$root/bench/programs

for tool in "$cli" "$input"; do
    if [ ! -x "$tool" ]; then
        echo "run-bench: $tool is missing; build first (make bench does)" >&2
        exit 1
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

notes=()

# Lua 5.4 comes from Debian's lua5.4 package when it is missing.
lua=$(command -v lua5.4 || true)
if [ -z "$lua" ] && command -v apt-get >/dev/null 2>&1; then
    sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo -n)
    echo "run-bench: installing lua5.4" >&2
    if "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq lua5.4 >&2 ||
        { "${sudo[@]}" apt-get update -qq >&2 &&
          "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq lua5.4 >&2; }; then
        lua=$(command -v lua5.4 || true)
    fi
fi
[ -n "$lua" ] || notes+=("Lua 5.4 skipped: lua5.4 is not installed and could not be installed.")
# Valgrind (callgrind counts the instructions of a loop turn, which a busy machine does not
# change) comes from Debian's valgrind package when it is missing.
valgrind=$(command -v valgrind || true)
if [ -z "$valgrind" ] && command -v apt-get >/dev/null 2>&1; then
    sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo -n)
    echo "run-bench: installing valgrind" >&2
    if "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq valgrind >&2 ||
        { "${sudo[@]}" apt-get update -qq >&2 &&
          "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq valgrind >&2; }; then
        valgrind=$(command -v valgrind || true)
    fi
fi
[ -n "$valgrind" ] || notes+=("Instructions per turn skipped: valgrind is not installed and could not be installed.")
# LuaJIT stands beside Lua 5.4 where Debian's luajit package is installed.
luajit=$(command -v luajit || true)
[ -n "$luajit" ] || notes+=("LuaJIT skipped: luajit is not installed.")
before=${BENCH_BEFORE:-}
if [ -n "$before" ] && [ ! -x "$before" ]; then
    notes+=("Before skipped: $before is not a program.")
    before=""
fi
python=$(command -v python3 || true)
[ -n "$python" ] || notes+=("Python skipped: python3 is not installed.")

# Prints the median wall-clock seconds of $runs runs of the command, output discarded.
median_seconds() {
    local i start end
    for ((i = 0; i < runs; i++)); do
        start=$(date +%s%N)
        "$@" >/dev/null 2>&1 </dev/null || true
        end=$(date +%s%N)
        echo $((end - start))
    done | sort -n | awk '{ t[NR] = $1 } END { printf "%.4f", t[int((NR + 1) / 2)] / 1e9 }'
}

# Prints the median CPU seconds (user + system) of $runs runs of the command.
median_cpu_seconds() {
    local i
    for ((i = 0; i < runs; i++)); do
        (
            TIMEFORMAT='%3U %3S'
            { time "$@" >/dev/null 2>&1 </dev/null || true; } 2>&1
        ) | awk '{ print $1 + $2 }'
    done | sort -n | awk '{ t[NR] = $1 } END { printf "%.4f", t[int((NR + 1) / 2)] }'
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }

echo "Tessivor benchmarks"
echo "machine: $(lscpu 2>/dev/null | awk -F: '/Model name/ { gsub(/^ +/, "", $2); print $2; exit }'), $(nproc) cores"
echo "load before: $(uptime | sed 's/.*load average/load average/')"
echo "peers: ${lua:+$("$lua" -v 2>&1 | cut -d' ' -f1-2)}${lua:+, }${luajit:+$("$luajit" -v 2>&1 | cut -d' ' -f1-2)}${luajit:+, }${python:+$("$python" --version 2>&1)}"
[ -z "$before" ] || echo "before: $before"
echo "each figure: median of $runs runs, wall clock, whole process; ratio = Tessivor / peer"
echo

printf '%-10s %10s %10s' program "tessivor s" "M steps/s"
[ -z "$before" ] || printf ' %10s %7s' "before s" ratio
printf ' %10s %7s %10s %7s %10s %7s\n' "lua s" ratio "luajit s" ratio "python s" ratio
for name in count harmonic concat; do
    "$cli" build "$programs/$name.tsasm" -o "$work/$name.tsp" >/dev/null
    steps=$("$cli" run --stats "$work/$name.tsp" 2>&1 >/dev/null | awk '/^steps:/ { print $2 }')
    t=$(median_seconds "$cli" run "$work/$name.tsp")
    mps=$(awk -v s="$steps" -v t="$t" 'BEGIN { printf "%.0f", s / t / 1e6 }')
    l=- lr=- j=- jr=- p=- pr=-
    printf '%-10s %10s %10s' "$name" "$t" "$mps"
    if [ -n "$before" ]; then
        b=$(median_seconds "$before" run "$work/$name.tsp")
        printf ' %10s %7s' "$b" "$(ratio "$t" "$b")"
    fi
    if [ -n "$lua" ]; then
        l=$(median_seconds "$lua" "$programs/$name.lua")
        lr=$(ratio "$t" "$l")
    fi
    if [ -n "$luajit" ]; then
        j=$(median_seconds "$luajit" "$programs/$name.lua")
        jr=$(ratio "$t" "$j")
    fi
    if [ -n "$python" ]; then
        p=$(median_seconds "$python" "$programs/$name.py")
        pr=$(ratio "$t" "$p")
    fi
    printf ' %10s %7s %10s %7s %10s %7s\n' "$l" "$lr" "$j" "$jr" "$p" "$pr"
done
echo

# Instructions per loop turn: the callgrind count of the whole process with the program's loop
# bound set for 2M turns, less that for 1M turns, divided by 1M. The same for Lua when present.
if [ -n "$valgrind" ]; then
    instructions() { # instructions COMMAND...: the process's instruction count
        "$valgrind" --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
            awk '/Collected :/ { print $NF }'
    }
    # per_turn COMMAND... -- FILE1 FILE2: the instructions of a loop turn, from the runs of
    # COMMAND on FILE1 (1M turns) and FILE2 (2M turns); "-" without the command.
    per_turn() {
        local cmd=() a b
        while [ "$1" != -- ]; do cmd+=("$1"); shift; done
        shift
        if [ -z "${cmd[0]}" ]; then echo -; return; fi
        a=$(instructions "${cmd[@]}" "$1")
        b=$(instructions "${cmd[@]}" "$2")
        awk -v a="$a" -v b="$b" 'BEGIN { printf "%.1f", (b - a) / 1e6 }'
    }
    # turns NAME BOUND1 BOUND2: program NAME with its loop bound set to BOUND1, then BOUND2, on
    # each engine, and the ratio of Tessivor's figure to Lua 5.4's.
    turns() {
        local name=$1 b1=$2 b2=$3 big t o="" l j
        big=$(awk '/^set 02, / { gsub(/[^0-9]/, "", $3); print $3; exit }' "$programs/$name.tsasm")
        sed "s/^set 02, $big;/set 02, $b1;/" "$programs/$name.tsasm" >"$work/$name-1.tsasm"
        sed "s/^set 02, $big;/set 02, $b2;/" "$programs/$name.tsasm" >"$work/$name-2.tsasm"
        "$cli" build "$work/$name-1.tsasm" -o "$work/$name-1.tsp" >/dev/null
        "$cli" build "$work/$name-2.tsasm" -o "$work/$name-2.tsp" >/dev/null
        sed "s/< $big)/< $b1)/" "$programs/$name.lua" >"$work/$name-1.lua"
        sed "s/< $big)/< $b2)/" "$programs/$name.lua" >"$work/$name-2.lua"
        t=$(per_turn "$cli" run -- "$work/$name-1.tsp" "$work/$name-2.tsp")
        [ -z "$before" ] || o=$(per_turn "$before" run -- "$work/$name-1.tsp" "$work/$name-2.tsp")
        l=$(per_turn "$lua" -- "$work/$name-1.lua" "$work/$name-2.lua")
        j=$(per_turn "$luajit" -- "$work/$name-1.lua" "$work/$name-2.lua")
        printf '%-10s %12s' "$name" "$t"
        [ -z "$before" ] || printf ' %12s' "$o"
        printf ' %12s %12s %7s\n' "$l" "$j" "$(ratio "$t" "$l")"
    }
    echo "callgrind instructions per loop turn ((2M turns - 1M turns) / 1M; independent of load)"
    printf '%-10s %12s' program tessivor
    [ -z "$before" ] || printf ' %12s' before
    printf ' %12s %12s %7s\n' "lua 5.4" luajit "ratio lua"
    turns count 1000000 2000000
    turns harmonic 1000001 2000001
    turns concat 1000000 2000000
    echo
fi
# The debugger: a session with a breakpoint (on the last "dsp", reached once at the end) and two
# watches (on cells the program never writes) continues to the end; against run --plain.
printf '%-10s %12s %12s %12s\n' program "plain s" "debug s" "speed ratio"
for name in count harmonic; do
    line=$("$cli" disasm "$work/$name.tsp" | grep -n '^dsp' | tail -1 | cut -d: -f1)
    printf 'break %s\nwatch 50\nwatch 51\ncontinue\n' "$line" >"$work/$name.debug"
    plain=$(median_cpu_seconds "$cli" run --plain "$work/$name.tsp")
    debug=$(median_cpu_seconds "$cli" debug -x "$work/$name.debug" "$work/$name.tsp")
    printf '%-10s %12s %12s %12s\n' "$name" "$plain" "$debug" \
        "$(ratio "$plain" "$debug") (>= 0.50)"
done
echo

# Preparation only: a code string that ends at its first position ("p"), run with the plain
# loop, which adds nothing to the preparation pass.
{ printf p; "$input" code 999999; } >"$work/prepare1.tsp"
{ printf p; "$input" code 9999999; } >"$work/prepare10.tsp"
p1=$(median_seconds "$cli" run --plain "$work/prepare1.tsp")
p10=$(median_seconds "$cli" run --plain "$work/prepare10.tsp")
c1=$(median_cpu_seconds "$cli" run --plain "$work/prepare1.tsp")
c10=$(median_cpu_seconds "$cli" run --plain "$work/prepare10.tsp")

"$input" source 10000000 >"$work/source.tsasm"
tr=$(median_seconds "$cli" build "$work/source.tsasm" -o -)
trc=$(median_cpu_seconds "$cli" build "$work/source.tsasm" -o -)

printf '  p\r\n' >"$work/three.tsp"
if command -v hyperfine >/dev/null 2>&1; then
    hyperfine -N --warmup 10 --runs 200 --export-json "$work/start.json" \
        "$cli run $work/three.tsp" >/dev/null 2>&1 || true
    start=$(grep -o '"median": *[0-9.e-]*' "$work/start.json" | head -1 | awk '{ printf "%.2f", $2 * 1000 }')
    how="hyperfine, median of 200"
else
    start=$(runs=51 median_seconds "$cli" run "$work/three.tsp" | awk '{ printf "%.2f", $1 * 1000 }')
    how="median of 51"
fi

printf '%-36s %10s %10s   %s\n' task "wall s" "cpu s" target
printf '%-36s %10s %10s   %s\n' "prepare 1 MB, no end-if" "$p1" "$c1" "< 0.050 s"
printf '%-36s %10s %10s   %s\n' "prepare 10 MB, no end-if" "$p10" "$c10" \
    "<= 12x the 1 MB time: $(ratio "$p10" "$p1")x wall, $(ratio "$c10" "$c1")x cpu"
printf '%-36s %10s %10s   %s\n' "translate 10 MB (tessivor-cli build)" "$tr" "$trc" \
    ">= 100 MB/s: $(awk -v t="$tr" 'BEGIN { printf "%.0f", 10 / t }') MB/s"
printf '%-36s %10s %10s   %s\n' "start and run a three-step program" "$(awk -v m="$start" 'BEGIN { printf "%.4f", m / 1000 }')" "" \
    "< 5 ms: $start ms ($how)"
BENCH_RUNS=$runs "$root/bench/grading-bench.sh" "$cli"
# The debug session: continue with a breakpoint and two watches set against the fast loop, and
# the way back from the end of a long run, each measured in one process (the best of $runs).
travel=$build/bench/tessivor_travel_bench
if [ -x "$travel" ]; then
    echo
    for program in "" "$programs/harmonic.tsasm" "$programs/concat.tsasm"; do
        BENCH_RUNS=$runs "$travel" 300000000 $program
        echo
    done
    for name in count harmonic concat; do
        for only in run continue; do
            n=$(TRAVEL_ONLY=$only BENCH_RUNS=1 valgrind --tool=callgrind \
                --callgrind-out-file=/dev/null "$travel" 300000000 "$programs/$name.tsasm" 2>&1 |
                awk '/Collected/ { print $NF }') || n=?
            printf -v "cg_$only" '%s' "$n"
        done
        printf '%-36s %14s %14s   %s\n' "$name: callgrind, run / continue" "$cg_run" "$cg_continue" \
            "continue takes $(ratio "$cg_continue" "$cg_run")x the run's instructions"
    done
else
    notes+=("debug session benchmark skipped: $travel missing")
fi
# The WebAssembly engine (make web) against the native fast loop, both timed around the run
# alone, where Node and the engine are there: the count and harmonic programs, median of $runs
# runs.
engine=${WEB_DIR:-$root/build-web}/engine/web/tessivor-engine.js
if command -v node >/dev/null 2>&1 && [ -f "$engine" ]; then
    for name in count harmonic; do
        "$cli" build "$programs/$name.tsasm" -o "$work/$name.tsp" >/dev/null
        read -r _ ws wm < <(node --no-experimental-fetch "$root/web/engine/bench_engine.js" \
            "$engine" "$work/$name.tsp" "$runs")
        ns=$(for ((i = 0; i < runs; i++)); do
            "$cli" run --stats "$work/$name.tsp" 2>&1 >/dev/null | awk '/^seconds:/ { print $2 }'
        done | sort -n | awk '{ t[NR] = $1 } END { printf "%.4f", t[int((NR + 1) / 2)] }')
        target="<= 2x native: "
        [ "$name" = count ] || target=""
        printf '%-36s %10s %10s   %s\n' "$name, WebAssembly engine in Node" "$ws" "" \
            "$target$wm M steps/s, $(ratio "$ws" "$ns")x the native loop's $ns s"
    done
    # The page's debug session: Run as the worker runs it (a breakpoint and two watches set),
    # against the engine's own fast loop; then goto across a 300 M-step run.
    read -r _ rs rm < <(node --no-experimental-fetch "$root/web/engine/bench_engine.js" \
        "$engine" "$work/count.tsp" "$runs")
    read -r _ cs cm < <(node --no-experimental-fetch "$root/web/engine/bench_engine.js" \
        "$engine" "$programs/count.tsasm" "$runs" continue)
    printf '%-36s %10s %10s   %s\n' "count, engine session continue" "$cs" "" \
        ">= 0.5x the engine's run: $cm M steps/s, $(awk -v a="$cm" -v b="$rm" 'BEGIN { if (b > 0) printf "%.3f", a / b; else print "-" }')x its run (1 breakpoint, 2 watches)"
    read -r gsteps gm gs gmstop gsstop < <(node --no-experimental-fetch \
        "$root/web/engine/bench_engine.js" "$engine" "$programs/count.tsasm" 1 goto)
    printf '%-36s %10s %10s   %s\n' "engine goto middle of a 300 M run" "$gm" "" \
        "< 1 s: from step $gsteps ($gmstop)"
    printf '%-36s %10s %10s   %s\n' "engine goto step 1 of a 300 M run" "$gs" "" "< 1 s ($gsstop)"
else
    notes+=("WebAssembly engine skipped: Node or $engine missing (make web builds it).")
fi
echo
echo "load after: $(uptime | sed 's/.*load average/load average/')"
for note in "${notes[@]}"; do echo "note: $note"; done
echo "micro benchmarks (numbers, preparation, compiletext): $build/bench/tessivor_micro"
