// Every example through the WebAssembly engine under Node, against the native command line:
// the built program file must be the same bytes as `tessivor-cli build` writes, and the events
// of a run the same bytes as `tessivor-cli run --events` prints, fed the same input and seed.
// Caption lines are left out (how often the speed display changes depends on the clock), and
// so are the digits of a display that shows a time measured with "tic".
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

/// The seed and the input lines an example's .expect file gives.
function runSetup(expectFile) {
    const setup = { seed: 1, inputs: [] };
    if (!fs.existsSync(expectFile)) return setup;
    for (const line of fs.readFileSync(expectFile, 'latin1').split('\n')) {
        if (/^seed \d+$/.test(line)) setup.seed = Number(line.slice(5));
        else if (line === 'input') setup.inputs.push('');
        else if (line.startsWith('input ')) setup.inputs.push(line.slice(6));
    }
    return setup;
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
    // With a virtual clock on both sides every event, captions too, must match.
    const virtualClock = execFileSync(cli, ['run', '--help']).includes('--virtual-clock');
    const clockFlags = virtualClock ? ['--virtual-clock'] : [];
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
        const setup = runSetup(path.join(examplesDir, `${name}.expect`));
        const stdin = setup.inputs.map((line) => line + '\n').join('');
        const native = spawnSync(cli, ['run', '--events', ...clockFlags, '--seed', String(setup.seed),
                                         program], {
            input: bytes(stdin),
            maxBuffer: 1 << 28,
        });
        const want = comparable(text(native.stdout), name, virtualClock);
        for (const plain of [false, true]) {
            const events = engine.runEvents(built.file, setup.inputs, setup.seed, 0, plain,
                                            virtualClock);
            const got = comparable(events, name, virtualClock);
            const mode = plain ? 'plain' : 'fast';
            const at = want.findIndex((line, i) => line !== got[i]);
            if (at >= 0 || got.length !== want.length) {
                const i = at >= 0 ? at : Math.min(want.length, got.length);
                failures.push(`${name} (${mode}): event ${i} is\n  ${got[i]}\nexpected\n  ${want[i]}`);
            } else {
                passed++;
            }
        }
    }
    for (const f of failures) console.log(`FAILED ${f}`);
    if (!virtualClock) console.log('(no --virtual-clock: captions and tic readings left out)');
    console.log(`${passed} passed, ${failures.length} failed`);
    process.exit(failures.length === 0 && passed > 0 ? 0 : 1);
}

main().catch((e) => {
    console.error(e);
    process.exit(1);
});
