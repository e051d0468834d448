#include "runner/window/module1.h"

#include <iostream>

namespace tessivor::Module1 {

std::unique_ptr<Form1> startUp(std::string_view argumentText, const CreateForm1& createForm1,
                               std::ostream& errors) {
    std::unique_ptr<Form1> form;
    startUpRoutine(
        argumentText,
        [&]() -> Form1Logic& {
            form = createForm1();
            form->show();
            return *form;
        },
        errors);
    return form;
}

std::unique_ptr<Form1> startUp(std::string_view argumentText) {
    return startUp(
        argumentText, [] { return std::make_unique<Form1>(); }, std::cerr);
}

} // namespace tessivor::Module1
