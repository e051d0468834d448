// The page's self-test under Node: the engine's selfTest against `tessivor-cli test --format
// json`, case for case, on every example with its own test file (every case passes) and with
// the next example's (the cases fail, each with its first difference), then a test file with
// hidden cases, a program that does not build, and a test file with a mistake.
//
// usage: node --no-experimental-fetch --test selftest_test.js
//        (ENGINE names tessivor-engine.js, TESSIVOR_CLI the command line, EXAMPLES the folder)
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { spawnSync } = require('child_process');

const engine = require(process.env.ENGINE)();
const cli = process.env.TESSIVOR_CLI;
const examples = process.env.EXAMPLES;
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'tessivor-selftest-'));
test.after(() => fs.rmSync(work, { recursive: true, force: true }));

const latin1 = (file) => fs.readFileSync(file, 'latin1');

/// The engine's report, its UTF-8 crossing one character a byte as the worker reads it.
async function selfTest(toml, tomlName, source, sourceName) {
    const m = await engine;
    const out = m.selfTest(toml, tomlName, source, sourceName, true, 10);
    return JSON.parse(Buffer.from(out, 'latin1').toString('utf8'));
}

/// `tessivor-cli test --format json` run where the files are, named as the engine names them.
function cliReport(tomlFile, sourceFile) {
    const r = spawnSync(cli, ['test', '--format', 'json', path.basename(tomlFile),
                              path.basename(sourceFile)], { cwd: path.dirname(tomlFile) });
    assert.ok(r.status === 0 || r.status === 1, `tessivor-cli test: ${r.stderr}`);
    return JSON.parse(r.stdout.toString('utf8'));
}

/// The engine's report is the command line's, with "hidden" and "scored" in front.
function assertSame(got, want, what) {
    const { hidden, scored, ...rest } = got;
    assert.equal(hidden, 0, what);
    assert.equal(typeof scored, 'boolean', what);
    assert.deepEqual(rest, want, what);
}

const pairs = fs.readdirSync(examples).filter((f) => f.endsWith('.toml')).sort()
    .map((f) => f.slice(0, -'.toml'.length))
    .filter((name) => fs.existsSync(path.join(examples, `${name}.tsasm`)));

test('every example passes its own test file, as tessivor-cli test says', async () => {
    assert.ok(pairs.length >= 5);
    for (const name of pairs) {
        const toml = path.join(examples, `${name}.toml`);
        const source = path.join(examples, `${name}.tsasm`);
        const got = await selfTest(latin1(toml), `${name}.toml`, latin1(source), `${name}.tsasm`);
        assertSame(got, cliReport(toml, source), name);
        assert.equal(got.submissions[0].failed, 0, name);
    }
});

test('another example\'s program fails with the first differences tessivor-cli test names', async () => {
    let failedCases = 0;
    for (const [i, name] of pairs.entries()) {
        // The clock example's times differ from run to run on the real clock.
        const other = pairs[(i + 1) % pairs.length];
        if (name === 'timing' || other === 'timing') continue;
        const toml = path.join(examples, `${name}.toml`);
        const source = path.join(examples, `${other}.tsasm`);
        const got = await selfTest(latin1(toml), `${name}.toml`, latin1(source), `${other}.tsasm`);
        const want = cliReport(toml, source);
        assertSame(got, want, `${other} against ${name}`);
        failedCases += want.submissions[0].failed;
    }
    assert.ok(failedCases > 5, `only ${failedCases} cases failed`);
});

test('hidden cases are counted, neither run nor shown; a broken program or test file says why', async () => {
    const toml = [
        '[[case]]', 'name = "sum"', 'input = ["2", "3"]', 'output = ["Sum: 5"]', '',
        '[[case]]', 'name = "secret"', 'hidden = true', 'input = ["1", "1"]', 'output = ["Sum: 2"]', '',
        '[[case]]', 'name = "also secret"', 'hidden = true', 'output = ["never"]', '',
    ].join('\n');
    const sum = 'inp 01\ninp 02\nadd 01, 02, 03\nset 04, Sum: ;\napd 04, 03\ndsp 04\nend\n';
    const visible = toml.split('\n\n')[0] + '\n';
    fs.writeFileSync(path.join(work, 'visible.toml'), visible);
    fs.writeFileSync(path.join(work, 'sum.tsasm'), sum);
    const got = await selfTest(toml, 'sum.toml', sum, 'sum.tsasm');
    assert.equal(got.hidden, 2);
    assert.deepEqual(got.submissions[0].cases.map((c) => c.name), ['sum']);
    const { hidden, scored, ...rest } = got;
    assert.deepEqual(rest, cliReport(path.join(work, 'visible.toml'), path.join(work, 'sum.tsasm')));
    void hidden; void scored;

    // A "set" without its ";": every visible case fails with the reason the build gives.
    const broken = 'set 01, no end\ndsp 01\nend\n';
    fs.writeFileSync(path.join(work, 'broken.tsasm'), broken);
    const failed = await selfTest(visible, 'visible.toml', broken, 'broken.tsasm');
    assertSame(failed, cliReport(path.join(work, 'visible.toml'), path.join(work, 'broken.tsasm')), 'broken');
    assert.equal(failed.submissions[0].cases[0].status, 'does_not_build');
    assert.match(failed.submissions[0].cases[0].reason,
                 /^does not build: broken\.tsasm:1:9: the text of the "set" at 1:1 has no closing ";"/);

    // A mistake in the test file: the command line's message, without the program's name.
    const wrong = '[[case]]\noutptu = ["1"]\n';
    fs.writeFileSync(path.join(work, 'wrong.toml'), wrong);
    const r = spawnSync(cli, ['test', 'wrong.toml', 'sum.tsasm'], { cwd: work });
    assert.equal(r.status, 65);
    assert.equal(`tessivor-cli test: ${(await selfTest(wrong, 'wrong.toml', sum, 'sum.tsasm')).error}\n`,
                 r.stderr.toString());
});

test('a runaway program ends at the time limit in the engine too', async () => {
    const m = await engine;
    const toml = '[[case]]\nname = "loops"\nclock = "real"\nmax_steps = 100000000000\n';
    const start = Date.now();
    const got = JSON.parse(m.selfTest(toml, 'loop.toml', 'set 90, 1;\nlbl 01\ngto 90\n', 'loop.tsasm', true, 0.3));
    const seconds = (Date.now() - start) / 1000;
    assert.equal(got.submissions[0].cases[0].status, 'time_limit');
    assert.equal(got.submissions[0].cases[0].reason, 'took longer than the time limit of 0.3 s');
    assert.ok(seconds < 3, `${seconds} s`);
});
