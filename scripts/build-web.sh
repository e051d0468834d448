#!/usr/bin/env bash
# Builds the page into static files: the machine, the translation, the checker and the debug
# session compiled to WebAssembly with Debian's emscripten (WEB_DIR/engine), then the page
# bundled with esbuild from the npm packages pinned in web/package-lock.json (WEB_DIR/site).
# usage: scripts/build-web.sh [WEB_DIR]   (default: build-web)
# Installs emscripten, and Node and npm when missing.
set -euo pipefail
cd "$(dirname "$0")/.."
web=${1:-build-web}
mkdir -p "$web"
web=$(cd "$web" && pwd)

extra=(emscripten)
command -v node >/dev/null 2>&1 || extra+=(nodejs)
command -v npm >/dev/null 2>&1 || extra+=(npm)
scripts/install-deps.sh "${extra[@]}"

# Debian's emscripten runs its JavaScript tools with the installed Node, which finds their
# modules (acorn) only through NODE_PATH.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
if [ ! -f "$web/engine/CMakeCache.txt" ]; then
    emcmake cmake -S . -B "$web/engine" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$web/engine" -j "$(nproc 2>/dev/null || echo 2)" --target tessivor-engine

cd web
# Only the packages the lock file names; never a browser download.
if [ ! -d node_modules ] || [ package-lock.json -nt node_modules/.package-lock.json ]; then
    PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund
fi
node build.mjs "$web/engine/web" "$web/site"
