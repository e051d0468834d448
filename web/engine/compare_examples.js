// Every example through the WebAssembly engine under Node, against the native command line:
// the built program file must be the same bytes as `tessivor-cli build` writes, and for every
// case of the example's test file the events of a run (both loops) the same bytes as
// `tessivor-cli run --events` prints, fed the case's replies, seed, step limit and clock. With
// the virtual clock every event counts, captions included; a case on the real clock leaves
// out the captions (how often the speed display changes depends on the clock) and the digits
// of a display that shows a time measured with "tic".
//
// usage: node --no-experimental-fetch compare_examples.js ENGINE.js TESSIVOR-CLI EXAMPLES WORK
'use strict';

const fs = require('fs');
const path = require('path');
const { execFileSync, spawnSync } = require('child_process');

const [enginePath, cli, examplesDir, workDir] = process.argv.slice(2);
fs.mkdirSync(workDir, { recursive: true });

// Texts cross the module boundary one character a byte.
const bytes = (text) => Buffer.from(text, 'latin1');
const text = (buffer) => buffer.toString('latin1');

/// The cases of an example's test file, each with what a run needs: seed, replies, step limit
/// and clock, the test file's defaults filled in. Python's TOML reader parses the file, as in
/// examples/compare_events.sh.
function testCases(testFile) {
    const script = `
import json, sys, tomllib
with open(sys.argv[1], "rb") as f:
    spec = tomllib.load(f)
defaults = spec.get("defaults", {})
cases = []
for k, case in enumerate(spec.get("case", [])):
    get = lambda key, default: case.get(key, defaults.get(key, default))
    cases.append({"name": case.get("name", f"case {k + 1}"), "seed": get("seed", 1),
                  "inputs": case.get("input", []), "maxSteps": get("max_steps", 10000000),
                  "virtualClock": get("clock", "virtual") == "virtual"})
print(json.dumps(cases))
`;
    const out = execFileSync('python3', ['-c', script, testFile]);
    return JSON.parse(out.toString('utf8'));
}

// Where no virtual clock is at hand, the cells and displays of the timing example that hold
// "tic" readings differ from run to run.
const clockCells = { timing: [1, 4, 5, 7] };

/// The event lines, without those that depend on the clock unless `virtualClock`.
function comparable(events, name, virtualClock) {
    const lines = events.split('\n').filter((line) => line !== '');
    if (virtualClock) return lines;
    return lines
        .filter((line) => !line.startsWith('{"caption"'))
        .map((line) => {
            if (!clockCells[name]) return line;
            if (line.startsWith('{"display": "Milliseconds: ')) return 'display of a time';
            if (!line.startsWith('{"end"')) return line;
            const end = JSON.parse(line);
            for (const cell of clockCells[name]) end.cells[cell] = '*';
            return JSON.stringify(end);
        });
}

async function main() {
    const engine = await require(path.resolve(enginePath))();
    const names = fs.readdirSync(examplesDir).filter((f) => f.endsWith('.tsasm')).sort();
    let passed = 0;
    const failures = [];
    for (const file of names) {
        const name = file.slice(0, -'.tsasm'.length);
        const source = fs.readFileSync(path.join(examplesDir, file));
        const program = path.join(workDir, `${name}.tsp`);
        execFileSync(cli, ['build', '-o', program, path.join(examplesDir, file)]);
        const built = engine.build(text(source));
        if (!built.ok || !bytes(built.file).equals(fs.readFileSync(program))) {
            failures.push(`${name}: the built program file differs from tessivor-cli build`);
            continue;
        }
        const cases = testCases(path.join(examplesDir, `${name}.toml`));
        if (cases.length === 0) failures.push(`${name}: no cases in ${name}.toml`);
        for (const c of cases) {
            // The replies as a terminal gives them; an item of the list is one line.
            const stdin = c.inputs.map((line) => line + '\n').join('');
            const native = spawnSync(cli, ['run', '--events', '--clock',
                                             c.virtualClock ? 'virtual' : 'real',
                                             '--seed', String(c.seed),
                                             '--max-steps', String(c.maxSteps), program], {
                input: bytes(stdin),
                maxBuffer: 1 << 28,
            });
            const want = comparable(text(native.stdout), name, c.virtualClock);
            for (const plain of [false, true]) {
                const events = engine.runEvents(built.file, c.inputs, c.seed, c.maxSteps, plain,
                                                c.virtualClock);
                const got = comparable(events, name, c.virtualClock);
                const mode = plain ? 'plain' : 'fast';
                const at = want.findIndex((line, i) => line !== got[i]);
                if (at >= 0 || got.length !== want.length || want.length === 0) {
                    const i = at >= 0 ? at : Math.min(want.length, got.length);
                    failures.push(`${name}, "${c.name}" (${mode}): event ${i} is\n  ${got[i]}\n` +
                                  `expected\n  ${want[i]}`);
                } else {
                    passed++;
                }
            }
        }
    }
    // A source that does not build gets no session: the engine says why instead.
    try {
        new engine.Session('set 01, no end', {}).delete();
        failures.push('Session: a source that does not build was accepted');
    } catch (e) {
        const want = 'Error Compiling. source:1:9: the text of the "set" at 1:1 has no closing ";"';
        if (String(e.message) !== want) failures.push(`Session: refused with "${e.message}"`);
        else passed++;
    }
    for (const f of failures) console.log(`FAILED ${f}`);
    console.log(`${passed} passed, ${failures.length} failed`);
    process.exit(failures.length === 0 && passed > 0 ? 0 : 1);
}

main().catch((e) => {
    console.error(e);
    process.exit(1);
});
