// The machine's thread: one debug session at a time, run at full speed in slices of about 25 ms
// (the engine sizes the pieces of a slice by the time they take) so that the page's Pause and
// Stop are answered between two slices, and "inp" stops the session until the
// page replies (or a reply from the input queue answers it at once).
/* global importScripts, createTessivor */

importScripts('tessivor-engine.js');

let engine = null;
let session = null;
let breakpoints = new Map(); // source line -> the session's breakpoint number
let running = false;
let stepsPerSecond = 0; // 0: as fast as the machine goes
let sliceTimer = 0;
// The next slice of a full-speed run comes through a message to itself, not a timer: timers
// that follow one another wait at least 4 ms each, a seventh of a 25 ms slice. Each chain of
// slices has its number, so that a message of a chain that ended runs nothing.
let chain = 0;
const wake = new MessageChannel();
wake.port1.onmessage = (event) => {
    if (event.data === chain) runSlice();
};
/// The next slice: at once, or after `delay` ms.
function nextSlice(delay) {
    if (delay > 0) sliceTimer = setTimeout(runSlice, delay);
    else wake.port2.postMessage(chain);
}
/// No slice comes any more from what was asked before.
function cancelSlices() {
    clearTimeout(sliceTimer);
    sliceTimer = 0;
    chain++;
}
/// The session ends, and no slice of it runs any more.
function endSession() {
    running = false;
    cancelSlices();
    if (session) session.delete();
    session = null;
}
let rate = { samples: [], value: 0 }; // {steps, time} of the last second of running
let lastPost = 0;
let unanswered = 0; // updates the page has not said it showed
let credit = 1; // steps a slow run may take now
let lastSlice = 0;
let afterInput = 'run'; // what the reply to an input box goes on with: 'run' or 'step'
let queue = []; // replies typed before the run, for the input boxes in order
let answered = []; // {prompt, reply} taken from the queue since the last update
let edits = 0; // the learner's edits of cells since the last move: Back undoes them first
let marksSent = { reach: -1, time: 0 }; // when the timeline's marks were last sent
let marksTimer = 0;

// What the page shows of a run: the cells in small boxes, the display and the logs in lines. A
// run may hold 64 MiB in each cell and show them all at full speed; the page gets only this much.
const limits = { cellLimit: 256, textLimit: 8192, eventLimit: 500 };
const sliceSteps = 50000000; // a full-speed slice ends after 25 ms, long before this

const post = (message) => self.postMessage(message);

createTessivor().then((module) => {
    engine = module;
    post({ type: 'ready', session: typeof engine.Session === 'function',
           check: typeof engine.check === 'function',
           instructions: engine.instructions ? engine.instructions() : [],
           registers: engine.registers ? engine.registers() : [] });
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

/// Million steps a second over the last second of running.
function measureRate(state, now) {
    const samples = rate.samples;
    if (samples.length > 0 && state.steps < samples.at(-1).steps) samples.length = 0;
    samples.push({ steps: state.steps, time: now });
    while (samples.length > 2 && now - samples[1].time >= 1000) samples.shift();
    const first = samples[0];
    if (now - first.time >= 100) rate.value = (state.steps - first.steps) / (now - first.time) / 1000;
    return rate.value;
}

/// A fresh measure of the speed from `steps` on.
function startRate(steps) {
    rate = { samples: [{ steps, time: performance.now() }], value: rate.value };
}

/// `moved`: what the page asked for that this update answers ("goto", "reverse", "edit").
function update(stop, force, moved = '') {
    const now = performance.now();
    // At most one update on its way and one each 50 ms: the events wait in the session (which
    // keeps the newest and counts the rest), so a page slower than the machine is never flooded.
    if (!force && (unanswered > 0 || now - lastPost < 50)) return;
    lastPost = now;
    unanswered++;
    const state = session.state();
    const mhz = running ? measureRate(state, now) : rate.value;
    const dropped = session.eventsDropped();
    const events = session.takeEvents();
    // The timeline: its reach, and the marks under it when the run stands still.
    const timeline = { oldest: session.oldestStep(), furthest: session.furthestStep() };
    if (!running) {
        const marks = marksFor(stop, moved);
        if (marks) timeline.marks = marks;
    }
    post({ type: 'update', stop, running, state, cells: session.changedCells(), events, dropped,
           answered: answered.splice(0), queued: queue.length, mhz, moved, edits,
           ...timeline });
}

/// The timeline's marks where they may have changed since they were sent (the run reached
/// further, or stopped at a hit, or the learner edited), at most four times a second: a run of
/// many displays has many marks, and a learner who holds F10 down steps many times a second.
/// The last of a quick burst of stops sends them a little later ({type: 'marks'}).
function marksFor(stop, moved) {
    const changed = session.furthestStep() !== marksSent.reach || moved === 'edit' || moved === 'reverse' ||
        stop === 'breakpoint' || stop === 'watch';
    if (!changed) return null;
    clearTimeout(marksTimer);
    if (performance.now() - marksSent.time < 250) {
        marksTimer = setTimeout(() => {
            if (session && !running) post({ type: 'marks', marks: takeMarks(), furthest: session.furthestStep() });
        }, 250);
        return null;
    }
    return takeMarks();
}

function takeMarks() {
    marksSent = { reach: session.furthestStep(), time: performance.now() };
    return session.marks();
}

function finish(stop, moved = '') {
    if (moved !== 'edit') edits = 0;
    afterInput = running ? 'run' : 'step';
    running = false;
    cancelSlices();
    if (stop === 'input' && queue.length > 0) {
        answerFromQueue();
        return;
    }
    update(stop, true, moved);
    if (stop === 'input') {
        const s = session.state();
        post({ type: 'input', prompt: s.inputPrompt, promptLength: s.inputPromptLength });
    }
}

/// The next queued reply answers the input box; the run goes on as the page's reply would.
function answerFromQueue() {
    const reply = queue.shift();
    const s = session.state();
    // The "inp" that takes it is the next step.
    answered.push({ prompt: s.inputPrompt, reply, step: s.steps + 1 });
    session.provideInput(reply);
    if (afterInput === 'step') {
        handlers.step();
        return;
    }
    // From a timer, not from here: a long queue must not nest one call in the next.
    running = true;
    nextSlice(0);
}

function slice() {
    sliceTimer = 0;
    if (!running || !session) return;
    const started = performance.now();
    let steps = sliceSteps;
    if (stepsPerSecond > 0) {
        // A slow run earns steps with the time that passed, so 10 steps/s is 10 steps a second.
        credit = Math.min(credit + stepsPerSecond * (started - lastSlice) / 1000,
                          Math.max(1, stepsPerSecond / 10));
        lastSlice = started;
        steps = Math.floor(credit);
        if (steps === 0) {
            nextSlice(20);
            return;
        }
        credit -= steps;
    }
    const stop = session.contFor(steps, 25);
    if (stop !== 'slice') {
        finish(stop);
        return;
    }
    update(stop, false);
    nextSlice(stepsPerSecond > 0 ? 20 : 0);
}

function startSession(message) {
    if (session) session.delete();
    session = new engine.Session(message.text, {
        program: !!message.program,
        seed: message.seed ?? Math.floor(Math.random() * 2 ** 32),
        virtualClock: !!message.virtualClock,
        ...limits,
    });
    rate = { samples: [], value: 0 };
    unanswered = 0;
    edits = 0;
    marksSent = { reach: -1, time: 0 };
    clearTimeout(marksTimer);
    queue = [...(message.replies || [])];
    answered = [];
    setPoints(message.breakpoints || [], message.watches || []);
}

const handlers = {
    shown() {
        unanswered = Math.max(0, unanswered - 1);
    },
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
        edits = 0;
        startRate(session.state().steps);
        update('running', true);
        slice();
    },
    pause() {
        if (!session || !running) return;
        finish('paused');
    },
    stop() {
        endSession();
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
    // Back undoes the learner's edits of cells first, one each (the session does), then goes
    // back an instruction.
    back() {
        if (!session || running) return;
        const undoesEdit = edits > 0;
        if (undoesEdit) edits--;
        finish(session.reverseStep(1), undoesEdit ? 'edit' : '');
    },
    // The timeline and "Go to step": any step up to the furthest the run reached.
    goTo(message) {
        if (!session || running) return;
        const target = Math.max(0, Math.min(Math.floor(Number(message.step) || 0),
                                            session.furthestStep()));
        finish(session.goTo(target), 'goto');
    },
    reverseContinue() {
        if (!session || running) return;
        finish(session.reverseContinue(), 'reverse');
    },
    setCell(message) {
        if (!session || running || session.state().ended) return;
        if (!session.setCell(message.cell, message.text)) return;
        edits++;
        finish('edit', 'edit');
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
    // A teacher's test file on the page's program: the visible cases, graded as the command line
    // grades them. The machine is the self-test's meanwhile: a session ends first.
    selftest(message) {
        endSession();
        const bytes = engine.selfTest(message.toml, message.tomlName, message.text, message.name,
                                      true, message.seconds);
        // The report is UTF-8, crossing one character a byte.
        const report = JSON.parse(new TextDecoder().decode(Uint8Array.from(bytes, (c) => c.charCodeAt(0))));
        post({ type: 'selftested', id: message.id, report });
    },
    trace(message) {
        const text = engine.trace ? engine.trace(message.text, message.name, message.replies,
                                                 message.seed, message.maxSteps,
                                                 !!message.virtualClock) : '';
        post({ type: 'traced', id: message.id, text });
    },
};

/// Runs a handler; anything the engine throws (it should not) is told to the page, which then
/// starts a fresh worker: after an abort the module answers no more.
function handle(run) {
    try {
        run();
    } catch (e) {
        running = false;
        cancelSlices();
        post({ type: 'failed', message: String(e && e.message ? e.message : e) });
    }
}

self.onmessage = (event) => {
    const handler = handlers[event.data.type];
    if (!engine) {
        // Messages that come before the module is ready wait for it.
        setTimeout(() => self.onmessage(event), 20);
        return;
    }
    if (handler) handle(() => handler(event.data));
};

/// A slice from a timer, outside onmessage.
function runSlice() {
    handle(slice);
}
