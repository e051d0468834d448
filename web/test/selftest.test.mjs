// The self-test as a student takes it: a teacher's test file opened from the keyboard or dropped
// on the page, its visible cases run in the worker on the program in the editor, each verdict
// with its first difference in the command line's words; Stop ends a self-test that does not.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';
import { fileURLToPath } from 'node:url';
import { startBrowser, openPage, text, waitStatus } from './browser.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const examples = path.resolve(here, '../../examples');
const count = fs.readFileSync(path.join(examples, 'count.tsasm'), 'latin1');
const countToml = path.join(examples, 'count.toml');
const axeSource = fs.readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');

let session;
let work;
before(async () => {
    session = await startBrowser();
    work = fs.mkdtempSync(path.join(os.tmpdir(), 'tessivor-selftest-'));
});
after(async () => {
    await session?.close();
    fs.rmSync(work, { recursive: true, force: true });
});

const open = (options) => openPage(session.browser, session.base, options);
const verdicts = (page) => page.$$eval('#selftest-cases li', (items) => items.map((i) => i.textContent));
const summary = (page) => text(page, '#selftest-summary');
const waitSummary = (page, pattern) => page.waitForFunction(
    (p) => new RegExp(p).test(document.getElementById('selftest-summary').textContent),
    { timeout: 20000 }, pattern);

/// Opens `file` through the Self-test button, pressed from the keyboard.
async function chooseFromKeyboard(page, file) {
    await page.focus('#selftest');
    // The browser intercepts the chooser only once it has heard of the wait: a moment first.
    const waiting = page.waitForFileChooser();
    await new Promise((r) => setTimeout(r, 200));
    await page.keyboard.press('Enter');
    await (await waiting).accept([file]);
}

test('a test file opened from the keyboard: every visible case passes, then one fails with its first difference', async () => {
    const page = await open({ source: count });
    await chooseFromKeyboard(page, countToml);
    await waitSummary(page, 'cases passed$');
    assert.equal(await summary(page), 'program.tsasm: 1 of 1 cases passed');
    assert.deepEqual(await verdicts(page), ['passed "counts from 1 to 10"']);
    assert.equal(await page.$eval('#selftest-cases li', (e) => e.className), 'ok');
    await waitStatus(page, 'Self-test: every visible case passed');

    // Counting to 9: the words of `tessivor-cli test count.toml program.tsasm`.
    await page.evaluate((s) => window.tessivor.setSource(s, 'program'), count.replace('set 02, 10;', 'set 02, 9;'));
    await chooseFromKeyboard(page, countToml);
    await waitSummary(page, '0 of 1 cases passed$');
    assert.deepEqual(await verdicts(page), [
        'failed "counts from 1 to 10": output 10: expected "10", but the program ended with ' +
        '"Program Terminated" at step 107, line 14 (end)']);
    assert.equal(await page.$eval('#selftest-cases li', (e) => e.className), 'failure');
    await waitStatus(page, 'Self-test: 1 failed');
    // The page runs afterwards as before.
    assert.equal(await page.$eval('#run', (b) => b.disabled), false);
    await page.click('#run');
    await waitStatus(page, 'Program Terminated');
    await page.closeAll();
});

test('a dropped test file: hidden cases are counted, not run; a program that does not build says why once', async () => {
    const page = await open({ source: 'set 01, Say?;\ninp 01, 02\ndsp 02\nend\n' });
    const toml = '[[case]]\nname = "echo"\ninput = ["hi"]\noutput = ["hi"]\n\n' +
        '[[case]]\nname = "echo twice"\ninput = ["a"]\noutput = ["a", "a"]\n\n' +
        '[[case]]\nname = "secret"\nhidden = true\ninput = ["x"]\noutput = ["y"]\n';
    const drop = (name, body) => page.evaluate((n, b) => {
        const data = new DataTransfer();
        data.items.add(new File([b], n));
        document.querySelector('.machine').dispatchEvent(
            new DragEvent('drop', { dataTransfer: data, bubbles: true, cancelable: true }));
    }, name, body);
    await drop('echo.toml', toml);
    await waitSummary(page, 'cases passed$');
    assert.equal(await summary(page), 'program.tsasm: 1 of 2 cases passed');
    assert.deepEqual(await verdicts(page), [
        'passed "echo"',
        'failed "echo twice": output 2: expected "a", but the program ended with ' +
        '"Program Terminated" at step 13, line 4 (end)',
        '1 hidden case was not run: the teacher\'s grading runs it.']);
    assert.ok(!(await page.content()).includes('secret'), 'the hidden case is not named');

    await page.evaluate(() => window.tessivor.setSource('set 01, no end\ndsp 01\nend\n', 'broken'));
    await drop('echo.toml', toml);
    await waitSummary(page, 'broken.tsasm: 0 of 2');
    assert.deepEqual(await verdicts(page), [
        'does not build: broken.tsasm:1:9: the text of the "set" at 1:1 has no closing ";"',
        '1 hidden case was not run: the teacher\'s grading runs it.']);

    // A mistake in the test file: where it is, as the command line says it.
    await drop('wrong.toml', '[[case]]\noutptu = ["1"]\n');
    await waitSummary(page, 'cannot be read');
    assert.match(await summary(page),
                 /^The test file cannot be read: wrong\.toml:2:1: unknown key "outptu" in a \[\[case\]\]/);
    await page.closeAll();
});

test('Stop ends a self-test that runs away; axe-core finds nothing in the results', async () => {
    const page = await open({ source: 'set 90, 1;\nlbl 01\ndsp 90\ngto 90\n' });
    const toml = path.join(work, 'forever.toml');
    fs.writeFileSync(toml, '[[case]]\nname = "ends"\nmax_steps = 100000000000\n');
    await chooseFromKeyboard(page, toml);
    await waitStatus(page, 'Self-test: running forever.toml...');
    await page.waitForSelector('#stop:not([disabled])');
    const asked = Date.now();
    await page.keyboard.down('Shift');
    await page.keyboard.press('F5');
    await page.keyboard.up('Shift');
    await waitStatus(page, 'The self-test was stopped');
    assert.ok(Date.now() - asked < 1000, `Stop took ${Date.now() - asked} ms`);
    assert.equal(await summary(page), 'The self-test was stopped.');
    // A fresh worker answers: the program steps.
    await page.click('#step');
    await waitStatus(page, 'Ready to step');

    await page.evaluate((s) => window.tessivor.setSource(s, 'count'), count);
    await chooseFromKeyboard(page, countToml);
    await waitSummary(page, 'cases passed$');
    await page.evaluate(axeSource);
    const found = await page.evaluate(async () => (await window.axe.run(document, { resultTypes: ['violations'] }))
        .violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`));
    assert.deepEqual(found, []);
    await page.closeAll();
});
