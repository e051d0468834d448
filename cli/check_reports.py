#!/usr/bin/env python3
"""Checks what `tessivor-cli test` writes for programs and tools: the JSON report against
docs/test-report.schema.json, the JUnit XML parsed back and compared with it, the exit
statuses of bad usage, a bad test file and unreadable input; and `run --clock virtual`.

usage: check_reports.py TESSIVOR_CLI SCHEMA SCRATCH_DIR"""

import json
import os
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

cli, schema_path, scratch = (os.path.abspath(a) for a in sys.argv[1:4])
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def validate(value, schema, where="$"):
    """The part of JSON Schema the report's schema uses: type, required, properties,
    additionalProperties, items, minimum, enum."""
    kinds = {"object": dict, "array": list, "string": str, "boolean": bool}
    kind = schema.get("type")
    if kind == "integer":
        ok = isinstance(value, int) and not isinstance(value, bool)
    else:
        ok = kind is None or isinstance(value, kinds[kind])
    if not ok:
        return [f"{where}: expected {kind}, got {value!r}"]
    errors = []
    if "enum" in schema and value not in schema["enum"]:
        errors.append(f"{where}: {value!r} is none of {schema['enum']}")
    if "minimum" in schema and value < schema["minimum"]:
        errors.append(f"{where}: {value} is below {schema['minimum']}")
    if isinstance(value, dict):
        for key in schema.get("required", []):
            if key not in value:
                errors.append(f"{where}: no {key!r}")
        properties = schema.get("properties", {})
        for key, item in value.items():
            if key in properties:
                errors += validate(item, properties[key], f"{where}.{key}")
            elif schema.get("additionalProperties") is False:
                errors.append(f"{where}: unexpected {key!r}")
    if isinstance(value, list) and "items" in schema:
        for i, item in enumerate(value):
            errors += validate(item, schema["items"], f"{where}[{i}]")
    return errors


def run(*args):
    result = subprocess.run([cli, "test", *args], cwd=scratch, capture_output=True)
    return result.returncode, result.stdout, result.stderr


def write(name, data):
    path = os.path.join(scratch, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


shutil.rmtree(scratch, ignore_errors=True)
os.makedirs(scratch)

# Names and texts that need escaping in both formats: quotes, markup, a byte above 127 and a
# control character.
write("spec.toml", b'''
[defaults]
max_steps = 5000
[[case]]
name = "shows <&> \\"quoted\\""
input = ["\xc3\xa9\\u0001"]
output = ["a<b & \\"c\\"", "done"]
[[case]]
name = "caf\xc3\xa9"
output_last = "done"
[[case]]
name = "loops"
end = "step-limit"
''')
write("in/good.tsasm", b'set 01, a<b & "c";\r\ndsp 01\r\nset 02, done;\r\ndsp 02\r\nend\r\n')
# Shows what its input box answers: the test file's input holds a control character.
write("in/bad \xe9.tsasm",
      b'inp 03, 01\r\ndsp 01\r\nset 90, 1;\r\nlbl 01\r\ngto 90\r\n')
write("in/broken.tsasm", b"set 01, no end\r\n")
write("prog.tsp", b"p\r\n")
os.makedirs(os.path.join(scratch, "out"))

status, out, err = run("--format", "json", "--junit", "out/results.xml", "spec.toml", "in",
                       "prog.tsp")
check(status == 1, f"a failed case: exit status {status}, expected 1 ({err!r})")
report = json.loads(out.decode("utf-8"))
with open(schema_path, encoding="utf-8") as f:
    errors = validate(report, json.load(f))
check(not errors, "the JSON report does not fit its schema: " + "; ".join(errors))
files = [s["file"] for s in report["submissions"]]
check(files == ["in/bad \u00e9.tsasm", "in/broken.tsasm", "in/good.tsasm", "prog.tsp"],
      f"submissions in the wrong order or named wrongly: {files}")
check(report["passed"] == sum(s["passed"] for s in report["submissions"]), "passed != the sum")
check(report["failed"] == sum(s["failed"] for s in report["submissions"]), "failed != the sum")
by_file = {s["file"]: s for s in report["submissions"]}
check([c["passed"] for c in by_file["in/good.tsasm"]["cases"]] == [True, True, False],
      f"good.tsasm: {by_file['in/good.tsasm']}")
bad = by_file["in/bad \u00e9.tsasm"]["cases"]
check(bad[0]["reason"] == 'output 1: expected "a<b & \\"c\\"", got "\u00e9\\x01" at step 6, '
      "line 2 (dsp 01)", f"bad: {bad[0]['reason']!r}")
check(bad[2]["passed"], "an expected step limit passes")

# The JUnit file, parsed back: the same counts, names and reasons.
root = ElementTree.parse(os.path.join(scratch, "out/results.xml")).getroot()
check(root.tag == "testsuites" and root.get("name") == "spec", f"root: {root.tag} {root.attrib}")
check(int(root.get("tests")) == report["passed"] + report["failed"], "testsuites tests")
check(int(root.get("failures")) + int(root.get("errors")) == report["failed"],
      "testsuites failures and errors")
suites = root.findall("testsuite")
check([s.get("name") for s in suites] == files, "one testsuite a submission, in order")
for suite, submission in zip(suites, report["submissions"]):
    cases = suite.findall("testcase")
    check(int(suite.get("tests")) == len(cases) == len(submission["cases"]), "testsuite tests")
    check(int(suite.get("failures")) + int(suite.get("errors")) == submission["failed"],
          "testsuite failures and errors")
    for case, expected in zip(cases, submission["cases"]):
        check(case.get("name") == expected["name"], f"{case.get('name')} != {expected['name']}")
        # A submission that does not build is an error, not a failure, for a CI system.
        failure = case.find("error" if expected["status"] == "does_not_build" else "failure")
        if expected["passed"]:
            check(failure is None, f"{expected['name']}: a passed case has a failure")
        else:
            # XML 1.0 cannot hold control characters; the report shows them escaped already.
            check(failure is not None and failure.get("message") == expected["reason"]
                  and failure.text == expected["reason"], f"{expected['name']}: {failure}")
        float(case.get("time"))

# Exit statuses.
status, out, err = run("spec.toml", "in/good.tsasm")
check(status == 1 and b"2 of 3 cases passed" in out, f"text report: {status} {out!r}")
write("pass.toml", b'[[case]]\noutput = ["a<b & \\"c\\"", "done"]\n')
status, out, err = run("pass.toml", "in/good.tsasm")
check(status == 0 and err == b"", f"all passed: {status} {err!r}")
write("typo.toml", b'[[case]]\nouput = ["x"]\n')
status, out, err = run("typo.toml", "in")
check(status == 65 and err.startswith(b"tessivor-cli test: typo.toml:2:1: unknown key"),
      f"typo: {status} {err!r}")
check(out == b"", "nothing runs with a bad test file")
for args, want in [(["missing.toml", "in"], 66), (["spec.toml", "missing.tsasm"], 66),
                   (["spec.toml", "out"], 66), (["spec.toml", "typo.toml"], 64),
                   (["spec.toml"], 64), (["-j", "0", "spec.toml", "in"], 64),
                   (["--format", "yaml", "spec.toml", "in"], 64),
                   (["--frobnicate", "spec.toml", "in"], 64),
                   (["--junit", "nowhere/x.xml", "spec.toml", "in"], 73)]:
    status, out, err = run(*args)
    check(status == want, f"{args}: exit status {status}, expected {want} ({err!r})")
    check(err.startswith(b"tessivor-cli test: "), f"{args}: stderr {err!r}")
status, out, err = run("--help")
check(status == 0 and b"--timeout" in out, f"--help: {status}")
# --timeout takes a decimal number of seconds from 0.001 to 86400, nothing else.
for value in ["nan", "NaN", "inf", "5s", "0x10", "", " 2", "0", "-1", "86401"]:
    status, out, err = run("--timeout", value, "pass.toml", "in/good.tsasm")
    check(status == 64 and err.startswith(b"tessivor-cli test: --timeout needs a number of "
                                          b"seconds from 0.001 to 86400\n"),
          f"--timeout {value!r}: {status} {err!r}")
    check(out == b"", f"--timeout {value!r} graded: {out!r}")
for value in ["0.001", "2.5", "1e1", "86400"]:
    status, out, err = run("--timeout", value, "pass.toml", "in/good.tsasm")
    check(status == 0, f"--timeout {value!r}: {status} {err!r}")

# --junit /dev/stdout: the XML after the text report, into a pipe as into a file.
if os.path.exists("/dev/stdout"):
    status, out, err = run("--junit", "/dev/stdout", "pass.toml", "in/good.tsasm")
    check(status == 0 and out.startswith(b"in/good.tsasm: 1 of 1 cases passed\n")
          and b"\n<?xml " in out and out.endswith(b"</testsuites>\r\n"),
          f"--junit /dev/stdout to a pipe: {status} {out!r} {err!r}")
    with open(os.path.join(scratch, "out.txt"), "wb") as f:
        status = subprocess.run([cli, "test", "--junit", "/dev/stdout", "pass.toml",
                                 "in/good.tsasm"], cwd=scratch, stdout=f).returncode
    with open(os.path.join(scratch, "out.txt"), "rb") as f:
        kept = f.read()
    check(status == 0 and kept.startswith(b"in/good.tsasm: 1 of 1 cases passed\n")
          and kept.endswith(b"</testsuites>\r\n"), f"--junit /dev/stdout > out.txt: {kept!r}")

# -j gives the same report as one at a time.
one = run("-j", "1", "--format", "json", "spec.toml", "in", "prog.tsp")
many = run("-j", "3", "--format", "json", "spec.toml", "in", "prog.tsp")
check(one == many, "-j 3 reports differently from -j 1")

# `run --clock virtual`: "tic" counts steps, so the timing example shows the same on every
# machine and every run.
timing = os.path.join(os.path.dirname(schema_path), "..", "examples", "timing.tsasm")
subprocess.run([cli, "build", "-o", "timing.tsp", timing], cwd=scratch, check=True)
for _ in range(2):
    result = subprocess.run([cli, "run", "--clock", "virtual", "timing.tsp"], cwd=scratch,
                            capture_output=True)
    check(result.returncode == 0 and result.stdout == b"Counted to 10000\nMilliseconds: 90\n",
          f"run --clock virtual: {result}")
result = subprocess.run([cli, "run", "--clock", "slow", "timing.tsp"], cwd=scratch,
                        capture_output=True)
check(result.returncode == 64 and b"--clock needs real or virtual" in result.stderr,
      f"run --clock slow: {result}")

for failure in failures:
    print("FAIL:", failure, file=sys.stderr)
if failures:
    sys.exit(1)
print("reports: JSON fits its schema, JUnit parses back, exit statuses as documented")
