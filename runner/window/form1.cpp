#include "runner/window/form1.h"

#include "platform/qt_dialogs.h"
#include "platform/qt_events.h"
#include "platform/qt_text.h"

#include <QAction>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QPalette>

#include <climits>

namespace tessivor {

namespace {
// The display fills the client area: one line of text under the menu bar.
constexpr int kClientWidth = 304;
constexpr int kClientHeight = 19;
} // namespace

Form1::Form1() : Form1(nullptr, nullptr) {}

Form1::Form1(std::unique_ptr<platform::FileDialog> comDlg, std::unique_ptr<platform::Boxes> boxes)
    : Form1Logic(comDlg ? std::move(comDlg) : std::make_unique<platform::QtFileDialog>(this),
                 boxes ? std::move(boxes) : std::make_unique<platform::QtBoxes>(this)) {
    setWindowTitle(QString::fromLatin1(kCaption));
    createActions();
    createMenus();
    createDisplay();
}

Form1::~Form1() = default;

void Form1::createActions() {
    larp = new QAction(QStringLiteral("Load and Run Program"), this);
    larp->setObjectName(QStringLiteral("larp"));
    connect(larp, &QAction::triggered, this, [this] { larpClick(); });

    // Memory state files were planned but never built: shown, never selectable.
    smtofile = new QAction(QStringLiteral("Save Memory to File (State Save)"), this);
    smtofile->setObjectName(QStringLiteral("smtofile"));
    smtofile->setEnabled(false);
    lmfromfile = new QAction(QStringLiteral("Load Memory From File (State Load)"), this);
    lmfromfile->setObjectName(QStringLiteral("lmfromfile"));
    lmfromfile->setEnabled(false);

    exit = new QAction(QStringLiteral("Exit"), this);
    exit->setObjectName(QStringLiteral("exit"));
    connect(exit, &QAction::triggered, this, [this] { exitClick(); });
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

void Form1::closeEvent(QCloseEvent*) { exitClick(); }

void Form1::showCaption(std::string_view caption) { setWindowTitle(platform::toQString(caption)); }

void Form1::showInT1(std::string_view text) { t1->setText(platform::toQString(text)); }

void Form1::enableLarp() { larp->setEnabled(true); }

void Form1::handlePendingEvents() { platform::processPendingEvents(); }

void Form1::handleNonInputEvents() { platform::processNonInputEvents(); }

} // namespace tessivor
