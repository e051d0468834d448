#!/usr/bin/env python3
"""Records what tessivor-cli makes of many programs, to show that a change of the code inside
changes nothing outside.

    scripts/golden.py record CLI OUTDIR [--generated N]
    scripts/golden.py compare OLDDIR NEWDIR

`record` runs, for every example, every slip of the checker's corpus, the fuzzers' program
seeds and N generated sources and code strings (3000 of each by default, the same on every
run): build, check (text and JSON), disasm, run --trace and run --events with the virtual
clock and seed 1, and a scripted debug --json session. Each input gets one file in OUTDIR
with every command's exit status, stdout, stderr and the program file it wrote.

`compare` reports the inputs whose records differ (exit 1) or says they are all the same
(exit 0). The one name that changed on purpose, the end "passed-end" now called "past-end",
is read as the same.
"""

import concurrent.futures
import os
import random
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
STEPS = "3000"
REPLIES = "5\nAda\n12.5\n\n-3\nabc\n7\n"
SCRIPT = """break 3
continue
cells
stepi
back
watch 1
continue
delete
step 2
print 01-02
print regs
watch 2
continue
back 3
backstep
continue
list
restart
stepi 7
continue
"""
RENAMES = [(b"passed-end", b"past-end")]


def slips():
    """The checker's corpus as (name, bytes), read as its test reads it."""
    out = []
    text = (ROOT / "assembler/check/slips.txt").read_text(encoding="latin-1")
    state, lines, end, final = "outside", [], "\r\n", True

    def close():
        if state == "outside":
            return
        src = ""
        for k, line in enumerate(lines):
            src += line
            if k + 1 < len(lines) or final:
                src += end
        out.append(src.encode("latin-1"))

    def unescape(line):
        res, k = "", 0
        while k < len(line):
            if line[k] == "\\" and line[k + 1 : k + 2] == "t":
                res += "\t"
                k += 2
            elif line[k] == "\\" and line[k + 1 : k + 2] == "x" and k + 3 < len(line):
                res += chr(int(line[k + 2 : k + 4], 16))
                k += 4
            else:
                res += line[k]
                k += 1
        return res

    for line in text.splitlines():
        if line.startswith("=== "):
            if state == "source":
                close()
            lines, end, final, state = [], "\r\n", True, "source"
        elif state == "source" and line == "---":
            close()
            state = "expected"
        elif state == "source" and not lines and line in ("lf", "noeol"):
            if line == "lf":
                end = "\n"
            else:
                final = False
        elif state == "source":
            lines.append(unescape(line))
    return [(f"slip{k:03}", s) for k, s in enumerate(out)]


MNEMONICS = ["add", "sub", "mul", "div", "ife", "ifg", "ifl", "eif", "tic", "mpt", "inp",
             "end", "inc", "dec", "clr", "doe", "gto", "dsp", "apd", "rnd", "set", "pwr",
             "sqr", "lbl", "idl"]
FORMS = {"add": 3, "sub": 3, "mul": 3, "div": 3, "rnd": 3, "pwr": 3, "ife": 2, "ifg": 2,
         "ifl": 2, "inp": 2, "apd": 2, "sqr": 2, "tic": 1, "mpt": 1, "inc": 1, "dec": 1,
         "clr": 1, "gto": 1, "dsp": 1, "lbl": 1}


def generated_source(rng):
    """A source of mostly sound lines with the slips learners make mixed in."""
    lines = []
    for _ in range(rng.randint(1, 25)):
        roll = rng.random()
        if roll < 0.06:
            lines.append("// " + rng.choice(["note", "a loop", "add dsp", "x"]) +
                         rng.choice([" //", "", " // more"]))
            continue
        if roll < 0.09:
            lines.append(rng.choice(["", " ", "\t", "blend", "xadd 01, 02, 03", "print 01",
                                     "SET 01, A;", "Dsp 01", "café", "\x00", "\xff"]))
            continue
        m = rng.choice(MNEMONICS)
        if rng.random() < 0.05:
            m = m.upper()
        cell = lambda: rng.choice(["%02d" % rng.randint(0, 12), "%02d" % rng.randint(0, 99),
                                   str(rng.randint(0, 9)), "1x", " 1"])
        if m.lower() == "set":
            text = rng.choice(["5", "1", "0", "Hello", "3.5", "-2", "", "a b", "1e3", "x,y"])
            lines.append(f"set {cell()}, {text}" + rng.choice([";", ";", ";", "", "; // c //"]))
        elif m.lower() in FORMS:
            ops = [cell() for _ in range(FORMS[m.lower()])]
            sep = rng.choice([", ", ", ", ", ", ",", " ", ",  "])
            lines.append(m + rng.choice([" ", " ", "  "]) + sep.join(ops))
        else:
            lines.append(m)
    if rng.random() < 0.7:
        lines.append("end")
    end = rng.choice(["\r\n", "\r\n", "\n", "\r"])
    src = end.join(lines)
    if rng.random() < 0.8:
        src += end
    return src.encode("latin-1")


def generated_code(rng):
    """A code string of pieces the machine reads, and some it does not."""
    pieces = ["a%02d" % rng.randint(0, 12), "a%02d" % rng.randint(0, 99), "b", "c", "d", "e",
              "f", "g", "h", "i", "j", " k", "l", "n", "o", "p", "q", "r", "s", "t", "u",
              " v", "w", "x", "y", "z", "A", "B", "C", " ", "A1", "A;", "7", "m", "\r\n"]
    code = "".join(rng.choice(pieces) for _ in range(rng.randint(1, 40)))
    return (code + rng.choice(["\r\n", "", "p\r\n"])).encode("latin-1")


def inputs(generated):
    found = []
    for p in sorted((ROOT / "examples").glob("*.tsasm")):
        found.append(("example-" + p.stem, "tsasm", p.read_bytes()))
    for p in sorted((ROOT / "examples").glob("*.tsp")):
        found.append(("example-" + p.stem + "-tsp", "tsp", p.read_bytes()))
    for p in sorted((ROOT / "fuzz/regressions").glob("*.tsp")):
        found.append(("seed-" + p.stem, "tsp", p.read_bytes()))
    for name, src in slips():
        found.append((name, "tsasm", src))
    rng = random.Random(20261208)
    for k in range(generated):
        found.append((f"gen{k:05}", "tsasm", generated_source(rng)))
    for k in range(generated):
        found.append((f"code{k:05}", "tsp", generated_code(rng)))
    return found


def run(cli, args, cwd, stdin=b""):
    try:
        p = subprocess.run([cli] + args, cwd=cwd, input=stdin, capture_output=True, timeout=60)
        return p.returncode, p.stdout, p.stderr
    except subprocess.TimeoutExpired:
        return "timeout", b"", b""


def record_one(cli, work, name, kind, data):
    d = Path(work) / name
    d.mkdir()
    (d / "replies").write_bytes(REPLIES.encode())
    (d / "script").write_bytes(SCRIPT.encode())
    src = "p.tsasm" if kind == "tsasm" else "p.tsp"
    (d / src).write_bytes(data)
    out = []

    def note(title, args, stdin=b""):
        rc, so, se = run(cli, args, d, stdin)
        out.append(b"=== %s (exit %s)\n--- stdout\n%s\n--- stderr\n%s\n" %
                   (title.encode(), str(rc).encode(), so, se))

    common = ["--clock", "virtual", "--seed", "1", "--max-steps", STEPS]
    if kind == "tsasm":
        note("build", ["build", "-o", "b.tsp", src])
        if (d / "b.tsp").exists():
            out.append(b"=== b.tsp\n" + (d / "b.tsp").read_bytes() + b"\n")
        note("check", ["check", src])
        note("check json", ["check", "--format", "json", src])
        program = "b.tsp" if (d / "b.tsp").exists() else None
    else:
        program = src
    if program:
        note("disasm", ["disasm", program])
    note("run trace", ["run", "--trace"] + common + [src], REPLIES.encode())
    note("run events", ["run", "--events"] + common + [src], REPLIES.encode())
    if program and kind == "tsasm":
        note("run events with source", ["run", "--events", "--source", src] + common + [program],
             REPLIES.encode())
    note("debug", ["debug", "--json", "-x", "script", "--input", "replies", "--seed", "1",
                   "--clock", "virtual", "--max-steps", "20000", src])
    note("debug text", ["debug", "-x", "script", "--input", "replies", "--seed", "1",
                        "--clock", "virtual", "--max-steps", "20000", src])
    shutil.rmtree(d)
    return name, b"".join(out)


def record(cli, outdir, generated):
    cli = str(Path(cli).resolve())
    outdir = Path(outdir)
    outdir.mkdir(parents=True, exist_ok=True)
    items = inputs(generated)
    with tempfile.TemporaryDirectory() as work:
        with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
            futures = [pool.submit(record_one, cli, work, *item) for item in items]
            for done, f in enumerate(concurrent.futures.as_completed(futures), 1):
                name, text = f.result()
                (outdir / (name + ".out")).write_bytes(text)
                if done % 500 == 0:
                    print(f"golden: {done} of {len(items)}", file=sys.stderr)
    print(f"golden: {len(items)} inputs recorded in {outdir}", file=sys.stderr)


def compare(old, new):
    old, new = Path(old), Path(new)
    names = sorted(set(p.name for p in old.glob("*.out")) | set(p.name for p in new.glob("*.out")))
    differ = []
    for n in names:
        a = (old / n).read_bytes() if (old / n).exists() else None
        b = (new / n).read_bytes() if (new / n).exists() else None
        for before, after in RENAMES:
            a = a.replace(before, after) if a is not None else None
            b = b.replace(before, after) if b is not None else None
        if a != b:
            differ.append(n)
    for n in differ[:20]:
        print(f"differs: {n}  (diff {old / n} {new / n})")
    if differ:
        print(f"golden: {len(differ)} of {len(names)} records differ")
        return 1
    print(f"golden: all {len(names)} records are the same")
    return 0


def main(argv):
    if len(argv) >= 3 and argv[0] == "record":
        generated = 3000
        if "--generated" in argv:
            generated = int(argv[argv.index("--generated") + 1])
        record(argv[1], argv[2], generated)
        return 0
    if len(argv) == 3 and argv[0] == "compare":
        return compare(argv[1], argv[2])
    print(__doc__, file=sys.stderr)
    return 64


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
