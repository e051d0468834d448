// Tessivor on Windows: runs a program file in its one-line window. `tessivor "prog.tsp"` runs
// prog.tsp at once; without a file the window waits for "Load and Run Program".

#include "platform/cmdline.h"
#include "platform/out_of_memory.h"
#include "platform/win32_window.h"
#include "runner/window/start_up.h"
#include "runner/window/win32_form1.h"

#include <windows.h>

#include <iostream>
#include <memory>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show) {
    tessivor::platform::reportOutOfMemoryAtExit("tessivor");
    tessivor::platform::initCommonControls();
    // The raw command line, quotes and all, in the ANSI code page.
    const std::string text = tessivor::platform::processArgumentText(0, nullptr);
    std::unique_ptr<tessivor::win32::Form1> form;
    tessivor::Module1::startUpRoutine(
        text,
        [&]() -> tessivor::Form1Logic& {
            form = std::make_unique<tessivor::win32::Form1>();
            form->show(show);
            return *form;
        },
        std::cerr);
    return tessivor::platform::runMessageLoop();
}
