#include "runner/events/events.h"

#include "runner/events/json.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessivor {
namespace {

/// A writer into one text, counting the pieces it was given.
struct Collected {
    std::string text;
    std::vector<std::size_t> pieces;
    EventWriter writer{[this](std::string_view t) {
        text += t;
        pieces.push_back(t.size());
    }};
};

TEST(Events, EachEventIsOneJsonObjectALineWithBytesAsCodePoints) {
    Collected c;
    c.writer.caption("Tessivor 0.1");
    c.writer.display("caf\xe9 \"1\"\t\x01");
    c.writer.message("Program Terminated");
    c.writer.input("Name?", "");
    EXPECT_EQ(c.text, "{\"caption\": \"Tessivor 0.1\"}\n"
                      "{\"display\": \"caf\xc3\xa9 \\\"1\\\"\\t\\u0001\"}\n"
                      "{\"message\": \"Program Terminated\"}\n"
                      "{\"input\": \"Name?\", \"reply\": \"\"}\n");
    EXPECT_EQ(c.pieces.size(), 4u); // a line at a time
}

TEST(Events, TheEndObjectNamesTheEndTheRegistersAndEveryCell) {
    RunResult r;
    r.end = RunEnd::PastEnd;
    r.steps = 8;
    r.pc = 13;
    r.cur = 1;
    r.mem[1].push_back('x'); // (GCC 12 warns wrongly of an overlap in = "x")
    Collected c;
    c.writer.end(r);
    std::string cells;
    for (int i = 0; i < kCells; ++i) {
        if (i) cells += ", ";
        cells += i == 1 ? "\"x\"" : "\"\"";
    }
    EXPECT_EQ(c.text, "{\"end\": \"past-end\", \"steps\": 8, \"pc\": 13, \"cur\": 1, \"opb\": 0, "
                      "\"opc\": 0, \"cells\": [" +
                          cells + "]}\n");
}

TEST(Events, AnErrorAddsItsFailureAndPlacePreparationFailureOnlyItsSteps) {
    RunResult error;
    error.end = RunEnd::Error;
    error.failure = Failure::TypeMismatch;
    error.steps = 3;
    Collected c;
    c.writer.end(error, "x.tsasm:2:1: inc 01: Type mismatch");
    EXPECT_EQ(c.text.rfind("{\"end\": \"error\", \"steps\": 3, \"failure\": \"type mismatch\", "
                           "\"place\": \"x.tsasm:2:1: inc 01: Type mismatch\", \"pc\": 1, ",
                           0),
              0u)
        << c.text;
    Collected unplaced;
    unplaced.writer.end(error);
    EXPECT_EQ(unplaced.text.find("place"), std::string::npos);

    RunResult refused; // the end PrepareFailed by default
    Collected p;
    p.writer.end(refused);
    EXPECT_EQ(p.text, "{\"end\": \"prepare-failed\", \"steps\": 0}\n");
    Collected i;
    i.writer.interrupted("SIGINT");
    EXPECT_EQ(i.text, "{\"end\": \"interrupted\", \"signal\": \"SIGINT\"}\n");
}

TEST(Events, ALongCellGoesOutInPiecesThatJoinToItsJsonText) {
    RunResult r;
    r.end = RunEnd::Terminated;
    r.mem[7] = std::string(200'000, '\x01'); // six JSON characters a byte
    Collected c;
    c.writer.end(r);
    std::string want;
    appendJsonString(want, r.mem[7]);
    EXPECT_NE(c.text.find(", " + want + ", "), std::string::npos);
    // No piece holds the whole cell: 1.2 MB of JSON goes out 64 KiB of bytes at a time.
    for (const std::size_t piece : c.pieces)
        EXPECT_LE(piece, 6u * 65'536 + 256);
    EXPECT_GE(c.pieces.size(), 4u);
}

TEST(Events, EndsHaveOneNameEachAndTheOldNameOfPastEndIsRead) {
    for (const RunEnd end : {RunEnd::Terminated, RunEnd::Error, RunEnd::PastEnd,
                             RunEnd::PrepareFailed, RunEnd::StepLimit}) {
        EXPECT_EQ(runEndNamed(runEndName(end)), end) << runEndName(end);
    }
    EXPECT_STREQ(runEndName(RunEnd::PastEnd), "past-end");
    EXPECT_EQ(runEndNamed("passed-end"), RunEnd::PastEnd);
    EXPECT_EQ(runEndNamed("past end"), std::nullopt);
    EXPECT_EQ(runEndNamed(""), std::nullopt);
}

TEST(Events, AWriteThatThrowsStopsTheWriterAtOnce) {
    int calls = 0;
    EventWriter writer([&calls](std::string_view) {
        ++calls;
        throw 1;
    });
    RunResult r;
    r.end = RunEnd::Terminated;
    EXPECT_THROW(writer.end(r), int);
    EXPECT_EQ(calls, 1);
}

} // namespace
} // namespace tessivor
