#pragma once
// The checker's fixes as edits: a finding that knows how its line should be written replaces
// that line when the learner asks (Ctrl+., or a click on the fix).

#include "studio/code_editor.h"

#include <vector>

class QPlainTextEdit;

namespace tessivor::studio {

/// The editor positions [first, second) of source line `line` (1-based) in `text`, where every
/// U+2029, U+2028 and '\n' ends a line; {-1, -1} when the text has fewer lines.
std::pair<int, int> lineRange(const QString& text, int line);

/// Writes `fix` in place of source line `line` of `editor` as one edit, which Undo takes back;
/// false when there is no such line.
bool applyLineFix(QPlainTextEdit* editor, int line, const QString& fix);

/// The mark whose fix is meant at (line, column): one with a fix covering the column, else the
/// first on the line with a fix; null when the line has none.
const EditorMark* fixAt(const std::vector<EditorMark>& marks, int line, int column);

} // namespace tessivor::studio
