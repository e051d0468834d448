// Time travel on the page: the timeline (a slider over the steps of the run, with the marks of
// its breakpoint and watch hits, its displays and the learner's edits drawn under it), Back to
// Breakpoint, Go to step, and what a move anywhere in the run does to the output it showed.

const markColours = {
    breakpoint: '#d03030', watch: '#d08000', display: '#3070d0', edit: '#20a040',
};
const markRows = { breakpoint: 0, watch: 0, edit: 0, display: 1 };

/// "1 breakpoint hit, 3 watch hits, 40 displays" for the marks [{step, kind}].
export function describeMarks(marks) {
    const counts = { breakpoint: 0, watch: 0, display: 0, edit: 0 };
    for (const mark of marks) counts[mark.kind] = (counts[mark.kind] || 0) + 1;
    const words = { breakpoint: 'breakpoint hit', watch: 'watch hit', display: 'display', edit: 'edit' };
    const parts = Object.entries(counts).filter(([, n]) => n > 0)
        .map(([kind, n]) => `${n.toLocaleString('en-US')} ${words[kind]}${n === 1 ? '' : 's'}`);
    return parts.length ? `Marks: ${parts.join(', ')}.` : 'No marks yet.';
}

/// "step 1 234 of 5 000" as the slider reads aloud.
export const stepOf = (step, of) => `step ${step.toLocaleString('en-US')} of ${of.toLocaleString('en-US')}`;

/// Which of a run's events an update adds to the logs. A move forward brings the events of the
/// steps it ran; a move back, or a stop after the run went a little further than where it
/// stands (a watch found by replaying the last piece), may bring again events the logs hold
/// already, or events of steps after the one the run stands at: both are left out.
export class EventWindow {
    constructor() {
        this.reset();
    }

    /// A fresh run: every event is new.
    reset() {
        this.upTo = -1; // the step up to which the logs hold the run's events
    }

    /// The events of `events` ({step}) that are new at a run standing at step `steps`.
    take(events, steps) {
        const from = Math.min(this.upTo, steps);
        this.upTo = steps;
        return events.filter((e) => e.step === undefined || (e.step > from && e.step <= steps));
    }
}

export class Timeline {
    /// `parts`: {range, canvas, summary, goToField, goToButton, backToBreakpoint};
    /// `post(message)` sends the worker a command; `announce(text)` says a text.
    constructor(parts, post, announce) {
        Object.assign(this, parts);
        this.post = post;
        this.announce = announce;
        this.marks = [];
        this.asked = null; // the step of the goTo on its way
        this.pending = null; // the newest step asked for while one was on its way
        this.range.addEventListener('input', () => this.request(Number(this.range.value)));
        this.goToButton.addEventListener('click', () => this.goToField.value !== '' && this.goTo());
        this.goToField.addEventListener('keydown', (event) => {
            if (event.key !== 'Enter') return;
            event.preventDefault();
            this.goTo();
        });
        this.backToBreakpoint.addEventListener('click', () => this.reverseContinue());
        new ResizeObserver(() => this.draw()).observe(this.canvas);
        this.reset();
    }

    /// No run: nothing to travel over.
    reset() {
        this.marks = [];
        this.asked = null;
        this.pending = null;
        this.furthest = 0;
        this.setRange(0, 0);
        this.summary.textContent = 'No marks yet.';
        this.draw();
    }

    setRange(step, furthest) {
        this.range.max = String(furthest);
        this.range.value = String(step);
        this.range.setAttribute('aria-valuetext', stepOf(step, furthest));
    }

    /// Asks the worker for `step`; while one move is on its way, only the newest step asked
    /// for meanwhile goes next, so a drag never queues up moves the learner has left behind.
    request(step) {
        this.range.setAttribute('aria-valuetext', stepOf(step, this.furthest));
        if (this.asked !== null) {
            this.pending = step;
            return;
        }
        this.asked = step;
        this.post({ type: 'goTo', step });
    }

    /// Go to step: the field's step, up to the furthest the run reached.
    goTo() {
        const step = Math.floor(Number(this.goToField.value));
        if (!Number.isFinite(step) || step < 0) {
            this.announce('Type a step number, 0 or more.');
            return;
        }
        if (step > this.furthest) this.announce(`The run reached step ${this.furthest}; going there.`);
        this.request(Math.min(step, this.furthest));
    }

    reverseContinue() {
        this.post({ type: 'reverseContinue' });
    }

    /// The worker's update `m`: the slider follows the run, the marks are drawn anew.
    show(m) {
        this.furthest = m.furthest ?? m.state.steps;
        if (m.moved === 'goto') {
            this.asked = null;
            if (this.pending !== null) {
                const next = this.pending;
                this.pending = null;
                if (next !== m.state.steps) this.request(next);
            }
        }
        // While the learner drags, the slider stays where they hold it.
        if (this.asked === null) this.setRange(m.state.steps, this.furthest);
        else this.range.max = String(this.furthest);
        if (m.marks) {
            this.marks = m.marks;
            this.summary.textContent = describeMarks(this.marks);
        }
        this.draw();
    }

    /// Enables what can move now: nothing while the run goes on.
    enable(canMove) {
        this.range.disabled = !canMove;
        this.goToField.disabled = !canMove;
        this.goToButton.disabled = !canMove;
        this.backToBreakpoint.disabled = !canMove;
    }

    /// The marks as short strokes under the slider: breakpoint and watch hits and edits above,
    /// displays below.
    draw() {
        const canvas = this.canvas;
        const ratio = window.devicePixelRatio || 1;
        const width = canvas.clientWidth;
        const height = canvas.clientHeight;
        if (width === 0 || height === 0) return;
        canvas.width = Math.round(width * ratio);
        canvas.height = Math.round(height * ratio);
        const g = canvas.getContext('2d');
        g.setTransform(ratio, 0, 0, ratio, 0, 0);
        g.clearRect(0, 0, width, height);
        if (this.furthest <= 0) return;
        // The slider's thumb travels between its half-widths: the marks stand where it does.
        const inset = 8;
        const span = Math.max(1, width - 2 * inset);
        const row = height / 2;
        let lastX = [-1, -1];
        for (const mark of this.marks) {
            const x = Math.round(inset + (mark.step / this.furthest) * span);
            const r = markRows[mark.kind] ?? 1;
            if (x === lastX[r] && mark.kind === 'display') continue; // one stroke a pixel
            lastX[r] = x;
            g.fillStyle = markColours[mark.kind] || '#808080';
            g.fillRect(x - 1, r * row + 1, 2, row - 2);
        }
    }
}

/// What the status line says after a move on the timeline or back to a breakpoint, or null
/// for the stop's usual words.
export function travelStatus(m) {
    if (m.moved === 'goto') {
        if (m.stop === 'history-end') return `Went back as far as the run can go: step ${m.state.steps}`;
        return `At ${stepOf(m.state.steps, m.furthest ?? m.state.steps)}`;
    }
    if (m.moved === 'reverse') {
        if (m.stop === 'breakpoint') return 'Went back to a breakpoint';
        if (m.stop === 'watch') return 'Went back to a watched change';
        if (m.stop === 'history-end') return 'No breakpoint or watch hit before: at the start';
    }
    if (m.moved === 'edit') return m.stop === 'edit' ? 'Cell edited; Back undoes it' : 'Edit undone';
    return null;
}
