// Files the page hands to the learner: the source, the built program, the output log and a
// run's trace. Every one is bytes, one a character, as the machine and tessivor-cli write them.

export function downloadBytes(name, text, type = 'text/plain') {
    const data = Uint8Array.from(text, (c) => c.charCodeAt(0) & 0xff);
    const url = URL.createObjectURL(new Blob([data], { type }));
    const a = document.createElement('a');
    a.href = url;
    a.download = name;
    document.body.append(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(url), 1000);
}

/// The steps a trace covers at most: a million lines are some 60 MB.
export const traceSteps = 200000;

/// What a trace of the last run needs, recorded as the run goes: its source, its name, the
/// seed of its random numbers, its clock and every reply its input boxes got.
export class RunRecord {
    constructor() {
        this.run = null;
    }

    start(text, name, seed, virtualClock) {
        this.run = { text, name, seed, virtualClock, replies: [] };
    }

    reply(text) {
        this.run?.replies.push(text);
    }

    /// The worker's trace request for the recorded run, or null before any run.
    traceRequest(id) {
        if (!this.run) return null;
        const { text, name, seed, virtualClock, replies } = this.run;
        return { type: 'trace', id, text, name: `${name}.tsasm`, seed, replies: [...replies],
                 virtualClock, maxSteps: traceSteps };
    }
}
