#!/usr/bin/env bash
# Checks the README's walk-through against the real assembler and machine: writes the program
# of its first ```tsasm block to the file named in that program's first line, runs every
# "$ " command of its ```console blocks there (with tessivor-cli on the PATH) and compares what
# each prints, standard output and error together, with the lines the README shows below it.
# usage: check_readme.sh README.md TESSIVOR_CLI SCRATCH_DIR
set -euo pipefail

readme=$1
cli=$2
scratch=$3

rm -rf "$scratch"
mkdir -p "$scratch/bin" "$scratch/work"
ln -s "$(cd "$(dirname "$cli")" && pwd)/$(basename "$cli")" "$scratch/bin/tessivor-cli"

# The program: the first ```tsasm block, named by its opening comment ("// NAME.tsasm: ...").
awk '/^```tsasm$/ { inside = 1; next } inside && /^```$/ { exit } inside' "$readme" \
    >"$scratch/program"
name=$(sed -n '1s|^// \([A-Za-z0-9_-]*\.tsasm\):.*|\1|p' "$scratch/program")
if [ -z "$name" ]; then
    echo "FAIL: no \`\`\`tsasm block starting with '// NAME.tsasm:' in $readme" >&2
    exit 1
fi
cp "$scratch/program" "$scratch/work/$name"

# The commands: every ```console block, split into one file per command with its output.
awk -v dir="$scratch" '
    /^```console$/ { inside = 1; next }
    inside && /^```$/ { inside = 0; next }
    inside && /^\$ / { n++; print substr($0, 3) > (dir "/command." n); printf "" > (dir "/expected." n); next }
    inside && n { print > (dir "/expected." n) }
' "$readme"

failures=0
count=0
for command_file in "$scratch"/command.*; do
    [ -e "$command_file" ] || break
    n=${command_file##*.}
    count=$((count + 1))
    command=$(cat "$command_file")
    actual=$(cd "$scratch/work" && PATH="$scratch/bin:$PATH" bash -c "$command" 2>&1) || {
        echo "FAIL: \`$command\` exited with status $?" >&2
        failures=$((failures + 1))
        continue
    }
    expected=$(cat "$scratch/expected.$n")
    if [ "$actual" != "$expected" ]; then
        echo "FAIL: \`$command\` printed:" >&2
        echo "$actual" >&2
        echo "but the README shows:" >&2
        echo "$expected" >&2
        failures=$((failures + 1))
    fi
done
if [ "$count" -eq 0 ]; then
    echo "FAIL: no \`\`\`console commands in $readme" >&2
    exit 1
fi
[ "$failures" -eq 0 ] || exit 1
echo "README walk-through: $count commands as shown"
