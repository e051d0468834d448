#include "assembler/window/form1.h"

#include "assembler/translate/compiletext.h"
#include "platform/files.h"
#include "platform/qt_dialogs.h"
#include "platform/qt_events.h"
#include "platform/qt_source_text.h"
#include "platform/qt_text.h"

#include <QAction>
#include <QFile>
#include <QFontDatabase>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTextCursor>

namespace tessivor::assembler {
namespace {

constexpr char kTitle[] = "Tessivor ASM";
constexpr char kSourceFilter[] = "Tessivor ASM File (*.tsasm) | *.tsasm";
constexpr char kProgramFilter[] = "Tessivor Program (*.tsp) | *.tsp";
constexpr char kCompileError[] = "Error Compiling.";
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

/// A file name from the dialog, readable inside a message box (which shows Latin-1).
std::string displayName(const std::string& fileName) {
    return platform::fromQString(QFile::decodeName(QByteArray::fromStdString(fileName)));
}

} // namespace

Form1::Form1() : Form1(nullptr, nullptr) {
    ownDialog_ = std::make_unique<platform::QtFileDialog>(this);
    ownBoxes_ = std::make_unique<platform::QtBoxes>(this);
    ComDLG = ownDialog_.get();
    boxes_ = ownBoxes_.get();
}

Form1::Form1(platform::FileDialog& dialog, platform::Boxes& boxes) : Form1(&dialog, &boxes) {}

Form1::Form1(platform::FileDialog* dialog, platform::Boxes* boxes) : ComDLG(dialog), boxes_(boxes) {
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
    const auto action = [this](const char* name, const char* caption, void (Form1::*command)()) {
        auto* act = new QAction(QString::fromLatin1(caption), this);
        act->setObjectName(QString::fromLatin1(name));
        connect(act, &QAction::triggered, this, command);
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

void Form1::new_() { t1->setPlainText(QString()); }

void Form1::save() {
    ComDLG->Filter = kSourceFilter;
    if (ComDLG->ShowSave()) {
        const std::string source = platform::sourceFromEditor(editorText());
        std::string reason;
        if (!platform::writeTextFile(ComDLG->FileName, source, reason)) {
            reportFileFailure("save", reason);
        }
    }
    // A cancelled dialog ends the command quietly.
    ComDLG->FileName.clear();
}

void Form1::load() {
    ComDLG->Filter = kSourceFilter;
    if (ComDLG->ShowOpen()) {
        std::string bytes;
        std::string reason;
        // The old text stays until the whole file has been read.
        if (platform::readWholeFile(ComDLG->FileName, bytes, reason)) {
            t1->setPlainText(platform::editorTextFromFile(bytes));
        } else {
            reportFileFailure("load", reason);
        }
    }
    ComDLG->FileName.clear();
}

void Form1::compile() {
    const QString text = editorText();
    const std::string source = platform::sourceFromEditor(text);
    const Translation translation = compiletext(source);
    if (!translation.ok) {
        compileFailed(text, translation.position);
        return;
    }
    ComDLG->Filter = kProgramFilter;
    std::string reason;
    if (!ComDLG->ShowSave() ||
        !platform::writeTextFile(ComDLG->FileName, translation.code, reason)) {
        // The scan has passed the end of the text, and so does the caret.
        compileFailed(text, source.size() + 1);
        return;
    }
    ComDLG->FileName.clear();
}

void Form1::exit() { platform::endProgramNow(); }

QString Form1::editorText() const {
    // toPlainText() would turn a no-break space (byte A0) into a space; the raw text keeps it.
    return t1->document()->toRawText();
}

void Form1::compileFailed(const QString& text, std::size_t position) {
    ComDLG->FileName.clear();
    boxes_->messageBox(kTitle, kCompileError);
    QTextCursor caret = t1->textCursor();
    caret.setPosition(platform::editorPosition(text, position));
    t1->setTextCursor(caret);
}

void Form1::reportFileFailure(const char* verb, const std::string& reason) {
    const std::string text =
        std::string("Could not ") + verb + " \"" + displayName(ComDLG->FileName) + "\": " + reason;
    ComDLG->FileName.clear();
    boxes_->messageBox(kTitle, text);
}

} // namespace tessivor::assembler
