// The learner's edit of a cell while the run is paused: Enter or F2 on a cell opens a field
// over its text, Enter puts the new text into the cell (a move of its own, which Back undoes),
// Escape or leaving the field keeps the old one.

export class CellEditor {
    /// `canEdit()`: whether the run stands paused now; `commit(cell, text)` sends the edit;
    /// `announce(text)` says a text.
    constructor(canEdit, commit, announce) {
        this.canEdit = canEdit;
        this.commit = commit;
        this.announce = announce;
        this.field = null;
    }

    get editing() {
        return this.field !== null;
    }

    /// Opens the field on `cell` (its element, data-cell its number) holding `text`, where the
    /// text shown was cut to `shown` characters of `length`. False when the run is not paused.
    begin(cell, text, length) {
        if (!this.canEdit()) {
            this.announce('A cell can be edited while the run is paused. Space watches it.');
            return false;
        }
        this.end();
        const n = Number(cell.dataset.cell);
        const name = String(n).padStart(2, '0');
        const field = document.createElement('input');
        field.className = 'cell-edit';
        field.value = text;
        field.spellcheck = false;
        field.autocomplete = 'off';
        field.setAttribute('aria-label', `New text of cell ${name}` +
            (length > text.length ? ` (it holds ${length} characters; the first ${text.length} are here)` : ''));
        field.addEventListener('keydown', (event) => {
            event.stopPropagation();
            if (event.key === 'Enter') {
                event.preventDefault();
                // The machine holds bytes: a character beyond U+00FF becomes "?".
                const value = field.value.replace(/[^\x00-\xff]/g, '?');
                this.end();
                cell.focus();
                this.commit(n, value);
                this.announce(`Cell ${name} now holds ${value === '' ? 'nothing' : `"${value}"`}; Back undoes the edit.`);
            } else if (event.key === 'Escape') {
                event.preventDefault();
                this.end();
                cell.focus();
                this.announce(`Cell ${name} kept its text.`);
            }
        });
        field.addEventListener('blur', () => {
            if (this.field === field) this.end();
        });
        // Clicks in the field stay in it.
        field.addEventListener('dblclick', (event) => event.stopPropagation());
        cell.classList.add('editing');
        cell.append(field);
        this.field = field;
        field.focus();
        field.select();
        return true;
    }

    /// Closes the field, if one is open, without changing the cell.
    end() {
        const field = this.field;
        if (!field) return;
        this.field = null;
        field.parentNode.classList.remove('editing');
        field.remove();
    }
}
