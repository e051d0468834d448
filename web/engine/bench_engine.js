// Times the WebAssembly engine under Node. Three measurements:
//  - run (the default): a program file in the fast loop, the median of RUNS runs, each timed
//    inside the module around the run alone (as `tessivor-cli run --stats` times the native
//    loop). Prints "steps SECONDS MSTEPS".
//  - continue: a debug session over a source file run to its end as the page's worker runs it
//    (contFor slices of 25 ms), with a breakpoint on its last line and watches on cells 98
//    and 99; the median of RUNS runs (at most 3) after one more that warms up. Prints
//    "steps SECONDS MSTEPS".
//  - goto: the source's loop made long enough for 300 M steps ("set 02, N;" is its bound), run
//    to its end in a session, then the time of goTo from the end to the middle and from the
//    end to step 1. Prints "steps MIDDLE_SECONDS START_SECONDS MIDDLE_STOP START_STOP".
// usage: node --no-experimental-fetch bench_engine.js ENGINE.js FILE [RUNS] [run|continue|goto]
'use strict';

const fs = require('fs');
const path = require('path');

const [enginePath, file, runs = '5', mode = 'run'] = process.argv.slice(2);
const median = (list) => [...list].sort((a, b) => a - b)[Math.floor(list.length / 2)];
const now = () => performance.now() / 1000;

/// Runs `session` to its end or first stop as the worker does: slices of 25 ms.
function runOut(session) {
    let stop;
    do stop = session.contFor(0, 25); while (stop === 'slice');
    return stop;
}

/// The last line that holds an instruction (not a comment, not empty).
function lastLine(source) {
    const lines = source.split(/\r?\n/);
    for (let i = lines.length - 1; i >= 0; i--) if (/^[a-z]{3}/.test(lines[i])) return i + 1;
    return lines.length;
}

function timeRun(engine, code) {
    engine.timeRun(code); // the first run compiles the hot paths
    const times = [];
    let steps = 0;
    for (let i = 0; i < Number(runs); i++) {
        const r = engine.timeRun(code);
        times.push(r.seconds);
        steps = r.steps;
    }
    const seconds = median(times);
    console.log(`${steps} ${seconds.toFixed(4)} ${(steps / seconds / 1e6).toFixed(0)}`);
}

function timeContinue(engine, source) {
    const times = [];
    let steps = 0;
    // The first run compiles the hot paths, as in timeRun.
    for (let i = -1; i < Math.min(3, Number(runs)); i++) {
        const session = new engine.Session(source, { seed: 1 });
        session.breakAtLine(lastLine(source));
        session.watchCell(98);
        session.watchCell(99);
        const started = now();
        const stop = runOut(session);
        if (i >= 0) times.push(now() - started);
        steps = session.state().steps;
        session.delete();
        if (stop !== 'breakpoint') throw new Error(`the run stopped with "${stop}", not at the breakpoint`);
    }
    const seconds = median(times);
    console.log(`${steps} ${seconds.toFixed(4)} ${(steps / seconds / 1e6).toFixed(1)}`);
}

function timeGoTo(engine, source) {
    // Nine steps a turn in the benchmark's count loop: 300 M steps in all.
    const long = source.replace(/^set 02, \d+;/m, 'set 02, 33333334;');
    const session = new engine.Session(long, { seed: 1 });
    const stop = runOut(session);
    if (stop !== 'terminated') throw new Error(`the run stopped with "${stop}"`);
    const end = session.state().steps;
    let started = now();
    const middleStop = session.goTo(Math.floor(end / 2));
    const middle = now() - started;
    session.goTo(end);
    started = now();
    const startStop = session.goTo(1);
    const start = now() - started;
    session.delete();
    console.log(`${end} ${middle.toFixed(4)} ${start.toFixed(4)} ${middleStop} ${startStop}`);
}

require(path.resolve(enginePath))().then((engine) => {
    const text = fs.readFileSync(file).toString('latin1');
    if (mode === 'continue') timeContinue(engine, text);
    else if (mode === 'goto') timeGoTo(engine, text);
    else timeRun(engine, text);
});
