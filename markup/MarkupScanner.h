// Internal to the markup document: unit classes, the node scanner, report entries and decoding.
//
// Grammar the scanner accepts, one node at a time (whitespace is space, tab, LF and CR only; a
// U+0000 unit is the end of the text):
//   whitespace   a run of whitespace that ends at "<" or at the end
//   text         anything else up to the next "<" (not included) or through the next ">"
//   start tag    "<" name-start ... ">"; a ">" inside a value quoted after "=" does not end it
//   end tag      "</" ... ">"
//   PI           "<?" ... "?>"      comment "<!--" ... "-->"     CDATA "<![C" ... "]]>"
//   doctype      "<!D" ... ">", stepping over nested "<...>" constructs
// Recovery: a "<" that starts none of these is an error node running to the next "<" (not
// included) or through the next ">" outside quoted values; a construct cut off by the end of the
// text is an error node to the end. Each problem becomes an entry in the node's list, at the offset
// of the node being scanned: for a broken construct nested in a doctype, the doctype's "<!".
#pragma once

#include <climits>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelvo {

// Unit classes, looked up with Class(); every unit from U+0080 up shares the entry of U+007F.
enum : std::uint16_t {
    kWhitespace = 1 << 0,       // space, tab, LF, CR
    kNameStop = 1 << 1,         // ends a scanned tag name: whitespace "/" ">" end
    kTextStop = 1 << 2,         // "<" ">" end
    kTagStop = 1 << 3,          // inside a start tag between values: "=" ">" end
    kErrorStop = 1 << 4,        // inside an error node: "=" ">" "<" end
    kValueStop = 1 << 5,        // unquoted value in a start tag: whitespace ">" end
    kErrorValueStop = 1 << 6,   // unquoted value in an error node: whitespace ">" "<" end
    kNameStart = 1 << 7,        // A-Z "_" ":" and every unit above U+0060
    kNodeNameStop = 1 << 8,     // ends NodeName: whitespace ! " ' / ; < = > ? backslash end
    kTokenStop = 1 << 9,        // ends an attribute-scan token: whitespace / = > ? end
    kAfterEqualsStop = 1 << 10, // ends an attribute-scan token after "=": whitespace > end
};

struct UnitClasses {
    std::uint16_t bits[128];
};

constexpr UnitClasses MakeUnitClasses() {
    UnitClasses t{};
    auto add = [&t](std::u16string_view units, std::uint16_t bit) {
        for (char16_t c : units)
            t.bits[c] |= bit;
    };
    const std::u16string_view ws = u" \t\n\r";
    const std::u16string_view end(u"\0", 1);
    add(ws, kWhitespace | kNameStop | kValueStop | kErrorValueStop | kNodeNameStop | kTokenStop |
                kAfterEqualsStop);
    add(end, kNameStop | kTextStop | kTagStop | kErrorStop | kValueStop | kErrorValueStop | kNodeNameStop |
                 kTokenStop | kAfterEqualsStop);
    add(u"/", kNameStop | kNodeNameStop | kTokenStop);
    add(u">", kNameStop | kTextStop | kTagStop | kErrorStop | kValueStop | kErrorValueStop | kNodeNameStop |
                  kTokenStop | kAfterEqualsStop);
    add(u"<", kTextStop | kErrorStop | kErrorValueStop | kNodeNameStop);
    add(u"=", kTagStop | kErrorStop | kNodeNameStop | kTokenStop);
    add(u"?", kNodeNameStop | kTokenStop);
    add(u"!\"';\\", kNodeNameStop);
    for (int c = 'A'; c <= 'Z'; ++c)
        t.bits[c] |= kNameStart;
    for (int c = 0x61; c < 128; ++c)
        t.bits[c] |= kNameStart;
    add(u"_:", kNameStart);
    return t;
}

inline constexpr UnitClasses kUnitClasses = MakeUnitClasses();

inline std::uint16_t Class(char16_t c) {
    return kUnitClasses.bits[c < 128 ? c : 127];
}
inline bool IsWhitespace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

// Moves to the first unit for which stop holds. Every stop holds for the terminating NUL, and each
// unit is read only once the one before it has been passed, so nothing past the NUL is read.
template <class Stop>
inline const char16_t* SkipUntil(const char16_t* q, Stop stop) {
    for (;; q += 4) {
        if (stop(q[0]))
            return q;
        if (stop(q[1]))
            return q + 1;
        if (stop(q[2]))
            return q + 2;
        if (stop(q[3]))
            return q + 3;
    }
}

// The scanner's stop sets all lie below U+0040, so each is a 64-bit mask: one compare and one bit
// test per unit, no memory access.
constexpr std::uint64_t MaskOf(std::uint16_t stops) {
    std::uint64_t mask = 0;
    for (int c = 0; c < 64; ++c)
        if (kUnitClasses.bits[c] & stops)
            mask |= std::uint64_t{1} << c;
    return mask;
}

constexpr bool AllBelow64(std::uint16_t stops) {
    for (int c = 64; c < 128; ++c)
        if (kUnitClasses.bits[c] & stops)
            return false;
    return true;
}

template <std::uint16_t Stops>
inline const char16_t* SkipClass(const char16_t* q) {
    static_assert(AllBelow64(Stops));
    constexpr std::uint64_t mask = MaskOf(Stops);
    static_assert((mask & 1) != 0, "every scan stops at the end of the text");
    return SkipUntil(q, [](char16_t c) { return c < 64 && ((mask >> c) & 1) != 0; });
}

inline const char16_t* SkipTo(const char16_t* q, char16_t unit) {
    return SkipUntil(q, [unit](char16_t c) { return c == unit || c == 0; });
}

// Text runs to "<", ">" or the end: "<" | 2 == ">" spares a table look-up per unit.
inline const char16_t* SkipText(const char16_t* q) {
    return SkipUntil(q, [](char16_t c) { return (c | 2) == u'>' || c == 0; });
}

enum class NodeKind : std::int32_t {
    EndTag = 0,
    StartTag = 1,
    Text = 2,
    Whitespace = 4,
    CData = 8,
    ProcessingInstruction = 16,
    Comment = 32,
    DocumentType = 64,
    Error = -1,
    EndOfText = -2,
};

struct NodeInfo {
    NodeKind kind = NodeKind::EndOfText;
    std::int32_t start = 0;
    std::int32_t length = 0;
    bool emptyElement = false;  // a start tag ending in "/>"
    std::int32_t nameFirst = 0; // tag and PI names: first unit
    std::int32_t nameEnd = 0;   // one past the last unit
    std::u16string entries;     // result entries of this node's scan
};

// Reads one node at a time from a NUL-terminated text. Scans stop on the terminating NUL, so no
// bounds are checked; backward looks stay inside the node being read.
class NodeScanner {
public:
    // With recordEntries false the node lists stay empty (reading element text needs no report).
    NodeScanner(const char16_t* text, bool recordEntries) : m_pText(text), m_bEntries(recordEntries) {}
    void SetPosition(std::int32_t p) { m_nPos = p; }
    std::int32_t Position() const { return m_nPos; }
    // Reads the node at the scan position into info and moves the position to its end.
    void Scan(NodeInfo& info) {
        // Most nodes of a document are tags without attributes, "<name>", "<name/>" and "</name>":
        // they are read here, in the caller's loop; everything else takes the full state machine.
        const char16_t* const p = m_pText + m_nPos;
        if (p[0] == u'<' && info.entries.empty()) {
            const char16_t c = p[1];
            if (c != 0 && (Class(c) & kNameStart)) {
                const char16_t* q = SkipClass<kNameStop>(p + 2);
                if (*q == u'>')
                    return TagScanned(info, NodeKind::StartTag, p, p + 1, q, q + 1, false);
                if (*q == u'/' && q[1] == u'>')
                    return TagScanned(info, NodeKind::StartTag, p, p + 1, q, q + 2, true);
            } else if (c == u'/') {
                const char16_t* q = SkipClass<kNameStop>(p + 2);
                if (*q == u'>')
                    return TagScanned(info, NodeKind::EndTag, p, p + 2, q, q + 1, false);
            }
        }
        ScanNode(info);
    }

private:
    void TagScanned(NodeInfo& info, NodeKind kind, const char16_t* p, const char16_t* nameFirst,
                    const char16_t* nameEnd, const char16_t* end, bool empty) {
        if (end - m_pText > INT32_MAX)
            TooLong();
        info.kind = kind;
        info.start = m_nPos;
        info.length = static_cast<std::int32_t>(end - p);
        info.emptyElement = empty;
        info.nameFirst = static_cast<std::int32_t>(nameFirst - m_pText);
        info.nameEnd = static_cast<std::int32_t>(nameEnd - m_pText);
        m_nPos += info.length;
    }
    void ScanNode(NodeInfo& info);
    [[noreturn]] static void TooLong();
    enum class Stop { Close, Open, End }; // an error scan met ">", "<" or the end of the text
    const char16_t* ScanMarkup(const char16_t* p, NodeInfo& info);
    const char16_t* ScanStartTag(const char16_t* q, bool& empty);
    const char16_t* ScanDocumentType(const char16_t* p, NodeInfo& info);
    static const char16_t* ScanError(const char16_t* q, Stop& stop);
    void AddSyntaxEntry(NodeInfo& info, std::u16string_view word, const char16_t* at);
    void AddUnterminatedEntry(NodeInfo& info, std::u16string_view type);

    const char16_t* m_pText;
    bool m_bEntries;
    std::int32_t m_nPos = 0;
};

// A list (the report or a node's list) takes entries while it holds fewer than this many units.
inline constexpr std::size_t kEntryListLimit = 1000;

// Adds "<word label="value" offset="n" offset2="m"/>" to list unless the list is full. An empty
// label leaves out the labelled attribute; a negative offset leaves out that number.
void AddEntry(std::u16string& list, std::u16string_view word, std::u16string_view label,
              std::u16string_view value, std::int32_t offset = -1, std::int32_t offset2 = -1);

// Appends [first, last) with entity and character references replaced.
void AppendDecoded(std::u16string& out, const char16_t* first, const char16_t* last);

// The code unit of a character entity name already folded to lower case, 0 when unknown.
char16_t LookupEntity(std::u16string_view foldedName);

inline constexpr int kEntityCount = 253;
inline constexpr int kEntityBuckets = 130;

} // namespace kelvo
