#!/usr/bin/env python3
"""Checks the help of every tessivor-cli command: one layout everywhere, `help CMD` the same as
`CMD --help`, lines that fit a terminal, and every option it lists known to the command.

    check_help.py TESSIVOR_CLI
"""

import re
import subprocess
import sys

COMMANDS = ["run", "build", "disasm", "check", "test", "debug"]
WIDTH = 80
DESCRIPTION_COLUMN = 24  # where an option's description starts, in every command

cli = sys.argv[1]
failures = []


def check(ok, message):
    if not ok:
        failures.append(message)


def run(*args):
    p = subprocess.run([cli, *args], capture_output=True, timeout=60)
    return p.returncode, p.stdout.decode("latin-1"), p.stderr.decode("latin-1")


def sections(text):
    """The blank-line separated paragraphs of a help text."""
    return [p for p in text.split("\n\n") if p]


def option_names(text):
    """The options listed under "Options:", as (names, takes a value, line)."""
    found = []
    block = next((p for p in sections(text) if p.startswith("Options:\n")), "")
    for line in block.splitlines()[1:]:
        if not line.startswith("  -"):
            continue
        head = line[2:DESCRIPTION_COLUMN].rstrip() if len(line) > DESCRIPTION_COLUMN else line[2:]
        words = head.split(" ")
        names = [n.strip(",") for n in words if n.startswith("-")]
        value = any(not w.startswith("-") for w in words)
        found.append((names, value, line))
    return found


def check_layout(name, text):
    lines = text.splitlines()
    check(text.endswith("\n") and not text.endswith("\n\n"), f"{name}: the text ends badly")
    for line in lines:
        check(len(line) <= WIDTH, f"{name}: a line of {len(line)} columns: {line!r}")
        check(line == line.rstrip(), f"{name}: trailing blanks: {line!r}")
    paragraphs = sections(text)
    check(paragraphs and re.fullmatch(r"usage: tessivor-cli \S+( \S+)*", paragraphs[0]),
          f"{name}: the first paragraph is not one usage line: {paragraphs[:1]!r}")
    check(any(p.startswith("Options:\n") for p in paragraphs), f"{name}: no Options: section")
    check(paragraphs[-1].startswith("Exit status: "), f"{name}: does not end with the exit "
          "statuses")
    options = option_names(text)
    check(any("--help" in names for names, _, _ in options), f"{name}: --help is not listed")
    for names, _, line in options:
        # A description starts at one column in every command; a long option puts it on the
        # next line, indented to that column.
        if len(line) > DESCRIPTION_COLUMN and line[DESCRIPTION_COLUMN - 1] == " ":
            check(line[DESCRIPTION_COLUMN] != " " and line[DESCRIPTION_COLUMN - 2] == " ",
                  f"{name}: the description of {names} is not at column {DESCRIPTION_COLUMN}")
    block = next((p for p in paragraphs if p.startswith("Options:\n")), "")
    for line in block.splitlines()[1:]:
        if not line.startswith("  -"):
            check(line.startswith(" " * DESCRIPTION_COLUMN) and line[DESCRIPTION_COLUMN] != " ",
                  f"{name}: a continued description not at column {DESCRIPTION_COLUMN}: "
                  f"{line!r}")
    return options


# The general text: every command listed, the same after help, -h and --help.
status, general, err = run("help")
check(status == 0 and err == "", f"help: exit {status}, stderr {err!r}")
for args in (["--help"], ["-h"], ["help", "help"]):
    check(run(*args)[:2] == (0, general), f"{' '.join(args)} differs from help")
check_layout("help", general)
for command in COMMANDS + ["help"]:
    check(re.search(rf"^  {command} ", general, re.M), f"help does not list {command}")
usage_line = general.splitlines()[0]
check(usage_line == "usage: tessivor-cli COMMAND [OPTIONS] FILE...", f"help: {usage_line!r}")

# Without arguments, or with a command that does not exist: the text on stderr and status 64.
status, out, err = run()
check((status, out, err) == (64, "", general), f"no arguments: exit {status}")
for args in (["frobnicate"], ["help", "frobnicate"]):
    status, out, err = run(*args)
    check(status == 64 and out == "" and
          err == "tessivor-cli: unknown command 'frobnicate'\n\n" + general,
          f"{' '.join(args)}: exit {status}, stderr {err[:80]!r}")

for command in COMMANDS:
    status, text, err = run(command, "--help")
    check(status == 0 and err == "", f"{command} --help: exit {status}, stderr {err!r}")
    check(text.startswith(f"usage: tessivor-cli {command} "),
          f"{command} --help starts {text[:40]!r}")
    for args in (["help", command], [command, "-h"], ["help", command, "--jobs", "x"]):
        check(run(*args) == (0, text, ""), f"{' '.join(args)} differs from {command} --help")
    options = check_layout(command, text)
    # Every option listed is one the command knows: given alone it may want a value or a
    # file, but is never unknown.
    for names, _, _ in options:
        for option in names:
            if option in ("-h", "--help"):
                continue
            status, out, err = run(command, option)
            check(status == 64 and "unknown option" not in err and "not expected" not in err,
                  f"{command} {option}: exit {status}, {err!r}")
    # Each usage line names the command's own arguments.
    first = text.splitlines()[0] if text else ""
    prefix = f"usage: tessivor-cli {command} "
    arguments = first[len(prefix):] if first.startswith(prefix) else ""
    for word in re.findall(r"[A-Z][A-Z.a-z]*(?:\.\.\.)?", arguments):
        if word == "OPTIONS":
            continue
        check(word.split(".")[0] in sections(text)[1], f"{command}: {word} of the usage line "
              "is not described")

if failures:
    print("\n".join(failures), file=sys.stderr)
    sys.exit(1)
print(f"help: {len(COMMANDS)} commands and the general text, one layout")
