#pragma once
// What the Studio needs to be read and seen by everyone: colours that keep their contrast on
// any palette, a high-contrast palette, and announcements for screen readers.

#include <QColor>
#include <QPalette>
#include <QString>

class QWidget;

namespace tessivor::studio {

/// The contrast ratio of two colours as WCAG 2.1 counts it: 1 (the same) to 21 (black on white).
double contrastRatio(const QColor& a, const QColor& b);

/// `wanted`, made lighter or darker (hue kept) until it reads at `ratio` or more on
/// `background`; `wanted` itself when it already does. Alpha is dropped.
QColor readableOn(const QColor& wanted, const QColor& background, double ratio = 4.5);
/// The same, readable on both backgrounds (the text's own and a highlighted line's).
QColor readableOn(const QColor& wanted, const QColor& background, const QColor& other,
                  double ratio = 4.5);

/// `top` over `under` with `top` covering `share` (0 to 1) of it.
QColor blend(const QColor& top, double share, const QColor& under);

/// The background of the line the machine stands at: the highlight, faint, over the base.
QColor executionLineColour(const QPalette& palette);
/// Text that is skipped or empty: fainter than the text, still readable on the base.
QColor dimmedText(const QPalette& palette);

/// White on black with yellow highlights, for the active, inactive and disabled groups.
QPalette highContrastPalette();

/// Says `text` to a screen reader as a status announcement from `source` (a label whose
/// text becomes `text`).
void announce(QWidget* source, const QString& text);

} // namespace tessivor::studio
