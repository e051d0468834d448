#include "studio/source_roles.h"

#include "assembler/translate/mnemonics.h"

#include <algorithm>

namespace tessivor::studio {
namespace {

int letterIndex(char c) {
    if (c >= 'a' && c <= 'z') return c - 'a';
    if (c >= 'A' && c <= 'Z') return c - 'A';
    return -1;
}

const Mnemonic* mnemonicAt(std::string_view source, std::size_t i) {
    if (source.size() - i < 3) return nullptr;
    for (std::size_t k = 0; k < 3; ++k) {
        if (letterIndex(source[i + k]) < 0) return nullptr;
    }
    for (const Mnemonic& m : kMnemonics) {
        if (letterIndex(source[i]) == m.name[0] - 'a' &&
            letterIndex(source[i + 1]) == m.name[1] - 'a' &&
            letterIndex(source[i + 2]) == m.name[2] - 'a') {
            return &m;
        }
    }
    return nullptr;
}

std::size_t operandCount(Form form) {
    switch (form) {
    case Form::ThreeOperand: return 3;
    case Form::Comparison:
    case Form::TwoOperand: return 2;
    case Form::OneOperand:
    case Form::Text: return 1;
    case Form::Marker: return 0;
    }
    return 0;
}

} // namespace

std::vector<SourceRole> sourceRoles(std::string_view source) {
    const std::size_t n = source.size();
    std::vector<SourceRole> roles(n, SourceRole::Skipped);
    const auto mark = [&](std::size_t from, std::size_t to, SourceRole role) {
        std::fill(roles.begin() + static_cast<std::ptrdiff_t>(std::min(from, n)),
                  roles.begin() + static_cast<std::ptrdiff_t>(std::min(to, n)), role);
    };
    std::size_t i = 0;
    while (i < n) {
        if (const Mnemonic* m = mnemonicAt(source, i)) {
            mark(i, i + 3, SourceRole::Mnemonic);
            for (std::size_t k = 0; k < operandCount(m->form); ++k) {
                mark(i + kOperandColumn[k], i + kOperandColumn[k] + 2, SourceRole::Operand);
            }
            if (m->form == Form::Text) {
                const std::size_t literal = i + 8;
                const std::size_t semicolon =
                    literal < n ? source.find(';', literal) : std::string_view::npos;
                if (semicolon == std::string_view::npos) {
                    mark(literal, n, SourceRole::OpenText);
                    break;
                }
                mark(literal, semicolon + 1, SourceRole::Text);
                i = semicolon + 1;
                continue;
            }
            i += m->advance;
            continue;
        }
        if (source[i] == '/' && i + 1 < n && source[i + 1] == '/') {
            // As in the translation: the closer is searched from the second "/", and an
            // unclosed "//" hides only itself.
            const std::size_t q = source.find("//", i + 1);
            if (q == std::string_view::npos) {
                i += 2;
            } else {
                mark(i, q + 2, SourceRole::Comment);
                i = q + 2;
            }
            continue;
        }
        ++i;
    }
    return roles;
}

} // namespace tessivor::studio
