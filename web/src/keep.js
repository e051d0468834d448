// The learner's program is never replaced without a question. An example, an opened file or a
// Share link replaces it at once only when nothing would be lost: the editor is empty, holds an
// example as it came, or what was last opened or downloaded. Otherwise a box asks: replace,
// download yours first and replace, or keep yours.

const loadedKey = 'tessivor.loaded';

export class Keeper {
    /// `dialog`: the question's <dialog>, with buttons of value "replace", "save" and "keep"
    /// and an element `.replace-what` for what would come in; `examples`: texts that are never
    /// at risk; `download(text)` saves the current program when asked to.
    constructor({ dialog, examples, download }) {
        this.dialog = dialog;
        this.examples = new Set(examples);
        this.download = download;
        this.answer = null;
        try {
            this.loaded = localStorage.getItem(loadedKey);
        } catch {
            this.loaded = null;
        }
        dialog.addEventListener('close', () => {
            const answer = this.answer;
            this.answer = null;
            answer?.(dialog.returnValue || 'keep');
        });
    }

    /// The text came from somewhere it can be had again (an example, a file, a download).
    markLoaded(text) {
        this.loaded = text;
        try {
            localStorage.setItem(loadedKey, text);
        } catch {
            // Without local storage the question comes once more after a reload.
        }
    }

    /// True when replacing `current` would lose what the learner wrote.
    atRisk(current) {
        return current.trim() !== '' && current !== this.loaded && !this.examples.has(current);
    }

    /// Resolves to true when `current` may be replaced by `incoming` (described as `what`, "the
    /// example "hello"", "the program of the Share link"), asking when it is at risk.
    async mayReplace(current, incoming, what) {
        if (current === incoming || !this.atRisk(current)) return true;
        if (this.dialog.open) return false; // one question at a time
        this.dialog.querySelector('.replace-what').textContent = what[0].toUpperCase() + what.slice(1);
        this.dialog.returnValue = '';
        const answer = await new Promise((resolve) => {
            this.answer = resolve;
            this.dialog.showModal();
        });
        if (answer === 'save') {
            this.download(current);
            return true;
        }
        return answer === 'replace';
    }
}
