// The page's debug session at its limits, under Node: memory the browser refuses, steps that
// take milliseconds each, cells and displays of many megabytes, a flood of display events.
//
// usage: node --no-experimental-fetch --test session_test.js   (ENGINE names tessivor-engine.js)
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('fs');
const path = require('path');

const createTessivor = require(process.env.ENGINE);
const engine = createTessivor();

/// "apd 01, 01" n times after "set 01, x;": cell 01 holds 2^n characters.
const doubled = (n) => 'set 01, x;\n' + 'apd 01, 01\n'.repeat(n);

/// Runs `session` to its end in slices, as the worker does.
function runOut(session) {
    let stop;
    do stop = session.contFor(50e6, 25); while (stop === 'slice');
    return stop;
}

test('a run that fills the memory ends with "Out of string space", the module alive', async () => {
    const m = await engine;
    // 64 MiB in each cell until the browser's 2 GiB are gone.
    let source = doubled(26);
    for (let cell = 2; cell < 100; cell++) source += `apd 01, ${String(cell).padStart(2, '0')}\n`;
    source += 'end\n';
    const session = new m.Session(source, { textLimit: 100, cellLimit: 100 });
    assert.equal(runOut(session), 'error');
    const state = session.state();
    assert.equal(state.failure, 'Out of string space');
    assert.match(state.instruction, /^apd 01, \d\d$/);
    const messages = session.takeEvents().filter((e) => e.kind === 'message').map((e) => e.text);
    assert.match(messages[0], /^Out of string space byte \d+ op 120 x$/);
    assert.equal(messages[1], 'Program Ended');
    session.delete();
    // The memory is the module's again: the same bomb through runEvents, then a small run.
    const built = m.build(source);
    const end = JSON.parse(m.runEvents(built.file, [], 1, 0, false, false).trim().split('\n').pop());
    assert.equal(end.end, 'error');
    assert.equal(end.failure, 'out of string space');
    const small = new m.Session('set 01, 7;\ndsp 01\nend\n', {});
    assert.equal(runOut(small), 'terminated');
    small.delete();
});

test('a slice ends on time when each step copies 32 MiB', async () => {
    const m = await engine;
    // Quick steps first (a budget tuned on them would be huge), then steps of 32 MiB copies.
    const source = doubled(25) + 'set 03, 0;\nset 04, 20000;\nset 90, 1;\nset 91, 2;\n' +
        'lbl 01\ninc 03\nifl 03, 04\ngto 90\neif\nlbl 02\nclr 02\napd 01, 02\ngto 91\n';
    const session = new m.Session(source, { cellLimit: 8 });
    let slowest = 0;
    let copying = 0; // slices since the first copy
    for (let i = 0; i < 400 && copying < 40; i++) {
        const started = Date.now();
        assert.equal(session.contFor(50e6, 25), 'slice');
        if (copying) slowest = Math.max(slowest, Date.now() - started);
        if (copying || session.changedCells().some(([cell]) => cell === 2)) copying++;
    }
    assert.ok(copying >= 40, 'the loop of copies was never reached');
    // 16 steps between two looks at the clock: a few copies of 32 MiB at most.
    assert.ok(slowest < 2000, `a slice took ${slowest} ms`);
    session.delete();
});

test('changed cells only, cut to what is shown, with their lengths', async () => {
    const m = await engine;
    const session = new m.Session(doubled(10) + 'set 02, ab;\nset 02, ab;\nset 03, 1;\n' +
                                  'clr 03\nend\n', { cellLimit: 8 });
    assert.deepEqual(session.changedCells(), []);
    session.step(11); // cell 01 holds 1024 x
    assert.deepEqual(session.changedCells(), [[1, 'xxxxxxxx', 1024]]);
    session.step(1);
    assert.deepEqual(session.changedCells(), [[2, 'ab', 2]]);
    session.step(1); // the same text again: nothing to redraw
    assert.deepEqual(session.changedCells(), []);
    session.step(2); // set, then clear
    assert.deepEqual(session.changedCells(), []);
    assert.equal(session.cells()[1], 'xxxxxxxx');
    session.back(1);
    assert.deepEqual(session.changedCells(), [[3, '1', 1]]);
    session.delete();
});

test('a flood of displays keeps the newest events, counts the rest and cuts long texts', async () => {
    const m = await engine;
    const source = doubled(12) + 'set 02, Your name?;\n' + 'dsp 01\n'.repeat(12) + 'dsp 02\ninp 01, 03\n';
    const session = new m.Session(source, { eventLimit: 5, textLimit: 6 });
    assert.equal(runOut(session), 'input');
    const events = session.takeEvents();
    assert.equal(events.length, 5);
    assert.ok(session.eventsDropped() >= 8, 'the older displays are counted');
    assert.equal(session.eventsDropped(), 0, 'counted once');
    const state = session.state();
    // Each event names the step that showed it (the steps of "inp" before its box came after).
    assert.deepEqual(events.slice(-2).map(({ step, ...e }) => e),
                     [{ kind: 'display', text: 'xxxxxx', length: 4096 },
                      { kind: 'display', text: 'Your n', length: 10 }]);
    assert.ok(events.at(-1).step < state.steps);
    for (let i = 1; i < events.length; i++) assert.ok(events[i].step > events[i - 1].step);
    assert.equal(state.display, 'Your n');
    assert.equal(state.displayLength, 10);
    assert.equal(state.inputPrompt, 'xxxxxx');
    assert.equal(state.inputPromptLength, 4096);
    assert.equal(state.outOfMemory, false);
    session.delete();
});

test('an event names the step that showed it, so that a move back can take it away', async () => {
    const m = await engine;
    const session = new m.Session('set 01, a;\ndsp 01\nset 01, b;\ndsp 01\nend\n', {});
    const seen = [];
    while (!session.state().ended) {
        session.stepi(1);
        for (const e of session.takeEvents()) {
            if (e.kind !== 'caption') seen.push([e.kind, e.text, e.step === session.state().steps]);
        }
    }
    assert.deepEqual(seen, [['display', 'a', true], ['display', 'b', true],
                            ['message', 'Program Terminated', true]]);
    // Back over the second "dsp" and forward again: it is shown again, at the same step.
    const end = session.state().steps;
    session.back(4);
    assert.equal(session.state().display, 'a');
    session.step(2);
    const again = session.takeEvents().filter((e) => e.kind === 'display');
    assert.deepEqual(again.map((e) => e.text), ['b']);
    assert.ok(again[0].step < end);
    session.delete();
});

test('the instruction table: every mnemonic the editor colours, with its form and columns', async () => {
    const m = await engine;
    const table = m.instructions();
    assert.equal(new Set(table.map((i) => i.mnemonic)).size, table.length);
    for (const entry of table) {
        // Written as the table says, with cells for A, B and C: the translation reads it as
        // that mnemonic with its operands in the columns the table names.
        const line = entry.written.replace('A', '01').replace('B', '02').replace('C', '03');
        const roles = m.roles(`${line}\n`);
        assert.deepEqual(roles[0], { from: 0, to: 3, role: 'mnemonic' }, line);
        for (const column of entry.operandColumns) {
            assert.ok(roles.some((r) => r.role === 'operand' && r.from <= column && column < r.to),
                      `${line}: column ${column}`);
        }
    }
    const add = table.find((i) => i.mnemonic === 'add');
    assert.deepEqual(add.operandColumns, [4, 8, 12]);
    assert.equal(add.written, 'add A, B, C');
    const set = table.find((i) => i.mnemonic === 'set');
    assert.equal(set.textColumn, 8);
    assert.deepEqual(m.registers().map((r) => r.name), ['pc', 'cur', 'opb', 'opc']);
});

test('a trace is what tessivor-cli run --trace writes, replies, failure and step limit alike', async (t) => {
    const cli = process.env.TESSIVOR_CLI;
    if (!cli) {
        t.skip('TESSIVOR_CLI names no tessivor-cli');
        return;
    }
    const m = await engine;
    const { spawnSync } = require('child_process');
    const os = require('os');
    const work = fs.mkdtempSync(path.join(os.tmpdir(), 'tessivor-trace-'));
    const cases = [
        // A reply, a random number, then a failed operation with its reason.
        { source: 'set 10, Name?;\ninp 10, 01\ndsp 01\nset 04, 1;\nset 05, 9;\nrnd 04, 05, 06\nmul 01, 02, 03\nend\n',
          replies: ['Ada'], maxSteps: 0 },
        // A loop cut at the step limit; the second box gets no reply (Cancel).
        { source: 'set 10, a;\ninp 10, 01\ninp 10, 02\nset 90, 1;\nlbl 01\ninc 03\ngto 90\n',
          replies: ['x'], maxSteps: 500 },
        // Past the last position.
        { source: 'set 01, 1;\ndsp 01\n', replies: [], maxSteps: 0 },
    ];
    for (const [i, c] of cases.entries()) {
        const file = path.join(work, `t${i}.tsasm`);
        fs.writeFileSync(file, c.source);
        const args = ['run', '--quiet', '--trace', '--seed', '7', '--clock', 'virtual'];
        if (c.maxSteps) args.push('--max-steps', String(c.maxSteps));
        const native = spawnSync(cli, [...args, file], {
            input: c.replies.map((r) => `${r}\n`).join(''),
        });
        const got = m.trace(c.source, file, c.replies, 7, c.maxSteps, true);
        // On a terminal the prompts and the message boxes come between the lines: the trace
        // holds the steps' lines and the line that says why the run stopped.
        const traced = native.stderr.toString('latin1').split('\n')
            .filter((l) => /^\d+ pc=|^tessivor-cli run: |\.tsasm:\d+:\d+: /.test(l));
        assert.equal(got, traced.map((l) => `${l}\n`).join(''), c.source);
        assert.ok(got.split('\n').length > 5);
    }
    fs.rmSync(work, { recursive: true, force: true });
});

// A loop that draws random numbers, computes and shows a text each turn: every moment of its
// run differs from the others, in the cells, the registers and the display.
const wandering = 'set 01, 0;\nset 02, 40;\nset 04, 1;\nset 05, 9;\nset 90, 1;\n' +
    'lbl 01\ninc 01\nrnd 04, 05, 06\nadd 06, 01, 07\ndsp 07\nifl 01, 02\ngto 90\neif\nend\n';

/// What a moment of a run is: the registers, the display and the cells.
const moment = (session) => {
    const { steps, pc, cur, opb, opc, display, ended, end } = session.state();
    return { steps, pc, cur, opb, opc, display, ended, end, cells: session.cells() };
};

test('goTo back and forth reaches the moment a fresh run has after that many steps', async () => {
    const m = await engine;
    const options = { seed: 11, virtualClock: true };
    const session = new m.Session(wandering, options);
    assert.equal(runOut(session), 'terminated');
    const end = moment(session);
    assert.equal(session.furthestStep(), end.steps);
    assert.equal(session.oldestStep(), 0);
    for (const target of [Math.floor(end.steps / 2), 1, end.steps - 1, 0, 77, 78, 3]) {
        const expected = target < session.state().steps ? 'back' : 'step';
        assert.equal(session.goTo(target), expected);
        const fresh = new m.Session(wandering, options);
        if (target > 0) fresh.stepi(target);
        assert.deepEqual(moment(session), moment(fresh), `step ${target}`);
        fresh.delete();
        // Going back keeps the timeline's end where it was.
        assert.equal(session.furthestStep(), end.steps);
    }
    assert.equal(session.goTo(session.furthestStep()), 'step');
    assert.deepEqual(moment(session), end);
    session.delete();
});

test('the marks: each display and each breakpoint stop on the timeline, in step order', async () => {
    const m = await engine;
    const session = new m.Session(wandering, { seed: 3 });
    session.breakAtLine(10); // dsp 07
    assert.equal(session.cont(0), 'breakpoint');
    const firstHit = session.state().steps;
    assert.equal(session.cont(0), 'breakpoint');
    const shown = session.takeEvents().filter((e) => e.kind === 'display').map((e) => e.step);
    const marks = session.marks();
    assert.deepEqual(marks.filter((k) => k.kind === 'display').map((k) => k.step), shown);
    assert.deepEqual(marks.filter((k) => k.kind === 'breakpoint').map((k) => k.step),
                     [firstHit, session.state().steps]);
    for (let i = 1; i < marks.length; i++) assert.ok(marks[i].step >= marks[i - 1].step);
    assert.ok(marks.every((k) => ['breakpoint', 'watch', 'display', 'edit'].includes(k.kind)));
    session.delete();
});

test('reverseContinue goes back to each earlier breakpoint and watch hit, then to the start', async () => {
    const m = await engine;
    const session = new m.Session(wandering, { seed: 5 });
    session.breakAtLine(10); // dsp 07, once a turn
    const hits = [];
    for (let i = 0; i < 3; i++) {
        assert.equal(session.cont(0), 'breakpoint');
        hits.push(moment(session));
    }
    session.stepi(2);
    for (const hit of hits.reverse()) {
        assert.equal(session.reverseContinue(), 'breakpoint');
        assert.deepEqual(moment(session), hit);
    }
    assert.equal(session.reverseContinue(), 'history-end');
    assert.equal(session.state().steps, session.oldestStep());
    // A watch hit counts too: cell 01 changes at "inc 01" once a turn.
    session.deleteAllBreakpoints();
    session.goTo(session.furthestStep());
    const at = session.state().steps;
    session.watchCell(1);
    assert.equal(session.reverseContinue(), 'watch');
    const back = moment(session);
    assert.ok(back.steps < at);
    const fresh = new m.Session(wandering, { seed: 5 });
    fresh.stepi(back.steps - 1);
    assert.notEqual(fresh.cells()[1], back.cells[1], 'the step before it changed cell 01');
    fresh.delete();
    session.delete();
});

test('a cell edited while paused holds its text from then on, and Back undoes the edit alone', async () => {
    const m = await engine;
    const session = new m.Session('set 01, 4;\nset 02, 5;\nadd 01, 02, 03\ndsp 03\nend\n', {});
    session.step(2);
    const before = moment(session);
    assert.equal(session.setCell(1, '40'), true);
    assert.equal(session.cells()[1], '40');
    assert.equal(session.state().steps, before.steps);
    assert.equal(session.furthestStep(), before.steps);
    assert.ok(session.marks().some((k) => k.kind === 'edit' && k.step === before.steps));
    assert.equal(session.setCell(100, 'x'), false);
    assert.equal(session.setCell(-1, 'x'), false);
    // Back right after it undoes the edit alone.
    session.back(1);
    assert.deepEqual(moment(session), before);
    assert.equal(runOut(session), 'terminated');
    assert.equal(session.state().display, '9');
    // Edited again at the same step, the run goes on with it, and going back over the edit's
    // step and forward again makes it again.
    session.goTo(before.steps);
    assert.deepEqual(moment(session), before);
    session.setCell(1, '40');
    assert.equal(session.furthestStep(), before.steps, 'the run after the edit is forgotten');
    assert.equal(runOut(session), 'terminated');
    assert.equal(session.state().display, '45');
    session.goTo(before.steps - 1);
    assert.equal(session.cells()[1], '4');
    session.goTo(before.steps);
    assert.equal(session.cells()[1], '40');
    assert.equal(runOut(session), 'terminated');
    assert.equal(session.state().display, '45');
    session.delete();
});

test('a run in time-sized slices stops where one continue stops, breakpoints and watches set', async () => {
    const m = await engine;
    const source = 'set 01, 0;\nset 02, 300000;\nset 90, 1;\nlbl 01\ninc 01\nifl 01, 02\ngto 90\n' +
        'eif\nset 50, x;\ndsp 01\nend\n';
    const stops = [];
    for (const sliced of [false, true]) {
        const session = new m.Session(source, {});
        session.breakAtLine(11);
        session.watchCell(50);
        session.watchCell(51);
        const seen = [];
        for (let i = 0; i < 3; i++) {
            let stop;
            if (sliced) do stop = session.contFor(0, 1); while (stop === 'slice');
            else stop = session.cont(0);
            seen.push([stop, session.state().steps]);
        }
        stops.push(seen);
        session.delete();
    }
    assert.equal(stops[0][0][0], 'watch');
    assert.equal(stops[0][1][0], 'breakpoint');
    assert.deepEqual(stops[1], stops[0]);
});
