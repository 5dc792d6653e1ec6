// Reading a loaded document: the cursor, names, attributes, decoding, element text and inner
// markup.
#include "markup/MarkupScanner.h"

#include "markup_test_util.h"

#include <gtest/gtest.h>

using namespace kelvo;

using markup_test::Narrow;
using Probe = MarkupDocumentProbe;

namespace {

// The cursor as "parent/current/child" element numbers.
std::string Cursor(const MarkupDocument& doc) {
    return std::to_string(Probe::Parent(doc)) + '/' + std::to_string(Probe::Current(doc)) + '/' +
           std::to_string(Probe::Child(doc));
}

constexpr const char16_t* kRequest =
    u"<invoke name='setReloadTips' returntype=\"xml\"><arguments><string>a &amp; "
    u"b</string></arguments></invoke>";

TEST(MarkupNavigation, RequestWalk) {
    MarkupDocument doc(kRequest);
    ASSERT_TRUE(doc.NextElement());
    EXPECT_EQ(doc.NodeName(), u"invoke");
    EXPECT_EQ(doc.AttributeValue(u"name"), u"setReloadTips");
    EXPECT_EQ(doc.AttributeNameAt(0), u"name");
    EXPECT_EQ(doc.AttributeNameAt(1), u"returntype");
    EXPECT_EQ(doc.AttributeNameAt(2), u"");
    EXPECT_EQ(doc.ElementText(), u"");
    EXPECT_EQ(doc.InnerMarkup(), u"<arguments><string>a &amp; b</string></arguments>");
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.NextElement());
    EXPECT_EQ(doc.NodeName(), u"arguments");
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.NextElement());
    EXPECT_EQ(doc.NodeName(), u"string");
    EXPECT_EQ(doc.ElementText(), u"a & b");
    EXPECT_FALSE(doc.NextElement());
    EXPECT_EQ(doc.NodeName(), u"string");
    EXPECT_TRUE(doc.LeaveElement());
    EXPECT_EQ(doc.NodeName(), u"arguments");
    EXPECT_TRUE(doc.LeaveElement());
    EXPECT_EQ(doc.NodeName(), u"invoke");
    EXPECT_FALSE(doc.LeaveElement());
    EXPECT_FALSE(doc.NextElement());
}

TEST(MarkupNavigation, CursorRules) {
    MarkupDocument doc(u"<r><a/><b><c/><d/></b><e/></r>"); // r=1 a=2 b=3 c=4 d=5 e=6
    EXPECT_FALSE(doc.EnterElement());                      // nothing current after loading
    EXPECT_EQ(Cursor(doc), "0/0/0");
    ASSERT_TRUE(doc.NextElement());
    ASSERT_TRUE(doc.EnterElement());
    EXPECT_EQ(Cursor(doc), "1/0/0");
    EXPECT_FALSE(doc.EnterElement());
    ASSERT_TRUE(doc.NextElement(u"b"));
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.NextElement());
    ASSERT_TRUE(doc.NextElement());
    EXPECT_EQ(Cursor(doc), "3/5/0");
    EXPECT_FALSE(doc.NextElement()); // after the last sibling: state kept
    EXPECT_EQ(Cursor(doc), "3/5/0");
    EXPECT_TRUE(doc.LeaveElement());
    EXPECT_EQ(Cursor(doc), "1/3/5");
    EXPECT_TRUE(doc.EnterElement()); // back to the remembered child
    EXPECT_EQ(Cursor(doc), "3/5/0");
    EXPECT_TRUE(doc.LeaveElement());
    EXPECT_TRUE(doc.NextElement());
    EXPECT_EQ(doc.NodeName(), u"e");
    doc.RewindLevel();
    EXPECT_EQ(Cursor(doc), "1/0/0");
    EXPECT_TRUE(doc.NextElement());
    EXPECT_EQ(doc.NodeName(), u"a");
    EXPECT_TRUE(doc.EnterElement()); // an element without children: before nothing
    EXPECT_FALSE(doc.NextElement());
    EXPECT_EQ(Cursor(doc), "2/0/0");
    EXPECT_TRUE(doc.LeaveElement());
    EXPECT_EQ(Cursor(doc), "1/2/0");
}

TEST(MarkupNavigation, NamedSteps) {
    MarkupDocument doc(u"<r><a/><b x='1'/><a y='2'/><b=c/></r>");
    ASSERT_TRUE(doc.NextElement(u"r"));
    ASSERT_TRUE(doc.EnterElement());
    EXPECT_TRUE(doc.NextElement(u"b"));
    EXPECT_EQ(doc.AttributeValue(u"x"), u"1");
    EXPECT_TRUE(doc.NextElement(u"a"));
    EXPECT_EQ(doc.AttributeValue(u"y"), u"2");
    EXPECT_TRUE(doc.NextElement(u"b")); // "<b=c/>" is named "b"
    EXPECT_FALSE(doc.NextElement(u"a"));
    EXPECT_EQ(doc.NodeName(), u"b");
    doc.RewindLevel();
    EXPECT_FALSE(doc.NextElement(u"/a"));
    EXPECT_FALSE(doc.NextElement(u"q"));
    EXPECT_EQ(Probe::Current(doc), 0);
    EXPECT_TRUE(doc.NextElement(u"")); // an empty name matches every element
    EXPECT_EQ(doc.NodeName(), u"a");
}

TEST(MarkupNavigation, RecoveredTreeIsWalkedAsBuilt) {
    MarkupDocument doc(u"<r><a><b>t</b></r>");
    ASSERT_TRUE(doc.NextElement());
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.NextElement());
    EXPECT_EQ(doc.NodeName(), u"a");
    EXPECT_EQ(doc.InnerMarkup(), u""); // unended: no content, no children
    EXPECT_FALSE(doc.EnterElement() && doc.NextElement());
    EXPECT_TRUE(doc.LeaveElement());
    ASSERT_TRUE(doc.NextElement());
    EXPECT_EQ(doc.NodeName(), u"b");
    EXPECT_EQ(doc.ElementText(), u"t");
}

TEST(MarkupNavigation, NothingCurrent) {
    MarkupDocument doc(u"<a x='1'>t</a>");
    EXPECT_EQ(doc.NodeName(), u"");
    EXPECT_EQ(doc.AttributeValue(u"x"), u"");
    EXPECT_EQ(doc.AttributeNameAt(0), u"");
    EXPECT_EQ(doc.InnerMarkup(), u"");
    EXPECT_EQ(doc.ElementText(), u"");
    ASSERT_TRUE(doc.NextElement());
    EXPECT_EQ(doc.AttributeValue(nullptr), u"");
    EXPECT_EQ(doc.AttributeNameAt(-1), u"");
}

TEST(MarkupValues, NodeName) {
    const struct {
        const char16_t* text;
        const char16_t* name;
    } cases[] = {
        {u"<a/>", u"a"},       {u"<a:b c/>", u"a:b"},
        {u"<a=1/>", u"a"},     {u"<a?b/>", u"a"},
        {u"<a;b/>", u"a"},     {u"<a\\b/>", u"a"},
        {u"<a'b'/>", u"a"},    {u"<a!/>", u"a"},
        {u"<a[1]/>", u"a[1]"}, {u"<\u4e2d\u6587/>", u"\u4e2d\u6587"},
    };
    for (const auto& c : cases) {
        MarkupDocument doc(c.text);
        ASSERT_TRUE(doc.NextElement()) << Narrow(c.text);
        EXPECT_EQ(doc.NodeName(), c.name) << Narrow(c.text);
    }
}

TEST(MarkupValues, Attributes) {
    const struct {
        const char16_t* tag;
        const char16_t* names; // attribute names joined by "|"
        const char16_t* ask;
        const char16_t* value;
    } cases[] = {
        {u"<a x='1' y='2' z>", u"x|y|z", u"z", u"z"},
        {u"<a x='1' y='2' z>", u"x|y|z", u"q", u""},
        {u"<a x = '1'>", u"x", u"x", u"1"},
        {u"<a x='1' x='2'>", u"x|x", u"x", u"1"},
        {u"<a b=c/>", u"b", u"b", u"c/"},
        {u"<a t='&lt;&#65;&#x42;&bogus;&amp'>", u"t", u"t", u"<AB&bogus;&amp"},
        {u"<a x=\"it's\" y='say \"hi\"'>", u"x|y", u"y", u"say \"hi\""},
        {u"<a x=1 y=2>", u"x|y", u"y", u"2"},
        {u"<a x y=2>", u"x|y", u"x", u"x"},
        {u"<a x=>", u"x", u"x", u">"},        // the value after "=" is the next token, even ">"
        {u"<a 'q' x='1'>", u"x", u"x", u"1"}, // quoted tokens that are not values are skipped
        {u"<a =v x>", u"x", u"x", u"x"},
        {u"<a x='1'/ y='2'>", u"x", u"y", u""}, // "/" ends the attributes
        {u"<a x='1' ? y='2'>", u"x", u"y", u""},
        {u"<a x='a&amp;b'>", u"x", u"x[1]", u"a&b"}, // "x" answers for "x[1]", "x/y", "x=..."
        {u"<a x='1'>", u"x", u"x/y", u"1"},
        {u"<a x='1'>", u"x", u"xy", u""},
        {u"<a xy='1'>", u"xy", u"x", u""},
        {u"<a x='1>2'>", u"x", u"x", u"1>2"},
        {u"<a\tx\n=\r'1'>", u"x", u"x", u"1"},
        {u"<a x[1]='p' x='q'>", u"x[1]|x", u"x[1]", u"p"}, // the first attribute that answers
        {u"<a x='q' x[1]='p'>", u"x|x[1]", u"x[1]", u"q"},
        {u"<a x]='1' x='2'>", u"x]|x", u"x]", u"1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.tag));
        MarkupDocument doc(c.tag);
        ASSERT_TRUE(doc.NextElement());
        // Asked before and after the attributes are listed by position: the same answer.
        EXPECT_EQ(Narrow(doc.AttributeValue(c.ask)), Narrow(c.value));
        std::u16string names;
        for (int i = 0; !doc.AttributeNameAt(i).empty(); ++i)
            names += (i ? u"|" : u"") + doc.AttributeNameAt(i);
        EXPECT_EQ(Narrow(names), Narrow(c.names));
        EXPECT_EQ(Narrow(doc.AttributeValue(c.ask)), Narrow(c.value));
    }
}

std::u16string Units(const std::string& text) {
    return {text.begin(), text.end()};
}

// Each name asked for right after it is listed, as a trace of the tag does: the value of the first
// attribute that answers for it, whichever of its prefixes that is.
std::u16string ListedValues(const std::u16string& tag) {
    MarkupDocument doc(tag.c_str());
    EXPECT_TRUE(doc.NextElement());
    std::u16string out;
    for (int i = 0;; ++i) {
        const std::u16string name = doc.AttributeNameAt(i);
        if (name.empty())
            return out;
        out += (i ? u"|" : u"") + name + u"=" + doc.AttributeValue(name.c_str());
    }
}

TEST(MarkupValues, ListedNamesReadTheFirstAttributeThatAnswers) {
    const struct {
        const char16_t* tag;
        const char16_t* values;
    } cases[] = {
        {u"<a x[a]='1' x='2' x[a][b]='3'>", u"x[a]=1|x=2|x[a][b]=1"}, // the lowest, at the longer prefix
        {u"<a x='1' x[a]='2' x[a][b]='3'>", u"x=1|x[a]=1|x[a][b]=1"},
        {u"<a b='0' x[a][b]='3' x[a]='2' x='1'>", u"b=0|x[a][b]=3|x[a]=2|x=1"}, // later prefixes do not
        {u"<a x y x='3' x>", u"x=x|y=y|x=x|x=x"},
        {u"<a x]='1' x]]='2' x]['3'>", u"x]=1|x]]=1|x]['3'=1"}, // a quote does not end a name
        {u"<a x[='1' x[[='2'>", u"x[=1|x[[=1"},
        {u"<a ab='1' a='2' abc='3' a[='4'>", u"ab=1|a=2|abc=3|a[=2"}, // only before "[" or "]"
        {u"<a [x='1' [='2' [[x='3'>", u"[x=1|[=2|[[x=2"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Narrow(ListedValues(c.tag)), Narrow(c.values)) << Narrow(c.tag);

    // Past the first few answers the table is sized for the whole tag; a name repeated there still
    // reads its first value, and a name asked for out of turn reads the same as in turn.
    std::u16string tag = u"<a", expected;
    for (int i = 0; i < 200; ++i) {
        const std::u16string n = u"n" + Units(std::to_string(i % 150)), v = Units(std::to_string(i));
        tag += u" " + n + u"='" + v + u"'";
        expected += (i ? u"|" : u"") + n + u"=" + Units(std::to_string(i % 150));
    }
    EXPECT_EQ(Narrow(ListedValues(tag + u">")), Narrow(expected));
    MarkupDocument doc((tag + u">").c_str());
    ASSERT_TRUE(doc.NextElement());
    EXPECT_EQ(doc.AttributeValue(u"n149"), u"149");
    EXPECT_EQ(doc.AttributeNameAt(199), u"n49");
    EXPECT_EQ(doc.AttributeValue(u"n7"), u"7");
    EXPECT_EQ(doc.AttributeValue(u"n49[1]"), u"49");
    EXPECT_EQ(doc.AttributeValue(u"n150"), u"");
}

TEST(MarkupValues, AttributesFollowTheCursor) {
    MarkupDocument doc(u"<a x='1'><c x='3'/></a><b x='2'/>");
    ASSERT_TRUE(doc.NextElement());
    EXPECT_EQ(doc.AttributeNameAt(0), u"x");
    ASSERT_TRUE(doc.EnterElement() && doc.NextElement());
    EXPECT_EQ(doc.AttributeValue(u"x"), u"3");
    ASSERT_TRUE(doc.LeaveElement());
    EXPECT_EQ(doc.AttributeValue(u"x"), u"1");
    ASSERT_TRUE(doc.NextElement());
    EXPECT_EQ(doc.AttributeValue(u"x"), u"2");
    doc.LoadText(u"<d y='4'/>");
    ASSERT_TRUE(doc.NextElement());
    EXPECT_EQ(doc.AttributeNameAt(0), u"y");
    EXPECT_EQ(doc.AttributeValue(u"x"), u"");
}

TEST(MarkupValues, AttributeScanStaysInsideTheStartTag) {
    // The quote opened before "b" is never closed inside the tag; nothing after the tag is read.
    MarkupDocument doc(u"<a x 'b><c d='1'/></a>");
    ASSERT_TRUE(doc.NextElement());
    EXPECT_EQ(doc.AttributeNameAt(0), u"x");
    EXPECT_EQ(doc.AttributeNameAt(1), u"");
    EXPECT_EQ(doc.AttributeValue(u"d"), u"");
}

TEST(MarkupDecoding, References) {
    const struct {
        const char16_t* in;
        const char16_t* out;
    } cases[] = {
        {u"&lt;&gt;&amp;&quot;&apos;", u"<>&\"'"},
        {u"&AMP;&Lt;", u"&<"},
        {u"&#65;&#x42;&#X43;&#x0x44;", u"ABCD"},
        {u"&# 65;&#+65;&#65abc;", u"AAA"},
        {u"&#128512;", u"\xD83D\xDE00"},
        {u"&#xD800;", u"\xD800"},
        {u"&#-1;", u"\xDBBF\xDFFF"}, // 0xFFFFFFFF taken as unsigned
        {u"&#0;&#;&#x;&#xg;", u"&#0;&#;&#x;&#xg;"},
        {u"&;&bogus;&amp", u"&;&bogus;&amp"},
        {u"&thetasym;&THETASYM;", u"\u03d1\u03d1"},
        {u"&#00000065;&#000000065;", u"A&#000000065;"}, // nine units at most
        {u"&\u00e9;&amp;", u"&\u00e9;&"},
        {u"&&amp;;", u"&&;"},
        {u"&nbsp;&yuml;&euro;&hearts;", u"\u00a0\u0178\u20ac\u2665"},
        // Twins that differ in case give the capitalised form's character.
        {u"&eacute;&Eacute;&darr;&omega;&dagger;&prime;&aelig;",
         u"\u00c9\u00c9\u21d3\u03a9\u2021\u2033\u00c6"},
        {u"&szlig;&sigmaf;&larr;", u"\u00df\u03c2\u21d0"},
    };
    for (const auto& c : cases) {
        std::u16string out;
        const std::u16string_view in(c.in);
        kelvo::AppendDecoded(out, in.data(), in.data() + in.size());
        EXPECT_EQ(Narrow(out), Narrow(c.out)) << Narrow(c.in);
    }
}

TEST(MarkupDecoding, EntityTable) {
    using kelvo::LookupEntity;
    EXPECT_EQ(LookupEntity(u"apos"), u'\'');
    EXPECT_EQ(LookupEntity(u"nbsp"), 0xA0);
    EXPECT_EQ(LookupEntity(u"thorn"), 0xDE);
    EXPECT_EQ(LookupEntity(u"yacute"), 0xDD);
    EXPECT_EQ(LookupEntity(u"diams"), 0x2666);
    EXPECT_EQ(LookupEntity(u"zwj"), 0x200D);
    EXPECT_EQ(LookupEntity(u"Amp"), 0); // lookups take folded names
    EXPECT_EQ(LookupEntity(u"nosuch"), 0);
}

TEST(MarkupValues, ElementText) {
    const struct {
        const char16_t* text;
        const char16_t* elementText;
        const char16_t* inner;
    } cases[] = {
        {u"<e>  x  </e>", u"  x  ", u"  x  "},
        {u"<e> <![CDATA[<y>]]> </e>", u"<y>", u" <![CDATA[<y>]]> "},
        {u"<e>a<!--c-->b</e>", u"ab", u"a<!--c-->b"},
        {u"<e>a<f/>b</e>", u"", u"a<f/>b"},
        {u"<e>1 < 2</e>", u"1 ", u"1 < 2"},
        {u"<e>a &lt; b<?p?> c &amp;</e>", u"a < b c &", u"a &lt; b<?p?> c &amp;"},
        {u"<e>x<![CDATA[&amp;]]>y</e>", u"x&amp;y", u"x<![CDATA[&amp;]]>y"},
        {u"<e><![CDATA[]]></e>", u"", u"<![CDATA[]]>"},
        {u"<e>a>b</e>", u"a>b", u"a>b"},
        {u"<e>a</x>b</e>", u"ab", u"a</x>b"},
        {u"<e>x\r\n\ty</e>", u"x\r\n\ty", u"x\r\n\ty"},
        {u"<e/>", u"", u""},
        {u"<e></e>", u"", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.text));
        MarkupDocument doc(c.text);
        ASSERT_TRUE(doc.NextElement());
        EXPECT_EQ(Narrow(doc.ElementText()), Narrow(c.elementText));
        EXPECT_EQ(Narrow(doc.InnerMarkup()), Narrow(c.inner));
    }
}

} // namespace
