#include "studio/timeline.h"

#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

#include <algorithm>
#include <array>
#include <limits>

namespace tessivor::studio {
namespace {

// The slider's places: one a step up to this many steps, else an even share of the run each.
constexpr int kMaxPlaces = 1'000'000'000;

} // namespace

Timeline::Timeline(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setRange(0, 0);
    setMinimumHeight(28);
    connect(this, &QSlider::valueChanged, this, [this](int value) {
        if (!showing_) emit jumpRequested(stepOf(value));
    });
}

int Timeline::valueOf(std::int64_t step) const {
    if (furthest_ <= kMaxPlaces)
        return static_cast<int>(std::clamp<std::int64_t>(step, 0, furthest_));
    const double share = static_cast<double>(std::clamp<std::int64_t>(step, 0, furthest_)) /
                         static_cast<double>(furthest_);
    return static_cast<int>(share * kMaxPlaces);
}

std::int64_t Timeline::stepOf(int value) const {
    if (furthest_ <= kMaxPlaces) return value;
    if (value >= maximum()) return furthest_;
    return static_cast<std::int64_t>(static_cast<double>(value) / kMaxPlaces *
                                     static_cast<double>(furthest_));
}

void Timeline::showRun(std::int64_t current, std::int64_t oldest, std::int64_t furthest,
                       std::vector<Mark> marks) {
    showing_ = true;
    furthest_ = std::max<std::int64_t>(furthest, 0);
    oldest_ = std::clamp<std::int64_t>(oldest, 0, furthest_);
    current_ = std::clamp<std::int64_t>(current, 0, furthest_);
    marks_ = std::move(marks);
    setRange(valueOf(oldest_), valueOf(furthest_));
    // A key moves one step, Page Up and Page Down a tenth of the run.
    setSingleStep(1);
    setPageStep(std::max(1, (maximum() - minimum()) / 10));
    // Dragged by the learner: the handle stays where the mouse holds it.
    if (!isSliderDown()) setValue(valueOf(current_));
    showing_ = false;
    update();
}

void Timeline::clearRun() { showRun(0, 0, 0, {}); }

QString Timeline::valueText() const {
    return QStringLiteral("step %1 of %2").arg(chosenStep()).arg(furthest_);
}

QColor Timeline::markColour(Mark::Kind kind) {
    switch (kind) {
    case Mark::Kind::Breakpoint: return QColor(0xd0, 0x20, 0x20);
    case Mark::Kind::Watch: return QColor(0xe0, 0x80, 0x00);
    case Mark::Kind::Display: return QColor(0x20, 0x80, 0x30);
    case Mark::Kind::Edit: return QColor(0x70, 0x30, 0xc0);
    }
    return Qt::gray;
}

void Timeline::paintEvent(QPaintEvent* event) {
    QSlider::paintEvent(event);
    if (marks_.empty() || furthest_ <= 0) return;
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    // The handle's centre travels from half a handle in to half a handle from the end.
    const int span = groove.width() - handle.width();
    const int left = groove.left() + handle.width() / 2;
    if (span <= 0) return;
    // One mark of each kind a pixel column at most: a run of 100,000 shown texts draws fast.
    constexpr int kKinds = 4;
    std::vector<std::array<bool, kKinds>> columns(static_cast<std::size_t>(span) + 1);
    for (const Mark& mark : marks_) {
        if (mark.step < oldest_ || mark.step > furthest_) continue;
        const int x =
            QStyle::sliderPositionFromValue(minimum(), maximum(), valueOf(mark.step), span);
        columns[static_cast<std::size_t>(x)][static_cast<int>(mark.kind)] = true;
    }
    QPainter painter(this);
    // Shown texts and edits below the groove, stops above it.
    const int above = groove.top() - 1, below = groove.bottom() + 1;
    for (int x = 0; x <= span; ++x) {
        const auto& kinds = columns[static_cast<std::size_t>(x)];
        for (int k = 0; k < kKinds; ++k) {
            if (!kinds[static_cast<std::size_t>(k)]) continue;
            const auto kind = static_cast<Mark::Kind>(k);
            painter.setPen(QPen(markColour(kind), 2));
            const bool stop = kind == Mark::Kind::Breakpoint || kind == Mark::Kind::Watch;
            const int y0 = stop ? std::max(0, above - 7) : below;
            const int y1 = stop ? above : std::min(height() - 1, below + 7);
            painter.drawLine(left + x, y0, left + x, y1);
        }
    }
}

void Timeline::mousePressEvent(QMouseEvent* event) {
    // A click beside the handle jumps there (not a page at a time); the handle then drags on.
    if (event->button() == Qt::LeftButton && maximum() > minimum()) {
        QStyleOptionSlider option;
        initStyleOption(&option);
        const QRect handle =
            style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
        if (!handle.contains(event->position().toPoint())) {
            const QRect groove =
                style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
            const int x = event->position().toPoint().x() - groove.left() - handle.width() / 2;
            setValue(QStyle::sliderValueFromPosition(minimum(), maximum(), x,
                                                     groove.width() - handle.width()));
        }
    }
    QSlider::mousePressEvent(event);
}

namespace {

/// A Timeline as a screen reader sees it: a slider whose value is "step N of M".
class TimelineAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit TimelineAccessible(Timeline* timeline)
        : QAccessibleWidget(timeline, QAccessible::Slider) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return timeline()->valueText();
        return QAccessibleWidget::text(t);
    }
    QVariant currentValue() const override {
        return QVariant::fromValue<qlonglong>(timeline()->chosenStep());
    }
    void setCurrentValue(const QVariant& value) override {
        timeline()->setValue(timeline()->valueOf(value.toLongLong()));
    }
    QVariant maximumValue() const override {
        return QVariant::fromValue<qlonglong>(timeline()->furthest());
    }
    QVariant minimumValue() const override { return QVariant::fromValue<qlonglong>(0); }
    QVariant minimumStepSize() const override { return QVariant::fromValue<qlonglong>(1); }

private:
    Timeline* timeline() const { return static_cast<Timeline*>(widget()); }
};

QAccessibleInterface* timelineFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("tessivor::studio::Timeline") && object &&
        object->isWidgetType())
        return new TimelineAccessible(static_cast<Timeline*>(object));
    return nullptr;
}

} // namespace

void installTimelineAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(timelineFactory);
        return true;
    }();
    (void)installed;
}

} // namespace tessivor::studio
