// The checker's fixes as quick fixes: a finding that says how its line should be written gets a
// "Fix" action (a click in its tooltip or in the Problems list, or F there), and Ctrl+. applies
// the fix of the caret's line.
import { forEachDiagnostic } from '@codemirror/lint';

/// The action that writes line `line` as `suggestion`, or null where the fix would lose
/// characters: the machine's bytes hold no character beyond U+00FF, so a suggestion made from
/// a line holding one has a "?" in its place.
export function fixAction(doc, line, suggestion) {
    if (line < 1 || line > doc.lines || /[^\x00-\xff]/.test(doc.line(line).text)) return null;
    return {
        name: 'Fix',
        suggestion,
        apply(view, from) {
            const target = view.state.doc.lineAt(from);
            view.dispatch({
                changes: { from: target.from, to: target.to, insert: suggestion },
                selection: { anchor: target.from + suggestion.length },
                userEvent: 'input.fix',
            });
        },
    };
}

/// Applies the first fix on the caret's line; returns the fixed line's number and text, or
/// null when the line has none.
export function applyFixAtCaret(view) {
    const caretLine = view.state.doc.lineAt(view.state.selection.main.head);
    let found = null;
    forEachDiagnostic(view.state, (d, from) => {
        if (found || view.state.doc.lineAt(from).number !== caretLine.number) return;
        const action = d.actions?.find((a) => a.name === 'Fix');
        if (action) found = { action, from };
    });
    if (!found) return null;
    found.action.apply(view, found.from, found.from);
    return { line: caretLine.number, text: found.action.suggestion };
}
