#include "studio/instruction_help.h"

#include "assembler/translate/mnemonics.h"

#include <QStringList>

namespace tessivor::studio {
namespace {

// The operand, A to C, that names the cell a register holds: the translation writes "a" and
// the operand for each, then "b" or "c" to keep the earlier ones in opb and opc.
QString operandOf(Form form, Reg reg) {
    switch (form) {
    case Form::ThreeOperand:
        return reg == Reg::Opb   ? QStringLiteral("A")
               : reg == Reg::Opc ? QStringLiteral("B")
                                 : QStringLiteral("C");
    case Form::Comparison: return reg == Reg::Opb ? QStringLiteral("A") : QStringLiteral("B");
    case Form::TwoOperand: return reg == Reg::Opb ? QStringLiteral("A") : QStringLiteral("B");
    case Form::OneOperand:
    case Form::Text:
    case Form::Marker: return QStringLiteral("A");
    }
    return QStringLiteral("A");
}

QString readAsText(ReadAs as) {
    switch (as) {
    case ReadAs::Text: return QStringLiteral("as texts");
    case ReadAs::Double:
    case ReadAs::Single: return QStringLiteral("as numbers");
    case ReadAs::Integer: return QStringLiteral("as a whole number");
    case ReadAs::Nothing: break;
    }
    return {};
}

QString writtenAs(const Mnemonic& m) {
    const QString name = QString::fromLatin1(m.name.data(), static_cast<qsizetype>(m.name.size()));
    switch (m.form) {
    case Form::ThreeOperand: return name + QStringLiteral(" A, B, C");
    case Form::Comparison:
    case Form::TwoOperand: return name + QStringLiteral(" A, B");
    case Form::OneOperand: return name + QStringLiteral(" A");
    case Form::Text: return name + QStringLiteral(" A, text;");
    case Form::Marker: return m.op == kOpLabel ? name + QStringLiteral(" NN") : name;
    }
    return name;
}

QString does(const Mnemonic& m) {
    const Letter& row = letterOf(m.op);
    if (m.form == Form::Text) return QStringLiteral("cell A := the text up to the \";\"");
    QStringList read;
    for (const Reg reg : regList(row.reads)) {
        // An append reads the cell it appends to: that goes without saying.
        if (row.writes == Writes::Append && reg == Reg::Cur) continue;
        read << QStringLiteral("cell ") + operandOf(m.form, reg);
    }
    const QString from = read.isEmpty()
                             ? QString()
                             : QStringLiteral(" from %1, read %2")
                                   .arg(read.join(QStringLiteral(" and ")), readAsText(row.readAs));
    if (m.form == Form::Comparison)
        return QStringLiteral("a test on %1, read %2: when it holds the next instructions run, "
                              "else the run goes on after the next eif")
            .arg(read.join(QStringLiteral(" and ")), readAsText(row.readAs));
    switch (row.writes) {
    case Writes::Cell: return QStringLiteral("writes cell ") + operandOf(m.form, Reg::Cur) + from;
    case Writes::Append:
        return QStringLiteral("appends to cell ") + operandOf(m.form, Reg::Cur) + from;
    case Writes::Display: return QStringLiteral("shows cell ") + operandOf(m.form, Reg::Cur);
    case Writes::Nothing: break;
    }
    if (row.sets == Sets::Cur) return QStringLiteral("cur := the number") + from;
    if (m.op == kOpLabel)
        return QStringLiteral("a label; labels are numbered 1, 2, 3 ... in order");
    if (m.op == kOpEndIf) return QStringLiteral("where a failed test goes on");
    if (m.op == kOpEnd) return QStringLiteral("ends the run: \"Program Terminated\"");
    if (regList(row.reads).count > 0) return QStringLiteral("uses the number") + from;
    return QStringLiteral("changes no cell");
}

} // namespace

std::vector<InstructionHelp> instructionTable() {
    std::vector<InstructionHelp> table;
    for (const Mnemonic& m : kMnemonics) {
        InstructionHelp help;
        help.mnemonic = QString::fromLatin1(m.name.data(), static_cast<qsizetype>(m.name.size()));
        help.written = writtenAs(m);
        help.code = QChar::fromLatin1(letterOf(m.op).ch);
        help.does = does(m);
        QStringList columns;
        for (std::size_t i = 0; i < operandColumns(m); ++i)
            columns << QStringLiteral("%1 at the %2th character")
                           .arg(QChar(u'A' + int(i)))
                           .arg(kOperandColumn[i] + 1);
        if (!columns.isEmpty())
            help.columns = columns.join(QStringLiteral(", ")) +
                           QStringLiteral(" from the mnemonic's first letter");
        table.push_back(help);
    }
    return table;
}

QString instructionTip(const QString& name) {
    for (const InstructionHelp& help : instructionTable()) {
        if (help.mnemonic.compare(name, Qt::CaseInsensitive) == 0)
            return help.written + QStringLiteral(": ") + help.does +
                   (help.columns.isEmpty() ? QString() : QStringLiteral("\n") + help.columns);
    }
    return {};
}

QString registersHelp() {
    return QStringLiteral("pc: the position of the next code character; cur: the cell the "
                          "operation writes; opb, opc: the cells it reads");
}

} // namespace tessivor::studio
