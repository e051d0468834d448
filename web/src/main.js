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
import { MachineLink } from './link.js';
import { readShare, shareLink } from './share.js';
import { Keeper } from './keep.js';
import { Log } from './log.js';
import { InputQueue } from './queue.js';
import { HelpPanel, mnemonicTooltips, showMnemonicAtCaret, describeMnemonic, useRoles } from './help.js';
import { fixAction, applyFixAtCaret } from './fixes.js';
import { downloadBytes, RunRecord } from './exports.js';
import { SelfTest } from './selftest.js';
import { Timeline, Replay, travelStatus } from './timeline.js';
import { CellEditor } from './celledit.js';
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

/// A text cut by the engine, with how long it is: "xxxx... (67108864 characters)".
const shownText = (text, length) => (length > text.length ? `${text}... (${length} characters)` : text);

// ---- The worker ----

let features = { session: false, check: false };
let running = false;
let sessionActive = false;
let lineEnd = '\n';
let programName = 'program';
let freshWorker = false; // the next run starts a fresh worker (the last one filled its memory)
const record = new RunRecord();
let traceId = 0;

const machine = new MachineLink((m) => {
    if (m.type === 'ready') {
        features = m;
        document.body.dataset.ready = 'true';
        help.fill(m.instructions || [], m.registers || []);
        updateButtons();
        forceLinting(view);
    } else if (m.type === 'update') {
        showUpdate(m);
        // The worker sends the next update only after this one, so updates never pile up.
        machine.post({ type: 'shown' });
    } else if (m.type === 'marks') {
        timeline.setMarks(m.marks);
    } else if (m.type === 'input') {
        askInput(m.prompt, m.promptLength);
    } else if (m.type === 'described') {
        announce(m.text || noSession);
    } else if (m.type === 'stopped') {
        endSession(selfTest.stopped() ? 'The self-test was stopped' : 'Stopped');
    } else if (m.type === 'selftested') {
        selfTest.done(m);
    } else if (m.type === 'failed') {
        // The engine itself failed (its memory, most likely): a fresh one is already loading.
        messages.append([`The machine stopped working (${m.message}); a fresh one is ready for the next run.`], 'failure');
        messages.flush();
        endSession('The machine stopped working');
    } else if (m.type === 'traced') {
        if (m.id === traceId) downloadBytes(`${programName}.trace.txt`, m.text);
    }
});
const build = (text) => machine.build(text);

function endSession(status) {
    running = false;
    sessionActive = false;
    document.body.dataset.stop = 'stopped';
    setCurrentLine(0);
    setStatus(status);
    announce(status);
    if ($('input-dialog').open) $('input-dialog').close();
    output.flush();
    messages.flush();
    updateButtons();
}

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
    machine.post({ type: 'breakpoints', lines: breakpointLines() });
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

let currentLine = 0;
function setCurrentLine(line) {
    // A run at full speed sets "no line" on every update: the editor hears of changes only.
    if (line === 0 && currentLine === 0) return;
    currentLine = line;
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
        const fix = typeof d.suggestion === 'string' ? fixAction(doc, d.line, d.suggestion) : null;
        return { from, to, severity: d.severity === 'note' ? 'info' : d.severity,
                 source: d.code, message, ...(fix ? { actions: [fix] } : {}) };
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
useRoles(rolesField);

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
    const id = rolesId;
    machine.roles(sourceBytes(text)).then((m) => showRoles({ ...m, id }));
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
            mnemonicTooltips,
            keymap.of([{ key: 'Mod-.', run: quickFix }, ...defaultKeymap, ...historyKeymap,
                       ...searchKeymap, indentWithTab]),
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

/// Puts `text` into the editor at once (the tests' way in; the page's own commands ask first).
function setSource(text, name) {
    lineEnd = /\r\n/.test(text) ? '\r\n' : '\n';
    programName = name || 'program';
    const shown = text.replace(/\r\n/g, '\n');
    view.dispatch({ changes: { from: 0, to: view.state.doc.length, insert: shown } });
    keeper.markLoaded(shown);
    saveSource();
}

/// Replaces the learner's program with `text` from `what` ("the example "hello""), asking
/// first when that would lose what they wrote; resolves to true when it was replaced.
async function loadProgram(text, name, what) {
    const incoming = text.replace(/\r\n/g, '\n');
    if (!(await keeper.mayReplace(view.state.doc.toString(), incoming, what))) {
        setStatus(`Your program was kept; ${what} was not opened.`);
        announce(`Your program was kept; ${what} was not opened.`);
        return false;
    }
    setSource(text, name);
    return true;
}

/// The program kept from the last visit, or the first example.
function initialSource() {
    try {
        const kept = localStorage.getItem(storageKey);
        if (kept !== null) return kept;
    } catch {
        // No local storage: start with an example.
    }
    return (examples.find((e) => e.name === 'hello') || examples[0]).source.replace(/\r\n/g, '\n');
}

// ---- Share links: the source in the address, after "#source=" ----

/// Opens the program of a Share link in the address (at load, or pasted into an open page),
/// then takes the link out of the address, so that a reload does not ask again.
async function openShareLink() {
    const shared = readShare(location.hash);
    if (shared === null) return;
    window.history.replaceState(null, '', location.pathname + location.search);
    if (shared.damaged) {
        const text = 'The Share link is damaged (it was cut or changed on the way); your program was kept.';
        setStatus(text);
        announce(text);
        return;
    }
    if (await loadProgram(shared.text, 'shared', 'the program of the Share link')) {
        setStatus('The program of the Share link is open.');
    }
}
window.addEventListener('hashchange', openShareLink);

async function share() {
    const link = shareLink(`${location.origin}${location.pathname}`, view.state.doc.toString());
    const note = $('share-note');
    if (link.tooLong) {
        // A browser refuses to open it: no link at all rather than one that fails.
        $('share-url').value = '';
        note.textContent = `This program is too long for a link (${link.length} characters; ` +
            'browsers open about 2 million). Save the .tsasm and share the file instead.';
        $('share-dialog').showModal();
        return;
    }
    $('share-url').value = link.url;
    $('share-dialog').showModal();
    $('share-url').select();
    const warning = link.long ? ` The link is ${link.length} characters long: mail and chat ` +
        'programs may cut it; share the .tsasm file if it does not open.' : '';
    try {
        await navigator.clipboard.writeText(link.url);
        note.textContent = `Copied to the clipboard.${warning}`;
    } catch {
        note.textContent = `Copy the link above.${warning}`;
    }
}

// ---- The machine's panels ----

// A grid of ten rows of ten, one tab stop: the arrow keys, Home and End move between the cells,
// and each cell reads as its number and its text.
const cellsTable = $('cells');
const cellNodes = [];
const cellLengths = new Array(100).fill(0); // where a cell's text was cut: its whole length
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
        cell.title = `Cell ${twoDigits(n)}: double-click or Space to pause when it changes; Enter or F2 edits it while paused`;
        rowNode.append(cell);
        cellNodes.push(cell.querySelector('.cell-text'));
        labelCell(n);
    }
    cellsTable.append(rowNode);
}

let changedCells = [];
let marked = { cur: -1, opb: -1, opc: -1 };

function labelCell(n) {
    const cell = cellNodes[n] ? cellNodes[n].parentNode : null;
    if (!cell) return;
    const empty = cellNodes[n].textContent === '' ? 'empty' : '';
    const long = cellLengths[n] ? `, ${cellLengths[n]} characters` : '';
    const watched = cell.classList.contains('watched') ? ', watched' : '';
    cell.lastChild.textContent = empty + long + watched;
}

/// Redraws the cells in `changes` ([cell, text, length], the engine's changedCells()) and
/// marks the cells cur, opb and opc name.
function showCells(changes, cur, opb, opc) {
    for (const n of changedCells) cellNodes[n].parentNode.classList.remove('changed');
    changedCells = [];
    for (const [n, text, length] of changes) {
        const node = cellNodes[n];
        const cut = length > text.length;
        node.textContent = cut ? `${text}...` : text;
        cellLengths[n] = cut ? length : 0;
        node.parentNode.classList.add('changed');
        changedCells.push(n);
        labelCell(n);
    }
    for (const [name, n] of Object.entries({ cur, opb, opc })) {
        if (marked[name] === n) continue;
        cellNodes[marked[name]]?.parentNode.classList.remove(name);
        cellNodes[n]?.parentNode.classList.add(name);
    }
    marked = { cur, opb, opc };
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
    machine.post({ type: 'watches', cells: [...watchedCells] });
}
cellsTable.addEventListener('dblclick', (event) => {
    const cell = event.target.closest('.cell');
    if (cell) toggleWatch(cell);
});
cellsTable.addEventListener('keydown', (event) => {
    const cell = event.target.closest('.cell');
    if (!cell || event.altKey || event.metaKey || cellEditor.editing) return;
    const n = Number(cell.dataset.cell);
    const moves = {
        ArrowLeft: n - 1, ArrowRight: n + 1, ArrowUp: n - 10, ArrowDown: n + 10,
        Home: event.ctrlKey ? 0 : n - (n % 10), End: event.ctrlKey ? 99 : n - (n % 10) + 9,
        PageUp: n % 10, PageDown: 90 + (n % 10),
    };
    if (event.key === 'Enter' || (event.key === 'F2' && cellEditor.canEdit())) {
        const shown = cellNodes[n].textContent;
        cellEditor.begin(cell, cellLengths[n] ? shown.slice(0, -3) : shown, cellLengths[n]);
    } else if (event.key === ' ') {
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
    showCells(cellNodes.map((node, n) => [n, '', 0]).filter(([n]) => cellNodes[n].textContent !== ''),
              -1, -1, -1);
    for (const node of cellNodes) node.parentNode.classList.remove('changed');
    changedCells = [];
    $('display').textContent = '';
    output.clear();
    messages.clear();
    for (const id of ['reg-pc', 'reg-cur', 'reg-opb', 'reg-opc', 'reg-steps']) $(id).textContent = '0';
    $('reg-speed').textContent = '0.00';
    $('reg-instruction').textContent = '';
    timeline.reset();
    replay.reset();
    cellEditor.end();
}

const output = new Log($('output'));
const messages = new Log($('messages'));

// The timeline, Back to Breakpoint, Go to step, and the learner's edits of cells.
const replay = new Replay([output, messages]);
const timeline = new Timeline({
    range: $('timeline'), strip: $('timeline-strip'), summary: $('timeline-marks'),
    goToField: $('goto-step'), goToButton: $('goto'), backToBreakpoint: $('back-to-breakpoint'),
}, (message) => machine.post(message), (text) => announce(text));
const cellEditor = new CellEditor(
    () => sessionActive && !running && !!lastState && !lastState.ended,
    (cell, text) => machine.post({ type: 'setCell', cell, text }),
    (text) => announce(text));

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
    'out-of-memory': 'Out of memory', edit: 'Cell edited',
    running: 'Running', none: 'Ready to step', slice: 'Running',
};

function showUpdate(m) {
    running = m.running;
    // Every display of the update in one batch: a loop that shows text at full speed costs the
    // page one layout an update, not one a line.
    const s = m.state;
    // A move back takes away what was shown after the step it went back to; the display box
    // shows what it showed then. Any stop may come after the run went a little further (a
    // watch found by replaying its last piece): what it showed after this step goes too, and
    // what a move shows again of the steps the logs hold already is left out.
    if (m.moved === 'edit' && m.stop === 'edit') replay.forget();
    const shown = [];
    const shownSteps = [];
    const said = [];
    for (const e of replay.move(m.events, s.steps)) {
        if (e.kind === 'display') {
            shown.push(shownText(e.text, e.length));
            shownSteps.push(e.step ?? s.steps);
        } else if (e.kind === 'message') {
            said.push(e);
        }
    }
    output.append(shown, '', replay.ranNew ? m.dropped || 0 : 0, shownSteps);
    $('display').textContent = shownText(s.display, s.displayLength);
    for (const { prompt, reply, step } of m.answered || []) {
        record.reply(reply);
        messages.append([`${prompt} ${reply} (from the input queue)`], 'reply', 0, step);
    }
    if (m.answered?.length) queue.take(m.answered.length);
    for (const e of said) {
        messages.append([shownText(e.text, e.length)], e.text === 'Program Terminated' ? 'ok' : 'failure',
                        0, e.step ?? s.steps);
    }
    // Said once: a move that comes back to the failed step finds it in the log already.
    if (m.stop === 'error' && s.reason && replay.ranNew) {
        const where = s.line ? `line ${s.line}: ${s.instruction}: ` : '';
        messages.append([`${where}${s.failure}: ${s.reason}`], 'failure', 0, s.steps);
    }
    if (!m.running) {
        // A stop shows everything at once; while the run goes on the lists follow a few times
        // a second.
        output.flush();
        messages.flush();
    }
    if (m.stop === 'error' && s.failure === 'Out of string space') freshWorker = true;
    if (m.stop === 'out-of-memory') {
        messages.append(['The browser gives the machine no more memory; the run ends here.'], 'failure');
        messages.flush();
        freshWorker = true;
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
    timeline.show(m);
    editsToUndo = m.edits || 0;
    const travelled = travelStatus(m);
    setStatus(travelled || stopTexts[m.stop] || m.stop);
    // An edit says its own words; a move on the timeline says where it went.
    const heard = m.moved === 'edit' ? ''
        : travelled ? (s.line ? `${travelled}, line ${s.line}: ${s.instruction}` : travelled)
            : stopAnnouncement(m.stop, s);
    if (heard) announce(heard);
    updateButtons(s);
}

function setStatus(text) {
    $('status').textContent = text;
}

let lastState = null;
let editsToUndo = 0; // the learner's edits of cells that Step Back undoes first
function updateButtons(state = lastState) {
    lastState = state;
    const ended = !!(state && state.ended);
    const can = features.session;
    $('run').disabled = running;
    $('pause').disabled = !running;
    $('stop').disabled = !sessionActive;
    $('step').disabled = running || ended || !can;
    // An edit of a cell can be undone at any step, the run's first too.
    $('back').disabled = running || !sessionActive || !state || (state.historyDepth === 0 && !editsToUndo);
    $('continue').disabled = running || ended || !sessionActive;
    timeline.enable(sessionActive && !running && can);
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
        messages.append(['Error Compiling.'], 'failure');
        messages.flush();
        setStatus('Error Compiling.');
        const line = view.state.doc.line(Math.min(result.line, view.state.doc.lines));
        view.dispatch({ selection: { anchor: line.from + result.column - 1 }, scrollIntoView: true });
        view.focus();
        return false;
    }
    clearPanels();
    sessionActive = true;
    if (freshWorker) {
        // The last run filled the worker's memory, which a worker never gives back.
        freshWorker = false;
        machine.replace();
    }
    const seed = Math.floor(Math.random() * 2 ** 32);
    const virtualClock = $('virtual-clock').checked;
    record.start(text, programName, seed, virtualClock);
    machine.post({ type: 'speed', stepsPerSecond: stepsPerSecond() });
    machine.post({ type: 'start', text, breakpoints: breakpointLines(), watches: [...watchedCells],
                   then, seed, virtualClock, replies: queue.start() });
    return true;
}

/// Answers the input box the run waits for.
function reply(text) {
    record.reply(text);
    machine.post({ type: 'input', reply: text });
}

const commands = {
    run: () => startSession('run'),
    pause: () => machine.post({ type: 'pause' }),
    stop: () => machine.stop(),
    continue: () => (sessionActive ? machine.post({ type: 'continue' }) : startSession('run')),
    // The first Step shows where the run starts; the next ones run an instruction each.
    step: () => (sessionActive ? machine.post({ type: 'step' }) : startSession('none')),
    back: () => machine.post({ type: 'back' }),
    downloadSource() {
        keeper.markLoaded(view.state.doc.toString());
        downloadBytes(`${programName}.tsasm`, sourceBytes(view.state.doc.toString()));
    },
    downloadOutput: () => downloadBytes(`${programName}.output.txt`, output.text()),
    downloadTrace() {
        const request = record.traceRequest(++traceId);
        if (!request) {
            announce('Run the program first: the trace follows its last run.');
            return;
        }
        setStatus('Tracing the last run...');
        machine.post(request);
    },
    help() {
        if (help.isOpen) help.close();
        else help.open();
    },
    async downloadProgram() {
        const { result } = await build(sourceBytes(view.state.doc.toString()));
        if (!result.ok) {
            messages.append(['Error Compiling.'], 'failure');
        messages.flush();
            setStatus('Error Compiling.');
            return;
        }
        downloadBytes(`${programName}.tsp`, result.file, 'application/octet-stream');
    },
    open: () => $('open-file').click(),
    share,
    readState: () => (sessionActive ? machine.post({ type: 'describe' }) : announce(noSession)),
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
    ['open', 'open'], ['share', 'share'], ['read-state', 'readState'], ['problems', 'problems'],
    ['download-output', 'downloadOutput'], ['download-trace', 'downloadTrace'], ['help-button', 'help']]) {
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
    event.target.value = '';
    await loadProgram(text, file.name.replace(/\.[^.]*$/, ''), `the file ${file.name}`);
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
    exampleMenu.value = '';
    if (e) loadProgram(e.source, e.name, `the example "${e.name}"`);
});

// ---- The self-test: a teacher's test file on this program, in the worker ----

const selfTest = new SelfTest({
    machine, button: $('selftest'), input: $('selftest-file'), section: $('selftest-results'),
    summary: $('selftest-summary'), list: $('selftest-cases'),
    program: () => ({ text: sourceBytes(view.state.doc.toString()), name: `${programName}.tsasm` }),
    // A run or a paused session ends first: the worker is the self-test's meanwhile.
    before: () => {
        if (sessionActive) machine.stop();
    },
    busy(on, status) {
        if (on) clearPanels();
        running = on;
        sessionActive = on; // Stop ends it
        setStatus(status);
        updateButtons(null);
    },
    announce: (text) => announce(text),
});

// ---- Help, the input queue, and the question before the program is replaced ----

const help = new HelpPanel({
    panel: $('help'), rows: $('help-rows'), registers: $('help-registers'),
    beside: $('register-help'), heading: $('help-title'), closeButton: $('help-close'),
    onToggle(open) {
        document.body.dataset.help = open ? 'open' : 'closed';
        $('help-button').setAttribute('aria-expanded', open ? 'true' : 'false');
    },
});
const queue = new InputQueue($('queue'), $('queue-status'));
const keeper = new Keeper({
    dialog: $('replace-dialog'),
    examples: examples.map((e) => e.source.replace(/\r\n/g, '\n')),
    download: (text) => {
        keeper.markLoaded(text);
        downloadBytes(`${programName}.tsasm`, sourceBytes(text));
    },
});

/// F1: on a mnemonic in the editor, its tooltip, its row of the help panel and its sentence
/// read aloud (the editor keeps the keyboard); elsewhere the help panel opens or closes.
function helpKey() {
    const found = view.hasFocus ? showMnemonicAtCaret(view) : null;
    if (!found) {
        commands.help();
        return;
    }
    help.open({ mnemonic: found.entry.mnemonic, focus: false });
    announce(describeMnemonic(found));
}

/// Ctrl+.: the checker's fix for the caret's line.
function quickFix(v) {
    const fixed = applyFixAtCaret(v);
    announce(fixed ? `Fixed line ${fixed.line}: ${fixed.text}` : 'The checker has no fix for this line.');
    return true;
}

$('speed').addEventListener('input', () => {
    machine.post({ type: 'speed', stepsPerSecond: stepsPerSecond() });
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

function askInput(prompt, length) {
    announce(`The program asks: ${prompt}`);
    $('input-prompt').textContent = shownText(prompt, length);
    $('input-reply').value = '';
    $('input-dialog').showModal();
    $('input-reply').focus();
}

$('input-form').addEventListener('submit', (event) => {
    event.preventDefault();
    const cancelled = event.submitter && event.submitter.value === 'cancel';
    const text = cancelled ? '' : $('input-reply').value.replace(/[^\x00-\xff]/g, '?');
    $('input-dialog').close();
    reply(text);
});
$('input-dialog').addEventListener('cancel', (event) => {
    // Escape is Cancel: the empty reply.
    event.preventDefault();
    $('input-dialog').close();
    reply('');
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
    else if (key === 'F8' && event.shiftKey) timeline.reverseContinue();
    else if (key === 'F8') $('goto-step').focus();
    else if (key === 'F10') commands.step();
    else if (key === 'F9') toggleBreakpoint(view.state.doc.lineAt(view.state.selection.main.head).number);
    else if (key === 'F2') commands.readState();
    else if (key === 'F1') helpKey();
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
openShareLink();
window.tessivor = { view, commands, toggleBreakpoint, setSource, breakpointLines, machine, help, record, timeline };
