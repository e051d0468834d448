// Builds the page into a folder of static files (default ../build-web/site): the bundled
// script, the worker, the WebAssembly engine, the examples, the page and its styles.
// usage: node build.mjs [ENGINE_DIR [OUT_DIR]]
import * as esbuild from 'esbuild';
import { createHash } from 'node:crypto';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const root = path.resolve(here, '..');
const engineDir = path.resolve(process.argv[2] || path.join(root, 'build-web/engine/web'));
const out = path.resolve(process.argv[3] || path.join(root, 'build-web/site'));

for (const file of ['tessivor-engine.js', 'tessivor-engine.wasm']) {
    if (!fs.existsSync(path.join(engineDir, file))) {
        console.error(`build.mjs: ${path.join(engineDir, file)} not found; build the engine first (make web)`);
        process.exit(1);
    }
}

// Every bundled example, as its file holds it (one character a byte).
const examplesDir = path.join(root, 'examples');
const examples = fs.readdirSync(examplesDir)
    .filter((f) => f.endsWith('.tsasm'))
    .sort()
    .map((f) => ({ name: f.slice(0, -6), source: fs.readFileSync(path.join(examplesDir, f), 'latin1') }));
const examplesPlugin = {
    name: 'examples',
    setup(build) {
        build.onResolve({ filter: /\/examples\.json$/ }, () => ({ path: 'examples', namespace: 'examples' }));
        build.onLoad({ filter: /.*/, namespace: 'examples' }, () => ({
            contents: JSON.stringify(examples),
            loader: 'json',
        }));
    },
};

fs.rmSync(out, { recursive: true, force: true });
fs.mkdirSync(out, { recursive: true });
await esbuild.build({
    entryPoints: [path.join(here, 'src/main.js')],
    bundle: true,
    minify: true,
    format: 'iife',
    target: ['es2020'],
    outfile: path.join(out, 'app.js'),
    plugins: [examplesPlugin],
    legalComments: 'none',
});
await esbuild.build({
    entryPoints: [path.join(here, 'src/worker.js')],
    minify: true,
    target: ['es2020'],
    outfile: path.join(out, 'worker.js'),
});
for (const file of ['tessivor-engine.js', 'tessivor-engine.wasm']) {
    fs.copyFileSync(path.join(engineDir, file), path.join(out, file));
}
for (const file of ['index.html', 'style.css']) {
    fs.copyFileSync(path.join(here, 'src', file), path.join(out, file));
}

// The offline cache names its files and a version that changes with any of them.
const files = fs.readdirSync(out).sort();
const hash = createHash('sha256');
for (const f of files) hash.update(f).update(fs.readFileSync(path.join(out, f)));
const offline = fs.readFileSync(path.join(here, 'src/offline.js'), 'utf8')
    .replace('__VERSION__', hash.digest('hex').slice(0, 16))
    .replace('__FILES__', JSON.stringify(['./', ...files]));
fs.writeFileSync(path.join(out, 'offline.js'), offline);
console.log(`build.mjs: the page is in ${out}`);
