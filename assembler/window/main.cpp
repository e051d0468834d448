// Tessivor ASM: the editor and assembler. The program ignores its command line.

#include "assembler/window/form1.h"
#include "platform/out_of_memory.h"

#include <QApplication>

int main(int, char*[]) {
    tessivor::platform::reportOutOfMemoryAtExit("tessivor-asm");
    // Qt is given the program's name only, so no argument changes what the program does.
    static char name[] = "tessivor-asm";
    static char* qtArgv[] = {name, nullptr};
    int qtArgc = 1;
    QApplication app(qtArgc, qtArgv);

    tessivor::assembler::Form1 window;
    window.show();
    return app.exec();
}
