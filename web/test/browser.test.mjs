// The page in a real browser: Debian's Chromium, headless, driven by puppeteer-core, against the
// built page served from 127.0.0.1. Run with `node --test test/` after `make web`.
// SITE (default ../build-web/site) names the built page; CHROMIUM the browser binary.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import puppeteer from 'puppeteer-core';
import { serve } from './serve.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const site = path.resolve(process.env.SITE || path.join(here, '../../build-web/site'));
const chromium = process.env.CHROMIUM || '/usr/bin/chromium';

let server, browser, base, profile;
const requests = [];

before(async () => {
    assert.ok(fs.existsSync(path.join(site, 'index.html')), `${site} holds no page: make web`);
    server = await serve(site);
    base = `http://127.0.0.1:${server.address().port}/`;
    profile = fs.mkdtempSync(path.join(os.tmpdir(), 'tessivor-chromium-'));
    browser = await puppeteer.launch({
        executablePath: chromium,
        headless: true,
        userDataDir: profile,
        args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
               '--disable-background-networking', '--disable-component-update', '--disable-sync',
               '--window-size=1400,900'],
    });
});

after(async () => {
    await browser?.close();
    server?.close();
    if (profile) fs.rmSync(profile, { recursive: true, force: true });
});

/// A fresh page with the program `source` in the editor, the engine ready.
async function openPage(source, url = base) {
    const page = await browser.newPage();
    await page.setViewport({ width: 1400, height: 900 });
    page.on('request', (r) => requests.push(r.url()));
    page.on('pageerror', (e) => { throw e; });
    await page.goto(url);
    await page.waitForSelector('body[data-ready="true"]');
    if (source !== undefined) {
        // Typed into the editor as a user would, after clearing it.
        await page.click('.cm-content');
        await page.keyboard.down('Control');
        await page.keyboard.press('a');
        await page.keyboard.up('Control');
        await page.keyboard.press('Backspace');
        await page.keyboard.type(source);
    }
    return page;
}

const text = (page, selector) => page.$eval(selector, (e) => e.textContent);
const cell = (page, n) => page.$eval(`.cell[data-cell="${n}"] .cell-text`, (e) => e.textContent);
const status = (page) => text(page, '#status');
const waitStatus = (page, wanted) => page.waitForFunction(
    (w) => document.getElementById('status').textContent === w, { timeout: 10000 }, wanted);
const click = async (page, id) => {
    await page.waitForSelector(`#${id}:not([disabled])`);
    await page.click(`#${id}`);
};

test('a typed program runs: its output, its message and a cell', async () => {
    const page = await openPage('set 01, 6;\nset 02, 7;\nmul 01, 02, 03\ndsp 03\nend\n');
    await click(page, 'run');
    await waitStatus(page, 'Program Terminated');
    assert.equal(await text(page, '#display'), '42');
    assert.equal(await text(page, '#output'), '42');
    assert.equal(await text(page, '#messages'), 'Program Terminated');
    assert.equal(await cell(page, 3), '42');
    assert.equal(await text(page, '#reg-steps'), '15'); // as tessivor-cli run counts them
    await page.close();
});

test('a breakpoint stops the run; continue, step and back move as asked', async () => {
    const page = await openPage(
        'set 01, 0;\nlbl 01\ninc 01\nset 90, 1;\nset 05, 3;\nifl 01, 05\ngto 90\neif\nend\n');
    await page.evaluate(() => window.tessivor.toggleBreakpoint(3)); // "inc 01"
    await click(page, 'run');
    await waitStatus(page, 'Paused at a breakpoint');
    assert.equal(await cell(page, 1), '0');
    assert.match(await text(page, '#reg-instruction'), /^line 3: inc 01/);
    await click(page, 'continue');
    await waitStatus(page, 'Paused at a breakpoint');
    assert.equal(await cell(page, 1), '1');
    await click(page, 'step'); // runs "inc 01"
    await waitStatus(page, 'Stepped');
    assert.equal(await cell(page, 1), '2');
    await click(page, 'back');
    await waitStatus(page, 'Went back');
    assert.equal(await cell(page, 1), '1');
    assert.match(await text(page, '#reg-instruction'), /^line 3: inc 01/);
    // Without the breakpoint the run goes on to its end.
    await page.evaluate(() => window.tessivor.toggleBreakpoint(3));
    await click(page, 'continue');
    await waitStatus(page, 'Program Terminated');
    assert.equal(await cell(page, 1), '3');
    await page.close();
});

test('an input box: the page asks, the reply goes on with the run', async () => {
    const page = await openPage('set 01, Your name?;\ninp 01, 02\nset 03, Hello ;\napd 02, 03\ndsp 03\nend\n');
    await click(page, 'run');
    await page.waitForSelector('#input-dialog[open]');
    assert.equal(await text(page, '#input-prompt'), 'Your name?');
    await page.type('#input-reply', 'Ada');
    await page.keyboard.press('Enter');
    await waitStatus(page, 'Program Terminated');
    assert.equal(await text(page, '#display'), 'Hello Ada');
    assert.equal(await cell(page, 2), 'Ada');
    await page.close();
});

test('a runaway loop stops within a second', async () => {
    const page = await openPage('set 02, 0;\nset 90, 1;\nlbl 01\ninc 02\ngto 90\n');
    await click(page, 'run');
    await page.waitForFunction(() => Number(document.getElementById('reg-steps').textContent) > 1e6);
    const started = Date.now();
    await click(page, 'stop');
    await waitStatus(page, 'Stopped');
    const took = Date.now() - started;
    assert.ok(took < 1000, `stopping took ${took} ms`);
    // Pause answers as quickly, and the run goes on from where it was.
    await click(page, 'run');
    await page.waitForFunction(() => Number(document.getElementById('reg-steps').textContent) > 1e5);
    const pauseStarted = Date.now();
    await click(page, 'pause');
    await waitStatus(page, 'Paused');
    assert.ok(Date.now() - pauseStarted < 1000);
    assert.ok(Number(await cell(page, 2)) > 0);
    await page.close();
});

test('a slow speed runs that many steps a second and follows the current line', async () => {
    const page = await openPage('set 02, 0;\nset 90, 1;\nlbl 01\ninc 02\ngto 90\n');
    await page.select('#speed', '10');
    await click(page, 'run');
    await new Promise((r) => setTimeout(r, 2000));
    const steps = Number(await text(page, '#reg-steps'));
    assert.ok(steps >= 10 && steps <= 30, `${steps} steps in 2 s at 10 steps/s`);
    assert.ok(await page.$('.cm-current-instruction'));
    await click(page, 'stop');
    await waitStatus(page, 'Stopped');
    await page.close();
});

test('a Share link restores the program', async () => {
    const source = 'set 01, shared;\ndsp 01\nend\n';
    const page = await openPage(source);
    await click(page, 'share');
    const url = await page.$eval('#share-url', (e) => e.value);
    assert.match(url, /#source=/);
    await page.close();
    // A fresh page (its own storage) opened from the link.
    const context = await browser.createBrowserContext();
    const other = await context.newPage();
    await other.goto(url);
    await other.waitForSelector('body[data-ready="true"]');
    const shown = await other.evaluate(() => window.tessivor.view.state.doc.toString());
    assert.equal(shown, source);
    await context.close();
});

test('the built program file is the code string with CR LF', async () => {
    const page = await openPage();
    const file = await page.evaluate(async () => {
        const worker = new Worker('worker.js');
        return new Promise((resolve) => {
            worker.onmessage = (e) => {
                if (e.data.type === 'ready') worker.postMessage({ type: 'build', id: 1, text: 'add 01, 02, 03' });
                if (e.data.type === 'built') resolve(e.data.result.file);
            };
        });
    });
    assert.equal(file, 'a01ba02ca03d\r\n');
    await page.close();
});

test('a watched cell pauses the run when it changes; F9 and F5 work from the keyboard', async () => {
    const page = await openPage('set 01, 0;\nset 02, 0;\nset 90, 1;\nset 05, 6;\nlbl 01\n' +
                                'inc 01\ninc 01\ninc 02\nifl 01, 05\ngto 90\neif\nend\n');
    await page.click('.cell[data-cell="2"]', { clickCount: 2 });
    await page.keyboard.press('F5');
    await page.waitForFunction(() => document.getElementById('status').textContent ===
                                     'Paused: a watched cell changed');
    assert.equal(await cell(page, 2), '0'); // "set 02, 0;" changed it from empty
    await click(page, 'continue');
    await page.waitForFunction(() => document.querySelector('.cell[data-cell="2"] .cell-text')
        .textContent === '1');
    assert.equal(await status(page), 'Paused: a watched cell changed');
    assert.equal(await cell(page, 1), '2');
    // F9 on the caret's line sets a breakpoint there.
    await page.click('.cell[data-cell="2"]', { clickCount: 2 }); // no more watch
    await page.evaluate(() => {
        const { view } = window.tessivor;
        view.dispatch({ selection: { anchor: view.state.doc.line(6).from } });
    });
    await page.keyboard.press('F9');
    assert.deepEqual(await page.evaluate(() => window.tessivor.breakpointLines()), [6]);
    await page.keyboard.press('F5');
    await page.waitForFunction(() => document.getElementById('status').textContent ===
                                     'Paused at a breakpoint');
    assert.equal(await cell(page, 1), '2');
    await page.close();
});

test('Build .tsp downloads the same bytes as tessivor-cli build', async () => {
    const page = await openPage();
    const downloads = fs.mkdtempSync(path.join(os.tmpdir(), 'tessivor-downloads-'));
    const cdp = await page.createCDPSession();
    await cdp.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
    await page.select('#examples', 'hello');
    await page.keyboard.down('Control');
    await page.keyboard.press('b');
    await page.keyboard.up('Control');
    const file = path.join(downloads, 'hello.tsp');
    for (let i = 0; i < 100 && !fs.existsSync(file); i++) await new Promise((r) => setTimeout(r, 50));
    // examples/hello.tsp is the committed output of tessivor-cli build.
    assert.deepEqual(fs.readFileSync(file), fs.readFileSync(path.join(here, '../../examples/hello.tsp')));
    fs.rmSync(downloads, { recursive: true, force: true });
    await page.close();
});

test('an opened file saves back byte for byte; its build matches tessivor-cli build', async () => {
    const page = await openPage();
    const work = fs.mkdtempSync(path.join(os.tmpdir(), 'tessivor-files-'));
    const cdp = await page.createCDPSession();
    await cdp.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: work });
    // CR LF line ends and a Latin-1 byte, as the desktop editor writes them.
    const original = Buffer.concat([Buffer.from('set 01, caf'), Buffer.from([0xe9]),
                                    Buffer.from(';\r\ndsp 01\r\nend\r\n')]);
    fs.mkdirSync(path.join(work, 'in'));
    const input = path.join(work, 'in', 'cafe.tsasm');
    fs.writeFileSync(input, original);
    const [chooser] = await Promise.all([page.waitForFileChooser(), page.click('#open')]);
    await chooser.accept([input]);
    await page.waitForFunction(() => window.tessivor.view.state.doc.toString().startsWith('set 01, caf'));
    await click(page, 'download-source');
    await click(page, 'download-program');
    const saved = path.join(work, 'cafe.tsasm');
    const built = path.join(work, 'cafe.tsp');
    for (let i = 0; i < 100 && !(fs.existsSync(saved) && fs.existsSync(built)); i++) {
        await new Promise((r) => setTimeout(r, 50));
    }
    assert.deepEqual(fs.readFileSync(saved), original);
    if (process.env.TESSIVOR_CLI) {
        const { execFileSync } = await import('node:child_process');
        assert.deepEqual(fs.readFileSync(built),
                         execFileSync(process.env.TESSIVOR_CLI, ['build', '-o', '-', input]));
    } else {
        assert.equal(fs.readFileSync(built, 'latin1'), 'a01sAcAaAfA\xe9a01wp\r\n');
    }
    await click(page, 'run');
    await waitStatus(page, 'Program Terminated');
    // The preparation gives a byte above 127 no code, so the machine shows what
    // tessivor-cli run shows: "caf0".
    assert.equal(await text(page, '#display'), 'caf0');
    fs.rmSync(work, { recursive: true, force: true });
    await page.close();
});

test('the program is kept over a reload, and the page opens offline once loaded', async () => {
    const context = await browser.createBrowserContext();
    const page = await context.newPage();
    await page.goto(base);
    await page.waitForSelector('body[data-ready="true"]');
    await page.evaluate(() => window.tessivor.setSource('set 01, kept;\ndsp 01\nend\n', 'kept'));
    // The offline cache is filled once its worker is active.
    await page.evaluate(() => navigator.serviceWorker.ready);
    await page.reload();
    await page.waitForSelector('body[data-ready="true"]');
    assert.equal(await page.evaluate(() => window.tessivor.view.state.doc.toString()),
                 'set 01, kept;\ndsp 01\nend\n');
    await page.setOfflineMode(true);
    await page.reload();
    await page.waitForSelector('body[data-ready="true"]');
    await click(page, 'run');
    await waitStatus(page, 'Program Terminated');
    assert.equal(await text(page, '#display'), 'kept');
    await context.close();
});

test('the checker marks slips; a "set" without ";" does not build', async () => {
    const page = await openPage('set 01, 5;\ninc 1\ndsp 01\nend\n');
    await page.waitForSelector('.cm-lintRange-warning');
    await page.evaluate(() => window.tessivor.setSource('dsp 01\nset 01, no end\nend\n', 'broken'));
    await click(page, 'run');
    await waitStatus(page, 'Error Compiling.');
    assert.equal(await text(page, '#messages'), 'Error Compiling.');
    await page.waitForSelector('.cm-lintRange-error');
    await page.close();
});

test('a failed operation shows the error report, "Program Ended" and why', async () => {
    const page = await openPage('set 01, x;\ninc 01\nend\n');
    await click(page, 'run');
    await waitStatus(page, 'Program Ended');
    const messages = await page.$$eval('#messages li', (items) => items.map((i) => i.textContent));
    assert.deepEqual(messages, ['Type mismatch byte 10 op 113 q', 'Program Ended',
                                'line 2: inc 01: Type mismatch: cell 01 holds "x", not a number']);
    assert.match(await text(page, '#reg-instruction'), /^line 2: inc 01/);
    await page.close();
});

/// The editor's colours as one letter a character, a line a string: m nemonic, o perand,
/// t ext, ! open text, c omment, s kipped, and "." for a character with no colour.
const colours = (page) => page.$$eval('.cm-line', (lines) => lines.map((line) => {
    const letters = { 'tok-keyword': 'm', 'tok-number': 'o', 'tok-open': '!', 'tok-string': 't',
                      'tok-comment': 'c', 'tok-punctuation': 's' };
    let out = '';
    const walker = document.createTreeWalker(line, NodeFilter.SHOW_TEXT);
    for (let node = walker.nextNode(); node; node = walker.nextNode()) {
        let letter = '.';
        for (let e = node.parentElement; e && e !== line; e = e.parentElement) {
            const cls = Object.keys(letters).find((c) => e.classList.contains(c));
            if (cls) {
                letter = letters[cls];
                break;
            }
        }
        out += letter.repeat(node.textContent.length);
    }
    return out;
}));

/// Waits until the editor shows `wanted` (one colour string a line).
async function waitColours(page, wanted) {
    try {
        await page.waitForFunction(async (w) => {
            const lines = [...document.querySelectorAll('.cm-line')];
            return lines.length === w.length; // the colours come after the text
        }, { timeout: 10000 }, wanted);
        for (let i = 0; i < 100; i++) {
            if (JSON.stringify(await colours(page)) === JSON.stringify(wanted)) return;
            await new Promise((r) => setTimeout(r, 50));
        }
    } catch {
        // Reported below with what the page shows.
    }
    assert.deepEqual(await colours(page), wanted);
}

test('the editor colours what the assembler reads: mnemonics in words, operands by column', async () => {
    const page = await openPage();
    // "blend" builds to an "end", "xadd" to an "add"; with two spaces the operand columns hold
    // " 0" three times, and the digits after them are never read.
    await page.evaluate(() => window.tessivor.setSource(
        'blend\nxadd 01, 02, 03\nadd  01, 02, 03\nset 05, Hi // no comment;\n' +
        '// a comment // dsp 05\nset 06, open\n', 'colours'));
    await waitColours(page, [
        'ssmmm',
        'smmmsoossoossoo',
        'mmmsoossoossoos',
        'mmmsooss' + 't'.repeat(17),
        'c'.repeat(15) + 'smmmsoo',
        'mmmsooss!!!!',
        '',
    ]);
    await page.close();
});

test('a program with CR LF line ends colours as tessivor-cli reads the file', async () => {
    // "dsp 1" then a line end: with CR LF the operand is "1" and the CR, and "end" is read;
    // with LF alone the operand takes the line feed and the instruction hides the "e" of "end".
    const page = await openPage();
    await page.evaluate(() => window.tessivor.setSource('dsp 1\r\nend\r\n', 'crlf'));
    await waitColours(page, ['mmmso', 'mmm', '']);
    await page.evaluate(() => window.tessivor.setSource('dsp 1\nend\n', 'lf'));
    await waitColours(page, ['mmmso', 'sss', '']);
    await page.close();
});

test('the page makes no request beyond its own server', () => {
    const outside = requests.filter((u) => !u.startsWith(base) && !u.startsWith('blob:') &&
                                           !u.startsWith('data:'));
    assert.deepEqual(outside, []);
});
