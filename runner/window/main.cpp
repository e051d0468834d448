// Tessivor: runs a program file in its one-line window. `tessivor prog.tsp` runs prog.tsp at
// once; without a file the window waits for "Load and Run Program".

#include "platform/cmdline.h"
#include "platform/out_of_memory.h"
#include "runner/window/module1.h"

#include <QApplication>

#if defined(_WIN32)
#include <windows.h>
#endif

int main(int argc, char* argv[]) {
    tessivor::platform::reportOutOfMemoryAtExit("tessivor");
    QApplication application(argc, argv); // takes Qt's own options out of argv
    QApplication::setApplicationName(QStringLiteral("Tessivor"));
#if defined(_WIN32)
    const std::string text = tessivor::platform::argumentTextOfCommandLine(GetCommandLineA());
#else
    const std::string text = tessivor::platform::argumentText(argc, argv);
#endif
    const auto form = tessivor::Module1::startUp(text);
    return application.exec();
}
