#include "platform/win32_text.h"

#include <windows.h>

#include <climits>
#include <new>

namespace tessivor::platform {
namespace {

// Texts here are at most a file's 256 MiB or a cell's 64 MiB, well within an int; a longer
// one is refused as memory would be.
int lengthOf(std::size_t size) {
    if (size > static_cast<std::size_t>(INT_MAX)) throw std::bad_alloc();
    return static_cast<int>(size);
}

std::wstring toWide(UINT codePage, std::string_view bytes) {
    if (bytes.empty()) return {};
    const int length = lengthOf(bytes.size());
    const int chars = MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(chars), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), length, wide.data(), chars);
    return wide;
}

std::string fromWide(UINT codePage, std::wstring_view text) {
    if (text.empty()) return {};
    // UTF-8 and UTF-7 take no flags; every other code page gets '?' for a missing character.
    const UINT acp = codePage == CP_ACP ? GetACP() : codePage;
    const DWORD flags = acp == CP_UTF8 || acp == CP_UTF7 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int length = lengthOf(text.size());
    const int size =
        WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(codePage, flags, text.data(), length, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

std::string_view trimmed(std::string_view part) {
    while (!part.empty() && (part.front() == ' ' || part.front() == '\t'))
        part.remove_prefix(1);
    while (!part.empty() && (part.back() == ' ' || part.back() == '\t'))
        part.remove_suffix(1);
    return part;
}

} // namespace

std::wstring wideFromAnsi(std::string_view bytes) { return toWide(CP_ACP, bytes); }

std::string ansiFromWide(std::wstring_view text) { return fromWide(CP_ACP, text); }

std::string utf8FromWide(std::wstring_view text) { return fromWide(CP_UTF8, text); }

std::wstring wideFromUtf8(std::string_view text) { return toWide(CP_UTF8, text); }

std::wstring dialogFilter(std::string_view filter) {
    std::wstring out;
    if (trimmed(filter).empty()) return out;
    std::size_t parts = 0;
    while (true) {
        const std::size_t bar = filter.find('|');
        std::string_view part = trimmed(filter.substr(0, bar));
        std::string patterns;
        if (parts % 2 == 1) {
            // "*.a; *.b" as "*.a;*.b": the dialog takes the blanks as part of a pattern.
            for (std::string_view rest = part; !rest.empty();) {
                const std::size_t semicolon = rest.find(';');
                const std::string_view pattern = trimmed(rest.substr(0, semicolon));
                if (!pattern.empty()) {
                    if (!patterns.empty()) patterns += ';';
                    patterns += pattern;
                }
                if (semicolon == std::string_view::npos) break;
                rest.remove_prefix(semicolon + 1);
            }
            part = patterns;
        }
        out += wideFromAnsi(part);
        out += L'\0';
        ++parts;
        if (bar == std::string_view::npos) break;
        filter.remove_prefix(bar + 1);
    }
    if (parts % 2 == 1) out += std::wstring(L"*.*") + L'\0';
    out += L'\0';
    return out;
}

std::size_t editPosition(std::wstring_view text, std::size_t offset) {
    CPINFO info{};
    const bool singleByte = GetCPInfo(CP_ACP, &info) && info.MaxCharSize == 1;
    std::size_t bytes = 0;
    std::size_t i = 0;
    while (i < text.size() && bytes < offset) {
        std::size_t units = 1;
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') {
            units = 2;
            bytes += 2;
        } else if (IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size() &&
                   IS_LOW_SURROGATE(text[i + 1])) {
            // One '?' or two, as the system converts it.
            units = 2;
            bytes += fromWide(CP_ACP, text.substr(i, 2)).size();
        } else {
            bytes += singleByte ? 1 : fromWide(CP_ACP, text.substr(i, 1)).size();
        }
        i += units;
    }
    return i;
}

} // namespace tessivor::platform
