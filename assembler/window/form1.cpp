#include "assembler/window/form1.h"

#include "platform/qt_dialogs.h"
#include "platform/qt_source_text.h"
#include "platform/qt_text.h"

#include <QAction>
#include <QFontDatabase>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTextCursor>

namespace tessivor::assembler {
namespace {

constexpr char kTitle[] = "Tessivor ASM";
constexpr int kClientWidth = 264;
constexpr int kClientHeight = 312;
constexpr double kFontPoints = 8.25;

QFont editorFont() {
    const QString lucida = QStringLiteral("Lucida Console");
    QFont font = QFontDatabase::families().contains(lucida)
                     ? QFont(lucida)
                     : QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(kFontPoints);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

} // namespace

Form1::Form1() : Form1(nullptr, nullptr) {
    ownDialog_ = std::make_unique<platform::QtFileDialog>(this);
    ownBoxes_ = std::make_unique<platform::QtBoxes>(this);
    useDialogs(*ownDialog_, *ownBoxes_);
}

Form1::Form1(platform::FileDialog& dialog, platform::Boxes& boxes) : Form1(&dialog, &boxes) {}

Form1::Form1(platform::FileDialog* dialog, platform::Boxes* boxes) : Form1Logic(dialog, boxes) {
    setWindowTitle(QString::fromLatin1(kTitle));
    createEditor();
    createActions();
    createMenus();
    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
}

Form1::~Form1() = default;

void Form1::createEditor() {
    t1 = new QPlainTextEdit(this);
    t1->setObjectName(QStringLiteral("t1"));
    t1->setFont(editorFont());
    // Long lines wrap at the right edge; there is no horizontal scroll bar.
    t1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    t1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    t1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setCentralWidget(t1);
}

void Form1::createActions() {
    const auto action = [this](const char* name, const char* caption,
                               void (Form1Logic::*command)()) {
        auto* act = new QAction(QString::fromLatin1(caption), this);
        act->setObjectName(QString::fromLatin1(name));
        connect(act, &QAction::triggered, this, [this, command] { (this->*command)(); });
        return act;
    };
    newAct = action("new", "New", &Form1::new_);
    saveAct = action("save", "Save", &Form1::save);
    loadAct = action("load", "Load", &Form1::load);
    compileAct = action("compile", "Compile", &Form1::compile);
    exitAct = action("exit", "Exit", &Form1::exit);
}

void Form1::createMenus() {
    file = menuBar()->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("file"));
    file->addAction(newAct);
    file->addAction(saveAct);
    file->addAction(loadAct);
    file->addAction(compileAct);
    file->addAction(exitAct);
}

std::string Form1::sourceText() const { return platform::sourceFromEditor(editorText()); }

void Form1::setSourceText(std::string_view source) {
    t1->setPlainText(platform::editorTextFromSource(source));
}

void Form1::setCaret(std::size_t offset) {
    QTextCursor caret = t1->textCursor();
    caret.setPosition(platform::editorPosition(editorText(), offset));
    t1->setTextCursor(caret);
}

QString Form1::editorText() const {
    // toPlainText() would turn a no-break space (byte A0) into a space; the raw text keeps it.
    return t1->document()->toRawText();
}

} // namespace tessivor::assembler
