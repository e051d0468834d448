// Time travel on the page: the timeline (a slider over the steps of the run, with the marks of
// its breakpoint and watch hits, its displays and the learner's edits drawn under it), Back to
// Breakpoint, Go to step, and what a move anywhere in the run does to the output it showed.

/// "1 breakpoint hit, 3 watch hits, 40 displays" for the marks [{step, kind}].
export function describeMarks(marks) {
    const counts = { breakpoint: 0, watch: 0, display: 0, edit: 0 };
    for (const mark of marks) counts[mark.kind] = (counts[mark.kind] || 0) + 1;
    const words = { breakpoint: 'breakpoint hit', watch: 'watch hit', display: 'display', edit: 'edit' };
    const parts = Object.entries(counts).filter(([, n]) => n > 0)
        .map(([kind, n]) => `${n.toLocaleString('en-US')} ${words[kind]}${n === 1 ? '' : 's'}`);
    return parts.length ? `Marks: ${parts.join(', ')}.` : 'No marks yet.';
}

/// "step 1,234 of 5,000" as the slider reads aloud.
export const stepOf = (step, of) => `step ${step.toLocaleString('en-US')} of ${of.toLocaleString('en-US')}`;

/// What the logs show as the run moves about its timeline. A move back takes the lines of the
/// steps after the one it went to out of the logs and keeps them; a move forward again over
/// those steps puts them back (the run does the same again), however the session replays
/// them. Of the events an update brings, those of steps the page held already, and those of
/// steps after the one the run stands at (a stop found by replaying a piece the run went past),
/// are left out. An edit of a cell makes the run's future another: the kept lines go.
export class Replay {
    /// `logs`: the Log objects that hold lines by step (the output, the messages).
    constructor(logs) {
        this.logs = logs;
        this.reset();
    }

    /// A fresh run.
    reset() {
        this.upTo = -1; // the step the logs stand at
        this.covered = -1; // the step up to which the page holds the run's events
        this.future = this.logs.map(() => []); // lines taken out by moves back, oldest first
        this.ranNew = true; // the last move ran steps whose events the page never had
    }

    /// An edit at the step the run stands at: what came after it is no longer the run's.
    forget() {
        this.future = this.logs.map(() => []);
        this.covered = this.upTo;
    }

    /// The run stands at `steps`: the logs follow it, and the events of `events` ({step}) that
    /// are new are returned for the logs to take.
    move(events, steps) {
        this.covered = Math.max(this.covered, this.upTo);
        const from = Math.min(this.upTo, steps);
        this.logs.forEach((log, i) => {
            const removed = log.rewind(steps);
            if (removed.length) this.future[i] = removed.concat(this.future[i]);
            const future = this.future[i];
            let back = 0;
            while (back < future.length && future[back].step <= steps) back++;
            for (const line of future.splice(0, back)) log.append([line.text], line.className, 0, line.step);
        });
        this.upTo = steps;
        const known = Math.max(from, Math.min(this.covered, steps));
        // Events the engine dropped (more than the page takes at once) count only where the
        // move ran steps the page never held.
        this.ranNew = steps > known;
        return events.filter((e) => e.step === undefined || (e.step > known && e.step <= steps));
    }
}

export class Timeline {
    /// `parts`: {range, strip, summary, goToField, goToButton, backToBreakpoint};
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
        this.goToField.max = String(furthest);
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
        // Any answer of a worker that stands still ends the wait: a goTo it could not take (it
        // was running, or the run was stopped) is answered by nothing else.
        if (m.moved === 'goto' || !m.running) {
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
        // The strokes stand for steps: drawn again where the timeline's length changed, and not
        // while the run goes on (its marks come when it stops).
        if (m.marks) this.setMarks(m.marks);
        else if (!m.running && this.drawnFor !== this.furthest) this.draw();
    }

    /// The marks of the timeline ([{step, kind}]), drawn and counted.
    setMarks(marks) {
        this.marks = marks;
        this.summary.textContent = describeMarks(marks);
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
    /// displays below, one stroke of a kind in each of a few hundred places along it (a run of
    /// millions of displays draws as many strokes as a short one).
    draw() {
        const strip = this.strip;
        this.drawnFor = this.furthest;
        strip.replaceChildren();
        if (this.furthest <= 0 || this.marks.length === 0) return;
        const places = 400;
        const seen = new Set();
        const fragment = document.createDocumentFragment();
        for (const mark of this.marks) {
            const place = Math.round((mark.step / this.furthest) * places);
            const key = `${mark.kind} ${place}`;
            if (seen.has(key)) continue;
            seen.add(key);
            const stroke = document.createElement('span');
            stroke.className = `mark mark-${mark.kind}`;
            // The slider's thumb travels between its half-widths: the strokes stand where it does.
            stroke.style.left = `calc(8px + (100% - 16px) * ${place / places})`;
            fragment.append(stroke);
        }
        strip.append(fragment);
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
