// Loading: the element tree that LoadText builds, recovery of broken markup, the result report,
// the index's growth and the cost of hostile texts.
#include "markup_test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

using markup_test::Narrow;
using markup_test::Tree;
using Probe = MarkupDocumentProbe;

namespace {

struct LoadCase {
    const char16_t* text;
    bool wellFormed;
    const char* tree;
    const char* report;
};

void CheckLoad(const LoadCase& c) {
    SCOPED_TRACE(Narrow(c.text));
    MarkupDocument doc;
    EXPECT_EQ(doc.LoadText(c.text), c.wellFormed);
    EXPECT_EQ(Tree(doc), c.tree);
    EXPECT_EQ(Narrow(doc.ResultReport()), c.report);
    EXPECT_EQ(Probe::IllFormed(doc), !c.wellFormed);
}

TEST(MarkupParse, WellFormedAndIgnoredNodes) {
    const LoadCase cases[] = {
        {u"<r/>", true, "r@0+4", ""},
        {u"x<r/>y", true, "r@1+4", ""},
        {u"<?xml version='1.0'?><!DOCTYPE r [<!ELEMENT r ANY>]><!-- c --><r/>", true, "r@62+4", ""},
        {u"<r><![CDATA[<a>]]><?p?><!--<b>--></r>", true, "r@0+37", ""},
        {u"<r a='<b>'><c></c><d/></r>", true, "r@0+26{c@11+7 d@18+4}", ""},
        {u"<a=1></a>", true, "a=1@0+9", ""}, // "</a>" closes "a=1"
        {u"<a[x]></a[x>", true, "a[x]@0+12", ""},
        {u"<r></r >", true, "r@0+8", ""},
        {u"\u00e9<\u4e2d></\u4e2d>", true, "\\u4E2D@1+7", ""},
    };
    for (const auto& c : cases)
        CheckLoad(c);
}

TEST(MarkupParse, EmptyAndRootless) {
    MarkupDocument doc;
    EXPECT_FALSE(doc.LoadText(u""));
    EXPECT_EQ(doc.ResultReport(), u"");
    EXPECT_EQ(Probe::ElementCount(doc), 0);
    EXPECT_FALSE(doc.LoadText(nullptr));
    EXPECT_EQ(doc.ResultReport(), u"");
    EXPECT_EQ(Probe::Text(doc), u"");
    EXPECT_GE(Probe::Capacity(doc), 8);

    const LoadCase cases[] = {
        {u"plain", false, "", "<no_root_element/>"},
        {u"   ", false, "", "<no_root_element/>"},
        {u"<!-- only -->", false, "", "<no_root_element/>"},
        {u"<a/><b/>", false, "a@0+4 b@4+4", "<root_has_sibling/>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.text));
        EXPECT_EQ(doc.LoadText(c.text), c.wellFormed);
        EXPECT_EQ(Tree(doc), c.tree);
        EXPECT_EQ(Narrow(doc.ResultReport()), c.report);
        EXPECT_FALSE(Probe::IllFormed(doc)); // neither entry marks the document
    }
}

TEST(MarkupParse, Recovery) {
    const LoadCase cases[] = {
        {u"<a><b></a></c>", false, "a@0+10{b@3+3!}",
         "<unended_start_tag tagname=\"b\" offset=\"3\" offset2=\"7\"/><lone_end_tag tagname=\"c\" "
         "offset=\"10\"/>"},
        {u"<x><y></x>", false, "x@0+10{y@3+3!}",
         "<unended_start_tag tagname=\"y\" offset=\"3\" offset2=\"7\"/>"},
        {u"<r><a><b/><c/></r>", false, "r@0+18{a@3+3! b@6+4 c@10+4}",
         "<unended_start_tag tagname=\"a\" offset=\"3\" offset2=\"15\"/>"},
        {u"</z><r/>", false, "r@4+4", "<lone_end_tag tagname=\"z\" offset=\"0\"/>"},
        {u"<a b='1>2'>", false, "a@0+11!", "<unended_start_tag tagname=\"a\" offset=\"0\" offset2=\"11\"/>"},
        {u"<a b=x/>", false, "a@0+8!", "<unended_start_tag tagname=\"a\" offset=\"0\" offset2=\"8\"/>"},
        {u"<a>1 < 2</a>", false, "a@0+12", "<first_tag_syntax offset=\"5\"/>"},
        {u"<a><!x></a>", false, "a@0+11", "<exclamation_tag_syntax offset=\"3\"/>"},
        {u"<a><!-- x", false, "a@0+3!",
         "<unterminated_tag_syntax type=\"comment\" offset=\"3\"/>"
         "<unended_start_tag tagname=\"a\" offset=\"0\" offset2=\"9\"/>"},
        // Inner first; the inner one's children end up after the outer one's, in document order.
        {u"<r><a><p/><b><q/></r>", false, "r@0+21{a@3+3! p@6+4 b@10+3! q@13+4}",
         "<unended_start_tag tagname=\"b\" offset=\"10\" offset2=\"18\"/>"
         "<unended_start_tag tagname=\"a\" offset=\"3\" offset2=\"18\"/>"},
        {u"<r><x/><a><b><c><d/>", false, "r@0+3! x@3+4 a@7+3! b@10+3! c@13+3! d@16+4",
         "<unended_start_tag tagname=\"c\" offset=\"13\" offset2=\"20\"/>"
         "<unended_start_tag tagname=\"b\" offset=\"10\" offset2=\"20\"/>"
         "<unended_start_tag tagname=\"a\" offset=\"7\" offset2=\"20\"/>"
         "<unended_start_tag tagname=\"r\" offset=\"0\" offset2=\"20\"/><root_has_sibling/>"},
        // The innermost open element of the name is closed, not the outermost.
        {u"<a><a><b></a></a>", false, "a@0+17{a@3+10{b@6+3!}}",
         "<unended_start_tag tagname=\"b\" offset=\"6\" offset2=\"10\"/>"},
        {u"<r'\"&></r'\"&>", true, "r'\"&@0+13", ""},
        {u"<a><b'></c\"></a>", false, "a@0+16{b'@3+4!}",
         "<lone_end_tag tagname=\"c&quot;\" offset=\"7\"/>"
         "<unended_start_tag tagname=\"b&apos;\" offset=\"3\" offset2=\"13\"/>"},
        {u"<r></></r>", false, "r@0+10", "<lone_end_tag tagname=\"\" offset=\"3\"/>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.text));
        MarkupDocument doc;
        const bool ok = doc.LoadText(c.text);
        EXPECT_EQ(Tree(doc), c.tree);
        EXPECT_EQ(Narrow(doc.ResultReport()), c.report);
        EXPECT_EQ(ok, c.wellFormed);
        EXPECT_EQ(Probe::IllFormed(doc), !c.wellFormed);
    }
}

// Every link agrees with the others after recovery: parents, sibling order, last-child links.
TEST(MarkupParse, LinksStayConsistentAfterRecovery) {
    MarkupDocument doc(u"<r><a><p/><b><q/><c><s/></r><t/>");
    const std::int32_t count = Probe::ElementCount(doc);
    for (std::int32_t n = 0; n <= count; ++n) {
        const auto e = Probe::At(doc, n);
        std::int32_t last = 0;
        for (std::int32_t c = e.firstChild; c != 0; c = Probe::At(doc, c).nextSibling) {
            EXPECT_EQ(Probe::At(doc, c).parent, n);
            if (last != 0) {
                EXPECT_EQ(Probe::At(doc, c).prevSibling, last);
            }
            last = c;
        }
        if (e.firstChild != 0) {
            EXPECT_EQ(Probe::At(doc, e.firstChild).prevSibling, last) << "last-child link of " << n;
        }
    }
    EXPECT_EQ(Tree(doc), "r@0+28{a@3+3! p@6+4 b@10+3! q@13+4 c@17+3! s@20+4} t@28+4");
}

// End tags that close an element far below the innermost one, with names matched by prefix, and
// elements opened and closed after such a search, which must be found again.
TEST(MarkupParse, DeepEndTagsCloseTheInnermostMatch) {
    std::u16string text = u"<r><x[1]><x>";
    for (int i = 0; i < 40; ++i)
        text += u"<b>";
    text += u"</q></x></x><c=2>";
    for (int i = 0; i < 40; ++i)
        text += u"<d/><e>";
    text += u"</b></c><f></f></r>";
    MarkupDocument doc(text.c_str());
    ASSERT_EQ(Probe::ElementCount(doc), 3 + 40 + 1 + 80 + 1);

    const std::string report = Narrow(doc.ResultReport());
    EXPECT_EQ(report.rfind("<lone_end_tag tagname=\"q\" offset=\"132\"/>"
                           "<unended_start_tag tagname=\"b\" offset=\"129\" offset2=\"137\"/>",
                           0),
              0u)
        << report;

    // "</x>" closes the inner "x" and unends the 40 "b"; the next "</x>" closes "x[1]".
    const auto xOuter = Probe::At(doc, 2);
    const auto xInner = Probe::At(doc, 3);
    EXPECT_EQ(xInner.length, 136 - 9 + 4);
    EXPECT_EQ(xInner.endTagLength, 4);
    EXPECT_EQ(xOuter.length, 144 - 3);
    EXPECT_EQ(xOuter.parent, 1);
    for (std::int32_t n = 4; n < 44; ++n) {
        const auto b = Probe::At(doc, n);
        EXPECT_TRUE(b.flags & Probe::kUnended) << n;
        EXPECT_EQ(b.parent, 3) << n;
        EXPECT_EQ(b.nextSibling, n + 1 < 44 ? n + 1 : 0) << n;
    }
    EXPECT_EQ(Probe::At(doc, Probe::At(doc, 3).firstChild).prevSibling, 43);

    // "</b>" finds no open "b" (the report is full by then); "</c>" closes "c=2" below 40 open "e";
    // "f" is then a closed child of "r".
    const auto c = Probe::At(doc, 44);
    EXPECT_EQ(c.parent, 1);
    EXPECT_EQ(c.endTagLength, 4);
    EXPECT_EQ(c.start + c.length, static_cast<std::int32_t>(text.size()) - 11);
    std::int32_t unended = 0;
    for (std::int32_t n = 45; n < 125; ++n) {
        EXPECT_EQ(Probe::At(doc, n).parent, 44) << n;
        unended += (Probe::At(doc, n).flags & Probe::kUnended) ? 1 : 0;
    }
    EXPECT_EQ(unended, 40);
    const auto f = Probe::At(doc, 125);
    EXPECT_EQ(f.parent, 1);
    EXPECT_EQ(f.length, 7);
    EXPECT_EQ(Probe::At(doc, 1).length, static_cast<std::int32_t>(text.size()));
    EXPECT_EQ(Probe::At(doc, 1).endTagLength, 4);
}

TEST(MarkupParse, DocumentTypeErrorsAreReported) {
    MarkupDocument doc;
    EXPECT_FALSE(doc.LoadText(u"<!DOCTYPE r [<!x>]><r/>"));
    EXPECT_EQ(Narrow(doc.ResultReport()), "<doctype_tag_syntax offset=\"0\"/>");
    EXPECT_TRUE(Probe::IllFormed(doc));
    EXPECT_EQ(Tree(doc), "r@19+4");
    // Ended as an error node before the "<" of "<r/>": the entry still names the declaration.
    EXPECT_FALSE(doc.LoadText(u"<!DOCTYPE r [<!x <r/>"));
    EXPECT_EQ(Narrow(doc.ResultReport()), "<doctype_tag_syntax offset=\"0\"/>");
    EXPECT_EQ(Tree(doc), "r@17+4");
}

TEST(MarkupParse, ReportLimit) {
    // Each lone end tag entry is 39 to 41 units; entries stop once the report holds 1,000 or more.
    std::u16string text = u"<r/>";
    for (int i = 0; i < 100; ++i)
        text += u"</zz>";
    MarkupDocument doc;
    EXPECT_FALSE(doc.LoadText(text.c_str()));
    const std::u16string report = doc.ResultReport();
    const std::size_t first = std::u16string_view(u"<lone_end_tag tagname=\"zz\" offset=\"4\"/>").size();
    EXPECT_GE(report.size(), 1000u);
    EXPECT_LT(report.size(), 1000u + first + 3);
    EXPECT_EQ(report.substr(report.size() - 2), u"/>");
    EXPECT_EQ(report.find(u"root_has_sibling"), std::u16string::npos);

    // Syntax errors are held to the same bound as whole node lists.
    text = u"<r>";
    for (int i = 0; i < 1000; ++i)
        text += u"<>";
    text += u"</r>";
    EXPECT_FALSE(doc.LoadText(text.c_str()));
    EXPECT_LT(doc.ResultReport().size(), 1100u);
}

TEST(MarkupParse, ReloadReplacesEverything) {
    MarkupDocument doc(u"<a><b/></a>");
    EXPECT_TRUE(doc.NextElement());
    EXPECT_FALSE(doc.LoadText(u"</x><y>"));
    EXPECT_EQ(Probe::Current(doc), 0);
    EXPECT_EQ(Tree(doc), "y@4+3!");
    EXPECT_EQ(Probe::Text(doc), u"</x><y>");
    EXPECT_TRUE(doc.LoadText(u"<z/>"));
    EXPECT_EQ(doc.ResultReport(), u"");
    EXPECT_FALSE(Probe::IllFormed(doc));
    EXPECT_EQ(Probe::ElementCount(doc), 1);
}

TEST(MarkupParse, IndexGrowsAcrossPages) {
    // 200,000 elements in one line of text: four pages, numbers in document order.
    std::u16string text = u"<r>";
    for (int i = 0; i < 200000; ++i)
        text += u"<e/>";
    text += u"</r>";
    MarkupDocument doc(text.c_str());
    ASSERT_EQ(Probe::ElementCount(doc), 200001);
    EXPECT_GE(Probe::Capacity(doc), 200002);
    const auto root = Probe::At(doc, 1);
    EXPECT_EQ(root.length, static_cast<std::int32_t>(text.size()));
    EXPECT_EQ(Probe::At(doc, root.firstChild).prevSibling, 200001);
    for (std::int32_t n : {2, 65535, 65536, 65537, 131072, 200001})
        EXPECT_EQ(Probe::At(doc, n).start, 3 + 4 * (n - 2)) << n;
}

TEST(MarkupParse, TagsLongerThanTheirFields) {
    // A start tag of 4,194,304 units and an end tag of 1,024 do not fit the record's bit fields.
    std::u16string text =
        u"<a b='" + std::u16string(4194304, u'x') + u"'><c/></a" + std::u16string(1024, u' ') + u">";
    MarkupDocument doc(text.c_str());
    ASSERT_EQ(Probe::ElementCount(doc), 2);
    const auto a = Probe::At(doc, 1);
    EXPECT_EQ(a.startTagLength, 4194304 + 8);
    EXPECT_EQ(a.endTagLength, 1024 + 4);
    EXPECT_EQ(a.length, static_cast<std::int32_t>(text.size()));
    ASSERT_TRUE(doc.NextElement());
    EXPECT_EQ(doc.InnerMarkup(), u"<c/>");
    EXPECT_EQ(doc.AttributeValue(u"b").size(), 4194304u);
}

double SecondsToLoadAndWalk(const std::u16string& text) {
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        const auto start = std::chrono::steady_clock::now();
        MarkupDocument doc(text.c_str());
        std::size_t seen = 0;
        while (doc.NextElement())
            seen += doc.NodeName().size() + doc.ElementText().size() + doc.AttributeNameAt(0).size();
        EXPECT_LT(seen, text.size());
        best =
            std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

std::u16string Repeat(std::u16string_view piece, std::size_t count) {
    std::u16string out;
    out.reserve(piece.size() * count);
    for (std::size_t i = 0; i < count; ++i)
        out += piece;
    return out;
}

// Hostile texts cost time in proportion to their size: doubling the input must not quadruple the
// time. Checked on 15,000 and 30,000 repetitions (sanitizers make absolute times meaningless).
TEST(MarkupParse, HostileTextsLoadInLinearTime) {
    const std::u16string_view pieces[] = {u"<a>", u"</a>", u"<a=b=c=d=e></q>", u"<a><b>", u"<x></y>"};
    for (const auto piece : pieces) {
        SCOPED_TRACE(Narrow(piece));
        const double small = SecondsToLoadAndWalk(Repeat(piece, 15000));
        const double large = SecondsToLoadAndWalk(Repeat(piece, 30000));
        EXPECT_LT(large, 3.2 * small + 0.05);
    }
    // A deep stack followed by end tags that close nothing.
    const double small = SecondsToLoadAndWalk(Repeat(u"<a>", 15000) + Repeat(u"</b>", 15000));
    const double large = SecondsToLoadAndWalk(Repeat(u"<a>", 30000) + Repeat(u"</b>", 30000));
    EXPECT_LT(large, 3.2 * small + 0.05);
}

} // namespace
