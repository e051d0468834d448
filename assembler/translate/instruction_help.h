#pragma once
// What each mnemonic does and how it is written, for help panels and tooltips: the form and the
// operand columns come from the mnemonic table, the sentence of what it does from here. The
// registers' meanings beside them. Every text is plain ASCII, so any front end can show it.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tessivor {

/// One mnemonic as a learner looks it up.
struct InstructionHelp {
    std::string_view mnemonic; ///< lower case ("add")
    std::string written;       ///< how it is written, A, B, C standing for cells ("add A, B, C")
    std::string_view effect;   ///< what it does ("cell C := cell A * cell B")
    /// Where the operands stand, counted from the mnemonic's first letter (0): 4, 8, 12.
    std::vector<std::size_t> operandColumns;
    std::size_t textColumn = 0; ///< "set": where its text starts (8); 0 for the others
    std::size_t width = 0;      ///< characters the translation passes over; "set": up to its ";"
};

/// Every mnemonic, in the order the language manual's table lists them.
const std::vector<InstructionHelp>& instructionHelp();

/// The entry of `mnemonic` (any letter case), or null.
const InstructionHelp* findInstructionHelp(std::string_view mnemonic);

/// One register and what it holds.
struct RegisterHelp {
    std::string_view name;    ///< "pc", "cur", "opb", "opc"
    std::string_view meaning; ///< one line
};

/// The four registers, in the order the machine's state lists them.
const std::vector<RegisterHelp>& registerHelp();

} // namespace tessivor
