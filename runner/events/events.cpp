#include "runner/events/events.h"

#include "runner/events/json.h"

#include <string>

namespace tessivor {
namespace {

/// How much of a cell's text becomes JSON at a time.
constexpr std::size_t kCellPiece = std::size_t{1} << 16;

} // namespace

void EventWriter::line(const char* key, std::string_view text) {
    std::string out = "{\"";
    out += key;
    out += "\": ";
    appendJsonString(out, text);
    out += "}\n";
    write_(out);
}

void EventWriter::input(std::string_view prompt, std::string_view reply) {
    std::string out = "{\"input\": ";
    appendJsonString(out, prompt);
    out += ", \"reply\": ";
    appendJsonString(out, reply);
    out += "}\n";
    write_(out);
}

void EventWriter::end(const RunResult& r, std::string_view place) {
    std::string out = "{\"end\": \"";
    out += runEndName(r.end);
    out += "\", \"steps\": " + std::to_string(r.steps);
    if (r.end != RunEnd::PrepareFailed) {
        if (r.end == RunEnd::Error) {
            out += ", \"failure\": \"";
            out += failureName(r.failure);
            out += '"';
            if (!place.empty()) {
                out += ", \"place\": ";
                appendJsonString(out, place);
            }
        }
        out += ", \"pc\": " + std::to_string(r.pc) + ", \"cur\": " + std::to_string(r.cur) +
               ", \"opb\": " + std::to_string(r.opb) + ", \"opc\": " + std::to_string(r.opc) +
               ", \"cells\": [";
        for (std::size_t i = 0; i < r.mem.size(); ++i) {
            out += i ? ", \"" : "\"";
            for (std::string_view text = r.mem[i]; !text.empty();) {
                const std::string_view piece = text.substr(0, kCellPiece);
                text.remove_prefix(piece.size());
                appendJsonChars(out, piece);
                write_(out);
                out.clear();
            }
            out += '"';
        }
        out += ']';
    }
    out += "}\n";
    write_(out);
}

void EventWriter::interrupted(std::string_view signal) {
    std::string out = "{\"end\": \"interrupted\", \"signal\": \"";
    out += signal;
    out += "\"}\n";
    write_(out);
}

} // namespace tessivor
