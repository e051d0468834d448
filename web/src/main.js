// The page: the editor, the toolbar and the machine's panels. The machine itself runs in
// worker.js; this side only sends commands and shows what comes back.
import { EditorState, StateEffect, StateField, RangeSet } from '@codemirror/state';
import {
    EditorView, keymap, lineNumbers, highlightActiveLine, highlightActiveLineGutter,
    drawSelection, gutter, GutterMarker, Decoration,
} from '@codemirror/view';
import { defaultKeymap, history, historyKeymap, indentWithTab } from '@codemirror/commands';
import { bracketMatching } from '@codemirror/language';
import { searchKeymap, highlightSelectionMatches } from '@codemirror/search';
import { linter, lintGutter, forceLinting, openLintPanel, closeLintPanel } from '@codemirror/lint';
import examples from './examples.json';

const $ = (id) => document.getElementById(id);
const storageKey = 'tessivor.source';

// ---- Bytes: the machine reads one byte a character, the editor holds Unicode text. ----

/// The editor text as the machine's bytes (one character a byte; others become "?"), with
/// the line ends of the file it came from.
function sourceBytes(text) {
    const lines = lineEnd === '\r\n' ? text.replace(/\n/g, '\r\n') : text;
    return lines.replace(/[^\x00-\xff]/g, '?');
}

function downloadBytes(name, text, type) {
    const data = Uint8Array.from(text, (c) => c.charCodeAt(0));
    const url = URL.createObjectURL(new Blob([data], { type }));
    const a = document.createElement('a');
    a.href = url;
    a.download = name;
    document.body.append(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(url), 1000);
}

// ---- The worker ----

const worker = new Worker('worker.js');
let features = { session: false, check: false };
let pendingBuilds = new Map();
let buildId = 0;
let running = false;
let sessionActive = false;
let lineEnd = '\n';
let programName = 'program';

function build(text) {
    const id = ++buildId;
    return new Promise((resolve) => {
        pendingBuilds.set(id, resolve);
        worker.postMessage({ type: 'build', id, text });
    });
}

worker.onmessage = (event) => {
    const m = event.data;
    if (m.type === 'ready') {
        features = m;
        document.body.dataset.ready = 'true';
        updateButtons();
        forceLinting(view);
    } else if (m.type === 'roles') {
        showRoles(m);
    } else if (m.type === 'built') {
        pendingBuilds.get(m.id)?.(m);
        pendingBuilds.delete(m.id);
    } else if (m.type === 'update') {
        showUpdate(m);
    } else if (m.type === 'input') {
        askInput(m.prompt);
    } else if (m.type === 'described') {
        announce(m.text || noSession);
    } else if (m.type === 'stopped') {
        running = false;
        sessionActive = false;
        setCurrentLine(0);
        setStatus('Stopped');
        announce('Stopped');
        updateButtons();
    }
};

// ---- The editor ----

const setBreakpoint = StateEffect.define(); // {line, on}
const breakpointMarker = new (class extends GutterMarker {
    toDOM() {
        const dot = document.createElement('span');
        dot.className = 'breakpoint-dot';
        dot.textContent = '●';
        return dot;
    }
})();

const breakpointField = StateField.define({
    create: () => RangeSet.empty,
    update(set, tr) {
        set = set.map(tr.changes);
        for (const e of tr.effects) {
            if (!e.is(setBreakpoint)) continue;
            const from = tr.state.doc.line(e.value.line).from;
            if (e.value.on) set = set.update({ add: [breakpointMarker.range(from)] });
            else set = set.update({ filter: (f) => f !== from });
        }
        return set;
    },
});

function breakpointLines(state = view.state) {
    const lines = new Set();
    state.field(breakpointField).between(0, state.doc.length, (from) => {
        lines.add(state.doc.lineAt(from).number);
    });
    return [...lines].sort((a, b) => a - b);
}

function toggleBreakpoint(line) {
    const on = !breakpointLines().includes(line);
    view.dispatch({ effects: setBreakpoint.of({ line, on }) });
    worker.postMessage({ type: 'breakpoints', lines: breakpointLines() });
    announce(on ? `Breakpoint on line ${line}` : `No breakpoint on line ${line}`);
    return true;
}

const breakpointGutter = gutter({
    class: 'cm-breakpoint-gutter',
    markers: (v) => v.state.field(breakpointField),
    initialSpacer: () => breakpointMarker,
    domEventHandlers: {
        mousedown(v, line) {
            toggleBreakpoint(v.state.doc.lineAt(line.from).number);
            return true;
        },
    },
});

const setCurrent = StateEffect.define(); // line number, 0 for none
const currentLineDecoration = Decoration.line({ class: 'cm-current-instruction' });
const currentField = StateField.define({
    create: () => Decoration.none,
    update(deco, tr) {
        deco = deco.map(tr.changes);
        for (const e of tr.effects) {
            if (!e.is(setCurrent)) continue;
            const line = e.value;
            deco = line > 0 && line <= tr.state.doc.lines
                ? Decoration.set([currentLineDecoration.range(tr.state.doc.line(line).from)])
                : Decoration.none;
        }
        return deco;
    },
    provide: (f) => EditorView.decorations.from(f),
});

function setCurrentLine(line) {
    const effects = [setCurrent.of(line)];
    if (line > 0 && line <= view.state.doc.lines) {
        effects.push(EditorView.scrollIntoView(view.state.doc.line(line).from, { y: 'nearest' }));
    }
    view.dispatch({ effects });
}

/// The checker's findings, and a failed translation, as lint marks.
const diagnosticsSource = linter(async (v) => {
    if (!document.body.dataset.ready) return [];
    const text = v.state.doc.toString();
    const { result, diagnostics } = await build(sourceBytes(text));
    if (v.state.doc.toString() !== text) return [];
    const doc = v.state.doc;
    const place = (line, column) => {
        const l = doc.line(Math.min(Math.max(1, line), doc.lines));
        return Math.min(l.to, l.from + Math.max(0, column - 1));
    };
    const marks = diagnostics.map((d) => {
        const from = place(d.line, d.column);
        const to = Math.max(from, place(d.line, d.endColumn));
        const message = d.suggestion ? `${d.message} Write: ${d.suggestion}` : d.message;
        return { from, to, severity: d.severity === 'note' ? 'info' : d.severity,
                 source: d.code, message };
    });
    if (!result.ok && !diagnostics.some((d) => d.severity === 'error')) {
        const from = place(result.line, result.column);
        marks.push({ from, to: Math.min(doc.length, from + 3), severity: 'error',
                     message: 'Error Compiling. This "set" has no ";" after its text.' });
    }
    return marks;
}, { delay: 400 });

// ---- Colours: the part each byte plays when the engine translates the text ----

const roleMarks = {
    mnemonic: Decoration.mark({ class: 'tok-keyword' }),
    operand: Decoration.mark({ class: 'tok-number' }),
    text: Decoration.mark({ class: 'tok-string' }),
    'open-text': Decoration.mark({ class: 'tok-string tok-open' }),
    comment: Decoration.mark({ class: 'tok-comment' }),
    skipped: Decoration.mark({ class: 'tok-punctuation' }),
};
const setRoles = StateEffect.define(); // a DecorationSet
const rolesField = StateField.define({
    create: () => Decoration.none,
    update(deco, tr) {
        deco = deco.map(tr.changes);
        for (const e of tr.effects) if (e.is(setRoles)) deco = e.value;
        return deco;
    },
    provide: (f) => EditorView.decorations.from(f),
});

// One request in flight; a change meanwhile asks again once it is answered.
let rolesAsked = null; // {id, text, ends, positions} of the request in flight
let rolesAgain = false;
let rolesId = 0;

function requestRoles() {
    if (rolesAsked) {
        rolesAgain = true;
        return;
    }
    const text = view.state.doc.toString();
    // The editor position of each byte of sourceBytes(text): a CR LF is two bytes for the
    // editor's one line break.
    const positions = [];
    for (let i = 0; i < text.length; i++) {
        if (text[i] === '\n' && lineEnd === '\r\n') positions.push(i);
        positions.push(i);
    }
    positions.push(text.length);
    rolesAsked = { id: ++rolesId, text, ends: lineEnd, positions };
    worker.postMessage({ type: 'roles', id: rolesId, text: sourceBytes(text) });
}

function showRoles(m) {
    const asked = rolesAsked;
    if (!asked || asked.id !== m.id) return;
    rolesAsked = null;
    if (view.state.doc.toString() === asked.text && lineEnd === asked.ends) {
        const ranges = [];
        for (const run of m.runs) {
            const from = asked.positions[run.from];
            const to = asked.positions[run.to];
            if (from < to && roleMarks[run.role]) ranges.push(roleMarks[run.role].range(from, to));
        }
        view.dispatch({ effects: setRoles.of(Decoration.set(ranges)) });
    }
    // Any change while the request was out asked again.
    if (rolesAgain) {
        rolesAgain = false;
        requestRoles();
    }
}

let saveTimer = 0;
const view = new EditorView({
    parent: $('editor'),
    state: EditorState.create({
        doc: initialSource(),
        extensions: [
            lineNumbers(),
            breakpointField,
            breakpointGutter,
            lintGutter(),
            history(),
            drawSelection(),
            highlightActiveLine(),
            EditorView.lineWrapping,
            highlightActiveLineGutter(),
            highlightSelectionMatches(),
            bracketMatching(),
            rolesField,
            currentField,
            diagnosticsSource,
            keymap.of([...defaultKeymap, ...historyKeymap, ...searchKeymap, indentWithTab]),
            EditorView.updateListener.of((u) => {
                if (!u.docChanged) return;
                requestRoles();
                clearTimeout(saveTimer);
                saveTimer = setTimeout(saveSource, 300);
            }),
            EditorView.contentAttributes.of({ 'aria-label': 'Program source' }),
        ],
    }),
});

function saveSource() {
    try {
        localStorage.setItem(storageKey, view.state.doc.toString());
    } catch {
        // Private windows may refuse local storage; the program then lasts as long as the page.
    }
}

function setSource(text, name) {
    lineEnd = /\r\n/.test(text) ? '\r\n' : '\n';
    programName = name || 'program';
    view.dispatch({ changes: { from: 0, to: view.state.doc.length, insert: text.replace(/\r\n/g, '\n') } });
    saveSource();
}

/// The program from a Share link, or the one kept from the last visit, or the first example.
function initialSource() {
    const shared = sharedSource();
    if (shared !== null) return shared;
    try {
        const kept = localStorage.getItem(storageKey);
        if (kept !== null) return kept;
    } catch {
        // No local storage: start with an example.
    }
    return (examples.find((e) => e.name === 'hello') || examples[0]).source.replace(/\r\n/g, '\n');
}

// ---- Share links: the source in the address, after "#source=" ----

function encodeShare(text) {
    const utf8 = new TextEncoder().encode(text);
    let binary = '';
    for (const b of utf8) binary += String.fromCharCode(b);
    return btoa(binary).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
}

function sharedSource() {
    const match = /^#source=([A-Za-z0-9_-]*)$/.exec(location.hash);
    if (!match) return null;
    try {
        const binary = atob(match[1].replace(/-/g, '+').replace(/_/g, '/'));
        const text = new TextDecoder('utf-8', { fatal: true })
            .decode(Uint8Array.from(binary, (c) => c.charCodeAt(0)));
        window.history.replaceState(null, '', location.pathname + location.search);
        return text;
    } catch {
        setStatus('The Share link is damaged; the last program was kept.');
        return null;
    }
}

async function share() {
    const url = `${location.origin}${location.pathname}#source=${encodeShare(view.state.doc.toString())}`;
    $('share-url').value = url;
    $('share-dialog').showModal();
    $('share-url').select();
    try {
        await navigator.clipboard.writeText(url);
        $('share-note').textContent = 'Copied to the clipboard.';
    } catch {
        $('share-note').textContent = 'Copy the link above.';
    }
}

// ---- The machine's panels ----

// A grid of ten rows of ten, one tab stop: the arrow keys, Home and End move between the cells,
// and each cell reads as its number and its text.
const cellsTable = $('cells');
const cellNodes = [];
const twoDigits = (n) => String(n).padStart(2, '0');
for (let row = 0; row < 10; row++) {
    const rowNode = document.createElement('div');
    rowNode.className = 'cell-row';
    rowNode.setAttribute('role', 'row');
    for (let col = 0; col < 10; col++) {
        const n = row * 10 + col;
        const cell = document.createElement('div');
        cell.className = 'cell';
        cell.dataset.cell = n;
        cell.setAttribute('role', 'gridcell');
        cell.tabIndex = n === 0 ? 0 : -1;
        // Read as "cell 03: 42" (or "cell 03: empty, watched"); the words around the number
        // and the text are for the ear only.
        cell.innerHTML = `<span class="visually-hidden">cell </span><span class="cell-number">${twoDigits(n)}</span>` +
            '<span class="visually-hidden">: </span><span class="cell-text"></span><span class="visually-hidden cell-note"></span>';
        cell.title = `Cell ${twoDigits(n)}: double-click or Enter to pause when it changes`;
        rowNode.append(cell);
        cellNodes.push(cell.querySelector('.cell-text'));
        labelCell(n);
    }
    cellsTable.append(rowNode);
}

function labelCell(n) {
    const cell = cellNodes[n] ? cellNodes[n].parentNode : null;
    if (!cell) return;
    const empty = cellNodes[n].textContent === '' ? 'empty' : '';
    const watched = cell.classList.contains('watched') ? ', watched' : '';
    cell.lastChild.textContent = empty + watched;
}

function showCells(cells, cur, opb, opc) {
    cells.forEach((text, i) => {
        const node = cellNodes[i];
        if (node.textContent !== text) {
            const wasEmpty = node.textContent === '';
            node.textContent = text;
            node.parentNode.classList.add('changed');
            if (wasEmpty !== (text === '')) labelCell(i);
        } else {
            node.parentNode.classList.remove('changed');
        }
        node.parentNode.classList.toggle('cur', i === cur);
        node.parentNode.classList.toggle('opb', i === opb);
        node.parentNode.classList.toggle('opc', i === opc);
    });
}

/// Watched cells: a double click or Enter pauses the run whenever that cell's text changes.
const watchedCells = new Set();
function toggleWatch(cell) {
    const n = Number(cell.dataset.cell);
    if (watchedCells.has(n)) watchedCells.delete(n);
    else watchedCells.add(n);
    cell.classList.toggle('watched', watchedCells.has(n));
    labelCell(n);
    announce(`${watchedCells.has(n) ? 'Watching' : 'No longer watching'} cell ${twoDigits(n)}`);
    worker.postMessage({ type: 'watches', cells: [...watchedCells] });
}
cellsTable.addEventListener('dblclick', (event) => {
    const cell = event.target.closest('.cell');
    if (cell) toggleWatch(cell);
});
cellsTable.addEventListener('keydown', (event) => {
    const cell = event.target.closest('.cell');
    if (!cell || event.altKey || event.metaKey) return;
    const n = Number(cell.dataset.cell);
    const moves = {
        ArrowLeft: n - 1, ArrowRight: n + 1, ArrowUp: n - 10, ArrowDown: n + 10,
        Home: event.ctrlKey ? 0 : n - (n % 10), End: event.ctrlKey ? 99 : n - (n % 10) + 9,
        PageUp: n % 10, PageDown: 90 + (n % 10),
    };
    if (event.key === 'Enter' || event.key === ' ') {
        toggleWatch(cell);
    } else if (event.key in moves) {
        const to = moves[event.key];
        if (to < 0 || to > 99) return;
        cell.tabIndex = -1;
        const next = cellNodes[to].parentNode;
        next.tabIndex = 0;
        next.focus();
    } else {
        return;
    }
    event.preventDefault();
    event.stopPropagation();
});

function clearPanels() {
    showCells(new Array(100).fill(''), -1, -1, -1);
    for (const node of cellNodes) node.parentNode.classList.remove('changed');
    $('display').textContent = '';
    $('output').replaceChildren();
    $('messages').replaceChildren();
    for (const id of ['reg-pc', 'reg-cur', 'reg-opb', 'reg-opc', 'reg-steps']) $(id).textContent = '0';
    $('reg-speed').textContent = '0.00';
    $('reg-instruction').textContent = '';
}

function appendLine(list, text, className) {
    const item = document.createElement('li');
    item.textContent = text;
    if (className) item.className = className;
    list.append(item);
    while (list.childElementCount > 1000) list.firstChild.remove();
    list.parentNode.scrollTop = list.parentNode.scrollHeight;
}

// ---- What a screen reader hears: the output and the messages are logs of their own; each
// stop, each question and "read the state" go to one polite live region.

const noSession = 'No program is running. F5 runs it, F10 steps through it.';
let announceTimer = 0;
function announce(text) {
    // Emptied first, so the same words said twice are heard twice.
    const region = $('announcer');
    region.textContent = '';
    clearTimeout(announceTimer);
    announceTimer = setTimeout(() => { region.textContent = text; }, 50);
}

/// What a stop says: its name and where the run stands ("Paused at a breakpoint, line 7: inc 01").
function stopAnnouncement(stop, state) {
    const name = stopTexts[stop] || stop;
    if (stop === 'slice' || stop === 'input' || stop === 'terminated' || stop === 'error') {
        return ''; // a run going on, or said by the question or by the messages
    }
    if (stop === 'running' || state.ended || !state.line) return name;
    return `${name}, line ${state.line}: ${state.instruction}`;
}

const stopTexts = {
    breakpoint: 'Paused at a breakpoint', watch: 'Paused: a watched cell changed',
    step: 'Stepped', back: 'Went back', 'history-end': 'Went back as far as the history reaches',
    paused: 'Paused', input: 'Waiting for input', terminated: 'Program Terminated',
    error: 'Program Ended', 'past-end': 'Ran past the last position without "end"',
    'step-limit': 'Stopped at the step limit', 'prepare-failed': 'The program cannot run',
    running: 'Running', none: 'Ready to step', slice: 'Running',
};

function showUpdate(m) {
    running = m.running;
    for (const e of m.events) {
        if (e.kind === 'display') {
            $('display').textContent = e.text;
            appendLine($('output'), e.text);
        } else if (e.kind === 'message') {
            appendLine($('messages'), e.text, e.text === 'Program Terminated' ? 'ok' : 'failure');
        }
    }
    const s = m.state;
    if (m.stop === 'error' && s.reason) {
        const where = s.line ? `line ${s.line}: ${s.instruction}: ` : '';
        appendLine($('messages'), `${where}${s.failure}: ${s.reason}`, 'failure');
    }
    $('reg-pc').textContent = s.pc;
    $('reg-cur').textContent = s.cur;
    $('reg-opb').textContent = s.opb;
    $('reg-opc').textContent = s.opc;
    $('reg-steps').textContent = s.steps;
    $('reg-speed').textContent = m.mhz.toFixed(2);
    $('reg-instruction').textContent = s.line ? `line ${s.line}: ${s.instruction}` : s.instruction;
    showCells(m.cells, s.cur, s.opb, s.opc);
    if (s.ended) sessionActive = true; // Back still works after the end
    setCurrentLine(running && stepsPerSecond() === 0 ? 0 : s.line);
    document.body.dataset.stop = m.stop;
    setStatus(stopTexts[m.stop] || m.stop);
    const said = stopAnnouncement(m.stop, s);
    if (said) announce(said);
    updateButtons(s);
}

function setStatus(text) {
    $('status').textContent = text;
}

let lastState = null;
function updateButtons(state = lastState) {
    lastState = state;
    const ended = !!(state && state.ended);
    const can = features.session;
    $('run').disabled = running;
    $('pause').disabled = !running;
    $('stop').disabled = !sessionActive;
    $('step').disabled = running || ended || !can;
    $('back').disabled = running || !sessionActive || !state || state.historyDepth === 0;
    $('continue').disabled = running || ended || !sessionActive;
    document.body.dataset.running = running ? 'true' : 'false';
}

// ---- Commands ----

function stepsPerSecond() {
    return Number($('speed').value);
}

/// Builds the editor's program and starts a session on it; false when it does not build.
async function startSession(then) {
    const text = sourceBytes(view.state.doc.toString());
    const { result } = await build(text);
    if (!result.ok) {
        clearPanels();
        appendLine($('messages'), 'Error Compiling.', 'failure');
        setStatus('Error Compiling.');
        const line = view.state.doc.line(Math.min(result.line, view.state.doc.lines));
        view.dispatch({ selection: { anchor: line.from + result.column - 1 }, scrollIntoView: true });
        view.focus();
        return false;
    }
    clearPanels();
    sessionActive = true;
    worker.postMessage({ type: 'speed', stepsPerSecond: stepsPerSecond() });
    worker.postMessage({ type: 'start', text, breakpoints: breakpointLines(),
                         watches: [...watchedCells], then,
                         virtualClock: $('virtual-clock').checked });
    return true;
}

const commands = {
    run: () => startSession('run'),
    pause: () => worker.postMessage({ type: 'pause' }),
    stop: () => worker.postMessage({ type: 'stop' }),
    continue: () => (sessionActive ? worker.postMessage({ type: 'continue' }) : startSession('run')),
    // The first Step shows where the run starts; the next ones run an instruction each.
    step: () => (sessionActive ? worker.postMessage({ type: 'step' }) : startSession('none')),
    back: () => worker.postMessage({ type: 'back' }),
    downloadSource: () => downloadBytes(`${programName}.tsasm`,
                                        sourceBytes(view.state.doc.toString()), 'text/plain'),
    async downloadProgram() {
        const { result } = await build(sourceBytes(view.state.doc.toString()));
        if (!result.ok) {
            appendLine($('messages'), 'Error Compiling.', 'failure');
            setStatus('Error Compiling.');
            return;
        }
        downloadBytes(`${programName}.tsp`, result.file, 'application/octet-stream');
    },
    open: () => $('open-file').click(),
    share,
    readState: () => (sessionActive ? worker.postMessage({ type: 'describe' }) : announce(noSession)),
    problems() {
        if (view.dom.querySelector('.cm-panel-lint')) {
            closeLintPanel(view);
            view.focus();
        } else {
            openLintPanel(view);
        }
    },
};

for (const [id, command] of [['run', 'run'], ['pause', 'pause'], ['stop', 'stop'],
    ['step', 'step'], ['back', 'back'], ['continue', 'continue'],
    ['download-source', 'downloadSource'], ['download-program', 'downloadProgram'],
    ['open', 'open'], ['share', 'share'], ['read-state', 'readState'], ['problems', 'problems']]) {
    $(id).addEventListener('click', () => commands[command]());
}

$('open-file').addEventListener('change', async (event) => {
    const file = event.target.files[0];
    if (!file) return;
    const data = new Uint8Array(await file.arrayBuffer());
    let text = '';
    for (let i = 0; i < data.length; i += 8192) {
        text += String.fromCharCode(...data.subarray(i, i + 8192));
    }
    // Kept whole, its last line end too, so that saving gives back the same bytes and the
    // page builds exactly what tessivor-cli build reads from the saved file.
    setSource(text, file.name.replace(/\.[^.]*$/, ''));
    event.target.value = '';
});

const exampleMenu = $('examples');
for (const e of examples) {
    const option = document.createElement('option');
    option.value = e.name;
    option.textContent = e.name;
    exampleMenu.append(option);
}
exampleMenu.addEventListener('change', () => {
    const e = examples.find((x) => x.name === exampleMenu.value);
    if (e) setSource(e.source, e.name);
    exampleMenu.value = '';
});

$('speed').addEventListener('input', () => {
    worker.postMessage({ type: 'speed', stepsPerSecond: stepsPerSecond() });
});

function showTheme() {
    const dark = document.documentElement.dataset.theme === 'dark' ||
        (!document.documentElement.dataset.theme && matchMedia('(prefers-color-scheme: dark)').matches);
    $('theme').setAttribute('aria-pressed', dark ? 'true' : 'false');
}
$('theme').addEventListener('click', () => {
    const dark = document.documentElement.dataset.theme !== 'dark';
    document.documentElement.dataset.theme = dark ? 'dark' : 'light';
    showTheme();
    try {
        localStorage.setItem('tessivor.theme', dark ? 'dark' : 'light');
    } catch {
        // The choice then lasts as long as the page.
    }
});
try {
    const theme = localStorage.getItem('tessivor.theme');
    if (theme) document.documentElement.dataset.theme = theme;
    else if (matchMedia('(prefers-color-scheme: dark)').matches) {
        document.documentElement.dataset.theme = 'dark';
    }
} catch {
    // No local storage: follow the system's scheme through CSS.
}
showTheme();

// ---- Input boxes: "inp" stops the session until the reply comes ----

function askInput(prompt) {
    announce(`The program asks: ${prompt}`);
    $('input-prompt').textContent = prompt;
    $('input-reply').value = '';
    $('input-dialog').showModal();
    $('input-reply').focus();
}

$('input-form').addEventListener('submit', (event) => {
    event.preventDefault();
    const cancelled = event.submitter && event.submitter.value === 'cancel';
    const reply = cancelled ? '' : $('input-reply').value.replace(/[^\x00-\xff]/g, '?');
    $('input-dialog').close();
    worker.postMessage({ type: 'input', reply });
});
$('input-dialog').addEventListener('cancel', (event) => {
    // Escape is Cancel: the empty reply.
    event.preventDefault();
    $('input-dialog').close();
    worker.postMessage({ type: 'input', reply: '' });
});
$('share-close').addEventListener('click', () => $('share-dialog').close());
$('skip').addEventListener('click', (event) => {
    event.preventDefault();
    view.focus();
});

// ---- Keyboard ----

document.addEventListener('keydown', (event) => {
    const key = event.key;
    const ctrl = event.ctrlKey || event.metaKey;
    let handled = true;
    if (key === 'F5' && event.shiftKey) commands.stop();
    // F5 goes on with a paused run; after the end, as before any, it runs the program afresh.
    else if (key === 'F5') (sessionActive && !running && !lastState?.ended ? commands.continue : commands.run)();
    else if (key === 'F6') commands.pause();
    else if (key === 'F10' && event.shiftKey) commands.back();
    else if (key === 'F10') commands.step();
    else if (key === 'F9') toggleBreakpoint(view.state.doc.lineAt(view.state.selection.main.head).number);
    else if (key === 'F2') commands.readState();
    else if (ctrl && event.shiftKey && key.toLowerCase() === 'm') commands.problems();
    else if (ctrl && key.toLowerCase() === 'b') commands.downloadProgram();
    else if (ctrl && key.toLowerCase() === 's') commands.downloadSource();
    else if (ctrl && key.toLowerCase() === 'o') commands.open();
    else handled = false;
    if (handled) event.preventDefault();
});

// Offline once loaded: the page's files are kept by a service worker (served pages only).
if ('serviceWorker' in navigator && location.protocol !== 'file:') {
    navigator.serviceWorker.register('offline.js').catch(() => {});
}

clearPanels();
updateButtons(null);
requestRoles();
window.tessivor = { view, commands, toggleBreakpoint, setSource, breakpointLines };
