// The node scanner on its own: the kind, extent and empty-element mark of the first node of a
// text, and the entries its scan produces.
#include "markup/MarkupScanner.h"

#include "markup_test_util.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace kelvo;
using markup_test::Narrow;

namespace {

struct NodeCase {
    const char16_t* text;
    NodeKind kind;
    std::int32_t length;
    bool empty;
    const char16_t* entries;
};

NodeInfo ScanFirst(const char16_t* text, std::int32_t from = 0) {
    NodeScanner scanner(text, true);
    scanner.SetPosition(from);
    NodeInfo node;
    scanner.Scan(node);
    EXPECT_EQ(scanner.Position(), node.start + node.length);
    return node;
}

void Check(const NodeCase& c) {
    const NodeInfo node = ScanFirst(c.text);
    SCOPED_TRACE(Narrow(c.text));
    EXPECT_EQ(node.kind, c.kind);
    EXPECT_EQ(node.start, 0);
    EXPECT_EQ(node.length, c.length);
    EXPECT_EQ(node.emptyElement, c.empty);
    EXPECT_EQ(Narrow(node.entries), Narrow(c.entries));
}

constexpr NodeKind kStart = NodeKind::StartTag;
constexpr NodeKind kError = NodeKind::Error;

TEST(MarkupScanner, TextAndWhitespace) {
    const NodeCase cases[] = {
        {u"", NodeKind::EndOfText, 0, false, u""},
        {u" \t\r\n<a>", NodeKind::Whitespace, 4, false, u""},
        {u"  ", NodeKind::Whitespace, 2, false, u""},
        {u"  x <a>", NodeKind::Text, 4, false, u""},
        {u"ab>cd", NodeKind::Text, 3, false, u""},
        {u">ab>c", NodeKind::Text, 4, false, u""}, // the first unit never closes the text
        {u" >a", NodeKind::Text, 3, false, u""},
        {u"\x0b<a>", NodeKind::Text, 1, false, u""}, // vertical tab is not whitespace
        {u"\u4e2d\u6587", NodeKind::Text, 2, false, u""},
    };
    for (const auto& c : cases)
        Check(c);
}

TEST(MarkupScanner, StartTags) {
    const NodeCase cases[] = {
        {u"<a>", kStart, 3, false, u""},
        {u"<a/>", kStart, 4, true, u""},
        {u"<a b='x'/>", kStart, 10, true, u""},
        {u"<a b=x />", kStart, 9, true, u""},
        {u"<a b=x/>", kStart, 8, false, u""}, // "/" belongs to the value
        {u"<a b= />", kStart, 8, true, u""},  // the value "/" follows whitespace
        {u"<a b=x'/>", kStart, 9, true, u""}, // the value "x'/" has a quote before "/"
        {u"<a b=/>", kStart, 7, false, u""},
        {u"<a//>", kStart, 5, true, u""},
        {u"<a b='1>2'>", kStart, 11, false, u""},
        {u"<a b = \"1>2\" c>", kStart, 15, false, u""},
        {u"<a b 'x>y'>", kStart, 8, false, u""},    // a quote not after "=" is ordinary
        {u"<a b== 'x>y'>", kStart, 10, false, u""}, // "==" : the second "=" opens a plain value
        {u"<a b= ='x>y'>", kStart, 13, false, u""}, // "= =": still a value to come
        {u"<a b=c=d>", kStart, 9, false, u""},
        {u"<_x>", kStart, 4, false, u""},
        {u"<:x>", kStart, 4, false, u""},
        {u"<{>", kStart, 3, false, u""},
        {u"<\u00e9>", kStart, 3, false, u""},
        {u"<a b='x", kError, 7, false, u"<unterminated_tag_syntax type=\"start_tag\" offset=\"0\"/>"},
        {u"<a/", kError, 3, false, u"<unterminated_tag_syntax type=\"start_tag\" offset=\"0\"/>"},
    };
    for (const auto& c : cases)
        Check(c);
}

TEST(MarkupScanner, TagNames) {
    NodeInfo node = ScanFirst(u"<abc def>");
    EXPECT_EQ(node.nameFirst, 1);
    EXPECT_EQ(node.nameEnd, 4);
    node = ScanFirst(u"<a=1/>");
    EXPECT_EQ(node.nameEnd, 4);
    node = ScanFirst(u"</ab\t>");
    EXPECT_EQ(node.kind, NodeKind::EndTag);
    EXPECT_EQ(node.nameFirst, 2);
    EXPECT_EQ(node.nameEnd, 4);
    EXPECT_EQ(node.length, 6);
    node = ScanFirst(u"x</>", 1);
    EXPECT_EQ(node.start, 1);
    EXPECT_EQ(node.nameFirst, node.nameEnd);
}

TEST(MarkupScanner, OtherConstructs) {
    const NodeCase cases[] = {
        {u"</a b='>'>", NodeKind::EndTag, 8, false, u""},
        {u"<?xml v='1'?>", NodeKind::ProcessingInstruction, 13, false, u""},
        {u"<?a > b?>", NodeKind::ProcessingInstruction, 9, false, u""},
        {u"<?>", NodeKind::ProcessingInstruction, 3, false, u""},
        {u"<!-- a -- b -->", NodeKind::Comment, 15, false, u""},
        {u"<!-->", NodeKind::Comment, 5, false, u""},
        {u"<!--->", NodeKind::Comment, 6, false, u""},
        {u"<![CDATA[<x>]]>", NodeKind::CData, 15, false, u""},
        {u"<![C]]>", NodeKind::CData, 7, false, u""},
        {u"<!DOCTYPE r>", NodeKind::DocumentType, 12, false, u""},
        {u"<!DX>", NodeKind::DocumentType, 5, false, u""},
        {u"<!DOCTYPE r [<!ELEMENT r ANY>]>", NodeKind::DocumentType, 31, false, u""},
        {u"<!DOCTYPE r [<!ENTITY e '>'><!-- > --><?p >?><x y='>'></x>]>", NodeKind::DocumentType, 60, false,
         u""},
        {u"<!DOCTYPE r \"'>", NodeKind::DocumentType, 15, false, u""}, // quotes are ordinary here
    };
    for (const auto& c : cases)
        Check(c);
}

TEST(MarkupScanner, SyntaxErrors) {
    const NodeCase cases[] = {
        {u"< a>", kError, 4, false, u"<first_tag_syntax offset=\"0\"/>"},
        {u"<1 x='>'>b", kError, 9, false, u"<first_tag_syntax offset=\"0\"/>"},
        {u"<>", kError, 2, false, u"<first_tag_syntax offset=\"0\"/>"},
        {u"<<a>", kError, 1, false, u"<first_tag_syntax offset=\"0\"/>"},
        {u"< 2</a>", kError, 3, false, u"<first_tag_syntax offset=\"0\"/>"},
        {u"<!x>", kError, 4, false, u"<exclamation_tag_syntax offset=\"0\"/>"},
        {u"<!>", kError, 3, false, u"<exclamation_tag_syntax offset=\"0\"/>"},
        {u"<!-x>", kError, 5, false, u"<comment_tag_syntax offset=\"0\"/>"},
        {u"<![x>", kError, 5, false, u"<cdata_section_syntax offset=\"0\"/>"},
        {u"<!x a='<'>", kError, 7, false, u"<exclamation_tag_syntax offset=\"0\"/>"}, // "<" always ends it
    };
    for (const auto& c : cases)
        Check(c);
}

TEST(MarkupScanner, UnterminatedConstructs) {
    auto entry = [](const char* type) {
        return u"<unterminated_tag_syntax type=\"" + std::u16string(type, type + std::strlen(type)) +
               u"\" offset=\"0\"/>";
    };
    const struct {
        const char16_t* text;
        const char* type;
        std::int32_t length;
    } cases[] = {
        {u"<", "tag", 1},
        {u"<!", "tag", 2},
        {u"<!-", "tag", 3},
        {u"<![", "tag", 3},
        {u"</a", "end_tag", 3},
        {u"<?a ?", "processing_instruction", 5},
        {u"<!-- x ->", "comment", 9},
        {u"<![CDATA[ ]>", "cdata_section", 12},
        {u"<!DOCTYPE", "document_type", 9},
        {u"<!DOCTYPE r [<!-- >", "document_type", 19},
        {u"<!DOCTYPE r [<", "document_type", 14},
        {u"<!DOCTYPE r [<!ENTITY e '>", "document_type", 26},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.text));
        const NodeInfo node = ScanFirst(c.text);
        EXPECT_EQ(node.kind, kError);
        EXPECT_EQ(node.length, c.length);
        EXPECT_EQ(Narrow(node.entries), Narrow(entry(c.type)));
    }
    // An error node cut off by the end gets both entries.
    const NodeInfo node = ScanFirst(u"<!x");
    EXPECT_EQ(Narrow(node.entries),
              "<exclamation_tag_syntax offset=\"0\"/><unterminated_tag_syntax type=\"tag\" "
              "offset=\"0\"/>");
}

TEST(MarkupScanner, ErrorsInsideDocumentType) {
    // Every entry carries the offset of the node being scanned, the declaration's "<!", not that
    // of the nested "<". Recovered at its own ">": the declaration goes on and keeps its kind.
    NodeInfo node = ScanFirst(u"<!DOCTYPE r [<!x y> <!W>]>");
    EXPECT_EQ(node.kind, NodeKind::DocumentType);
    EXPECT_EQ(node.length, 26);
    EXPECT_EQ(Narrow(node.entries), "<doctype_tag_syntax offset=\"0\"/><doctype_tag_syntax offset=\"0\"/>");
    node = ScanFirst(u"<!DOCTYPE r [<![CDATA[x]]>]>");
    EXPECT_EQ(node.kind, NodeKind::DocumentType);
    EXPECT_EQ(Narrow(node.entries), "<doctype_tag_syntax offset=\"0\"/>");
    node = ScanFirst(u"<!DOCTYPE r [< x>]>");
    EXPECT_EQ(node.kind, NodeKind::DocumentType);
    EXPECT_EQ(Narrow(node.entries), "<first_tag_syntax offset=\"0\"/>");
    // A "<" before the broken construct's ">" ends the whole node there as an error.
    node = ScanFirst(u"<!DOCTYPE r [<!-x <r/>");
    EXPECT_EQ(node.kind, kError);
    EXPECT_EQ(node.length, 18);
    EXPECT_EQ(Narrow(node.entries), "<comment_tag_syntax offset=\"0\"/>");
    // Not at the start of the text: the offset is the declaration's.
    node = ScanFirst(u"<r>  <!DOCTYPE r [<!-x>]>", 5);
    EXPECT_EQ(node.kind, NodeKind::DocumentType);
    EXPECT_EQ(Narrow(node.entries), "<comment_tag_syntax offset=\"5\"/>");
}

TEST(MarkupScanner, NodeListStopsAtLimit) {
    std::u16string text = u"<!DOCTYPE r [";
    for (int i = 0; i < 200; ++i)
        text += u"<!x>";
    text += u"]>";
    const NodeInfo node = ScanFirst(text.c_str());
    EXPECT_EQ(node.kind, NodeKind::DocumentType);
    const std::size_t entry = std::u16string_view(u"<doctype_tag_syntax offset=\"0\"/>").size();
    EXPECT_GE(node.entries.size(), kEntryListLimit);
    EXPECT_LT(node.entries.size(), kEntryListLimit + entry + 2);
}

TEST(MarkupScanner, WithoutEntriesListsStayEmpty) {
    NodeScanner scanner(u"<!x><", false);
    NodeInfo node;
    scanner.Scan(node);
    EXPECT_EQ(node.kind, kError);
    EXPECT_TRUE(node.entries.empty());
    scanner.Scan(node);
    EXPECT_EQ(node.kind, kError);
    EXPECT_TRUE(node.entries.empty());
    scanner.Scan(node);
    EXPECT_EQ(node.kind, NodeKind::EndOfText);
}

} // namespace
