// Helpers shared by the markup document tests.
#pragma once

#include "markup/MarkupDocument.h"
#include "MarkupDocumentProbe.h"

#include <string>

using namespace kelvo;

namespace markup_test {

inline std::string Narrow(std::u16string_view text) {
    std::string out;
    for (char16_t c : text) {
        if (c < 128) {
            out += static_cast<char>(c);
        } else {
            static const char hex[] = "0123456789ABCDEF";
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4)
                out += hex[(c >> shift) & 0xF];
        }
    }
    return out;
}

// The element tree as text: name@start+length, "!" for an unended element, children in braces,
// siblings separated by spaces. "<a><b></a>" gives "a@0+10{b@3+3!}".
inline std::string Tree(const MarkupDocument& doc, std::int32_t first) {
    std::string out;
    const std::u16string_view text = MarkupDocumentProbe::Text(doc);
    for (std::int32_t n = first; n != 0; n = MarkupDocumentProbe::At(doc, n).nextSibling) {
        const auto e = MarkupDocumentProbe::At(doc, n);
        if (!out.empty())
            out += ' ';
        std::size_t end = static_cast<std::size_t>(e.start) + 1;
        while (end < text.size() &&
               std::u16string_view(u" \t\r\n/>").find(text[end]) == std::u16string_view::npos)
            ++end;
        out += Narrow(text.substr(static_cast<std::size_t>(e.start) + 1, end - e.start - 1));
        out += '@' + std::to_string(e.start) + '+' + std::to_string(e.length);
        if (e.flags & MarkupDocumentProbe::kUnended)
            out += '!';
        if (e.firstChild != 0)
            out += '{' + Tree(doc, e.firstChild) + '}';
    }
    return out;
}

inline std::string Tree(const MarkupDocument& doc) {
    return Tree(doc, MarkupDocumentProbe::At(doc, 0).firstChild);
}

} // namespace markup_test
