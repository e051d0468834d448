// Going through a run's time in the Studio: the timeline, Back to Breakpoint, Go to Step,
// cells edited while paused, and the output of steps gone back over leaving.

#include "studio/studio_test_support.h"

#include "assembler/translate/program.h"
#include "runner/debug/session.h"
#include "runner/machine/host.h"
#include "studio/timeline.h"

#include <QLineEdit>
#include <QTest>

#include <chrono>

namespace tessivor::studio {
namespace {

using namespace test_support;

// Counts to 10, showing each number; "dsp 01" is line 5.
const QString kCount = QStringLiteral("set 01, 1;\nset 02, 10;\nset 90, 1;\nlbl 01\ndsp 01\n"
                                      "ifl 01, 02\ninc 01\ngto 90\neif\nend\n");

class StudioTravelTest : public StudioWindowTest {
public:
    Timeline* timeline() { return window->timeline(); }
    /// Drags the timeline's handle to `step` and waits until the machine stands there.
    void jumpTo(std::int64_t step) {
        timeline()->setValue(timeline()->valueOf(step));
        ASSERT_TRUE(waitUntil([&] {
            return !window->busy() && window->machine().state.steps == step;
        })) << "the jump to step "
            << step << " ended at " << window->machine().state.steps;
    }
    /// The state a fresh session of the editor's program has after `steps` steps.
    struct Fresh {
        DebugState state;
        std::array<std::string, kCells> cells;
    };
    Fresh freshAt(std::int64_t steps) {
        const Program program = Program::fromSource(window->sourceBytes(), "fresh.tsasm");
        QuietHost host;
        DebugSession session({program.code, program.map, program.instructionTexts()}, host);
        session.stepi(steps);
        return {session.state(), session.cells()};
    }
    void expectShowsStep(std::int64_t steps) {
        const Fresh fresh = freshAt(steps);
        const DebugState& s = window->machine().state;
        EXPECT_EQ(s.steps, steps);
        EXPECT_EQ(s.pc, fresh.state.pc) << "at step " << steps;
        EXPECT_EQ(s.cur, fresh.state.cur) << "at step " << steps;
        EXPECT_EQ(s.opb, fresh.state.opb) << "at step " << steps;
        EXPECT_EQ(s.opc, fresh.state.opc) << "at step " << steps;
        EXPECT_EQ(window->machine().cells, fresh.cells) << "at step " << steps;
        // The views follow: the cells, the registers and the current line.
        EXPECT_EQ(cell(1), QString::fromStdString(fresh.cells[1])) << "at step " << steps;
        EXPECT_EQ(reg("pc"), QString::number(fresh.state.pc));
        EXPECT_EQ(reg("steps"), QString::number(steps));
        if (!fresh.state.ended) {
            EXPECT_EQ(window->editor()->executionLine(), fresh.state.line) << "at step " << steps;
        }
    }
    /// Each line of the Output with its step: "12: 3".
    QStringList outputWithSteps() {
        QStringList lines;
        const QStringList steps = output(0), texts = output(1);
        for (int i = 0; i < texts.size(); ++i)
            lines << steps[i] + QStringLiteral(": ") + texts[i];
        return lines;
    }
};

TEST_F(StudioTravelTest, TheTimelineJumpsToAStepAndShowsItsState) {
    setText(kCount);
    trigger("run");
    ASSERT_EQ(window->machine().stop, Stop::Terminated);
    const std::int64_t end = window->machine().state.steps;
    ASSERT_GT(end, 20);
    EXPECT_EQ(timeline()->furthest(), end);
    EXPECT_EQ(timeline()->current(), end);
    EXPECT_EQ(output().size(), 10);

    // Back and forth, each jump as a fresh run of that many steps stands.
    for (const std::int64_t step : {end / 2, std::int64_t{3}, end - 2, std::int64_t{0}, end / 3}) {
        jumpTo(step);
        expectShowsStep(step);
        // The timeline reads where it stands, and its end stays the run's furthest step.
        EXPECT_EQ(timeline()->valueText(), QStringLiteral("step %1 of %2").arg(step).arg(end));
        EXPECT_EQ(timeline()->furthest(), end);
    }

    // The keyboard moves it: one step, the start, the end.
    timeline()->setFocus();
    QTest::keyClick(timeline(), Qt::Key_Right);
    ASSERT_TRUE(
        waitUntil([&] { return !window->busy() && window->machine().state.steps == end / 3 + 1; }));
    expectShowsStep(end / 3 + 1);
    QTest::keyClick(timeline(), Qt::Key_Home);
    ASSERT_TRUE(waitUntil([&] { return !window->busy() && window->machine().state.steps == 0; }));
    QTest::keyClick(timeline(), Qt::Key_End);
    ASSERT_TRUE(waitUntil([&] { return !window->busy() && window->machine().state.steps == end; }));
    // Back at the end: every line once, and the end's message once.
    EXPECT_EQ(output().size(), 10);
    EXPECT_EQ(messages().filter("Program Terminated").size(), 1);
}

TEST_F(StudioTravelTest, ADragSendsFewJumpsAndEndsWhereTheHandleStops) {
    // A long run, so a drag crosses many steps.
    setText(QStringLiteral("set 01, 1;\nset 02, 3000;\nset 90, 1;\nlbl 01\ninc 01\nifl 01, 02\n"
                           "gto 90\neif\nend\n"));
    trigger("run");
    const std::int64_t end = window->machine().state.steps;
    ASSERT_GT(end, 10'000);
    // A drag: the handle passes over hundreds of places in a moment.
    timeline()->setSliderDown(true);
    for (int i = 1; i <= 400; ++i)
        timeline()->setValue(timeline()->valueOf(end - i * (end / 500)));
    const std::int64_t last = end - 400 * (end / 500);
    // While the mouse holds it, the handle stays where the learner put it.
    QCoreApplication::processEvents();
    EXPECT_EQ(timeline()->chosenStep(), last);
    timeline()->setSliderDown(false);
    ASSERT_TRUE(
        waitUntil([&] { return !window->busy() && window->machine().state.steps == last; }));
    expectShowsStep(last);
}

TEST_F(StudioTravelTest, BackToBreakpointLandsOnThePreviousHit) {
    setText(kCount);
    window->editor()->toggleBreakpoint(5); // dsp 01
    std::vector<std::int64_t> hits;
    trigger("run");
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(window->machine().stop, Stop::Breakpoint);
        hits.push_back(window->machine().state.steps);
        trigger("continue");
    }
    ASSERT_EQ(window->machine().stop, Stop::Breakpoint);
    EXPECT_EQ(cell(1), "4");
    EXPECT_EQ(output(), (QStringList{"1", "2", "3"}));

    for (int i = 2; i >= 0; --i) {
        trigger("reverseContinue");
        EXPECT_EQ(window->machine().stop, Stop::Breakpoint);
        EXPECT_EQ(window->machine().state.steps, hits[static_cast<std::size_t>(i)]);
        EXPECT_EQ(window->machine().state.line, 5);
        EXPECT_EQ(cell(1), QString::number(i + 1));
        // Before the dsp of that hit: its line and the later ones are gone.
        EXPECT_EQ(output().size(), i);
    }
    // None before the first: the run's start, and a stop that says so.
    trigger("reverseContinue");
    EXPECT_EQ(window->machine().stop, Stop::HistoryEnd);
    EXPECT_EQ(window->machine().state.steps, window->machine().oldest);
    EXPECT_TRUE(output().isEmpty());

    // One machine step back, from a step into the run.
    trigger("stepMachine");
    trigger("stepMachine");
    trigger("backMachine");
    EXPECT_EQ(window->machine().state.steps, 1);
    expectShowsStep(1);
}

TEST_F(StudioTravelTest, OutputAfterAJumpBackIsGoneAndComesBackGoingForward) {
    setText(kCount);
    trigger("run");
    const std::int64_t end = window->machine().state.steps;
    const QStringList whole = outputWithSteps();
    ASSERT_EQ(whole.size(), 10);
    // Go to Step... asks for the step.
    const std::int64_t middle = output(0)[4].toLongLong(); // the step that showed "5"
    dialogs.replies = {QString::number(middle - 1)};
    trigger("goToStep");
    EXPECT_EQ(window->machine().state.steps, middle - 1);
    EXPECT_EQ(output(), (QStringList{"1", "2", "3", "4"}));
    EXPECT_TRUE(messages().filter("Program Terminated").isEmpty());
    // A step forward shows "5" once.
    trigger("stepMachine");
    EXPECT_EQ(output(), (QStringList{"1", "2", "3", "4", "5"}));
    // Forward to the end: the same lines at the same steps as the first time.
    jumpTo(end);
    EXPECT_EQ(outputWithSteps(), whole);
    EXPECT_EQ(messages().filter("Program Terminated").size(), 1);
    // Not a number: nothing moves.
    dialogs.replies = {QStringLiteral("middle")};
    trigger("goToStep");
    EXPECT_EQ(window->machine().state.steps, end);
    EXPECT_TRUE(window->lastAnnouncement().contains("step number"))
        << window->lastAnnouncement().toStdString();
}

TEST_F(StudioTravelTest, AFailuresReportLeavesWithItsStepAndComesBackOnceAtTheEnd) {
    setText(QStringLiteral("set 01, a;\nset 02, 1;\nmul 01, 02, 03\nend\n"));
    trigger("run");
    ASSERT_EQ(window->machine().stop, Stop::Error);
    const std::int64_t end = window->machine().state.steps;
    // The machine's own boxes and the report in the words of tessivor-cli run.
    const QStringList said = messages();
    ASSERT_EQ(said.filter("cell 01 holds \"a\", not a number").size(), 1);
    jumpTo(end - 1);
    EXPECT_TRUE(messages().filter("mismatch").isEmpty());
    for (int i = 0; i < 2; ++i) {
        jumpTo(end);
        EXPECT_EQ(messages(), said);
        jumpTo(end - 1);
    }
}

TEST_F(StudioTravelTest, GoingBackPastTheListedRowsListsTheEarlierLinesAgain) {
    // 15,000 lines: more than the pane lists (its latest 10,000).
    setText(QStringLiteral("set 01, 1;\nset 02, 15000;\nset 90, 1;\nlbl 01\ndsp 01\n"
                           "ifl 01, 02\ninc 01\ngto 90\neif\nend\n"));
    trigger("run");
    ASSERT_EQ(window->machine().stop, Stop::Terminated);
    ASSERT_EQ(output().size(), 10'000);
    EXPECT_EQ(output().front(), "5001");
    // Back to a step between "3000" and "3001": lines 1 to 3000 are listed.
    const std::int64_t step =
        output(0)[0].toLongLong() - 2001 * (output(0)[1].toLongLong() - output(0)[0].toLongLong());
    jumpTo(step);
    const QStringList listed = output();
    ASSERT_EQ(listed.size(), 3000);
    EXPECT_EQ(listed.front(), "1");
    EXPECT_EQ(listed.back(), "3000");
}

TEST_F(StudioTravelTest, AWatchStopAtFullSpeedListsNothingOfTheStepsAfterIt) {
    // Cell 03 changes once, at count 3001 (the first above cell 04), in a loop that shows
    // every count.
    setText(QStringLiteral("set 01, 1;\nset 02, 6000;\nset 04, 3000;\nset 90, 1;\nlbl 01\n"
                           "dsp 01\nifl 01, 04\neif\nifl 04, 01\nset 03, x;\neif\n"
                           "ifl 01, 02\ninc 01\ngto 90\neif\nend\n"));
    window->setWatch(3, true);
    trigger("run");
    ASSERT_EQ(window->machine().stop, Stop::Watch);
    EXPECT_EQ(cell(3), "x");
    const QStringList listed = output();
    ASSERT_FALSE(listed.isEmpty());
    EXPECT_EQ(listed.back(), "3001");
    EXPECT_LE(output(0).back().toLongLong(), window->machine().state.steps);
    // Going on lists each later count once.
    window->setWatch(3, false);
    trigger("continue");
    ASSERT_EQ(window->machine().stop, Stop::Terminated);
    const QStringList all = output();
    ASSERT_EQ(all.size(), 6000);
    for (int i = 0; i < all.size(); ++i)
        ASSERT_EQ(all[i], QString::number(i + 1));
}

TEST_F(StudioTravelTest, AnEditedCellIsUndoneByBackAndMadeAgainGoingForward) {
    setText(QStringLiteral("set 01, 5;\nset 02, 7;\ndsp 01\nend\n"));
    setSpeed(0);
    auto* cells = window->findChild<QTableWidget*>("cells");
    trigger("step");
    trigger("step");
    const std::int64_t at = window->machine().state.steps;
    EXPECT_EQ(cell(1), "5");
    EXPECT_NE(cells->editTriggers(), QAbstractItemView::NoEditTriggers);

    // The learner types over cell 01's text.
    cells->setCurrentCell(1, 1);
    cells->editItem(cells->item(1, 1));
    auto* typed = cells->findChild<QLineEdit*>();
    ASSERT_NE(typed, nullptr);
    EXPECT_EQ(typed->text(), "5");
    typed->setText(QStringLiteral("9"));
    QTest::keyClick(typed, Qt::Key_Return); // the view takes the text a moment later
    ASSERT_TRUE(waitUntil([&] { return !window->busy() && cell(1) == "9"; }));
    EXPECT_EQ(cell(1), "9");
    EXPECT_EQ(window->machine().state.steps, at); // an edit runs no step
    bool marked = false;
    for (const Mark& mark : window->machine().marks)
        marked = marked || (mark.kind == Mark::Kind::Edit && mark.step == at);
    EXPECT_TRUE(marked) << "no edit mark at step " << at;

    // Back takes the edit away, and only the edit.
    trigger("back");
    EXPECT_EQ(cell(1), "5");
    EXPECT_EQ(cell(2), "7");

    // Made again, then the run goes on with it: dsp shows the edited text.
    cells->editItem(cells->item(1, 1));
    typed = cells->findChild<QLineEdit*>();
    ASSERT_NE(typed, nullptr);
    typed->setText(QStringLiteral("9"));
    QTest::keyClick(typed, Qt::Key_Return); // the view takes the text a moment later
    ASSERT_TRUE(waitUntil([&] { return !window->busy() && cell(1) == "9"; }));
    trigger("step");
    EXPECT_EQ(output(), QStringList{"9"});
    const std::int64_t after = window->machine().state.steps;
    // Back over the edit's step and forward again: the edit is made again.
    jumpTo(at - 1); // inside "set 02, 7;"
    EXPECT_EQ(cell(1), "5");
    EXPECT_TRUE(output().isEmpty());
    // The timeline marks the edit where it was made.
    const auto& marks = timeline()->marks();
    EXPECT_TRUE(std::any_of(marks.begin(), marks.end(), [&](const Mark& m) {
        return m.kind == Mark::Kind::Edit && m.step == at;
    }));
    jumpTo(after);
    EXPECT_EQ(cell(1), "9");
    EXPECT_EQ(output(), QStringList{"9"});

    // While a run goes on the cells take no edit.
    setText(QStringLiteral("set 90, 1;\nlbl 01\ngto 90\n"));
    setSpeed(10);
    action("run")->trigger();
    ASSERT_TRUE(waitUntil([&] { return window->machine().running; }, 5000));
    EXPECT_EQ(cells->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(window->editCell(1, QStringLiteral("x")));
    trigger("pause");
}

TEST_F(StudioTravelTest, TheSpeedShownIsTheSpeedOfTheLastSecond) {
    setText(QStringLiteral("set 90, 1;\nlbl 01\ngto 90\n"));
    action("run")->trigger();
    ASSERT_TRUE(waitUntil([&] { return window->machine().running; }, 5000));
    // Watched from outside over a second and a half: the steps the run made and the time.
    ASSERT_FALSE(waitUntil([] { return false; }, 300));
    const auto t0 = std::chrono::steady_clock::now();
    const std::int64_t s0 = window->machine().state.steps;
    ASSERT_FALSE(waitUntil([] { return false; }, 1500));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double seen = static_cast<double>(window->machine().state.steps - s0) / seconds / 1e6;
    const double shown = window->machine().speed;
    trigger("pause");
    ASSERT_GT(seen, 0.1);
    // Reports come every tenth of a second: the two agree within a factor of two.
    EXPECT_GT(shown, seen / 2) << "shown " << shown << " seen " << seen;
    EXPECT_LT(shown, seen * 2) << "shown " << shown << " seen " << seen;
    EXPECT_TRUE(reg("speed").endsWith("M steps/s"));
}

} // namespace
} // namespace tessivor::studio
