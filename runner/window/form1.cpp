#include "runner/window/form1.h"

#include "platform/files.h"
#include "platform/qt_dialogs.h"
#include "platform/qt_events.h"
#include "platform/qt_text.h"
#include "runner/window/module1.h"

#include <QAction>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QPalette>

#include <climits>

namespace tessivor {

namespace {
constexpr const char* kTitle = "Tessivor";
constexpr const char* kProgramFilter = "Tessivor Program (*.tsp) | *.tsp";
// The display fills the client area: one line of text under the menu bar.
constexpr int kClientWidth = 304;
constexpr int kClientHeight = 19;
} // namespace

Form1::Form1() : Form1(nullptr, nullptr) {}

Form1::Form1(std::unique_ptr<platform::FileDialog> comDlg, std::unique_ptr<platform::Boxes> boxes)
    : ComDLG(comDlg ? std::move(comDlg) : std::make_unique<platform::QtFileDialog>(this)),
      boxes_(boxes ? std::move(boxes) : std::make_unique<platform::QtBoxes>(this)) {
    setWindowTitle(QString::fromLatin1(kCaption));
    createActions();
    createMenus();
    createDisplay();
}

Form1::~Form1() = default;

void Form1::createActions() {
    larp = new QAction(QStringLiteral("Load and Run Program"), this);
    larp->setObjectName(QStringLiteral("larp"));
    connect(larp, &QAction::triggered, this, &Form1::larpClick);

    // Memory state files were planned but never built: shown, never selectable.
    smtofile = new QAction(QStringLiteral("Save Memory to File (State Save)"), this);
    smtofile->setObjectName(QStringLiteral("smtofile"));
    smtofile->setEnabled(false);
    lmfromfile = new QAction(QStringLiteral("Load Memory From File (State Load)"), this);
    lmfromfile->setObjectName(QStringLiteral("lmfromfile"));
    lmfromfile->setEnabled(false);

    exit = new QAction(QStringLiteral("Exit"), this);
    exit->setObjectName(QStringLiteral("exit"));
    connect(exit, &QAction::triggered, this, &Form1::exitClick);
}

void Form1::createMenus() {
    app = menuBar()->addMenu(QStringLiteral("App"));
    app->setObjectName(QStringLiteral("app"));
    app->addAction(larp);
    app->addAction(smtofile);
    app->addAction(lmfromfile);
    app->addAction(exit);
}

void Form1::createDisplay() {
    t1 = new QLineEdit;
    t1->setObjectName(QStringLiteral("t1"));
    t1->setReadOnly(true);
    t1->setMaxLength(INT_MAX); // "w" shows the whole cell, never a cut-off one
    QPalette colours = t1->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        colours.setColor(group, QPalette::Base, Qt::white);
        colours.setColor(group, QPalette::Text, Qt::black);
    }
    t1->setPalette(colours);
    t1->setFixedHeight(kClientHeight);
    setCentralWidget(t1);
    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
}

RunResult Form1::runprogram(const std::string& incode) {
    return tessivor::runprogram(incode, *this);
}

void Form1::larpClick() {
    ComDLG->Filter = kProgramFilter;
    // A cancelled dialog runs nothing, even when it still holds an earlier choice.
    if (!ComDLG->ShowOpen()) return;
    std::string reason;
    if (!platform::readWholeFile(ComDLG->FileName, Module1::loadedcode, reason)) return;
    runprogram(Module1::loadedcode);
}

void Form1::exitClick() { platform::endProgramNow(); }

void Form1::closeEvent(QCloseEvent*) { platform::endProgramNow(); }

void Form1::setCaption(std::string_view caption) {
    setWindowTitle(platform::toQString(caption));
    // The machine sets the caption at each speed display refresh, once a second: the moment
    // for the window to repaint and to take a request to close. Commands still wait for "t".
    platform::processNonInputEvents();
}

void Form1::setDisplay(std::string_view text) { t1->setText(platform::toQString(text)); }

void Form1::setLarpEnabled() { larp->setEnabled(true); }

void Form1::messageBox(std::string_view text) { boxes_->messageBox(kTitle, text); }

std::string Form1::inputBox(std::string_view prompt) { return boxes_->inputBox(kTitle, prompt); }

void Form1::processEvents() { platform::processPendingEvents(); }

std::int32_t Form1::tickCount() { return tickCount_(); }

void Form1::setTickCount(std::function<std::int32_t()> tickCount) {
    tickCount_ = std::move(tickCount);
}

float Form1::randomSingle() { return random_.next(); }

const std::atomic<std::uint32_t>* Form1::tickPulse() { return platform::tickPulse(); }

} // namespace tessivor
