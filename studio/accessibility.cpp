#include "studio/accessibility.h"

#include <QAccessible>
#include <QLabel>

#include <algorithm>
#include <cmath>

namespace tessivor::studio {
namespace {

double channel(double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); }

double luminance(const QColor& colour) {
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
           0.0722 * channel(colour.blueF());
}

} // namespace

double contrastRatio(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableOn(const QColor& wanted, const QColor& background, double ratio) {
    return readableOn(wanted, background, background, ratio);
}

QColor readableOn(const QColor& wanted, const QColor& background, const QColor& other,
                  double ratio) {
    QColor colour = wanted.toRgb();
    colour.setAlphaF(1.0f);
    const auto reads = [&](const QColor& c) {
        return contrastRatio(c, background) >= ratio && contrastRatio(c, other) >= ratio;
    };
    if (reads(colour)) return colour;
    // Away from the background's lightness, in small steps of the colour's own lightness.
    const bool darkBackground = luminance(background) < 0.18;
    float h = 0, s = 0, l = 0, a = 1;
    colour.getHslF(&h, &s, &l, &a);
    for (int i = 0; i < 100; ++i) {
        l = std::clamp(l + (darkBackground ? 0.01f : -0.01f), 0.0f, 1.0f);
        const QColor next = QColor::fromHslF(h, s, l);
        if (reads(next)) return next;
    }
    return darkBackground ? QColor(Qt::white) : QColor(Qt::black);
}

QColor blend(const QColor& top, double share, const QColor& under) {
    const auto mix = [share](double a, double b) { return a * share + b * (1.0 - share); };
    return QColor::fromRgbF(static_cast<float>(mix(top.redF(), under.redF())),
                            static_cast<float>(mix(top.greenF(), under.greenF())),
                            static_cast<float>(mix(top.blueF(), under.blueF())));
}

QColor executionLineColour(const QPalette& palette) {
    return blend(palette.color(QPalette::Highlight), 0.25, palette.color(QPalette::Base));
}

QColor dimmedText(const QPalette& palette) {
    const QColor base = palette.color(QPalette::Base);
    return readableOn(blend(palette.color(QPalette::Text), 0.45, base), base);
}

QPalette highContrastPalette() {
    const QColor black(Qt::black);
    const QColor white(Qt::white);
    const QColor yellow(0xff, 0xff, 0x00);
    QPalette p(white, black); // window text, window
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::WindowText, white);
        p.setColor(group, QPalette::Window, black);
        p.setColor(group, QPalette::Base, black);
        p.setColor(group, QPalette::AlternateBase, QColor(0x1a, 0x1a, 0x1a));
        p.setColor(group, QPalette::Text, white);
        p.setColor(group, QPalette::Button, black);
        p.setColor(group, QPalette::ButtonText, white);
        p.setColor(group, QPalette::BrightText, yellow);
        p.setColor(group, QPalette::Highlight, yellow);
        p.setColor(group, QPalette::HighlightedText, black);
        p.setColor(group, QPalette::Link, QColor(0x00, 0xff, 0xff));
        p.setColor(group, QPalette::LinkVisited, QColor(0xff, 0x80, 0xff));
        p.setColor(group, QPalette::ToolTipBase, black);
        p.setColor(group, QPalette::ToolTipText, white);
        p.setColor(group, QPalette::PlaceholderText, QColor(0xc0, 0xc0, 0xc0));
        // Frames and separators drawn in white, so every edge shows.
        for (const auto role :
             {QPalette::Light, QPalette::Midlight, QPalette::Mid, QPalette::Dark, QPalette::Shadow})
            p.setColor(group, role, white);
    }
    // Greyed commands stay readable (7:1 on black), though fainter than the others.
    const QColor grey(0xa0, 0xa0, 0xa0);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, grey);
    for (const auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
        p.setColor(QPalette::Disabled, role, black);
    p.setColor(QPalette::Disabled, QPalette::Highlight, grey);
    p.setColor(QPalette::Disabled, QPalette::HighlightedText, black);
    return p;
}

void announce(QWidget* source, const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(source)) label->setText(text);
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    QAccessibleAnnouncementEvent event(source, text);
    QAccessible::updateAccessibility(&event);
#else
    // Before Qt 6.8 there is no announcement event: the status label's name changes, which a
    // screen reader speaks for a status bar, and an alert asks it to speak now.
    QAccessibleEvent named(source, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&named);
    QAccessibleEvent alert(source, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
#endif
}

} // namespace tessivor::studio
