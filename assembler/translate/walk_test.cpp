#include "assembler/translate/walk.h"

#include "assembler/translate/compiletext.h"
#include "assembler/translate/reference_translation.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace tessivor {
namespace {

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

/// Every piece the walk reports, in order; `goOn` decides whether it walks past a "set"
/// without ";".
struct Recorder : WalkSink {
    explicit Recorder(bool goOn) : goOn(goOn) {}
    void instruction(const SourcePiece& p) { pieces.push_back(p); }
    bool unterminated(const SourcePiece& p) {
        pieces.push_back(p);
        return goOn;
    }
    void comment(const SourcePiece& p) { pieces.push_back(p); }
    void skipped(std::size_t begin, std::size_t end) {
        pieces.push_back({PieceKind::Skipped, begin, end, nullptr, end, false});
    }
    bool goOn;
    std::vector<SourcePiece> pieces;
};

std::vector<SourcePiece> walk(std::string_view source, bool goOn = false) {
    Recorder r(goOn);
    walkSource(source, r);
    return r.pieces;
}

/// The walk's translation equals the one written out the long way, and its pieces cover the
/// text without gaps or two skipped runs in a row, up to the end or the failing "set".
void expectSound(std::string_view source) {
    const Translation t = compiletext(source);
    const Translation r = reference::translate(source);
    ASSERT_EQ(t.ok, r.ok) << source;
    EXPECT_EQ(t.code, r.code) << source;
    EXPECT_EQ(t.position, r.position) << source;
    EXPECT_EQ(t.setAt, r.setAt) << source;

    for (const bool goOn : {false, true}) {
        std::size_t at = 0;
        bool failed = false;
        const std::vector<SourcePiece> pieces = walk(source, goOn);
        for (std::size_t k = 0; k < pieces.size(); ++k) {
            const SourcePiece& piece = pieces[k];
            ASSERT_EQ(piece.begin, at) << source;
            ASSERT_LT(piece.begin, piece.end) << source;
            ASSERT_LE(piece.end, source.size()) << source;
            ASSERT_LE(piece.end, piece.reach) << source;
            ASSERT_EQ(piece.kind == PieceKind::Instruction, piece.mnemonic != nullptr) << source;
            if (k > 0 && piece.kind == PieceKind::Skipped) {
                ASSERT_NE(pieces[k - 1].kind, PieceKind::Skipped) << source;
            }
            if (piece.unterminated && !failed) {
                EXPECT_EQ(piece.begin + 1, t.setAt) << source;
            }
            failed = failed || piece.unterminated;
            at = piece.end;
        }
        EXPECT_EQ(failed, !t.ok) << source;
        if (t.ok || goOn) {
            EXPECT_EQ(at, source.size()) << source;
        } else {
            ASSERT_FALSE(pieces.empty());
            EXPECT_TRUE(pieces.back().unterminated) << source;
            EXPECT_EQ(pieces.back().begin + 1, t.setAt) << source;
        }
    }
}

TEST(Walk, AgreesWithTheTranslationWrittenOutOnEveryExample) {
    int seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(TESSIVOR_EXAMPLES)) {
        if (entry.path().extension() != ".tsasm") continue;
        expectSound(readFile(entry.path()));
        ++seen;
    }
    EXPECT_GE(seen, 11);
}

TEST(Walk, AgreesWithTheTranslationWrittenOutOnItsEdgeCases) {
    for (std::string_view source : {"",
                                    "add 01, 02, 03",
                                    "dsp 1",
                                    "dsp",
                                    "set 01, Hi;",
                                    "set 01, Hi",
                                    "set 0",
                                    "///",
                                    "// a // b //",
                                    "// no closer\r\nend",
                                    "inc 01dsp 01",
                                    "blend",
                                    "set 01,;;",
                                    "SET 01, ;x",
                                    "lbl\r\nend",
                                    "friends and addresses",
                                    "ife 01, 02 eif",
                                    "set 01, a;set 02, b",
                                    "//\r\n//",
                                    "xadd 01, 02, 03",
                                    "add  01, 02, 03",
                                    "end// dsp 01 //",
                                    "zzz{|}~ad"}) {
        expectSound(source);
    }
}

TEST(Walk, AgreesWithTheTranslationWrittenOutOnRandomSources) {
    // Pieces of the language, shuffled: mnemonics, digits, separators, comment slashes, ";",
    // line ends of both kinds, bytes the machine does not hold, and the letters next to "a"
    // and "z" (the edges of the look-up of three letters).
    const std::vector<std::string> parts = {
        "add",  "SET", "set", "dsp", "lbl", "eif", "ife", "end", "mpt",  "inc", "Pwr", "idl",
        "0",    "1",   "42",  " ",   ", ",  ";",   "/",   "//",  "\r\n", "\n",  "\t",  "x",
        "\xe9", "a",   "d",   "e",   "z",   "Z",   "@",   "[",   "`",    "{",   "sqR", "gto"};
    std::mt19937 random(20261208);
    for (int round = 0; round < 20000; ++round) {
        std::string source;
        const int length = static_cast<int>(random() % 40);
        for (int k = 0; k < length; ++k)
            source += parts[random() % parts.size()];
        expectSound(source);
        if (HasFatalFailure()) return;
    }
}

TEST(Walk, GoingOnReadsFromTheLineAfterAFailedSet) {
    const std::string source = "set 01, Hello\r\ndsp 01\r\nend";
    EXPECT_EQ(walk(source).size(), 1u);
    const std::vector<SourcePiece> pieces = walk(source, true);
    ASSERT_EQ(pieces.size(), 4u); // the "dsp" leaves the line feed to skip
    EXPECT_TRUE(pieces[0].unterminated);
    EXPECT_EQ(pieces[0].end, 15u);
    EXPECT_EQ(pieces[1].mnemonic->name, "dsp");
    EXPECT_EQ(pieces[2].kind, PieceKind::Skipped);
    EXPECT_EQ(pieces[3].mnemonic->name, "end");
    // Through the failure, the "set" stands for its cell and "s" only.
    std::string code;
    for (const SourcePiece& p : pieces)
        if (p.mnemonic) appendCode(code, source, p);
    EXPECT_EQ(code, "a01sa01wp");
}

TEST(Walk, PiecesSayWhereEachInstructionReachesAndWhatASetHolds) {
    const std::string source = "x // c // ADD 01, 02, 03 set 05, a;b; // open";
    const std::vector<SourcePiece> p = walk(source);
    ASSERT_EQ(p.size(), 8u);
    EXPECT_EQ(p[0].kind, PieceKind::Skipped);
    EXPECT_EQ(p[1].kind, PieceKind::Comment);
    EXPECT_EQ(source.substr(p[1].begin, p[1].end - p[1].begin), "// c //");
    EXPECT_EQ(p[2].kind, PieceKind::Skipped);
    EXPECT_EQ(p[3].mnemonic->name, "add");
    EXPECT_EQ(p[3].reach - p[3].begin, 15u);
    EXPECT_EQ(setLiteral(source, p[4]), "a");
    EXPECT_EQ(p[5].kind, PieceKind::Skipped); // "b; "
    EXPECT_EQ(p[6].kind, PieceKind::UnclosedComment);
    EXPECT_EQ(p[7].kind, PieceKind::Skipped); // an unclosed "//" hides only itself
    // The text ends inside the instruction: the piece stops at the end, its reach beyond.
    const std::vector<SourcePiece> cut = walk("dsp 0");
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_EQ(cut[0].end, 5u);
    EXPECT_EQ(cut[0].reach, 7u);
    EXPECT_EQ(mnemonicAt("xEnD", 1)->name, "end");
    EXPECT_EQ(mnemonicAt("en", 0), nullptr);
    EXPECT_EQ(mnemonicAt("end", 3), nullptr);
}

} // namespace
} // namespace tessivor
