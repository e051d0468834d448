// The output and message logs: cheap however fast a program shows text. Lines come in batches
// (one an update) into a copy (up to a bound, for the export); the list on screen shows the
// newest of them with a first line that counts the others, and is redrawn at most a few times a
// second while lines keep coming: nobody reads ten thousand lines a second, and drawing them
// would leave the page no time to answer. Each line knows the step that showed it, so that a
// move back takes away what came after the step it goes back to.

/// "1 234 earlier lines are not shown" and the like, for the log's first line.
export function earlierLines(count) {
    const n = count.toLocaleString('en-US');
    return count === 1 ? '1 earlier line is not shown' : `${n} earlier lines are not shown`;
}

/// The list is redrawn at most once in this many milliseconds while lines come.
export const redrawPeriod = 200;

export class Log {
    /// `list`: the <ol> to fill; `shown` lines stay in it, `kept` lines stay for the export.
    constructor(list, { shown = 1000, kept = 100000 } = {}) {
        this.list = list;
        this.shown = shown;
        this.kept = kept;
        this.scrollPending = false;
        this.timer = 0;
        this.lastDraw = 0;
        this.clear();
    }

    clear() {
        clearTimeout(this.timer);
        this.timer = 0;
        this.list.replaceChildren();
        this.earlier = null; // the first item, once lines are left out
        this.items = 0; // lines in the list (the first item that counts the others aside)
        this.pending = 0; // the newest lines of the copy not yet in the list
        this.lines = []; // {text, className, step}
        this.lost = 0; // lines left out of the copy (never sent, or pushed out of it)
    }

    /// Appends `texts` (an array) as lines of `className`, after `skipped` lines that were never
    /// sent (a run that shows more than the page can take). `steps` is the step that showed
    /// each line (an array beside `texts`), or one step for all of them (0, the default: before
    /// the first step, so no move back takes it away). The list follows soon; flush() draws it
    /// at once.
    append(texts, className = '', skipped = 0, steps = 0) {
        if (texts.length === 0 && skipped === 0) return;
        this.lost += skipped;
        texts.forEach((text, i) => {
            this.lines.push({ text, className, step: Array.isArray(steps) ? steps[i] : steps });
        });
        this.pending += texts.length;
        if (this.lines.length > this.kept) {
            const over = this.lines.length - this.kept;
            this.lines.splice(0, over);
            this.lost += over;
        }
        if (this.timer) return;
        const wait = this.lastDraw + redrawPeriod - performance.now();
        if (wait <= 0) this.flush();
        else this.timer = setTimeout(() => this.flush(), wait);
    }

    /// Brings the list up to date with the copy now.
    flush() {
        clearTimeout(this.timer);
        this.timer = 0;
        this.lastDraw = performance.now();
        const fresh = Math.min(this.pending, this.lines.length, this.shown);
        const rebuild = this.pending > fresh || fresh === this.shown;
        this.pending = 0;
        if (rebuild) {
            // More new lines than the list holds: the list is drawn afresh from the copy.
            const earlier = this.earlier;
            this.list.replaceChildren();
            if (earlier) this.list.append(earlier);
            this.items = 0;
        }
        const over = this.items + fresh - this.shown;
        if (over > 0) {
            const first = this.earlier ? this.earlier.nextSibling : this.list.firstChild;
            let last = first;
            for (let i = 1; i < over; i++) last = last.nextSibling;
            const range = document.createRange();
            range.setStartBefore(first);
            range.setEndAfter(last);
            range.deleteContents();
            this.items -= over;
        }
        const fragment = document.createDocumentFragment();
        for (const line of this.lines.slice(this.lines.length - (rebuild ? Math.min(this.shown, this.lines.length) : fresh))) {
            const item = document.createElement('li');
            item.textContent = line.text;
            if (line.className) item.className = line.className;
            fragment.append(item);
            this.items++;
        }
        this.list.append(fragment);
        const hidden = this.lost + this.lines.length - this.items;
        if (hidden > 0) {
            if (!this.earlier) {
                this.earlier = document.createElement('li');
                this.earlier.className = 'earlier';
                this.list.prepend(this.earlier);
            }
            this.earlier.textContent = earlierLines(hidden);
        } else if (this.earlier) {
            this.earlier.remove();
            this.earlier = null;
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

    /// The kept lines as a text file's lines (each with its line feed), after a line that says
    /// how many were not kept, if any.
    text() {
        const head = this.lost > 0 ? `(${this.lost} earlier lines were not kept)\n` : '';
        return head + this.lines.map((line) => `${line.text}\n`).join('');
    }

    /// Takes away the lines shown after step `step` (a move back to it) and returns them
    /// ({text, className, step}, oldest first); the list then shows the newest lines that
    /// remain. Lines never sent (counted only) stay counted.
    rewind(step) {
        let keep = this.lines.length;
        while (keep > 0 && this.lines[keep - 1].step > step) keep--;
        if (keep === this.lines.length) return [];
        const removed = this.lines.splice(keep);
        this.pending = Infinity; // drawn afresh
        this.flush();
        return removed;
    }
}
