#include "assembler/translate/compiletext.h"

#include "assembler/translate/walk.h"

#include <algorithm>

namespace tessivor {

Translation compiletext(std::string_view source) {
    Translation result;
    result.code.reserve(source.size() + source.size() / 4);
    TranslationSink sink(source, result);
    walkSource(source, sink);
    return result;
}

} // namespace tessivor
