// The page's help and tools, driven as a learner would: Back over output, the help panel and
// the mnemonics' tooltips, the checker's quick fixes, the input queue, and the downloads of the
// output and of a trace.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { startBrowser, openPage, text, waitStatus } from './browser.mjs';

let session;
before(async () => { session = await startBrowser(); });
after(async () => { await session?.close(); });

const open = (options) => openPage(session.browser, session.base, options);
const lines = (page, id) => page.$$eval(`#${id} li`, (items) => items.map((i) => i.textContent));
const steps = (page) => page.$eval('#reg-steps', (e) => Number(e.textContent));

/// Clicks `id` and waits until the step count moved.
async function move(page, id) {
    const before = await steps(page);
    await page.waitForSelector(`#${id}:not([disabled])`);
    await page.click(`#${id}`);
    await page.waitForFunction((b) => Number(document.getElementById('reg-steps').textContent) !== b,
                               { timeout: 10000 }, before);
}

test('Back takes away the output and messages of the steps it undoes', async () => {
    const page = await open({ source: 'set 01, one;\ndsp 01\nset 01, two;\ndsp 01\nend\n' });
    await page.click('#step'); // the run starts, before its first step
    await waitStatus(page, 'Ready to step');
    for (let i = 0; i < 4; i++) await move(page, 'step');
    assert.deepEqual(await lines(page, 'output'), ['one', 'two']);
    assert.equal(await text(page, '#display'), 'two');
    await move(page, 'back'); // before the second "dsp"
    assert.deepEqual(await lines(page, 'output'), ['one']);
    assert.equal(await text(page, '#display'), 'one');
    await move(page, 'step'); // shown again, once
    assert.deepEqual(await lines(page, 'output'), ['one', 'two']);
    await move(page, 'step');
    await waitStatus(page, 'Program Terminated');
    assert.deepEqual(await lines(page, 'messages'), ['Program Terminated']);
    await move(page, 'back');
    assert.deepEqual(await lines(page, 'messages'), []);
    assert.deepEqual(await lines(page, 'output'), ['one', 'two']);
    await page.closeAll();
});

test('the help panel lists the engine\'s instructions; a mnemonic has a tooltip and F1', async () => {
    const page = await open({ source: 'set 01, 6;\nadd 01, 01, 02\ndsp 02\nend\n' });
    const engineTable = await page.evaluate(() => new Promise((resolve) => {
        const w = new Worker('worker.js');
        w.onmessage = (e) => { if (e.data.type === 'ready') { resolve(e.data.instructions); w.terminate(); } };
    }));
    await page.click('#help-button');
    await page.waitForSelector('#help:not([hidden])');
    const rows = await page.$$eval('#help-rows tr', (r) => r.map((row) => row.firstChild.textContent));
    assert.deepEqual(rows, engineTable.map((e) => e.written));
    assert.ok(rows.includes('add A, B, C'));
    // Beside the registers: one line each on pc, cur, opb and opc.
    const beside = await page.$$eval('#register-help li strong', (s) => s.map((x) => x.textContent));
    assert.deepEqual(beside, ['pc', 'cur', 'opb', 'opc']);
    assert.match(await text(page, '#cells-help'), /Double-click a cell .* to watch it/);
    await page.click('#help-close');
    await page.waitForSelector('#help[hidden]', { hidden: true });

    // Pointing at "add" on line 2 shows what it does and where its operands stand.
    const box = await page.evaluate(() => {
        const { view } = window.tessivor;
        const r = view.coordsAtPos(view.state.doc.line(2).from + 1);
        return { x: r.left + 2, y: (r.top + r.bottom) / 2 };
    });
    await page.mouse.move(box.x, box.y);
    await page.waitForSelector('.cm-mnemonic-help', { timeout: 5000 });
    const tip = await text(page, '.cm-mnemonic-help');
    assert.match(tip, /^add A, B, C/);
    assert.match(tip, /A in columns 5-6, B in columns 9-10, C in columns 13-14 of this line/);

    // F1 on the mnemonic opens the panel at its row; the editor keeps the keyboard.
    await page.mouse.move(0, 0);
    await page.evaluate(() => {
        const { view } = window.tessivor;
        view.focus();
        view.dispatch({ selection: { anchor: view.state.doc.line(2).from + 1 } });
    });
    await page.keyboard.press('F1');
    await page.waitForSelector('#help-rows tr.current');
    assert.equal(await page.$eval('#help-rows tr.current', (r) => r.dataset.mnemonic), 'add');
    assert.equal(await page.evaluate(() => window.tessivor.view.hasFocus), true);
    await page.closeAll();
});

test('Ctrl+. and a click on Fix write the line as the checker says', async () => {
    const page = await open({ source: 'set 01, 6;\nadd 01,01, 02\nend\n' });
    const doc = () => page.evaluate(() => window.tessivor.view.state.doc.toString());
    await page.waitForSelector('.cm-lint-marker-warning', { timeout: 10000 });
    await page.evaluate(() => {
        const { view } = window.tessivor;
        view.focus();
        view.dispatch({ selection: { anchor: view.state.doc.line(2).from + 2 } });
    });
    await page.keyboard.down('Control');
    await page.keyboard.press('.');
    await page.keyboard.up('Control');
    assert.equal(await doc(), 'set 01, 6;\nadd 01, 01, 02\nend\n');
    // A line without a fix is left as it is, and that is said.
    await page.evaluate(() => window.tessivor.view.dispatch({ selection: { anchor: 0 } }));
    await page.keyboard.down('Control');
    await page.keyboard.press('.');
    await page.keyboard.up('Control');
    await page.waitForFunction(() => /no fix for this line/.test(document.getElementById('announcer').textContent));
    assert.equal(await doc(), 'set 01, 6;\nadd 01, 01, 02\nend\n');

    // The Problems list offers the same fix as a button.
    await page.evaluate(() => window.tessivor.setSource('set 01, 6;\nsub 01,01, 02\nend\n', 'p'));
    await page.waitForFunction(() => document.querySelectorAll('.cm-lint-marker-warning').length > 0 &&
        window.tessivor.view.state.doc.toString().includes('sub 01,01'));
    await page.evaluate(() => window.tessivor.commands.problems());
    await page.waitForSelector('.cm-panel-lint .cm-diagnosticAction');
    await page.click('.cm-panel-lint .cm-diagnosticAction');
    await page.waitForFunction(() => window.tessivor.view.state.doc.toString().includes('sub 01, 01, 02'));
    await page.closeAll();
});

test('the input queue answers the boxes in order, then the box asks', async () => {
    const page = await open({
        source: 'set 10, First?;\ninp 10, 01\nset 10, Second?;\ninp 10, 02\ndsp 01\ndsp 02\n' +
            'set 10, Third?;\ninp 10, 03\ndsp 03\nend\n',
    });
    await page.type('#queue', 'Ada\nLovelace\n');
    assert.equal(await text(page, '#queue-status'), '2 replies waiting.');
    await page.click('#run');
    await page.waitForSelector('#input-dialog[open]');
    assert.equal(await text(page, '#input-prompt'), 'Third?');
    assert.deepEqual(await lines(page, 'output'), ['Ada', 'Lovelace']);
    assert.deepEqual(await lines(page, 'messages'),
                     ['First? Ada (from the input queue)', 'Second? Lovelace (from the input queue)']);
    assert.match(await text(page, '#queue-status'), /^All 2 replies used/);
    await page.type('#input-reply', 'typed');
    await page.keyboard.press('Enter');
    await waitStatus(page, 'Program Terminated');
    assert.equal(await text(page, '#display'), 'typed');
    await page.closeAll();
});

test('Save output and Save trace download the run\'s lines and its steps', async () => {
    const page = await open({ source: 'set 01, 3;\nset 02, 1;\nset 90, 1;\nlbl 01\ndsp 01\nsub 01, 02, 01\n' +
        'ifl 02, 01\ngto 90\neif\nend\n' });
    const downloads = fs.mkdtempSync(path.join(os.tmpdir(), 'tessivor-exports-'));
    await page.browserContext().setDownloadBehavior({ policy: 'allow', downloadPath: downloads });
    const file = async (name) => {
        const where = path.join(downloads, name);
        for (let i = 0; i < 200 && !fs.existsSync(where); i++) await new Promise((r) => setTimeout(r, 50));
        return fs.readFileSync(where, 'latin1');
    };
    await page.click('#run');
    await waitStatus(page, 'Program Terminated');
    await page.click('#download-output');
    assert.equal(await file('program.output.txt'), '3\n2\n');
    await page.click('#download-trace');
    const trace = (await file('program.trace.txt')).split('\n');
    assert.match(trace[0], /^1 pc=1 code=97 'a' cur=0 opb=0 opc=0 {2}set 01, 3; {2}program\.tsasm:1:1$/);
    assert.ok(trace.length > 40);
    assert.ok(trace.slice(0, -1).every((l) => /^\d+ pc=\d+ /.test(l)));
    assert.equal(trace.at(-1), '');
    fs.rmSync(downloads, { recursive: true, force: true });
    await page.closeAll();
});
