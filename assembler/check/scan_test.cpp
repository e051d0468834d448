#include "assembler/check/scan.h"

#include "assembler/translate/compiletext.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace tessivor {
namespace {

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

/// The scan stands for exactly the code string the translation writes, and fails where it
/// fails; its pieces cover the text without gaps.
void expectAgreement(std::string_view source) {
    const Translation t = compiletext(source);
    const SourceScan scan = scanSource(source);
    ASSERT_EQ(scan.ok, t.ok) << source;
    if (t.ok) {
        EXPECT_EQ(scannedCode(scan, source), t.code) << source;
    }
    std::size_t at = 0;
    for (const ScanPiece& piece : scan.pieces) {
        ASSERT_EQ(piece.begin, at) << source;
        ASSERT_LT(piece.begin, piece.end) << source;
        at = piece.end;
    }
    if (t.ok) {
        EXPECT_EQ(at, source.size()) << source;
    } else {
        ASSERT_FALSE(scan.pieces.empty());
        EXPECT_TRUE(scan.pieces.back().unterminated);
        EXPECT_EQ(scan.pieces.back().begin + 1, t.setAt) << source;
    }
}

TEST(Scan, AgreesWithTheTranslationOnEveryExample) {
    int seen = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(TESSIVOR_SOURCE_DIR "/examples")) {
        if (entry.path().extension() != ".tsasm") continue;
        expectAgreement(readFile(entry.path()));
        ++seen;
    }
    EXPECT_GE(seen, 11);
}

TEST(Scan, AgreesWithTheTranslationOnItsEdgeCases) {
    for (std::string_view source :
         {"", "add 01, 02, 03", "dsp 1", "dsp", "set 01, Hi;", "set 01, Hi", "set 0", "///",
          "// a // b //", "// no closer\r\nend", "inc 01dsp 01", "blend", "set 01,;;",
          "SET 01, ;x", "lbl\r\nend", "friends and addresses", "ife 01, 02 eif",
          "set 01, a;set 02, b", "//\r\n//"}) {
        expectAgreement(source);
    }
}

TEST(Scan, AgreesWithTheTranslationOnRandomSources) {
    // Pieces of the language, shuffled: mnemonics, digits, separators, comment slashes, ";",
    // line ends of both kinds, and bytes the machine does not hold.
    const std::vector<std::string> parts = {
        "add", "SET", "set", "dsp", "lbl", "eif", "ife", "end", "mpt", "inc", "Pwr", "0", "1",
        "42", " ", ", ", ";", "/", "//", "\r\n", "\n", "\t", "x", "\xe9", "a", "d", "e"};
    std::mt19937 random(20261208);
    for (int round = 0; round < 3000; ++round) {
        std::string source;
        const int length = static_cast<int>(random() % 40);
        for (int k = 0; k < length; ++k) source += parts[random() % parts.size()];
        expectAgreement(source);
        if (HasFatalFailure()) return;
    }
}

TEST(Scan, ResumingReadsOnFromTheLineAfterAFailedSet) {
    const std::string source = "set 01, Hello\r\ndsp 01\r\nend";
    const SourceScan stopped = scanSource(source);
    ASSERT_EQ(stopped.pieces.size(), 1u);
    const SourceScan resumed = scanSource(source, true);
    EXPECT_FALSE(resumed.ok);
    ASSERT_EQ(resumed.pieces.size(), 4u); // the "dsp" leaves the line feed to skip
    EXPECT_EQ(resumed.pieces[0].end, 15u);
    EXPECT_EQ(resumed.pieces[1].mnemonic->name, "dsp");
    EXPECT_EQ(resumed.pieces[2].kind, PieceKind::Skipped);
    EXPECT_EQ(resumed.pieces[3].mnemonic->name, "end");
    // Through the failure, the "set" stands for its cell and "s" only.
    EXPECT_EQ(scannedCode(resumed, source, nullptr, true), "a01sa01wp");
}

} // namespace
} // namespace tessivor
