#!/usr/bin/env bash
# Installs a build into a scratch prefix and checks what a user relies on there: the programs
# the desktop entries start, the file types they claim, the icon they show, the examples and the
# links of the installed guide.
# usage: check_install.sh BUILD_DIR SCRATCH_DIR DESKTOP_INTEGRATION(ON|OFF) [STUDIO(ON|OFF)]
set -euo pipefail

build=$1
scratch=$2
desktop=$3
studio=${4:-OFF}

rm -rf "$scratch"
mkdir -p "$scratch"
prefix=$scratch/usr
cmake --install "$build" --prefix "$prefix" >"$scratch/install.log"
share=$prefix/share
examples=$share/tessivor/examples
doc=$share/doc/tessivor

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# --- the programs -----------------------------------------------------------------------------
cli=$prefix/bin/tessivor-cli
[ -x "$cli" ] || { echo "FAIL: $cli not installed" >&2; exit 1; }
if [ "$desktop" = ON ]; then
    programs=(tessivor tessivor-asm)
    [ "$studio" != ON ] || programs+=(tessivor-studio)
    for program in "${programs[@]}"; do
        [ -x "$prefix/bin/$program" ] || fail "$program not installed in bin/"
    done
fi

# --- examples: every source has its program file, and that file is what the installed assembler
# makes of the installed source, so the two can never disagree ----------------------------------
count=0
for source in "$examples"/*.tsasm; do
    [ -e "$source" ] || break
    count=$((count + 1))
    program=${source%.tsasm}.tsp
    if [ ! -f "$program" ]; then
        fail "no program file beside $(basename "$source")"
    elif ! "$cli" build -o - "$source" | cmp -s - "$program"; then
        fail "$(basename "$program") is not what $(basename "$source") builds into"
    fi
done
[ "$count" -gt 0 ] || fail "no example sources in $examples"
for program in "$examples"/*.tsp; do
    [ -e "$program" ] || break
    [ -f "${program%.tsp}.tsasm" ] || fail "$(basename "$program") has no source beside it"
done
if [ -f "$examples/hello.tsp" ]; then
    output=$("$cli" run "$examples/hello.tsp" 2>/dev/null) || fail "hello.tsp did not terminate"
    [ "$output" = "Hello, world!" ] || fail "hello.tsp showed '$output'"
else
    fail "hello.tsp not installed"
fi

# --- the guide: every relative link of the installed README leads to an installed file --------
readme=$doc/README.md
if [ -f "$readme" ]; then
    while IFS= read -r target; do
        case $target in
        http://* | https://* | mailto:* | '#'*) continue ;;
        esac
        target=${target%%#*}
        [ -e "$doc/$target" ] || fail "README.md links to $target, which is not installed"
    done < <(grep -oE '\]\([^) ]+\)' "$readme" | sed -E 's/^\]\(//; s/\)$//')
else
    fail "README.md not installed in $doc"
fi
[ -f "$doc/docs/language.md" ] || fail "the language manual is not installed"

if [ "$desktop" != ON ]; then
    [ "$failures" -eq 0 ] || exit 1
    echo "install check passed (without desktop integration)"
    exit 0
fi

# --- desktop entries --------------------------------------------------------------------------
apps=$share/applications
mimexml=$share/mime/packages/tessivor.xml
icons=$share/icons/hicolor/scalable/apps
[ -f "$mimexml" ] || fail "MIME definitions not installed"

# value KEY FILE: the value of KEY in the [Desktop Entry] group
value() {
    awk -F= -v key="$1" '
        /^\[/ { group = $0 }
        group == "[Desktop Entry]" && $1 == key { sub(/^[^=]*=/, ""); print; exit }' "$2"
}

entries=(tessivor.desktop tessivor-asm.desktop)
[ "$studio" != ON ] || entries+=(tessivor-studio.desktop)
for entry in "${entries[@]}"; do
    file=$apps/$entry
    if [ ! -f "$file" ]; then
        fail "$entry not installed"
        continue
    fi
    if command -v desktop-file-validate >/dev/null; then
        report=$(desktop-file-validate "$file" 2>&1) || true
        [ -z "$report" ] || fail "desktop-file-validate $entry: $report"
    fi
    exec_line=$(value Exec "$file")
    read -r command _ <<<"$exec_line"
    [ -x "$prefix/bin/$command" ] || fail "$entry starts $command, which is not installed"
    tryexec=$(value TryExec "$file")
    [ -z "$tryexec" ] || [ -x "$prefix/bin/$tryexec" ] ||
        fail "$entry tries $tryexec, which is not installed (the menu would hide the entry)"
    icon=$(value Icon "$file")
    [ -f "$icons/$icon.svg" ] || fail "$entry shows icon $icon, not installed in $icons"
    types=$(value MimeType "$file")
    # An entry that claims file types must pass the file on; one that takes no file must claim
    # none, or opening a file would start the program on nothing.
    if [ -n "$types" ] && [[ $exec_line != *%[fFuU]* ]]; then
        fail "$entry claims $types but does not pass the file"
    fi
    if [ -z "$types" ] && [[ $exec_line == *%[fFuU]* ]]; then
        fail "$entry takes a file but claims no file type"
    fi
    IFS=';' read -ra list <<<"$types"
    for type in "${list[@]}"; do
        [ -n "$type" ] || continue
        grep -q "<mime-type type=\"$type\">" "$mimexml" ||
            fail "$entry claims $type, which tessivor.xml does not define"
    done
done
[ "$(value MimeType "$apps/tessivor.desktop" 2>/dev/null)" = "application/x-tessivor-program;" ] ||
    fail "the runner is not registered for program files"
[ -z "$(value MimeType "$apps/tessivor-asm.desktop" 2>/dev/null)" ] ||
    fail "the editor claims file types, but it ignores its command line"
[ "$(value Exec "$apps/tessivor.desktop" 2>/dev/null)" = "tessivor %f" ] ||
    fail "the runner must get the one file as its argument"
if [ "$studio" = ON ]; then
    [ "$(value MimeType "$apps/tessivor-studio.desktop" 2>/dev/null)" = "text/x-tessivor-asm;" ] ||
        fail "the Studio is not registered for source files"
    [ "$(value Exec "$apps/tessivor-studio.desktop" 2>/dev/null)" = "tessivor-studio %f" ] ||
        fail "the Studio must get the one file as its argument"
fi

if command -v xmllint >/dev/null; then
    for icon in "$icons"/*.svg; do
        xmllint --noout "$icon" || fail "$(basename "$icon") is not well-formed"
    done
fi

# --- file types: build a MIME database from the installed definitions and ask it ------------
if command -v update-mime-database >/dev/null && [ -f /usr/share/mime/packages/freedesktop.org.xml ]; then
    db=$scratch/mimedb/mime
    mkdir -p "$db/packages"
    cp /usr/share/mime/packages/freedesktop.org.xml "$mimexml" "$db/packages/"
    XDG_DATA_HOME=$scratch/none XDG_DATA_DIRS=$scratch/mimedb \
        update-mime-database "$db" 2>"$scratch/mime.log" || fail "update-mime-database failed"
    [ ! -s "$scratch/mime.log" ] || fail "update-mime-database: $(cat "$scratch/mime.log")"
    grep -qx '[0-9]*:application/x-tessivor-program:\*\.tsp' "$db/globs2" ||
        fail "*.tsp is not a program file in the MIME database"
    grep -qx '[0-9]*:text/x-tessivor-asm:\*\.tsasm' "$db/globs2" ||
        fail "*.tsasm is not a source file in the MIME database"
    grep -qx 'text/x-tessivor-asm text/plain' "$db/subclasses" ||
        fail "a source file is not plain text in the MIME database"
    if command -v gio >/dev/null; then
        sample=$scratch/sample
        mkdir -p "$sample"
        cp "$examples/hello.tsp" "$examples/hello.tsasm" "$sample/"
        for pair in hello.tsp:application/x-tessivor-program hello.tsasm:text/x-tessivor-asm; do
            type=$(XDG_DATA_HOME=$scratch/none XDG_DATA_DIRS=$scratch/mimedb \
                gio info -a standard::content-type "$sample/${pair%%:*}" 2>/dev/null |
                sed -n 's/^ *standard::content-type: //p')
            [ "$type" = "${pair#*:}" ] || fail "${pair%%:*} is seen as '$type', not ${pair#*:}"
        done
    fi
else
    echo "note: update-mime-database not found, MIME database not checked"
fi

[ "$failures" -eq 0 ] || exit 1
echo "install check passed"
