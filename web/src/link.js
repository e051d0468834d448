// The page's side of the worker that runs the machine. A worker busy with one long step cannot
// read a message, and one whose engine failed reads none again: Stop then ends the worker itself
// and a fresh one takes its place, so the page never waits for either. Stop is answered at once:
// what the old run still says is dropped, and what the page asks meanwhile waits for the worker
// that will answer it.

/// How long Stop waits for the worker's own answer before it replaces the worker.
export const stopPatience = 300;

export class MachineLink {
    /// `onMessage(message)` gets everything the worker says but the answers to build() and
    /// roles(); a worker that failed is announced as {type: 'failed', message}, and replaced.
    constructor(onMessage, url = 'worker.js') {
        this.onMessage = onMessage;
        this.url = url;
        this.requests = new Map(); // id -> {type, text, resolve}: questions not answered yet
        this.nextId = 0;
        this.stopTimer = 0;
        this.stopping = false; // Stop was asked; the worker has not said "stopped" yet
        this.waiting = []; // messages for after the Stop
        this.spawn();
    }

    spawn() {
        this.worker = new Worker(this.url);
        this.worker.onmessage = (event) => this.receive(event.data);
        this.worker.onerror = (event) => {
            event.preventDefault();
            this.fail(event.message || 'the engine failed');
        };
        // Questions asked of the worker that went are asked again.
        for (const [id, { type, text }] of this.requests) this.worker.postMessage({ type, id, text });
    }

    receive(message) {
        if (message.type === 'built' || message.type === 'roles') {
            this.requests.get(message.id)?.resolve(message);
            this.requests.delete(message.id);
            return;
        }
        if (message.type === 'failed') {
            this.fail(message.message);
            return;
        }
        if (this.stopping) {
            // The page said "Stopped" already; the stopped run's last words are left unsaid.
            if (message.type === 'stopped') this.settleStop();
            return;
        }
        this.onMessage(message);
    }

    post(message) {
        if (this.stopping) this.waiting.push(message);
        else this.worker.postMessage(message);
    }

    /// The translation and the checker's findings for `text`: {result, diagnostics}.
    build(text) {
        return this.ask('build', text);
    }

    /// The part each byte of `text` plays in the translation: {runs}.
    roles(text) {
        return this.ask('roles', text);
    }

    /// A question about `text` that the worker answers whatever it does, and that a fresh
    /// worker is asked again; never held back by a Stop.
    ask(type, text) {
        const id = ++this.nextId;
        return new Promise((resolve) => {
            this.requests.set(id, { type, text, resolve });
            this.worker.postMessage({ type, id, text });
        });
    }

    /// Ends the run at once for the page ({type: 'stopped'}); the worker ends it on its side,
    /// or after stopPatience a fresh worker takes its place.
    stop() {
        if (this.stopping) return;
        this.worker.postMessage({ type: 'stop' });
        this.stopping = true;
        this.stopTimer = setTimeout(() => {
            this.stopTimer = 0;
            this.replace();
        }, stopPatience);
        this.onMessage({ type: 'stopped' });
    }

    /// The Stop is over: what waited goes to the worker now there.
    settleStop() {
        clearTimeout(this.stopTimer);
        this.stopTimer = 0;
        this.stopping = false;
        for (const message of this.waiting.splice(0)) this.worker.postMessage(message);
    }

    /// A fresh worker in place of this one, whatever it was doing.
    replace() {
        this.worker.onmessage = null;
        this.worker.onerror = null;
        this.worker.terminate();
        this.spawn();
        this.settleStop();
    }

    fail(message) {
        this.settleStop();
        this.replace();
        this.onMessage({ type: 'failed', message });
    }
}
