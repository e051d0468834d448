// A small static file server for the built page, on 127.0.0.1 only.
// usage: node serve.mjs DIR [PORT]   (PORT 0 or none: any free port; the URL goes to stdout)
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';

const types = {
    '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8',
    '.css': 'text/css; charset=utf-8', '.wasm': 'application/wasm', '.json': 'application/json',
    '.png': 'image/png',
};

/// Starts serving `dir`; resolves to the server once it listens.
export function serve(dir, port = 0) {
    const root = path.resolve(dir);
    const server = http.createServer((req, res) => {
        const url = new URL(req.url, 'http://127.0.0.1');
        let file = path.join(root, decodeURIComponent(url.pathname));
        if (!file.startsWith(root)) {
            res.writeHead(403).end();
            return;
        }
        if (file.endsWith(path.sep)) file = path.join(file, 'index.html');
        fs.readFile(file, (err, data) => {
            if (err) {
                res.writeHead(404).end('not found');
                return;
            }
            res.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream' });
            res.end(data);
        });
    });
    return new Promise((resolve) => server.listen(port, '127.0.0.1', () => resolve(server)));
}

if (import.meta.url === `file://${process.argv[1]}`) {
    const server = await serve(process.argv[2] || '.', Number(process.argv[3] || 8000));
    console.log(`http://127.0.0.1:${server.address().port}/`);
}
