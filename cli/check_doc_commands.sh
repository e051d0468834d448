#!/usr/bin/env bash
# Checks the commands of a document (the teachers' walk-through, the language manual, the
# README) against the real tessivor-cli: writes every ```toml and ```tsasm block (and every
# ```tsasm slip block, a program that shows a mistake) whose first line names a file
# ("# sum.toml: ..." or "// submissions/ada.tsasm: ...") to that file, runs every "$ " command
# of the ```console blocks there in order (with tessivor-cli on the PATH), and compares what
# each prints, standard output and error together, with the lines shown below it. A command
# that exits with a status other than 0 shows it as a last line "(exit status N)".
# usage: check_doc_commands.sh DOCUMENT.md TESSIVOR_CLI SCRATCH_DIR
set -euo pipefail

doc=$1
cli=$2
scratch=$3

rm -rf "$scratch"
mkdir -p "$scratch/bin" "$scratch/work" "$scratch/blocks"
ln -s "$(cd "$(dirname "$cli")" && pwd)/$(basename "$cli")" "$scratch/bin/tessivor-cli"

# Files: one scratch file a block, then moved to the name its first line gives.
awk -v dir="$scratch/blocks" '
    /^```(toml|tsasm|tsasm slip)$/ { inside = 1; n++; next }
    inside && /^```$/ { inside = 0; next }
    inside { print > (dir "/" n) }
' "$doc"
files=0
for block in "$scratch"/blocks/*; do
    [ -e "$block" ] || break
    name=$(sed -En '1s#^(\#|//) ([A-Za-z0-9_/.-]+\.(toml|tsasm))(:.*)?$#\2#p' "$block")
    [ -n "$name" ] || continue
    mkdir -p "$scratch/work/$(dirname "$name")"
    cp "$block" "$scratch/work/$name"
    files=$((files + 1))
done

awk -v dir="$scratch" '
    /^```console$/ { inside = 1; next }
    inside && /^```$/ { inside = 0; next }
    inside && /^\$ / { n++; print substr($0, 3) > (dir "/command." n); printf "" > (dir "/expected." n); next }
    inside && n { print > (dir "/expected." n) }
' "$doc"

failures=0
count=0
n=0
while [ -e "$scratch/command.$((n + 1))" ]; do
    n=$((n + 1))
    count=$((count + 1))
    command=$(cat "$scratch/command.$n")
    status=0
    actual=$(cd "$scratch/work" && PATH="$scratch/bin:$PATH" bash -c "$command" 2>&1) || status=$?
    if [ "$status" -ne 0 ] && [ -z "$actual" ]; then
        actual="(exit status $status)"
    elif [ "$status" -ne 0 ]; then
        actual=$(printf '%s\n(exit status %d)' "$actual" "$status")
    fi
    expected=$(cat "$scratch/expected.$n")
    if [ "$actual" != "$expected" ]; then
        echo "FAIL: \`$command\` printed:" >&2
        echo "$actual" >&2
        echo "but $doc shows:" >&2
        echo "$expected" >&2
        failures=$((failures + 1))
    fi
done
if [ "$count" -eq 0 ] || [ "$files" -eq 0 ]; then
    echo "FAIL: no files or no \`\`\`console commands in $doc" >&2
    exit 1
fi
[ "$failures" -eq 0 ] || exit 1
echo "$doc: $files files, $count commands as shown"
