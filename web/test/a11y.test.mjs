// The page for every learner: axe-core finds nothing in any state the page can be in, every
// colour pair is readable, every command works from the keyboard alone, and a screen reader
// hears the output, the messages, each stop and each question.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';
import { startBrowser, openPage, text, waitStatus } from './browser.mjs';

const axeSource = fs.readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');

let session;
before(async () => { session = await startBrowser(); });
after(async () => { await session?.close(); });

const open = (options) => openPage(session.browser, session.base, options);

/// axe-core's violations on the page as it stands, one line each: rule, impact, where.
async function violations(page) {
    if (!(await page.evaluate(() => typeof window.axe === 'object'))) await page.evaluate(axeSource);
    const found = await page.evaluate(async () => {
        const result = await window.axe.run(document, { resultTypes: ['violations'] });
        return result.violations.map((v) => `${v.id} (${v.impact}): ${v.help}: ` +
            v.nodes.map((n) => n.target.join(' ')).join(', '));
    });
    return found;
}

async function assertClean(page, state) {
    assert.deepEqual(await violations(page), [], `axe-core in the state "${state}"`);
}

const loop = 'set 01, 0;\nset 90, 1;\nset 05, 9;\nlbl 01\ninc 01\nifl 01, 05\ngto 90\neif\ndsp 01\nend\n';

test('axe-core finds no violation in any state of the page', async () => {
    const page = await open({ source: loop });
    await page.waitForSelector('.cm-lint-marker, .cm-gutters'); // the editor is drawn
    await new Promise((r) => setTimeout(r, 600)); // the checker's marks
    await assertClean(page, 'idle');

    await page.select('#speed', '10');
    await page.click('#run');
    await waitStatus(page, 'Running');
    await assertClean(page, 'running');
    await page.click('#stop');
    await waitStatus(page, 'Stopped');

    await page.select('#speed', '0');
    await page.evaluate(() => window.tessivor.toggleBreakpoint(5));
    await page.click('#run');
    await waitStatus(page, 'Paused at a breakpoint');
    await assertClean(page, 'paused at a breakpoint');

    await page.click('#theme');
    await assertClean(page, 'dark theme, paused');
    await page.click('#theme');

    await page.evaluate(() => window.tessivor.setSource('set 01, x;\ninc 01\nend\n', 'broken'));
    await page.click('#run');
    await waitStatus(page, 'Program Ended');
    await assertClean(page, 'an error report');

    await page.evaluate(() => window.tessivor.setSource('set 01, Name?;\ninp 01, 02\ndsp 02\nend\n', 'ask'));
    await page.click('#run');
    await page.waitForSelector('#input-dialog[open]');
    await assertClean(page, 'an input box open');
    await page.keyboard.press('Escape');
    await waitStatus(page, 'Program Terminated');

    await page.click('#share');
    await page.waitForSelector('#share-dialog[open]');
    await assertClean(page, 'the share box open');
    await page.keyboard.press('Escape');
    await page.closeAll();
});

test('axe-core finds no violation in the dark theme and on a phone', async () => {
    const dark = await open({ source: loop });
    await dark.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: 'dark' }]);
    await dark.evaluate(() => { delete document.documentElement.dataset.theme; });
    await new Promise((r) => setTimeout(r, 600));
    await assertClean(dark, 'dark theme from the system, idle');
    await dark.closeAll();

    const phone = await open({ source: loop, width: 375, height: 740 });
    await new Promise((r) => setTimeout(r, 600));
    await assertClean(phone, 'a phone-sized window');
    await phone.click('#run');
    await waitStatus(phone, 'Program Terminated');
    await assertClean(phone, 'a phone-sized window after a run');
    await phone.closeAll();
});

// ---- Colours: every pair the page draws, in both themes ----

// [foreground, background, least ratio]: 4.5 for text, 3 for marks and control borders.
// "activeLine" and "selection" are the editor's tints of --accent over --panel.
const colourPairs = [
    ['text', 'bg', 4.5], ['text', 'panel', 4.5], ['muted', 'bg', 4.5], ['muted', 'panel', 4.5],
    ['accent-text', 'accent', 4.5], ['ok', 'bg', 4.5], ['failure', 'bg', 4.5],
    ['display-text', 'display', 4.5], ['text', 'changed', 4.5], ['muted', 'changed', 4.5],
    ['text', 'current', 4.5],
    ...['keyword', 'number', 'string', 'comment', 'muted', 'failure', 'text'].flatMap((token) => [
        [token, 'panel', 4.5], [token, 'current', 4.5], [token, 'activeLine', 4.5],
        [token, 'selection', 4.5]]),
    ['control-border', 'bg', 3], ['control-border', 'panel', 3], ['focus', 'bg', 3],
    ['focus', 'panel', 3], ['cur', 'bg', 3], ['opb', 'bg', 3], ['opc', 'bg', 3],
    ['opb', 'panel', 3], ['failure', 'panel', 3], ['warning', 'panel', 3], ['accent', 'panel', 3],
    ['warning', 'current', 3], ['failure', 'current', 3],
];

function luminance([r, g, b]) {
    const linear = (c) => (c <= 0.03928 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4);
    return 0.2126 * linear(r / 255) + 0.7152 * linear(g / 255) + 0.0722 * linear(b / 255);
}
const contrast = (a, b) => {
    const [hi, lo] = [luminance(a), luminance(b)].sort((x, y) => y - x);
    return (hi + 0.05) / (lo + 0.05);
};
const hex = (value) => {
    const m = /^#([0-9a-f]{2})([0-9a-f]{2})([0-9a-f]{2})$/i.exec(value.trim());
    assert.ok(m, `"${value}" is not a #rrggbb colour`);
    return [1, 2, 3].map((i) => parseInt(m[i], 16));
};
const mix = (top, share, under) => top.map((c, i) => c * share + under[i] * (1 - share));

test('every colour pair reads at 4.5:1 (marks and borders at 3:1) in both themes', async () => {
    const page = await open();
    for (const theme of ['light', 'dark']) {
        const vars = await page.evaluate((t) => {
            document.documentElement.dataset.theme = t;
            const style = getComputedStyle(document.documentElement);
            const names = ['bg', 'panel', 'text', 'muted', 'control-border', 'focus', 'warning',
                'accent', 'accent-text', 'current', 'changed', 'ok', 'failure', 'keyword', 'number',
                'string', 'comment', 'cur', 'opb', 'opc', 'display', 'display-text'];
            return Object.fromEntries(names.map((n) => [n, style.getPropertyValue(`--${n}`)]));
        }, theme);
        const colours = Object.fromEntries(Object.entries(vars).map(([n, v]) => [n, hex(v)]));
        colours.activeLine = mix(colours.accent, 0.07, colours.panel);
        colours.selection = mix(colours.accent, 0.18, colours.panel);
        const low = colourPairs
            .map(([fg, bg, least]) => [fg, bg, least, contrast(colours[fg], colours[bg])])
            .filter(([, , least, ratio]) => ratio < least)
            .map(([fg, bg, least, ratio]) => `${fg} on ${bg}: ${ratio.toFixed(2)} < ${least}`);
        assert.deepEqual(low, [], `${theme} theme`);
    }
    await page.closeAll();
});

test('a phone-wide page (320 px) needs no sideways scrolling', async () => {
    const page = await open({ source: loop, width: 320, height: 640 });
    const wide = await page.evaluate(() => document.documentElement.scrollWidth);
    assert.ok(wide <= 320, `the page is ${wide} px wide`);
    await page.closeAll();
});

// ---- The keyboard alone ----

const activeId = (page) => page.evaluate(() => {
    const e = document.activeElement;
    if (e.closest('.cm-content')) return 'editor';
    if (e.closest('.cm-panel-lint')) return 'problems-list';
    if (e.dataset.cell !== undefined) return `cell-${e.dataset.cell}`;
    return e.id || (e.getAttribute('aria-labelledby') || e.tagName.toLowerCase());
});

/// Presses Tab until the element `id` (as activeId names it) has the focus.
async function tabTo(page, id, shift = false) {
    for (let i = 0; i < 80; i++) {
        const at = await activeId(page);
        if (at === id) return;
        if (at === 'editor') await page.keyboard.press('Escape'); // Tab then leaves it
        if (shift) await page.keyboard.down('Shift');
        await page.keyboard.press('Tab');
        if (shift) await page.keyboard.up('Shift');
    }
    assert.fail(`Tab never reached ${id}`);
}

async function chord(page, ...keys) {
    for (const k of keys.slice(0, -1)) await page.keyboard.down(k);
    await page.keyboard.press(keys.at(-1));
    for (const k of keys.slice(0, -1).reverse()) await page.keyboard.up(k);
}

const announced = (page) => text(page, '#announcer');
const waitAnnounced = (page, pattern) => page.waitForFunction(
    (p) => new RegExp(p).test(document.getElementById('announcer').textContent),
    { timeout: 10000 }, pattern.source);

test('Step works at load, as F10 does', async () => {
    const page = await open({ source: 'set 01, 5;\nend\n' });
    assert.equal(await page.$eval('#step', (b) => b.disabled), false, 'Step is greyed');
    await tabTo(page, 'step');
    await page.keyboard.press('Enter');
    await waitStatus(page, 'Ready to step');
    await page.keyboard.press('Enter');
    await waitStatus(page, 'Stepped');
    assert.equal(await text(page, '.cell[data-cell="1"] .cell-text'), '5');
    await page.closeAll();
});

test('write, set a breakpoint, run, step, go back and hear the state, from the keyboard alone', async () => {
    const page = await open();
    await page.keyboard.press('Tab');
    assert.equal(await activeId(page), 'skip');
    await page.keyboard.press('Enter');
    assert.equal(await activeId(page), 'editor');
    await chord(page, 'Control', 'a');
    await page.keyboard.press('Backspace');
    await page.keyboard.type(loop);
    // The caret to line 5, "inc 01", and F9 there.
    await chord(page, 'Control', 'Home');
    for (let i = 0; i < 4; i++) await page.keyboard.press('ArrowDown');
    await page.keyboard.press('F9');
    assert.deepEqual(await page.evaluate(() => window.tessivor.breakpointLines()), [5]);
    await waitAnnounced(page, /^Breakpoint on line 5$/);

    await page.keyboard.press('F5');
    await waitStatus(page, 'Paused at a breakpoint');
    await waitAnnounced(page, /^Paused at a breakpoint, line 5: inc 01$/);
    await page.keyboard.press('F10');
    await waitAnnounced(page, /^Stepped, line 6: ifl 01, 05$/);
    await chord(page, 'Shift', 'F10');
    await waitAnnounced(page, /^Went back, line 5: inc 01$/);
    await page.keyboard.press('F2');
    await waitAnnounced(page, /^Line 5 \(inc 01\): pc \d+, cur 5, opb 0, opc 0 after \d+ steps; cell 01 holds "0", cell 05 holds "9", cell 90 holds "1"\.$/);
    await page.keyboard.press('F9'); // the caret is still on line 5
    await page.keyboard.press('F5');
    await waitStatus(page, 'Program Terminated');
    assert.equal(await text(page, '#output'), '9');
    await page.keyboard.press('F2');
    await waitAnnounced(page, /^The program has terminated: pc /);

    // Pause and Stop from the keyboard, on a loop that never ends.
    await chord(page, 'Control', 'a');
    await page.keyboard.type('set 90, 1;\nlbl 01\ngto 90\n');
    await page.keyboard.press('F5');
    await waitStatus(page, 'Running');
    await page.keyboard.press('F6');
    await waitStatus(page, 'Paused');
    await chord(page, 'Shift', 'F5');
    await waitStatus(page, 'Stopped');
    await waitAnnounced(page, /^Stopped$/);
    await page.keyboard.press('F2');
    await waitAnnounced(page, /^No program is running/);

    // Tab indents inside the editor; Escape then Tab leaves it.
    await page.keyboard.press('Tab');
    assert.equal(await activeId(page), 'editor');
    await page.keyboard.press('Escape');
    await page.keyboard.press('Tab');
    assert.notEqual(await activeId(page), 'editor');
    await page.closeAll();
});

test('Tab reaches every control, each with a visible focus ring, and goes round without a trap', async () => {
    const page = await open({ source: loop });
    // A paused run, so that every run button is enabled except Pause.
    await page.keyboard.press('F10');
    await waitStatus(page, 'Ready to step');
    const seen = [];
    for (let i = 0; i < 80; i++) {
        await page.keyboard.press('Tab');
        const id = await activeId(page);
        if (id === 'editor') await page.keyboard.press('Escape'); // and Tab leaves it
        if (id === 'body') continue; // past the last control, before the first again
        // The editor marks its focus a moment after it takes it.
        const ring = await page.waitForFunction(() => {
            let e = document.activeElement;
            if (e.closest('.cm-editor')) e = e.closest('.cm-editor');
            const s = getComputedStyle(e);
            return s.outlineStyle !== 'none' && parseFloat(s.outlineWidth) >= 2;
        }, { timeout: 1000 }).then(() => true, () => false);
        assert.ok(ring, `${id} shows no focus ring`);
        if (seen.includes(id)) break;
        seen.push(id);
    }
    for (const id of ['skip', 'examples', 'open', 'download-source', 'download-program', 'share',
        'problems', 'run', 'stop', 'step', 'continue', 'read-state', 'speed',
        'virtual-clock', 'theme', 'editor', 'cell-0', 'output-title', 'messages-title']) {
        assert.ok(seen.includes(id), `Tab never reached ${id} (reached ${seen.join(', ')})`);
    }
    await page.closeAll();
});

test('the cells, the input box, problems, share, examples and downloads from the keyboard', async () => {
    const page = await open({ source: 'set 01, Name?;\ninp 01, 02\ndsp 02\nend\n' });
    // The cells: one tab stop, arrows move, Space watches.
    await tabTo(page, 'cell-0');
    await page.keyboard.press('ArrowRight');
    await page.keyboard.press('ArrowRight');
    await page.keyboard.press('ArrowDown');
    assert.equal(await activeId(page), 'cell-12');
    await page.keyboard.press('Space');
    await waitAnnounced(page, /^Watching cell 12$/);
    assert.equal(await page.$eval('.cell[data-cell="12"]', (c) => c.textContent),
                 'cell 12: empty, watched');
    await page.keyboard.press('Space');
    await waitAnnounced(page, /^No longer watching cell 12$/);
    // Enter edits, and only while a run is paused.
    await page.keyboard.press('Enter');
    await waitAnnounced(page, /^A cell can be edited while the run is paused/);
    await chord(page, 'Shift', 'Tab');
    assert.notEqual(await activeId(page), 'cell-11');

    // The input box: asked, announced, answered with the keyboard.
    await page.keyboard.press('F5');
    await page.waitForSelector('#input-dialog[open]');
    await waitAnnounced(page, /^The program asks: Name\?$/);
    assert.equal(await activeId(page), 'input-reply');
    await page.keyboard.type('Ada');
    await page.keyboard.press('Enter');
    await waitStatus(page, 'Program Terminated');
    assert.equal(await text(page, '#output'), 'Ada');

    // The checker's findings as a list: Ctrl+Shift+M, arrows, Escape back to the editor.
    await page.evaluate(() => window.tessivor.setSource('set 01, 5;\ninc 1\ndsp 1\nend\n', 'slips'));
    await page.waitForSelector('.cm-lintRange-warning');
    await chord(page, 'Control', 'Shift', 'M');
    await page.waitForSelector('.cm-panel-lint [role="listbox"]');
    assert.equal(await activeId(page), 'problems-list');
    const items = await page.$$eval('.cm-panel-lint [role="option"]', (o) => o.map((x) => x.textContent));
    assert.ok(items.length >= 2, `${items.length} findings listed`);
    await page.keyboard.press('ArrowDown');
    assert.equal(await page.$$eval('.cm-panel-lint [aria-selected="true"]', (o) => o.length), 1);
    await page.keyboard.press('Escape');
    assert.equal(await activeId(page), 'editor');

    // Share: opened with Enter, closed with Escape, the focus back where it was.
    await page.keyboard.press('Escape');
    await tabTo(page, 'share');
    await page.keyboard.press('Enter');
    await page.waitForSelector('#share-dialog[open]');
    await page.keyboard.press('Escape');
    await page.waitForSelector('#share-dialog:not([open])');
    assert.equal(await activeId(page), 'share');

    // Examples: the menu takes a typed letter.
    await tabTo(page, 'examples', true);
    await page.keyboard.type('hello');
    await page.waitForFunction(() => /hello/i.test(window.tessivor.view.state.doc.toString()));

    // The theme: Space presses it, and says so.
    await tabTo(page, 'theme');
    await page.keyboard.press('Space');
    assert.equal(await page.$eval('#theme', (b) => b.getAttribute('aria-pressed')), 'true');
    assert.equal(await page.evaluate(() => document.documentElement.dataset.theme), 'dark');

    // Downloads and Open through their shortcuts.
    const downloads = fs.mkdtempSync(path.join(os.tmpdir(), 'tessivor-keys-'));
    await page.browserContext().setDownloadBehavior({ policy: 'allow', downloadPath: downloads });
    await chord(page, 'Control', 's');
    await chord(page, 'Control', 'b');
    for (let i = 0; i < 100 && fs.readdirSync(downloads).filter((f) => !f.endsWith('.crdownload')).length < 2; i++) {
        await new Promise((r) => setTimeout(r, 50));
    }
    assert.deepEqual(fs.readdirSync(downloads).sort(), ['hello.tsasm', 'hello.tsp']);
    fs.rmSync(downloads, { recursive: true, force: true });
    const [chooser] = await Promise.all([page.waitForFileChooser(), chord(page, 'Control', 'o')]);
    await chooser.cancel();
    await page.closeAll();
});

// ---- What a screen reader finds ----

test('output and messages are logs, the cells a labelled grid, the registers text', async () => {
    const page = await open({ source: 'set 03, 42;\ndsp 03\nset 04, x;\ninc 04\nend\n' });
    await page.click('#run');
    await waitStatus(page, 'Program Ended');
    const roles = await page.evaluate(() => ({
        output: document.getElementById('output').closest('[role="log"]')?.getAttribute('aria-labelledby'),
        messages: document.getElementById('messages').closest('[role="log"]')?.getAttribute('aria-labelledby'),
        grid: document.getElementById('cells').getAttribute('role'),
        gridName: document.getElementById('cells').getAttribute('aria-label'),
        rows: document.querySelectorAll('#cells > [role="row"]').length,
        cellsPerRow: [...document.querySelectorAll('#cells > [role="row"]')].map((r) => r.querySelectorAll('[role="gridcell"]').length),
        // The name a screen reader reads: the cell's text with its hidden words.
        cell3: document.querySelector('.cell[data-cell="3"]').textContent,
        cell5: document.querySelector('.cell[data-cell="5"]').textContent,
        registers: ['pc', 'cur', 'opb', 'opc', 'steps'].map((r) => document.getElementById(`reg-${r}`).textContent),
        pictures: document.querySelectorAll('.machine canvas, .machine img, .machine svg').length,
    }));
    assert.equal(roles.output, 'output-title');
    assert.equal(roles.messages, 'messages-title');
    assert.equal(roles.grid, 'grid');
    assert.equal(roles.gridName, 'Cells 00 to 99');
    assert.equal(roles.rows, 10);
    assert.deepEqual(roles.cellsPerRow, new Array(10).fill(10));
    assert.equal(roles.cell3, 'cell 03: 42');
    assert.equal(roles.cell5, 'cell 05: empty');
    assert.ok(roles.registers.every((r) => /^\d+$/.test(r)), roles.registers.join(' '));
    assert.equal(roles.pictures, 0);
    assert.equal(await text(page, '#output'), '42');
    assert.match(await text(page, '#messages'), /Program Ended/);
    await page.closeAll();
});
