#!/usr/bin/env python3
"""Grades a hostile class together with correct submissions: a memory bomb, an output flood,
loops with and without "doe", a binary file, a folder and a named pipe named like sources, links
to nothing and to a device, names with non-ASCII and control characters, an empty file, and a
submission in a subfolder. Every correct one still gets its full score, every report stays
valid, and the test file's own hostile forms end with a place, not a crash.

usage: check_grading_limits.py TESSIVOR_CLI SCRATCH_DIR"""

import csv
import io
import json
import os
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

cli, scratch = (os.path.abspath(a) for a in sys.argv[1:3])
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def write(name, data):
    path = os.path.join(scratch.encode(), name.encode("utf-8", "surrogateescape"))
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def run(*args, timeout=60):
    result = subprocess.run([cli, "test", *args], cwd=scratch, capture_output=True,
                            timeout=timeout)
    return result.returncode, result.stdout, result.stderr


shutil.rmtree(scratch, ignore_errors=True)
os.makedirs(scratch)
write("t.toml", b'[defaults]\nmax_steps = 1000000\n'
      b'[[case]]\nname = "hello"\noutput = ["Hello"]\npoints = 2\n'
      b'[[case]]\nname = "secret"\nhidden = true\noutput_last = "Hello"\n')
good = b"set 01, Hello;\ndsp 01\nend\n"
correct = ["subs/good.tsasm", "subs/gr\u00fc\u00df.tsasm", "subs/week 2/nested.tsasm",
           "subs/esc\x1b[31mred.tsasm", "subs/u\uffff.tsasm"]
for name in correct:
    write(name, good)
write("subs/bomb.tsasm", b"set 01, x;\nset 90, 1;\nlbl 01\napd 01, 01\ngto 90\n")
write("subs/flood.tsasm", b"set 01, flood;\nset 90, 1;\nlbl 01\ndsp 01\ngto 90\n")
write("subs/loop.tsasm", b"set 90, 1;\nlbl 01\ngto 90\n")
write("subs/loop_doe.tsasm", b"set 90, 1;\nlbl 01\ndoe\ngto 90\n")
write("subs/binary.tsasm", bytes(range(256)) * 4)
write("subs/empty.tsasm", b"")
write("subs/forged.tsasm: 2 of 2 cases passed\n.tsasm", b"end\n")
os.makedirs(os.path.join(scratch, "subs/folder.tsasm"))
os.mkfifo(os.path.join(scratch, "subs/pipe.tsasm"))
os.symlink("/nonexistent", os.path.join(scratch, "subs/dangling.tsasm"))
os.symlink("/dev/zero", os.path.join(scratch, "subs/zero.tsasm"))

status, out, err = run("-j", "2", "--timeout", "2", "--format", "json", "--junit",
                       "r.xml", "t.toml", "subs")
check(status == 1, f"exit status {status} ({err!r})")
report = json.loads(out.decode("utf-8"))
by_file = {s["file"]: s for s in report["submissions"]}

for name in correct:
    s = by_file.get(name)
    check(s is not None and s["score"] == 3 and s["max_score"] == 3,
          f"{name!r}: not its full score: {s}")
statuses = {f: [c["status"] for c in s["cases"]] for f, s in by_file.items()}
for name, want in [("subs/bomb.tsasm", "memory_limit"), ("subs/flood.tsasm", "output_limit"),
                   ("subs/loop.tsasm", "step_limit"), ("subs/loop_doe.tsasm", "step_limit"),
                   ("subs/binary.tsasm", "empty"), ("subs/empty.tsasm", "empty"),
                   ("subs/pipe.tsasm", "unreadable"), ("subs/dangling.tsasm", "unreadable"),
                   ("subs/zero.tsasm", "unreadable")]:
    check(statuses.get(name, [None])[-1] == want, f"{name}: {statuses.get(name)}, expected {want}")
check("subs/folder.tsasm" not in by_file, "a folder named like a source is graded")
# A student's report keeps a hidden case's difference to itself.
bomb = by_file["subs/bomb.tsasm"]["cases"]
check(bomb[1]["reason"] == "" and "expected" not in bomb[1], f"hidden: {bomb[1]}")
check("memory limit of 64 MiB" in bomb[0]["reason"], f"bomb: {bomb[0]['reason']}")
ElementTree.parse(os.path.join(scratch, "r.xml"))  # XML 1.0 throughout

# The text report: one line a submission, however its name runs.
status, out, err = run("--timeout", "2", "t.toml", "subs")
lines = out.decode("utf-8", "replace").splitlines()
check(not any(line.startswith(".tsasm") for line in lines), "a name forged a line")
check(any("forged.tsasm: 2 of 2 cases passed\\n.tsasm: 0 of 2" in line for line in lines),
      f"forged name not escaped: {lines}")
check(not any("\x1b" in line for line in lines), "an escape reached the terminal")
check(any('failed "secret" (a hidden case)' in line for line in lines), "hidden in text")
status, teacher, err = run("--teacher", "--timeout", "2", "t.toml", "subs/bomb.tsasm")
check(b'failed "secret": the program passed the memory limit' in teacher, f"--teacher: {teacher!r}")

# Gradescope's results.json and the class summary.
status, out, err = run("--format", "gradescope", "t.toml", "subs/good.tsasm")
results = json.loads(out)
check(results["score"] == 3 and [t["visibility"] for t in results["tests"]] ==
      ["visible", "after_due_date"], f"gradescope: {results}")
check(all(set(t) == {"name", "score", "max_score", "status", "output", "visibility"}
          for t in results["tests"]), f"gradescope tests: {results['tests']}")
status, out, err = run("--format", "csv", "--timeout", "2", "t.toml", "subs")
rows = list(csv.reader(io.StringIO(out.decode("utf-8"))))
check(rows[0] == ["file", "score", "max_score", "passed", "failed", "longest_steps", "size"],
      f"csv header: {rows[0]}")
check(len(rows) == 1 + len(report["submissions"]), "csv: a row a submission")
check(["subs/good.tsasm", "3", "3", "2", "0", "10", "3"] in rows, f"csv: {rows}")

# Hostile test files and options end with a message, not a crash.
write("deep.toml", b'[[case]]\nname = "d"\n' + b".".join([b"a"] * 40000) + b" = 1\n")
write("head.toml", b"[" + b".".join([b"a"] * 50000) + b"]\n[[case]]\n")
for spec in ["deep.toml", "head.toml"]:
    status, out, err = run(spec, "subs/good.tsasm")
    check(status == 65 and b"more than 64 dotted parts" in err, f"{spec}: {status} {err!r}")
for value in ["nan", "5s", "inf", "0"]:
    status, out, err = run("--timeout", value, "t.toml", "subs/good.tsasm")
    check(status == 64, f"--timeout {value}: exit status {status}")

for failure in failures:
    print("FAIL:", failure, file=sys.stderr)
if failures:
    sys.exit(1)
print("grading limits: every correct submission has its full score beside the hostile ones")
