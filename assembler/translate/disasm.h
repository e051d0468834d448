#pragma once
// The disassembler: lists a code string as assembly source.

#include <string>
#include <string_view>

namespace tessivor {

/// Lists `code` one instruction a line (CR LF line ends) in the operand columns the translation
/// reads. For any code string that `compiletext` produces, `compiletext` of the listing gives it
/// back byte for byte; anything else is shown in closed comments, which translate to nothing.
std::string disasm(std::string_view code);

/// Lists the code string a program file holds: the file's text less its closing CR LF. A file
/// without that line end gets a leading comment saying so.
std::string disasmProgramFile(std::string_view fileText);

} // namespace tessivor
