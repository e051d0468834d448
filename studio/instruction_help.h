#pragma once
// What each instruction does, in one line, made from the table of operations: the Help panel
// lists every mnemonic the translation knows, and the editor's tooltip names the one under the
// mouse. A new row in the table shows here without a word written for it.

#include <QString>

#include <vector>

namespace tessivor::studio {

struct InstructionHelp {
    QString mnemonic; ///< "add"
    QString written;  ///< how it is written: "add A, B, C"
    QChar code;       ///< the operation's character in a program file
    QString does;     ///< "writes cell C from cell A and cell B, read as numbers"
    QString columns;  ///< where its operands stand: "A at the 5th character, ..."; "" for none
};

/// Every mnemonic, in the table's order.
std::vector<InstructionHelp> instructionTable();

/// The help of the mnemonic `name` (any letter case), "" when it names none.
QString instructionTip(const QString& name);

/// One line on the registers beside them.
QString registersHelp();

} // namespace tessivor::studio
