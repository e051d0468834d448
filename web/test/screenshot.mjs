// The README's picture of the page: an example paused at a breakpoint, cells and output shown.
// usage: node screenshot.mjs SITE_DIR OUT.png [light|dark]
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';
import { serve } from './serve.mjs';

const [site, out, theme = 'light'] = process.argv.slice(2);
const server = await serve(site);
const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'tessivor-chromium-'));
const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    userDataDir: profile,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync',
           '--hide-scrollbars', '--font-render-hinting=none'],
});
try {
    const page = await browser.newPage();
    await page.setViewport({ width: 1280, height: 800 });
    await page.goto(`http://127.0.0.1:${server.address().port}/`);
    await page.waitForSelector('body[data-ready="true"]');
    await page.evaluate((t) => { document.documentElement.dataset.theme = t; }, theme);
    await page.select('#examples', 'fibonacci');
    const source = await page.evaluate(() => window.tessivor.view.state.doc.toString());
    // The breakpoint on the line that counts the numbers made.
    const line = source.split('\n').findIndex((l) => /^inc /.test(l)) + 1;
    await page.evaluate((l) => window.tessivor.toggleBreakpoint(l), line);
    await page.click('#run');
    const pausedAfter = (steps) => page.waitForFunction((n) =>
        document.getElementById('status').textContent === 'Paused at a breakpoint' &&
        document.getElementById('reg-steps').textContent !== n, {}, steps);
    await pausedAfter('0');
    for (let i = 0; i < 5; i++) {
        const steps = await page.$eval('#reg-steps', (e) => e.textContent);
        await page.click('#continue');
        await pausedAfter(steps);
    }
    await new Promise((r) => setTimeout(r, 300)); // the lint marks settle
    await page.screenshot({ path: out });
} finally {
    await browser.close();
    server.close();
    fs.rmSync(profile, { recursive: true, force: true });
}
