// The output and message logs: cheap however fast a program shows text. Lines come in batches
// (one an update), the list keeps the newest ones with a first line that counts the others, and
// a copy of the lines (up to a bound) is kept for the export.

/// "1 234 earlier lines are not shown" and the like, for the log's first line.
export function earlierLines(count) {
    const n = count.toLocaleString('en-US');
    return count === 1 ? '1 earlier line is not shown' : `${n} earlier lines are not shown`;
}

export class Log {
    /// `list`: the <ol> to fill; `shown` lines stay in it, `kept` lines stay for the export.
    constructor(list, { shown = 1000, kept = 100000 } = {}) {
        this.list = list;
        this.shown = shown;
        this.kept = kept;
        this.scrollPending = false;
        this.clear();
    }

    clear() {
        this.list.replaceChildren();
        this.earlier = null; // the first item, once lines are left out
        this.hidden = 0; // lines left out of the list
        this.lines = [];
        this.lost = 0; // lines left out of the copy
    }

    /// Appends `texts` (an array) as lines of `className`, after `skipped` lines that were never
    /// sent (a run that shows more than the page can take).
    append(texts, className = '', skipped = 0) {
        if (texts.length === 0 && skipped === 0) return;
        this.keep(texts, skipped);
        this.hidden += skipped;
        // Only the lines that stay in the list become items, and the ones they push out go in
        // one cut: a fast program brings hundreds of lines an update.
        const fresh = texts.slice(-this.shown);
        this.hidden += texts.length - fresh.length;
        const fragment = document.createDocumentFragment();
        for (const text of fresh) {
            const item = document.createElement('li');
            item.textContent = text;
            if (className) item.className = className;
            fragment.append(item);
        }
        const first = this.earlier ? this.earlier.nextSibling : this.list.firstChild;
        const over = this.list.childElementCount - (this.earlier ? 1 : 0) + fresh.length - this.shown;
        if (over > 0 && first) {
            let last = first;
            for (let i = 1; i < over && last.nextSibling; i++) last = last.nextSibling;
            const range = document.createRange();
            range.setStartBefore(first);
            range.setEndAfter(last);
            range.deleteContents();
            this.hidden += over;
        }
        this.list.append(fragment);
        if (this.hidden > 0) {
            if (!this.earlier) {
                this.earlier = document.createElement('li');
                this.earlier.className = 'earlier';
                this.list.prepend(this.earlier);
            }
            this.earlier.textContent = earlierLines(this.hidden);
        }
        this.scrollToEnd();
    }

    /// Shows the newest line before the next frame: one layout a frame, however many updates.
    scrollToEnd() {
        if (this.scrollPending) return;
        this.scrollPending = true;
        requestAnimationFrame(() => {
            this.scrollPending = false;
            const box = this.list.parentNode;
            box.scrollTop = box.scrollHeight;
        });
    }

    keep(texts, skipped) {
        this.lost += skipped;
        for (const text of texts) this.lines.push(text);
        if (this.lines.length > this.kept) {
            const over = this.lines.length - this.kept;
            this.lines.splice(0, over);
            this.lost += over;
        }
    }

    /// The kept lines as a text file's lines (each with its line feed), after a line that says
    /// how many were not kept, if any.
    text() {
        const head = this.lost > 0 ? `(${this.lost} earlier lines were not kept)\n` : '';
        return head + this.lines.map((line) => `${line}\n`).join('');
    }
}
