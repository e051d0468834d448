// The input queue: replies typed before the run, one a line, that answer the program's input
// boxes in order; when they run out, the usual box asks. The text is kept with the program.

const storageKey = 'tessivor.replies';

/// The replies of a queue's text: one a line (LF, CR LF or CR), the line end after the last
/// one optional; an empty line is an empty reply, as Cancel gives. Characters the machine
/// cannot hold (beyond one byte) become "?", as in the input box.
export function parseReplies(text) {
    if (text === '') return [];
    const lines = text.split(/\r\n|\n|\r/);
    if (lines[lines.length - 1] === '') lines.pop();
    return lines.map((line) => line.replace(/[^\x00-\xff]/g, '?'));
}

/// "2 replies waiting", "1 of 3 replies used" and the like.
export function queueStatus(total, used) {
    const replies = (n) => (n === 1 ? '1 reply' : `${n} replies`);
    if (total === 0) return 'No replies waiting: the input box asks.';
    if (used === 0) return `${replies(total)} waiting.`;
    if (used >= total) return `All ${replies(total)} used; the input box asks for more.`;
    return `${used} of ${replies(total)} used.`;
}

export class InputQueue {
    /// `box`: the text area; `status`: where the count goes.
    constructor(box, status) {
        this.box = box;
        this.status = status;
        this.used = 0;
        try {
            this.box.value = localStorage.getItem(storageKey) ?? '';
        } catch {
            // No local storage: the queue lasts as long as the page.
        }
        this.box.addEventListener('input', () => {
            this.used = 0;
            this.show();
            try {
                localStorage.setItem(storageKey, this.box.value);
            } catch {
                // As above.
            }
        });
        this.show();
    }

    /// The replies for a new run.
    start() {
        this.used = 0;
        this.show();
        return parseReplies(this.box.value);
    }

    /// `count` more replies were taken by the run.
    take(count) {
        this.used += count;
        this.show();
    }

    show() {
        this.status.textContent = queueStatus(parseReplies(this.box.value).length, this.used);
    }
}
