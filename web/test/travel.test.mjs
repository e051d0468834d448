// Time travel on the page: the timeline, Back to Breakpoint, Go to step and the learner's
// edits of cells, each moment held to a fresh run of the engine stepped to the same step.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { createRequire } from 'node:module';
import { startBrowser, openPage, site, text, waitStatus } from './browser.mjs';

const require = createRequire(import.meta.url);
const axeSource = fs.readFileSync(require.resolve('axe-core/axe.min.js'), 'utf8');

let session;
let engine;
before(async () => {
    session = await startBrowser();
    // The module's bytes handed over: Node's fetch does not read files.
    engine = await require(path.join(site, 'tessivor-engine.js'))({
        wasmBinary: fs.readFileSync(path.join(site, 'tessivor-engine.wasm')),
    });
});
after(async () => { await session?.close(); });

const open = (options) => openPage(session.browser, session.base, options);
const steps = (page) => text(page, '#reg-steps').then(Number);
const waitSteps = (page, wanted) => page.waitForFunction(
    (w) => document.getElementById('reg-steps').textContent === String(w), { timeout: 10000 }, wanted);
const outputLines = (page) => page.$$eval('#output li:not(.earlier)', (l) => l.map((x) => x.textContent));
const cellText = (page, n) => page.$eval(`.cell[data-cell="${n}"] .cell-text`, (c) => c.textContent);

/// What a fresh run of `source` shows after `n` steps: its cells, display, line and outputs.
function fresh(source, n) {
    const s = new engine.Session(source, {});
    if (n > 0) s.stepi(n);
    const state = s.state();
    const shown = s.takeEvents().filter((e) => e.kind === 'display').map((e) => e.text);
    const result = { cells: s.cells(), display: state.display, line: state.line, shown, steps: state.steps };
    s.delete();
    return result;
}

// Six turns of a loop that shows its counter: a display each turn.
const counter = 'set 01, 0;\nset 02, 6;\nset 90, 1;\nlbl 01\ninc 01\ndsp 01\nifl 01, 02\ngto 90\neif\nend\n';

test('the timeline moves with the keyboard; the cells, display, output and line follow', async () => {
    const page = await open({ source: counter });
    await page.click('#run');
    await waitStatus(page, 'Program Terminated');
    const end = fresh(counter, 1e6).steps;
    assert.equal(await page.$eval('#timeline', (r) => Number(r.max)), end);
    assert.equal(await page.$eval('#timeline', (r) => Number(r.value)), end);
    assert.equal(await page.$eval('#timeline', (r) => r.getAttribute('aria-valuetext')), `step ${end} of ${end}`);

    await page.focus('#timeline');
    await page.keyboard.press('Home');
    await waitSteps(page, 0);
    await waitStatus(page, `At step 0 of ${end}`);
    assert.deepEqual(await outputLines(page), []);
    assert.equal(await text(page, '#display'), '');
    assert.equal(await cellText(page, 1), '');

    // Many moves in a row: the worker answers the newest, and the page ends where the keys did.
    for (let i = 0; i < 15; i++) await page.keyboard.press('ArrowRight');
    await waitSteps(page, 15);
    const at15 = fresh(counter, 15);
    assert.equal(await page.$eval('#timeline', (r) => r.getAttribute('aria-valuetext')), `step 15 of ${end}`);
    assert.equal(await cellText(page, 1), at15.cells[1]);
    assert.equal(await text(page, '#display'), at15.display);
    assert.deepEqual(await outputLines(page), at15.shown);
    const current = await page.evaluate(() => {
        const { view } = window.tessivor;
        const line = view.dom.querySelector('.cm-current-instruction');
        return line ? view.state.doc.lineAt(view.posAtDOM(line)).number : 0;
    });
    assert.equal(current, at15.line);

    // Back to the end: the output is whole again, each line once.
    await page.keyboard.press('End');
    await waitSteps(page, end);
    assert.deepEqual(await outputLines(page), ['1', '2', '3', '4', '5', '6']);
    assert.equal(await text(page, '#display'), '6');

    // Go to step, typed after F8.
    await page.keyboard.press('F8');
    assert.equal(await page.evaluate(() => document.activeElement.id), 'goto-step');
    await page.keyboard.type('20');
    await page.keyboard.press('Enter');
    await waitSteps(page, 20);
    assert.deepEqual(await outputLines(page), fresh(counter, 20).shown);

    // The marks: a stroke for the displays, and their count for the ear.
    assert.match(await text(page, '#timeline-marks'), /6 displays/);
    assert.ok(await page.$('#timeline-strip .mark-display'));
    await page.closeAll();
});

test('Back to Breakpoint goes back to each earlier breakpoint hit, then to the start', async () => {
    const page = await open({ source: counter });
    await page.evaluate(() => window.tessivor.toggleBreakpoint(6)); // dsp 01
    await page.click('#run');
    const hits = [];
    for (let i = 0; i < 3; i++) {
        await waitStatus(page, 'Paused at a breakpoint');
        hits.push(await steps(page));
        await page.evaluate(() => document.getElementById('status').textContent = '');
        await page.keyboard.press('F5');
    }
    await waitStatus(page, 'Paused at a breakpoint');
    const last = await steps(page);
    assert.deepEqual(await outputLines(page), ['1', '2', '3']);
    for (const hit of hits.reverse()) {
        await page.click('#back-to-breakpoint');
        await waitSteps(page, hit);
        assert.equal(await text(page, '#status'), 'Went back to a breakpoint');
        assert.deepEqual(await outputLines(page), fresh(counter, hit).shown);
    }
    await page.keyboard.down('Shift');
    await page.keyboard.press('F8');
    await page.keyboard.up('Shift');
    await waitStatus(page, 'No breakpoint or watch hit before: at the start');
    assert.equal(await steps(page), 0);
    assert.ok(last > hits[0]);
    await page.closeAll();
});

const sum = 'set 01, 4;\nset 02, 5;\nadd 01, 02, 03\ndsp 03\nend\n';

test('a paused cell is edited with Enter; the run goes on with it and Step Back undoes it', async () => {
    const page = await open({ source: sum });
    await page.click('#step'); // shows where the run starts
    await waitStatus(page, 'Ready to step');
    await page.click('#step');
    await waitStatus(page, 'Stepped');
    await page.evaluate(() => document.getElementById('status').textContent = '');
    await page.click('#step');
    await waitStatus(page, 'Stepped');
    assert.match(await text(page, '#reg-instruction'), /add 01, 02, 03/);

    const edit = async (value) => {
        await page.focus('.cell[data-cell="1"]');
        await page.keyboard.press('Enter');
        await page.waitForSelector('.cell[data-cell="1"] input.cell-edit');
        assert.equal(await page.evaluate(() => document.activeElement.className), 'cell-edit');
        assert.equal(await page.$eval('.cell-edit', (f) => f.getAttribute('aria-label')), 'New text of cell 01');
        await page.keyboard.type(value); // the old text is selected: typing replaces it
        await page.keyboard.press('Enter');
        await waitStatus(page, 'Cell edited; Back undoes it');
    };
    await edit('40');
    assert.equal(await cellText(page, 1), '40');
    assert.equal(await page.evaluate(() => document.activeElement.dataset.cell), '1');

    // Escape keeps the old text.
    await page.keyboard.press('F2');
    await page.waitForSelector('input.cell-edit');
    await page.keyboard.type('999');
    await page.keyboard.press('Escape');
    assert.equal(await page.$('input.cell-edit'), null);
    assert.equal(await cellText(page, 1), '40');

    await page.click('#back');
    await waitStatus(page, 'Edit undone');
    assert.equal(await cellText(page, 1), '4');
    assert.match(await text(page, '#reg-instruction'), /add 01, 02, 03/);

    await edit('40');
    await page.keyboard.press('F5');
    await waitStatus(page, 'Program Terminated');
    assert.deepEqual(await outputLines(page), ['45']);
    await page.closeAll();
});

test('axe-core finds no violation with the timeline, its marks and a cell being edited', async () => {
    const page = await open({ source: counter });
    await page.evaluate(() => window.tessivor.toggleBreakpoint(6));
    await page.click('#run');
    await waitStatus(page, 'Paused at a breakpoint');
    await page.keyboard.press('F5');
    await waitStatus(page, 'Paused at a breakpoint');
    await page.evaluate(axeSource);
    const check = async (state) => {
        const found = await page.evaluate(async () => (await window.axe.run(document, { resultTypes: ['violations'] }))
            .violations.map((v) => `${v.id}: ${v.help}: ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`));
        assert.deepEqual(found, [], state);
    };
    await check('paused, the timeline drawn');
    await page.focus('.cell[data-cell="2"]');
    await page.keyboard.press('Enter');
    await page.waitForSelector('input.cell-edit');
    await check('a cell being edited');
    await page.keyboard.press('Escape');
    await page.closeAll();
});

test('Run goes at full speed with a breakpoint and two watches set, and shows that speed', async (t) => {
    // A long count; the breakpoint on its last line, the watches on cells it never writes. The
    // engine's fast loop runs the same loop, shorter, for the speed to reach.
    const count = (turns) => `set 01, 0;\nset 02, ${turns};\nset 90, 1;\nlbl 01\ninc 01\nifl 01, 02\n` +
        'gto 90\neif\nend\n';
    const built = engine.build(count(20000000));
    engine.timeRun(built.file);
    const fast = engine.timeRun(built.file);
    const engineSpeed = fast.steps / fast.seconds;
    const page = await open({ source: count(2000000000) });
    await page.evaluate(() => window.tessivor.toggleBreakpoint(9));
    for (const cell of [98, 99]) await page.click(`.cell[data-cell="${cell}"]`, { clickCount: 2 });
    await page.click('#run');
    await waitStatus(page, 'Running');
    await new Promise((r) => setTimeout(r, 1500));
    const sample = () => page.evaluate(() => ({
        steps: Number(document.getElementById('reg-steps').textContent),
        speed: Number(document.getElementById('reg-speed').textContent),
        time: performance.now(),
    }));
    const first = await sample();
    await new Promise((r) => setTimeout(r, 1500));
    const second = await sample();
    const pageSpeed = (second.steps - first.steps) / (second.time - first.time) * 1000;
    // Pause, timed inside the page: from the click to the status that says it.
    const paused = await page.evaluate(() => new Promise((resolve) => {
        const status = document.getElementById('status');
        const started = performance.now();
        const seen = new MutationObserver(() => {
            if (status.textContent !== 'Paused') return;
            seen.disconnect();
            resolve(performance.now() - started);
        });
        seen.observe(status, { childList: true, characterData: true, subtree: true });
        document.getElementById('pause').click();
    }));
    t.diagnostic(`page ${(pageSpeed / 1e6).toFixed(0)} M steps/s (shown ${second.speed}), engine's fast loop ` +
                 `${(engineSpeed / 1e6).toFixed(0)} M steps/s, Pause ${paused.toFixed(0)} ms`);
    assert.ok(paused < 100, `Pause took ${paused.toFixed(0)} ms`);
    assert.equal(await text(page, '#status'), 'Paused');
    // What the page says is what it does, within a third.
    assert.ok(Math.abs(second.speed * 1e6 - pageSpeed) < pageSpeed / 3,
              `the page says ${second.speed} M steps/s and goes ${(pageSpeed / 1e6).toFixed(1)}`);
    assert.ok(pageSpeed >= engineSpeed / 2,
              `the page runs ${(pageSpeed / 1e6).toFixed(1)} M steps/s, the engine's fast loop ` +
              `${(engineSpeed / 1e6).toFixed(1)}`);
    await page.closeAll();
});
