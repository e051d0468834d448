// What the logs show as the run moves about its timeline (timeline.js's Replay), with logs that
// hold lines by step as the page's do.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { Replay } from '../src/timeline.js';

class FakeLog {
    constructor() { this.lines = []; }
    append(texts, className, skipped, steps) {
        texts.forEach((text, i) => this.lines.push({ text, className, step: Array.isArray(steps) ? steps[i] : steps }));
    }
    rewind(step) {
        const keep = this.lines.findIndex((l) => l.step > step);
        return keep < 0 ? [] : this.lines.splice(keep);
    }
    get steps() { return this.lines.map((l) => l.step); }
}

const shown = (from, to) => Array.from({ length: to - from + 1 }, (_, i) => ({ kind: 'display', step: from + i }));

/// One update: the run stands at `steps`, the engine handed `events` over.
function update(replay, log, events, steps) {
    const fresh = replay.move(events, steps);
    log.append(fresh.map((e) => `line ${e.step}`), '', 0, fresh.map((e) => e.step));
}

test('a move back and forward again shows each line once, however the session replays', () => {
    const log = new FakeLog();
    const replay = new Replay([log]);
    update(replay, log, shown(1, 10), 10);
    update(replay, log, [], 4); // back
    assert.deepEqual(log.steps, [1, 2, 3, 4]);
    // Forward with the replayed steps' events handed over again: each line once.
    update(replay, log, shown(5, 7), 7);
    assert.deepEqual(log.steps, [1, 2, 3, 4, 5, 6, 7]);
    // Back to the start by a replay from an earlier moment, which hands over its events too.
    update(replay, log, shown(1, 2), 2);
    assert.deepEqual(log.steps, [1, 2]);
    // Forward past the end the page held, without the events in between: they come back.
    update(replay, log, shown(11, 12), 12);
    assert.deepEqual(log.steps, [1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12]);
    assert.equal(replay.ranNew, true);
    update(replay, log, [], 3);
    update(replay, log, shown(4, 9), 9);
    assert.equal(replay.ranNew, false, 'a move over steps the page held ran nothing new');
});

test('a stop found after the run went further leaves out the later events until they come again', () => {
    const log = new FakeLog();
    const replay = new Replay([log]);
    update(replay, log, shown(1, 8), 5); // a watch at step 5, found after running to 8
    assert.deepEqual(log.steps, [1, 2, 3, 4, 5]);
    update(replay, log, shown(6, 9), 9);
    assert.deepEqual(log.steps, [1, 2, 3, 4, 5, 6, 7, 8, 9]);
});

test('after an edit the lines a move back took away are another run\'s: they do not come back', () => {
    const log = new FakeLog();
    const replay = new Replay([log]);
    update(replay, log, shown(1, 10), 10);
    update(replay, log, [], 4);
    replay.forget(); // the learner edits a cell at step 4
    update(replay, log, [], 4);
    update(replay, log, shown(5, 6), 6);
    assert.deepEqual(log.steps, [1, 2, 3, 4, 5, 6]);
});
