// Times a program file in the WebAssembly engine's fast loop under Node: the median of RUNS
// runs, each timed inside the module around the run alone (as `tessivor-cli run --stats` times
// the native loop). Prints "steps SECONDS MSTEPS".
// usage: node --no-experimental-fetch bench_engine.js ENGINE.js PROGRAM.tsp [RUNS]
'use strict';

const fs = require('fs');
const path = require('path');

const [enginePath, program, runs = '5'] = process.argv.slice(2);

require(path.resolve(enginePath))().then((engine) => {
    const code = fs.readFileSync(program).toString('latin1');
    engine.timeRun(code); // the first run compiles the hot paths
    const times = [];
    let steps = 0;
    for (let i = 0; i < Number(runs); i++) {
        const r = engine.timeRun(code);
        times.push(r.seconds);
        steps = r.steps;
    }
    times.sort((a, b) => a - b);
    const median = times[Math.floor(times.length / 2)];
    console.log(`${steps} ${median.toFixed(4)} ${(steps / median / 1e6).toFixed(0)}`);
});
