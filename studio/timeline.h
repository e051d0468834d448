#pragma once
// The run's timeline: a slider over its steps, from the first to the furthest one the run
// reached, standing at the current step, with the moments worth going back to marked on it
// (breakpoint and watch stops, each shown text, each edit of a cell).

#include "runner/debug/session.h"

#include <QSlider>

#include <cstdint>
#include <vector>

namespace tessivor::studio {

class Timeline : public QSlider {
    Q_OBJECT

public:
    explicit Timeline(QWidget* parent = nullptr);

    /// Where the run stands: steps `oldest` to `furthest`, at `current`, with its moments. Moves
    /// the handle without asking for a jump.
    void showRun(std::int64_t current, std::int64_t oldest, std::int64_t furthest,
                 std::vector<Mark> marks);
    /// No run: an empty timeline.
    void clearRun();

    std::int64_t current() const { return current_; }
    std::int64_t furthest() const { return furthest_; }
    /// The step the handle stands at (while dragging, ahead of the run).
    std::int64_t chosenStep() const { return stepOf(value()); }
    const std::vector<Mark>& marks() const { return marks_; }
    /// "step 120 of 4000", as a screen reader reads the timeline's value.
    QString valueText() const;

    /// The handle's place for step `step`, and the step of a place.
    int valueOf(std::int64_t step) const;
    std::int64_t stepOf(int value) const;

    /// The colour a kind of mark is drawn in.
    static QColor markColour(Mark::Kind kind);

signals:
    /// The learner moved the handle (dragging, a click, a key) to step `step`.
    void jumpRequested(std::int64_t step);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    std::int64_t current_ = 0, oldest_ = 0, furthest_ = 0;
    std::vector<Mark> marks_;
    bool showing_ = false; // the handle moves to where the run stands, not where it is asked to
};

/// Makes screen readers read a Timeline's value as "step N of M".
void installTimelineAccessibility();

} // namespace tessivor::studio
