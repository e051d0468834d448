// The checker's findings for the page's lint marks.

#include "assembler/check/check.h"

#include <emscripten/bind.h>
#include <emscripten/val.h>

using emscripten::val;

namespace tessivor::web {
namespace {

val check(const std::string& source) {
    val list = val::array();
    for (const Diagnostic& d : checkSource(source)) {
        val item = val::object();
        item.set("line", static_cast<double>(d.line));
        item.set("column", static_cast<double>(d.column));
        item.set("endColumn", static_cast<double>(d.endColumn));
        item.set("severity", std::string(severityName(d.severity)));
        item.set("code", d.code);
        item.set("message", d.message);
        if (d.suggestion) item.set("suggestion", *d.suggestion);
        list.call<void>("push", item);
    }
    return list;
}

} // namespace

void bindCheck() { emscripten::function("check", &check); }

} // namespace tessivor::web
