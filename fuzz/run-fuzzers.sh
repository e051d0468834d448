#!/usr/bin/env bash
# Runs the fuzz targets of a build made with -DTESSIVOR_FUZZ=ON, one after the other.
#   fuzz/run-fuzzers.sh BUILD_DIR SECONDS [TARGET...]
# Each target keeps its corpus in BUILD_DIR/fuzz/corpus/TARGET between runs and starts from the
# seeds the build made from the examples (and, for the code-string targets, fuzz/regressions/). A target that crashes, hangs, leaks, runs out of
# memory or fails one of its checks saves the input in BUILD_DIR/fuzz/artifacts/TARGET/; the
# script prints where, and the input in hex, and exits 1 once every target has run.
set -uo pipefail

build_dir=${1:?usage: run-fuzzers.sh BUILD_DIR SECONDS [TARGET...]}
seconds=${2:?usage: run-fuzzers.sh BUILD_DIR SECONDS [TARGET...]}
shift 2
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_run fuzz_plain_fast fuzz_compiletext fuzz_roundtrip fuzz_check fuzz_travel)
here=$(cd "$(dirname "$0")" && pwd)
fuzz_dir=$(cd "$build_dir/fuzz" && pwd) || exit 2

seeds_of() {
    case $1 in
    fuzz_compiletext | fuzz_roundtrip | fuzz_check) echo source ;;
    *) echo program ;;
    esac
}

failed=()
summary=()
for target in "${targets[@]}"; do
    kind=$(seeds_of "$target")
    # Inputs that once failed stay in the seeds: program files for the code-string targets.
    regressions=()
    [ "$kind" = program ] && regressions=("$here/regressions")
    corpus="$fuzz_dir/corpus/$target"
    artifacts="$fuzz_dir/artifacts/$target"
    log="$fuzz_dir/logs/$target.log"
    mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
    echo "== $target: ${seconds}s (log: $log)"
    "$fuzz_dir/$target" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=3072 \
        -dict="$here/$kind.dict" -artifact_prefix="$artifacts/" -print_final_stats=1 \
        "$corpus" "$fuzz_dir/seeds/$kind" "${regressions[@]}" >"$log" 2>&1
    status=$?
    # The last status line: "#N DONE cov: C ft: F corp: K/S ...".
    last=$(grep -E '^#[0-9]+' "$log" | tail -n 1)
    summary+=("$target: $last")
    echo "$last"
    if [ $status -ne 0 ]; then
        failed+=("$target")
        echo "!! $target failed with status $status; the end of its log:"
        grep -v -E '^#[0-9]+' "$log" | tail -n 60
        for input in "$artifacts"/*; do
            [ -f "$input" ] || continue
            echo "!! reproducing input: $input ($(wc -c <"$input") bytes); replay with:"
            echo "   $fuzz_dir/$target $input"
            echo "!! the input in hex:"
            od -A d -t x1 -v "$input" | head -n 400
        done
    fi
done

echo "== fuzz summary"
printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
    echo "!! failed: ${failed[*]}"
    exit 1
fi
