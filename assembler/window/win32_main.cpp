// Tessivor ASM on Windows: the editor and assembler. The program ignores its command line.

#include "assembler/window/win32_form1.h"
#include "platform/out_of_memory.h"
#include "platform/win32_window.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show) {
    tessivor::platform::reportOutOfMemoryAtExit("tessivor-asm");
    tessivor::platform::initCommonControls();
    tessivor::assembler::win32::Form1 window;
    window.show(show);
    return tessivor::platform::runMessageLoop();
}
