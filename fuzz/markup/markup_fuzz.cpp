// Loads arbitrary UTF-16 into a MarkupDocument, walks the whole tree through the cursor, reads
// every name, attribute, text and inner markup, and checks the index against the text.
//
// Input: when the first byte is 'U' the rest is UTF-16LE; otherwise every byte is one unit, so
// that the dictionary's ASCII tokens reach the parser as they are. The text ends at the first
// U+0000, as LoadText reads it.
#include "fuzz/FuzzInput.h"
#include "markup/MarkupDocument.h"
#include "tests/native/MarkupDocumentProbe.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace kelvo;

namespace {

using fuzz::Require;

// LoadText reads up to the first U+0000.
std::u16string Text(const std::uint8_t* data, std::size_t size) {
    std::u16string text = fuzz::Units(data, size);
    text.resize(std::min(text.size(), text.find(u'\0')));
    return text;
}

using Probe = MarkupDocumentProbe;

// The index: extents inside the text, children inside their parent's content, siblings in order
// and apart, links that agree with each other.
void CheckIndex(const MarkupDocument& doc, std::u16string_view text) {
    const std::int32_t count = Probe::ElementCount(doc);
    const auto length = static_cast<std::int32_t>(text.size());
    const auto root = Probe::At(doc, 0);
    Require(root.start == 0 && root.length == length, "document record spans the text");
    Require((count == 0) == (root.firstChild == 0), "document record's first child");
    for (std::int32_t n = 0; n <= count; ++n) {
        const auto e = Probe::At(doc, n);
        std::int32_t contentFirst = 0, contentLast = length;
        if (n != 0) {
            Require(e.start >= 0 && e.length > 0 && e.start <= length - e.length, "element inside the text");
            Require(e.startTagLength >= 3 && e.startTagLength + e.endTagLength <= e.length, "tag lengths");
            Require(text[e.start] == u'<' && text[e.start + e.startTagLength - 1] == u'>',
                    "start tag delimiters");
            if (e.endTagLength > 0) {
                Require(e.endTagLength >= 3 && text[e.start + e.length - e.endTagLength] == u'<' &&
                            text[e.start + e.length - e.endTagLength + 1] == u'/' &&
                            text[e.start + e.length - 1] == u'>',
                        "end tag delimiters");
            } else {
                Require(e.length == e.startTagLength, "an element without end tag is its start tag");
            }
            if (e.flags & Probe::kUnended)
                Require(e.firstChild == 0 && e.endTagLength == 0, "unended element keeps nothing");
            Require(e.parent >= 0 && e.parent < n, "parent comes earlier");
            contentFirst = e.start + e.startTagLength;
            contentLast = e.start + e.length - e.endTagLength;
        }
        std::int32_t last = 0, end = contentFirst;
        for (std::int32_t c = e.firstChild; c != 0; c = Probe::At(doc, c).nextSibling) {
            Require(c > n && c <= count, "child number");
            const auto child = Probe::At(doc, c);
            Require(child.parent == n, "child names its parent");
            Require(child.start >= end && child.start + child.length <= contentLast, "child inside parent");
            if (last != 0)
                Require(child.prevSibling == last && c > last, "sibling order");
            end = child.start + child.length;
            last = c;
        }
        if (e.firstChild != 0)
            Require(Probe::At(doc, e.firstChild).prevSibling == last, "last-child link");
    }
}

// The value a name reads from the start tag alone, in a document that has listed nothing: the
// first name asked for there goes along the attributes one by one.
std::u16string FreshValue(const std::u16string& tag, const char16_t* name) {
    MarkupDocument fresh(tag.c_str());
    Require(fresh.NextElement(), "a start tag alone is an element");
    return fresh.AttributeValue(name);
}

// Depth first through the cursor; every element once, and the walk ends.
void Walk(MarkupDocument& doc, std::u16string_view text) {
    const std::int32_t count = Probe::ElementCount(doc);
    std::vector<bool> seen(static_cast<std::size_t>(count) + 1);
    std::int32_t visits = 0;
    std::int64_t steps = 0;
    for (;;) {
        Require(++steps <= 4 * static_cast<std::int64_t>(count) + 4, "the walk ends");
        if (!doc.NextElement()) {
            if (!doc.LeaveElement())
                break;
            continue;
        }
        const std::int32_t n = Probe::Current(doc);
        Require(n >= 1 && n <= count && !seen[n], "each element once");
        seen[n] = true;
        ++visits;
        const auto e = Probe::At(doc, n);

        const std::u16string name = doc.NodeName();
        Require(!name.empty() && name.size() < static_cast<std::size_t>(e.startTagLength), "name inside tag");
        Require(text.substr(e.start + 1, name.size()) == name, "name from the text");
        const std::u16string tag(text.substr(e.start, e.startTagLength));
        std::vector<std::u16string> asked;
        for (int i = 0; i < 64; ++i) {
            const std::u16string attribute = doc.AttributeNameAt(i);
            if (attribute.empty())
                break;
            Require(attribute.size() < static_cast<std::size_t>(e.startTagLength), "attribute inside tag");
            // Asked right after listing, the value comes from the answers worked out for the tag.
            Require(doc.AttributeValue(attribute.c_str()) == FreshValue(tag, attribute.c_str()),
                    "a listed name reads what a fresh document reads");
            asked.push_back(attribute + u"[");
            asked.push_back(attribute + u"/x");
            asked.push_back(attribute.substr(0, attribute.size() / 2));
        }
        asked.push_back(u"a");
        for (const std::u16string& other : asked)
            Require(doc.AttributeValue(other.c_str()) == FreshValue(tag, other.c_str()),
                    "any name reads what a fresh document reads");
        const std::u16string inner = doc.InnerMarkup();
        Require(inner ==
                    text.substr(e.start + e.startTagLength, e.length - e.startTagLength - e.endTagLength),
                "inner markup is the content");
        const std::u16string elementText = doc.ElementText();
        Require(e.firstChild == 0 || elementText.empty(), "no text beside children");
        Require(elementText.size() <= inner.size(), "text no longer than the content");

        Require(doc.EnterElement(), "enter the current element");
    }
    Require(visits == count, "the walk visits every element");
    Require(Probe::Parent(doc) == 0, "the walk ends at the top");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string text = Text(data, size);
    MarkupDocument doc;
    const bool wellFormed = doc.LoadText(text.c_str());
    Require(Probe::Text(doc) == text, "the document holds a copy of the text");
    const std::u16string report = doc.ResultReport();
    Require(wellFormed == (!text.empty() && report.empty()), "result agrees with the report");
    Require(wellFormed || !text.empty() || report.empty(), "an empty text reports nothing");
    CheckIndex(doc, text);
    Walk(doc, text);

    // A second load into the same document gives the same result.
    Require(doc.LoadText(text.c_str()) == wellFormed && doc.ResultReport() == report, "loads repeat");
    return 0;
}
