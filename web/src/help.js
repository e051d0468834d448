// Help inside the page: the instruction table and the registers' meanings as the engine hands
// them over (its mnemonic table; nothing of it is written here), a tooltip on every mnemonic in
// the editor with what it does and where its operands stand on that line, and F1 for the same
// from the keyboard.
import { hoverTooltip, activateHover, closeHoverTooltips } from '@codemirror/view';

let table = []; // the engine's instructions()
const byName = new Map();

/// Takes the engine's table: [{mnemonic, written, effect, operandColumns, textColumn, width}].
export function setInstructions(instructions) {
    table = instructions;
    byName.clear();
    for (const entry of instructions) byName.set(entry.mnemonic, entry);
}

export const instructionTable = () => table;

/// "5-6" for a two-character operand at `at` (0-based from the mnemonic) of a mnemonic in
/// line column `column` (1-based).
const span = (column, at) => `${column + at}-${column + at + 1}`;

/// Where the operands of `entry` stand when its mnemonic is in line column `column` (1-based),
/// as a sentence; without `column` counted from the mnemonic's first letter.
export function operandPlaces(entry, column = 0) {
    const names = ['A', 'B', 'C'];
    const cols = entry.operandColumns;
    if (cols.length === 0) {
        return entry.width > 4 ? 'The two characters after it are only a note.' : 'No operands.';
    }
    const places = column
        ? cols.map((c, i) => `${names[i]} in columns ${span(column, c)}`)
        : cols.map((c, i) => `${names[i]} at ${c} and ${c + 1}`);
    let text = column ? `${places.join(', ')} of this line` : `${places.join(', ')} after the first letter`;
    if (entry.textColumn) {
        text += column ? `; the text from column ${column + entry.textColumn} up to the next ";"`
            : `; the text from ${entry.textColumn} up to the next ";"`;
    }
    return `${text}.`;
}

let mnemonicRanges = () => null; // the state's ranges the engine found to be mnemonics

/// Where the editor learns which characters are mnemonics: `field` holds the engine's
/// decorations, the mnemonics' marked with the class `tok-keyword`.
export function useRoles(field) {
    mnemonicRanges = (state) => state.field(field, false) ?? null;
}

/// The mnemonic the editor colours at `pos`: {from, to, entry, column}, or null. Only what the
/// engine's translation takes as a mnemonic counts (not the same letters in a comment or text).
export function mnemonicAt(state, pos) {
    const ranges = mnemonicRanges(state);
    if (!ranges) return null;
    let found = null;
    ranges.between(Math.max(0, pos - 3), Math.min(state.doc.length, pos + 1), (from, to, deco) => {
        if (found || from > pos || to < pos || !/tok-keyword/.test(deco.spec.class || '')) return;
        const entry = byName.get(state.sliceDoc(from, from + 3).toLowerCase());
        if (!entry) return;
        found = { from, to: from + 3, entry, column: from - state.doc.lineAt(from).from + 1 };
    });
    return found;
}

/// What the tooltip and the announcement say of a mnemonic found by mnemonicAt.
export function describeMnemonic({ entry, column }) {
    return `${entry.written}: ${entry.effect}. ${operandPlaces(entry, column)}`;
}

function tooltipDom(found) {
    const dom = document.createElement('div');
    dom.className = 'cm-mnemonic-help';
    const head = document.createElement('strong');
    head.textContent = found.entry.written;
    const effect = document.createElement('div');
    effect.textContent = found.entry.effect;
    const places = document.createElement('div');
    places.className = 'cm-mnemonic-columns';
    places.textContent = operandPlaces(found.entry, found.column);
    dom.append(head, effect, places);
    return dom;
}

/// The editor's tooltip on mnemonics.
export const mnemonicTooltips = hoverTooltip((view, pos) => {
    const found = mnemonicAt(view.state, pos);
    if (!found) return null;
    return { pos: found.from, end: found.to, above: true, create: () => ({ dom: tooltipDom(found) }) };
}, { hideOnChange: true });

/// Shows the tooltip of the mnemonic at the caret; returns what it says, or null.
export function showMnemonicAtCaret(view) {
    const found = mnemonicAt(view.state, view.state.selection.main.head);
    if (!found) return null;
    view.dispatch({ effects: closeHoverTooltips });
    activateHover(view, found.from + 1, 1, {
        tooltip: mnemonicTooltips,
        until: (tr) => tr.docChanged || tr.selection !== undefined,
    });
    return found;
}

/// The help panel: `panel` (hidden until opened) holds a table body `rows` and a list of the
/// registers `registers`; `beside` is the list next to the machine's registers.
export class HelpPanel {
    constructor({ panel, rows, registers, beside, heading, closeButton, onToggle }) {
        Object.assign(this, { panel, rows, registers, beside, heading, onToggle });
        this.returnFocus = null;
        closeButton.addEventListener('click', () => this.close());
        panel.addEventListener('keydown', (event) => {
            if (event.key === 'Escape') {
                event.preventDefault();
                this.close();
            }
        });
    }

    /// Fills the table and the registers' lines from the engine.
    fill(instructions, registerMeanings) {
        setInstructions(instructions);
        this.rows.replaceChildren(...instructions.map((entry) => {
            const row = document.createElement('tr');
            row.dataset.mnemonic = entry.mnemonic;
            const written = document.createElement('th');
            written.scope = 'row';
            const code = document.createElement('code');
            code.textContent = entry.written;
            written.append(code);
            const effect = document.createElement('td');
            effect.textContent = entry.effect;
            const columns = document.createElement('td');
            columns.textContent = entry.operandColumns.length ? entry.operandColumns.join(', ') +
                (entry.textColumn ? `; text from ${entry.textColumn}` : '') : '-';
            row.append(written, effect, columns);
            return row;
        }));
        for (const list of [this.registers, this.beside]) {
            list.replaceChildren(...registerMeanings.map((r) => {
                const item = document.createElement('li');
                const name = document.createElement('strong');
                name.textContent = r.name;
                item.append(name, ` ${r.meaning}`);
                return item;
            }));
        }
    }

    get isOpen() {
        return !this.panel.hidden;
    }

    /// Opens the panel at the row of `mnemonic` (when given); `focus` moves the keyboard there.
    open({ mnemonic = null, focus = true } = {}) {
        if (!this.isOpen) {
            this.returnFocus = document.activeElement;
            this.panel.hidden = false;
            this.onToggle(true);
        }
        for (const row of this.rows.children) {
            const current = row.dataset.mnemonic === mnemonic;
            row.classList.toggle('current', current);
            if (current) row.setAttribute('aria-current', 'true');
            else row.removeAttribute('aria-current');
            if (current) row.scrollIntoView({ block: 'nearest' });
        }
        if (focus) this.heading.focus();
        else if (!mnemonic) this.panel.scrollIntoView({ block: 'nearest' });
    }

    close() {
        if (!this.isOpen) return;
        this.panel.hidden = true;
        this.onToggle(false);
        const back = this.returnFocus;
        this.returnFocus = null;
        if (back && document.contains(back)) back.focus();
    }
}
