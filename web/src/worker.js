// The machine's thread: one debug session at a time, run in slices so that the page's Pause and
// Stop are answered between two slices, and "inp" stops the session until the page replies.
/* global importScripts, createTessivor */

importScripts('tessivor-engine.js');

let engine = null;
let session = null;
let breakpoints = new Map(); // source line -> the session's breakpoint number
let running = false;
let stepsPerSecond = 0; // 0: as fast as the machine goes
let sliceTimer = 0;
let budget = 100000; // steps a full-speed slice runs; tuned to about 25 ms
let rate = { steps: 0, time: 0, value: 0 };
let lastPost = 0;
let credit = 1; // steps a slow run may take now
let lastSlice = 0;
let afterInput = 'run'; // what the reply to an input box goes on with: 'run' or 'step'


const post = (message) => self.postMessage(message);

createTessivor().then((module) => {
    engine = module;
    post({ type: 'ready', session: typeof engine.Session === 'function',
           check: typeof engine.check === 'function' });
});

let watches = []; // cells

/// Puts the page's breakpoints (source lines) and watches (cells) into the session.
function setPoints(lines, cells) {
    breakpoints = new Map(lines.map((line) => [line, 0]));
    watches = cells;
    if (!session) return;
    session.deleteAllBreakpoints(); // the watches too
    for (const line of lines) breakpoints.set(line, session.breakAtLine(line));
    for (const cell of cells) session.watchCell(cell);
}

/// Million steps a second over the last second or so of running.
function measureRate(state, now) {
    if (rate.time === 0 || state.steps < rate.steps) {
        rate = { steps: state.steps, time: now, value: rate.value };
    } else if (now - rate.time >= 500) {
        rate.value = (state.steps - rate.steps) / (now - rate.time) / 1000;
        rate = { steps: state.steps, time: now, value: rate.value };
    }
    return rate.value;
}

function update(stop, force) {
    const now = performance.now();
    const state = session.state();
    const mhz = running ? measureRate(state, now) : rate.value;
    const events = session.takeEvents();
    if (!force && events.length === 0 && now - lastPost < 50) return;
    lastPost = now;
    post({ type: 'update', stop, running, state, cells: session.cells(), events, mhz });
}

function finish(stop) {
    afterInput = running ? 'run' : 'step';
    running = false;
    clearTimeout(sliceTimer);
    update(stop, true);
    if (stop === 'input') post({ type: 'input', prompt: session.state().inputPrompt });
}

function slice() {
    sliceTimer = 0;
    if (!running || !session) return;
    const started = performance.now();
    let steps = budget;
    if (stepsPerSecond > 0) {
        // A slow run earns steps with the time that passed, so 10 steps/s is 10 steps a second.
        credit = Math.min(credit + stepsPerSecond * (started - lastSlice) / 1000,
                          Math.max(1, stepsPerSecond / 10));
        lastSlice = started;
        steps = Math.floor(credit);
        if (steps === 0) {
            sliceTimer = setTimeout(slice, 20);
            return;
        }
        credit -= steps;
    }
    const stop = session.cont(steps);
    const took = performance.now() - started;
    if (stop !== 'slice') {
        finish(stop);
        return;
    }
    if (stepsPerSecond === 0 && took > 0) {
        budget = Math.max(1000, Math.min(50000000, Math.round(budget * 25 / took)));
    }
    update(stop, false);
    sliceTimer = setTimeout(slice, stepsPerSecond > 0 ? 20 : 0);
}

function startSession(message) {
    if (session) session.delete();
    session = new engine.Session(message.text, {
        program: !!message.program,
        seed: message.seed ?? Math.floor(Math.random() * 2 ** 32),
        virtualClock: !!message.virtualClock,
    });
    rate = { steps: 0, time: 0, value: 0 };
    setPoints(message.breakpoints || [], message.watches || []);
}

const handlers = {
    // The part each byte plays in the translation, for the editor's colours.
    roles(message) {
        post({ type: 'roles', id: message.id, runs: engine.roles(message.text) });
    },
    build(message) {
        const result = engine.build(message.text);
        const diagnostics = engine.check ? engine.check(message.text) : [];
        post({ type: 'built', id: message.id, result, diagnostics });
    },
    start(message) {
        startSession(message);
        running = false;
        if (message.then === 'run') handlers.continue();
        else if (message.then === 'step') handlers.step();
        else update('none', true);
    },
    continue() {
        if (!session || running) return;
        running = true;
        credit = 1;
        lastSlice = performance.now();
        rate = { steps: session.state().steps, time: performance.now(), value: rate.value };
        update('running', true);
        slice();
    },
    pause() {
        if (!session || !running) return;
        finish('paused');
    },
    stop() {
        running = false;
        clearTimeout(sliceTimer);
        if (session) session.delete();
        session = null;
        post({ type: 'stopped' });
    },
    step() {
        if (!session || running) return;
        finish(session.step(1));
    },
    stepi() {
        if (!session || running) return;
        finish(session.stepi(1));
    },
    back() {
        if (!session || running) return;
        finish(session.backInstruction());
    },
    breakpoints(message) {
        setPoints(message.lines, watches);
    },
    watches(message) {
        setPoints([...breakpoints.keys()], message.cells);
    },
    input(message) {
        if (!session) return;
        session.provideInput(message.reply);
        if (afterInput === 'run') handlers.continue();
        else handlers.step();
    },
    speed(message) {
        stepsPerSecond = message.stepsPerSecond;
    },
    describe() {
        post({ type: 'described', text: session ? session.describe() : '' });
    },
};

self.onmessage = (event) => {
    const handler = handlers[event.data.type];
    if (!engine) {
        // Messages that come before the module is ready wait for it.
        setTimeout(() => self.onmessage(event), 20);
        return;
    }
    if (handler) handler(event.data);
};
