// Tessivor: runs a program file in its one-line window. `tessivor prog.tsp` runs prog.tsp at
// once; without a file the window waits for "Load and Run Program".

#include "platform/cmdline.h"
#include "platform/out_of_memory.h"
#include "runner/window/module1.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    tessivor::platform::reportOutOfMemoryAtExit("tessivor");
    QApplication application(argc, argv); // takes Qt's own options out of argv
    QApplication::setApplicationName(QStringLiteral("Tessivor"));
    // On Windows the raw command line, quotes and all; elsewhere the arguments put in quotes.
    const std::string text = tessivor::platform::processArgumentText(argc, argv);
    const auto form = tessivor::Module1::startUp(text);
    return application.exec();
}
