// What the browser test files share: Debian's Chromium, headless, driven by puppeteer-core,
// against the built page served from 127.0.0.1.
// SITE (default ../build-web/site) names the built page; CHROMIUM the browser binary.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import puppeteer from 'puppeteer-core';
import { serve } from './serve.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
export const site = path.resolve(process.env.SITE || path.join(here, '../../build-web/site'));
const chromium = process.env.CHROMIUM || '/usr/bin/chromium';

/// Starts the server and the browser; `close()` ends both and removes the profile.
export async function startBrowser() {
    assert.ok(fs.existsSync(path.join(site, 'index.html')), `${site} holds no page: make web`);
    const server = await serve(site);
    const base = `http://127.0.0.1:${server.address().port}/`;
    const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'tessivor-chromium-'));
    const browser = await puppeteer.launch({
        executablePath: chromium,
        headless: true,
        userDataDir: profile,
        args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
               '--disable-background-networking', '--disable-component-update', '--disable-sync',
               '--window-size=1400,900'],
    });
    return {
        browser,
        base,
        async close() {
            await browser.close();
            server.close();
            fs.rmSync(profile, { recursive: true, force: true });
        },
    };
}

/// A fresh page of its own storage (no program kept from another test), the engine ready,
/// with `source` in the editor when given.
export async function openPage(browser, base, { source, width = 1400, height = 900 } = {}) {
    const context = await browser.createBrowserContext();
    const page = await context.newPage();
    await page.setViewport({ width, height });
    page.on('pageerror', (e) => { throw e; });
    await page.goto(base);
    await page.waitForSelector('body[data-ready="true"]');
    if (source !== undefined) {
        await page.evaluate((s) => window.tessivor.setSource(s, 'program'), source);
    }
    page.closeAll = () => context.close();
    return page;
}

export const text = (page, selector) => page.$eval(selector, (e) => e.textContent);
export const waitStatus = (page, wanted) => page.waitForFunction(
    (w) => document.getElementById('status').textContent === w, { timeout: 10000 }, wanted);
