// The self-test: a teacher's test file (.toml), opened or dropped on the page, run on the
// program in the editor by the worker, with the verdicts and first differences of
// `tessivor-cli test`. Only the visible cases run; the hidden ones are the teacher's.

/// The wall-clock seconds a case may take: the command line's default.
export const caseSeconds = 10;

/// The text of a file as the machine reads it, one character a byte.
export async function fileBytes(file) {
    const data = new Uint8Array(await file.arrayBuffer());
    let text = '';
    for (let i = 0; i < data.length; i += 8192) text += String.fromCharCode(...data.subarray(i, i + 8192));
    return text;
}

export const isTestFile = (name) => /\.toml$/i.test(name);

/// A check of the test file beyond its cases (max_size, max_steps_score) whose points come on
/// top of the full score: the command line says it was "missed", not "failed".
const isBonus = (c) => c.max_points === 0 &&
    /^(size: at most \d+ instructions|steps: at most \d+ in every case)$/.test(c.name);

/// What a report says, in the command line's words: a summary line ("count.tsasm: 1 of 2
/// cases passed", with ", score 1 of 2" when the test file gives points), one line a case
/// ("failed "NAME": REASON", or "passed "NAME""), and the hidden cases left out.
export function reportLines(report) {
    const s = report.submissions[0];
    let summary = `${s.file}: ${s.passed} of ${s.passed + s.failed} cases passed`;
    if (report.scored) summary += `, score ${s.score} of ${s.max_score}`;
    let lines = s.cases.map((c) => ({
        passed: c.passed,
        status: c.status,
        text: c.passed ? `passed "${c.name}"` : `${isBonus(c) ? 'missed' : 'failed'} "${c.name}": ${c.reason}`,
    }));
    // A program that does not build fails every case alike: said once, as the command line does.
    const first = s.cases[0];
    if (first && (first.status === 'does_not_build' || first.status === 'unreadable') &&
        s.cases.every((c) => c.passed || c.reason === first.reason)) {
        lines = [{ passed: false, status: first.status, text: first.reason }];
    }
    const n = report.hidden;
    const hidden = n > 0
        ? `${n} hidden ${n === 1 ? 'case was' : 'cases were'} not run: the teacher's grading runs ${n === 1 ? 'it' : 'them'}.`
        : '';
    return { summary, lines, hidden };
}

export class SelfTest {
    /// `machine`: the MachineLink. `program()`: {text, name} of the editor's program (its bytes).
    /// `before()` ends what the worker runs; `busy(on, status)` sets the page's buttons while
    /// the worker grades; `announce(text)` tells a screen reader. The elements: the
    /// button, the hidden file input, the results' section, heading, summary line and list.
    constructor({ machine, button, input, section, summary, list, program, before, busy, announce }) {
        Object.assign(this, { machine, button, input, section, summary, list, program, before, busy, announce });
        this.id = 0;
        this.pending = 0; // the id of the self-test the worker is grading, 0 for none
        this.last = null; // {text, name} of the last test file, for "Run again"
        button.addEventListener('click', () => input.click());
        input.addEventListener('change', async () => {
            const file = input.files[0];
            input.value = '';
            if (file) this.run(await fileBytes(file), file.name);
        });
        // A test file dropped anywhere on the page (the editor takes a dropped program itself).
        document.addEventListener('dragover', (event) => {
            if ([...event.dataTransfer.types].includes('Files')) event.preventDefault();
        });
        document.addEventListener('drop', async (event) => {
            const file = [...event.dataTransfer.files].find((f) => isTestFile(f.name));
            if (!file) return;
            event.preventDefault();
            event.stopPropagation();
            this.run(await fileBytes(file), file.name);
        }, true);
    }

    /// Runs the test file `text` (named `name`) on the editor's program.
    run(text, name) {
        this.before();
        const { text: program, name: programName } = this.program();
        this.last = { text, name };
        this.pending = ++this.id;
        this.show(`Running the visible cases of ${name}...`, [], '');
        this.busy(true, `Self-test: running ${name}...`);
        this.machine.post({ type: 'selftest', id: this.pending, toml: text, tomlName: name,
                            text: program, name: programName, seconds: caseSeconds });
    }

    /// The worker's answer: {id, report} or {id, error}.
    done(message) {
        if (message.id !== this.pending) return;
        this.pending = 0;
        if (message.report.error) {
            const text = `The test file cannot be read: ${message.report.error}`;
            this.show(text, [], '');
            this.busy(false, 'Self-test: the test file cannot be read');
            this.announce(text);
            return;
        }
        const { summary, lines, hidden } = reportLines(message.report);
        this.show(summary, lines, hidden);
        const s = message.report.submissions[0];
        const all = s.failed === 0;
        this.busy(false, all ? 'Self-test: every visible case passed' : `Self-test: ${s.failed} failed`);
        this.announce(`${summary}.${lines.filter((l) => !l.passed).map((l) => ` ${l.text}.`).join('')}`);
    }

    /// Stop ended the self-test: the worker that graded it is gone.
    stopped() {
        if (!this.pending) return false;
        this.pending = 0;
        this.show('The self-test was stopped.', [], '');
        return true;
    }

    show(summary, lines, hidden) {
        this.section.hidden = false;
        this.summary.textContent = summary;
        this.list.replaceChildren(...lines.map((l) => {
            const item = document.createElement('li');
            item.className = l.passed ? 'ok' : 'failure';
            item.dataset.status = l.status;
            item.textContent = l.text;
            return item;
        }));
        if (hidden) {
            const item = document.createElement('li');
            item.className = 'hidden-cases';
            item.textContent = hidden;
            this.list.append(item);
        }
        this.section.scrollIntoView({ block: 'nearest' });
    }
}
