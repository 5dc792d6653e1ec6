// Reading: names and text are scanned again from the loaded copy on every call; the current
// element's attributes are listed once (see AttributeTable). The parse is in MarkupDocument.cpp.
#include "markup/MarkupDocument.h"

#include "markup/MarkupScanner.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <exception>
#include <random>
#include <string_view>
#include <vector>

namespace kelvo {

// ---- Loading ----

// The document's life is here, where the attribute table it owns is complete; the parse itself is
// in MarkupDocument.cpp.

MarkupDocument::MarkupDocument() {
    LoadText(nullptr);
}

MarkupDocument::MarkupDocument(const char16_t* text) {
    LoadText(text);
}

MarkupDocument::~MarkupDocument() = default;

bool MarkupDocument::LoadText(const char16_t* text) {
    m_strReport.clear();
    m_pAttributes.reset();
    if (text == nullptr) {
        m_index.Release();
        text = u"";
    }
    std::int32_t length = 0;
    const bool wellFormed = Parse(text, length);
    m_strText.assign(text, static_cast<std::size_t>(length));
    return wellFormed;
}

std::u16string MarkupDocument::ResultReport() const {
    return m_strReport;
}

// ---- Navigation ----

void MarkupDocument::RewindLevel() {
    m_nCurrent = 0;
    m_nChild = 0;
}

bool MarkupDocument::NextElement(const char16_t* name) {
    std::int32_t candidate =
        m_nCurrent != 0 ? m_index[m_nCurrent].nextSibling : m_index[m_nParent].firstChild;
    if (name != nullptr && *name != 0) {
        if (*name == u'/')
            return false;
        while (candidate != 0 && !NameIs(candidate, name))
            candidate = m_index[candidate].nextSibling;
    }
    if (candidate == 0)
        return false;
    m_nCurrent = candidate;
    m_nParent = m_index[candidate].parent;
    m_nChild = 0;
    return true;
}

bool MarkupDocument::EnterElement() {
    if (m_nCurrent == 0)
        return false;
    m_nParent = m_nCurrent;
    m_nCurrent = m_nChild;
    m_nChild = 0;
    return true;
}

bool MarkupDocument::LeaveElement() {
    if (m_nParent == 0)
        return false;
    m_nChild = m_nCurrent;
    m_nCurrent = m_nParent;
    m_nParent = m_index[m_nParent].parent;
    return true;
}

// ---- Values ----

namespace {

// The name as NodeName reads it: after "<" and any whitespace, up to a unit that cannot be part
// of a name; a single unit when the run is empty.
std::u16string_view ElementName(const char16_t* tag) {
    const char16_t* first = tag + 1;
    while (IsWhitespace(*first))
        ++first;
    const char16_t* last = first;
    while (!(Class(*last) & kNodeNameStop))
        ++last;
    if (last == first && *first != 0)
        ++last;
    return {first, static_cast<std::size_t>(last - first)};
}

struct Token {
    const char16_t* first;
    const char16_t* last;
    bool quoted;

    bool Is(char16_t c) const { return !quoted && last - first == 1 && *first == c; }
    std::u16string_view View() const { return {first, static_cast<std::size_t>(last - first)}; }
};

// The attributes of one start tag, read as tokens and never past the tag's ">".
class AttributeScan {
public:
    AttributeScan(const char16_t* tag, const char16_t* tagEnd) : m_pPos(tag + 1), m_pEnd(tagEnd) {
        Token name;
        m_bEnded = !NextToken(name, false); // the tag name
    }

    // Moves to the next attribute name; false once the tag has ended.
    bool NextName(Token& name) {
        bool value = false;
        Token token;
        while (!m_bEnded) {
            if (m_bPeeked) {
                token = m_peeked;
                m_bPeeked = false;
            } else if (!NextToken(token, value)) {
                break;
            }
            if (value) {
                value = false; // a value that no name claims
            } else if (token.Is(u'=')) {
                value = true;
            } else if (token.Is(u'/') || token.Is(u'>') || token.Is(u'?')) {
                break;
            } else if (!token.quoted) {
                name = token;
                return true;
            }
        }
        m_bEnded = true;
        return false;
    }

    // The value of the name just read: the token after a following "=", or the name itself.
    Token ValueOf(const Token& name) {
        Token token;
        if (!NextToken(token, false))
            return name;
        if (!token.Is(u'=')) {
            m_peeked = token;
            m_bPeeked = true;
            return name;
        }
        if (!NextToken(token, true))
            return Token{m_pEnd, m_pEnd, true};
        return token;
    }

private:
    bool NextToken(Token& token, bool afterEquals) {
        while (m_pPos < m_pEnd && IsWhitespace(*m_pPos))
            ++m_pPos;
        if (m_pPos == m_pEnd)
            return false;
        const char16_t c = *m_pPos;
        if (c == u'"' || c == u'\'') {
            const char16_t* first = ++m_pPos;
            while (m_pPos < m_pEnd && *m_pPos != c)
                ++m_pPos;
            token = Token{first, m_pPos, true};
            if (m_pPos < m_pEnd)
                ++m_pPos;
            return true;
        }
        const std::uint16_t stop = afterEquals ? kAfterEqualsStop : kTokenStop;
        const char16_t* first = m_pPos;
        while (m_pPos < m_pEnd && !(Class(*m_pPos) & stop))
            ++m_pPos;
        if (m_pPos == first)
            ++m_pPos;
        token = Token{first, m_pPos, false};
        return true;
    }

    const char16_t* m_pPos;
    const char16_t* m_pEnd;
    bool m_bEnded = false;
    bool m_bPeeked = false;
    Token m_peeked{};
};

// "x" answers for "x", and for "x" followed by a space, "/", "=", "[" or "]".
bool AttributeMatches(std::u16string_view token, std::u16string_view name) {
    if (token.size() > name.size() || name.compare(0, token.size(), token) != 0)
        return false;
    if (token.size() == name.size())
        return true;
    const char16_t next = name[token.size()];
    return next == u' ' || next == u'/' || next == u'=' || next == u'[' || next == u']';
}

} // namespace

// The attributes of the current element, listed by one scan of its start tag the first time one
// is asked for by position, so that listing them all costs one scan and not one per attribute.
//
// A caller that lists the attributes asks for each one's value by the name just listed: the
// first attribute whose name answers for that name. Those answers are worked out in order, in
// time linear in the tag however the names repeat or prefix each other, so that a tag with many
// attributes costs no more than its length; any other name is looked up in the same table.
//
// A name token answers for a wanted name equal to it, or for one that goes on past it with a
// space, "/", "=", "[" or "]". Names are found by a hash carried along each name, so that every
// prefix that could answer gets its key without being hashed again, and is looked up only at a
// length some name has. Of the hits the lowest entry is compared unit by unit: only a false hit,
// which needs two names whose hashes agree, costs a further look.
struct MarkupDocument::AttributeTable {
    struct Entry {
        std::int32_t name; // offsets into the text
        std::int32_t nameLength;
        std::int32_t value; // the token after its "=", or the name itself
        std::int32_t valueLength;
    };

    std::int32_t element = 0;
    const char16_t* text = nullptr;
    std::vector<Entry> entries;
    std::unique_ptr<std::int32_t[]> answer; // [k]: the entry whose value the name of entry k reads
    std::int32_t lastListed = -1;           // the entry whose name was last asked for by position

    std::u16string_view Name(std::size_t k) const {
        return {text + entries[k].name, static_cast<std::size_t>(entries[k].nameLength)};
    }

    void Reset() {
        lastListed = -1;
        m_nIndexed = 0;
        m_nLongestIndexed = 0;
        m_bAskedOther = false;
        m_nSlots = 0; // sized when the first answer is asked for
    }

    // Works out the answers of the entries up to `last`, in order, so that the table holds the
    // names before each one. Entries are indexed only as far as values are asked for: a caller
    // that stops asking stops the work.
    void IndexThrough(std::size_t last) {
        // A caller past the first few answers is most likely walking them all: room for every
        // entry then saves growing the table again and again.
        Reserve(last < 64 ? std::min(last + 1, entries.size()) : entries.size());
        for (std::size_t k = m_nIndexed; k <= last && k < entries.size(); ++k) {
            const std::u16string_view name = Name(k);
            std::uint64_t state = kSeed;
            bool brackets = false;
            for (const char16_t c : name) {
                state = Step(state, c);
                brackets = brackets || c == u'[' || c == u']';
            }
            m_keys[k] = Key(state, name.size());
            answer[k] = FirstOfName(k);
            if (brackets)
                answer[k] = std::min(answer[k], PrefixAnswer(k));
            m_nameLengths[name.size()] = true;
            m_nLongestIndexed = std::max(m_nLongestIndexed, name.size());
            m_nIndexed = k + 1;
        }
    }

    // The entry whose value `name` reads; -1 when none does, kUnsure when two names whose hashes
    // agree leave it open (the caller then scans the tag). The name just listed has its answer
    // ready. For another, the prefixes that can answer are those ending before a "[", "]", space,
    // "/" or "=", or at its end, and none runs past its first space, "/" or "=" since no name
    // holds one; of their hits only the lowest is compared unit by unit.
    static constexpr std::int32_t kUnsure = -2;
    std::int32_t Reads(std::u16string_view name) {
        if (lastListed >= 0 && Name(static_cast<std::size_t>(lastListed)) == name) {
            IndexThrough(static_cast<std::size_t>(lastListed));
            return answer[static_cast<std::size_t>(lastListed)];
        }
        if (!m_bAskedOther && m_nIndexed < entries.size()) {
            // The first other name, such as the one a caller reads before listing, goes along the
            // entries without indexing them; a second one indexes them all, once.
            m_bAskedOther = true;
            for (std::size_t k = 0; k < entries.size(); ++k)
                if (AttributeMatches(Name(k), name))
                    return static_cast<std::int32_t>(k);
            return -1;
        }
        IndexThrough(entries.size());
        std::int32_t best = -1;
        std::size_t length = 0;
        std::uint64_t state = kSeed;
        const std::size_t last = std::min(name.size(), m_nameLengths.size() - 1);
        for (std::size_t n = 1; n <= last; ++n) {
            state = Step(state, name[n - 1]);
            const char16_t next = n < name.size() ? name[n] : u'\0';
            const bool stop = next == u' ' || next == u'/' || next == u'=';
            if ((n == name.size() || stop || next == u'[' || next == u']') && m_nameLengths[n]) {
                const std::int32_t hit = LowestHit(Key(state, n), n, -1, best < 0 ? INT32_MAX : best);
                if (hit >= 0) {
                    best = hit;
                    length = n;
                }
            }
            if (stop)
                break;
        }
        if (best < 0 || Name(static_cast<std::size_t>(best)) == name.substr(0, length))
            return best;
        return kUnsure;
    }

private:
    // Fixed per process and unknown to a request, so that no request can be written to make its
    // names collide.
    static inline const std::uint64_t kSeed = [] {
        std::uint64_t seed =
            static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
        try {
            std::random_device device;
            seed ^= std::uint64_t{device()} << 32 ^ device();
        } catch (const std::exception&) {
            // The clock alone still differs from run to run.
        }
        return seed;
    }();

    static std::uint64_t Step(std::uint64_t state, char16_t c) {
        return ((state << 5 | state >> 59) ^ c) * 0x9E3779B97F4A7C15u;
    }
    static std::uint64_t Key(std::uint64_t state, std::size_t length) {
        std::uint64_t key = state ^ length;
        key = (key ^ key >> 33) * 0xFF51AFD7ED558CCDu;
        key = (key ^ key >> 33) * 0xC4CEB9FE1A85EC53u;
        return key ^ key >> 33;
    }
    // A slot's mark: 16 bits of the key that the slot's position does not use, never 0 (empty).
    static std::uint16_t Mark(std::uint64_t key) { return static_cast<std::uint16_t>(key >> 48 | 1); }
    std::size_t Mask() const { return m_nSlots - 1; }

    // Room for the first `count` entries, with the table at most half full. The table grows as far
    // as answers are asked for; only its marks are cleared: 2 bytes a slot, which lookups mostly
    // read without touching anything else.
    void Reserve(std::size_t count) {
        if (m_nSlots == 0) {
            if (entries.size() > m_nCapacity) {
                m_nCapacity = std::max(entries.size(), 2 * m_nCapacity);
                m_keys.reset(new std::uint64_t[m_nCapacity]);
                answer.reset(new std::int32_t[m_nCapacity]);
            }
            m_nameLengths.assign(LongestName() + 1, false);
        } else if (2 * count <= m_nSlots) {
            return;
        }
        std::size_t slots = std::max<std::size_t>(16, 2 * m_nSlots);
        while (slots < 2 * count)
            slots *= 2;
        std::vector<std::uint16_t> marks(slots, 0);
        std::unique_ptr<std::int32_t[]> slotEntries(new std::int32_t[slots]);
        for (std::size_t at = 0; at < m_nSlots; ++at) {
            if (m_marks[at] == 0)
                continue;
            const std::uint64_t key = m_keys[static_cast<std::size_t>(m_slotEntries[at])];
            std::size_t to = key & (slots - 1);
            while (marks[to] != 0)
                to = (to + 1) & (slots - 1);
            marks[to] = m_marks[at];
            slotEntries[to] = m_slotEntries[at];
        }
        m_marks.swap(marks);
        m_slotEntries.swap(slotEntries);
        m_nSlots = slots;
    }

    std::size_t LongestName() const {
        std::size_t longest = 0;
        for (const Entry& entry : entries)
            longest = std::max(longest, static_cast<std::size_t>(entry.nameLength));
        return longest;
    }

    // The first entry with the same name as entry k, which goes into the table if it is that one.
    std::int32_t FirstOfName(std::size_t k) {
        const std::uint64_t key = m_keys[k];
        const std::uint16_t mark = Mark(key);
        std::size_t at = key & Mask();
        for (; m_marks[at] != 0; at = (at + 1) & Mask()) {
            if (m_marks[at] != mark)
                continue;
            const std::size_t other = static_cast<std::size_t>(m_slotEntries[at]);
            if (m_keys[other] == key && Name(other) == Name(k))
                return m_slotEntries[at];
        }
        m_marks[at] = mark;
        m_slotEntries[at] = static_cast<std::int32_t>(k);
        return static_cast<std::int32_t>(k);
    }

    // The lowest earlier entry whose name is a prefix of entry k's that ends before a "[" or "]";
    // k itself if none. A prefix is looked up only at a length that an earlier name has, and
    // once the lowest entry of all has answered the walk stops.
    std::int32_t PrefixAnswer(std::size_t k) const {
        const std::u16string_view name = Name(k);
        const std::size_t prefixes = std::min(name.size() - 1, m_nLongestIndexed);
        std::int32_t best = static_cast<std::int32_t>(k);
        std::size_t bestLength = 0;
        std::uint64_t state = kSeed;
        for (std::size_t n = 1; n <= prefixes && best != 0; ++n) {
            state = Step(state, name[n - 1]);
            if ((name[n] != u'[' && name[n] != u']') || !m_nameLengths[n])
                continue;
            const std::int32_t hit = LowestHit(Key(state, n), n, -1, best);
            if (hit >= 0) {
                best = hit;
                bestLength = n;
            }
        }
        if (bestLength == 0 || Name(static_cast<std::size_t>(best)) == name.substr(0, bestLength))
            return best;
        return VerifiedPrefixAnswer(k);
    }

    // After a false hit: the lowest earlier entry whose name is a prefix of entry k's that ends
    // before a "[" or "]", each hit compared in turn from the lowest; k itself if none.
    std::int32_t VerifiedPrefixAnswer(std::size_t k) const {
        const std::u16string_view name = Name(k);
        for (std::int32_t after = -1;;) {
            std::size_t length = 0;
            const std::int32_t hit = LowestPrefixHit(name, after, static_cast<std::int32_t>(k), length);
            if (hit < 0 || Name(static_cast<std::size_t>(hit)) == name.substr(0, length))
                return hit < 0 ? static_cast<std::int32_t>(k) : hit;
            after = hit;
        }
    }

    // The lowest entry after `after` and before `before` whose name has the key and the length;
    // -1 if none.
    std::int32_t LowestHit(std::uint64_t key, std::size_t length, std::int32_t after,
                           std::int32_t before) const {
        std::int32_t best = -1;
        const std::uint16_t mark = Mark(key);
        for (std::size_t at = key & Mask(); m_marks[at] != 0; at = (at + 1) & Mask()) {
            if (m_marks[at] != mark)
                continue;
            const std::int32_t entry = m_slotEntries[at];
            const std::size_t e = static_cast<std::size_t>(entry);
            if (entry > after && entry < before && (best < 0 || entry < best) && m_keys[e] == key &&
                static_cast<std::size_t>(entries[e].nameLength) == length)
                best = entry;
        }
        return best;
    }

    // The same over the prefixes of name that end before a "[" or "]". `length` gets the length of
    // the prefix hit.
    std::int32_t LowestPrefixHit(std::u16string_view name, std::int32_t after, std::int32_t before,
                                 std::size_t& length) const {
        std::int32_t best = -1;
        if (name.empty())
            return best;
        std::uint64_t state = kSeed;
        const std::size_t last = std::min(name.size() - 1, m_nameLengths.size() - 1);
        for (std::size_t n = 1; n <= last; ++n) {
            state = Step(state, name[n - 1]);
            if ((name[n] != u'[' && name[n] != u']') || !m_nameLengths[n])
                continue;
            const std::int32_t hit = LowestHit(Key(state, n), n, after, best < 0 ? before : best);
            if (hit >= 0) {
                best = hit;
                length = n;
            }
        }
        return best;
    }

    std::vector<std::uint16_t> m_marks;            // open addressing, at most half full; 0: empty
    std::unique_ptr<std::int32_t[]> m_slotEntries; // the first entry of its name, where marked
    std::size_t m_nSlots = 0;                      // a power of two; 0 until sized
    std::unique_ptr<std::uint64_t[]> m_keys;       // [k]: the key of entry k's name, once indexed
    std::size_t m_nCapacity = 0;                   // of m_keys and answer
    std::vector<bool> m_nameLengths;               // [n]: some name indexed so far has n units
    std::size_t m_nIndexed = 0;                    // entries with their answer worked out
    std::size_t m_nLongestIndexed = 0;             // the longest name among them
    bool m_bAskedOther = false;                    // a name other than the one just listed was asked for
};

MarkupDocument::AttributeTable& MarkupDocument::ListAttributes() const {
    if (!m_pAttributes)
        m_pAttributes = std::make_unique<AttributeTable>();
    AttributeTable& table = *m_pAttributes;
    if (table.element == m_nCurrent)
        return table;
    table.element = m_nCurrent;
    table.text = m_strText.data();
    table.entries.clear();
    const std::int32_t tagLength = StartTagLength(m_nCurrent);
    // Every attribute takes a unit of name and one before it, so this is the most there can be;
    // pages of it that are never written cost nothing.
    table.entries.reserve(static_cast<std::size_t>(tagLength) / 2);
    const char16_t* tag = m_strText.data() + m_index[m_nCurrent].start;
    const auto offset = [&](const char16_t* p) { return static_cast<std::int32_t>(p - table.text); };
    AttributeScan scan(tag, tag + tagLength);
    Token name;
    while (scan.NextName(name)) {
        const Token value = scan.ValueOf(name);
        table.entries.push_back({offset(name.first), offset(name.last) - offset(name.first),
                                 offset(value.first), offset(value.last) - offset(value.first)});
    }
    table.Reset();
    return table;
}

bool MarkupDocument::NameIs(std::int32_t n, const char16_t* name) const {
    return ElementName(m_strText.data() + m_index[n].start) == std::u16string_view(name);
}

std::u16string MarkupDocument::NodeName() const {
    if (m_nCurrent == 0)
        return {};
    return std::u16string(ElementName(m_strText.data() + m_index[m_nCurrent].start));
}

std::u16string MarkupDocument::AttributeValue(const char16_t* name) const {
    if (m_nCurrent == 0 || name == nullptr)
        return {};
    const std::u16string_view wanted(name);
    std::u16string out;
    AttributeTable& table = ListAttributes();
    const std::int32_t reads = table.Reads(wanted);
    if (reads >= 0) {
        const AttributeTable::Entry& entry = table.entries[static_cast<std::size_t>(reads)];
        AppendDecoded(out, m_strText.data() + entry.value,
                      m_strText.data() + entry.value + entry.valueLength);
        return out;
    }
    if (reads != AttributeTable::kUnsure)
        return out;
    const char16_t* tag = m_strText.data() + m_index[m_nCurrent].start;
    AttributeScan scan(tag, tag + StartTagLength(m_nCurrent));
    Token token;
    while (scan.NextName(token)) {
        if (AttributeMatches(token.View(), wanted)) {
            const Token value = scan.ValueOf(token);
            AppendDecoded(out, value.first, value.last);
            return out;
        }
    }
    return out;
}

std::u16string MarkupDocument::AttributeNameAt(int index) const {
    if (m_nCurrent == 0 || index < 0)
        return {};
    AttributeTable& table = ListAttributes();
    if (static_cast<std::size_t>(index) >= table.entries.size())
        return {};
    table.lastListed = index;
    return std::u16string(table.Name(static_cast<std::size_t>(index)));
}

std::u16string MarkupDocument::InnerMarkup() const {
    return std::u16string(InnerMarkupView());
}

std::u16string_view MarkupDocument::InnerMarkupView() const {
    if (m_nCurrent == 0)
        return {};
    const ElementRecord& element = m_index[m_nCurrent];
    const std::int32_t first = element.start + StartTagLength(m_nCurrent);
    const std::int32_t last = element.start + element.length - EndTagLength(m_nCurrent);
    return std::u16string_view(m_strText).substr(static_cast<std::size_t>(first),
                                                 static_cast<std::size_t>(last - first));
}

std::u16string MarkupDocument::ElementText() const {
    if (m_nCurrent == 0 || m_index[m_nCurrent].firstChild != 0)
        return {};
    const ElementRecord& element = m_index[m_nCurrent];
    const char16_t* text = m_strText.data();
    const char16_t* first = text + element.start + StartTagLength(m_nCurrent);
    const char16_t* last = text + element.start + element.length - EndTagLength(m_nCurrent);
    std::u16string out;
    if (std::find(first, last, u'<') == last) {
        AppendDecoded(out, first, last);
        return out;
    }
    // Text and CDATA sections contribute; whitespace between markup, comments, instructions and
    // broken markup do not.
    NodeScanner scanner(text, false);
    scanner.SetPosition(static_cast<std::int32_t>(first - text));
    NodeInfo node;
    while (text + scanner.Position() < last) {
        scanner.Scan(node);
        const char16_t* nodeFirst = text + node.start;
        const char16_t* nodeLast = std::min(nodeFirst + node.length, last);
        if (node.kind == NodeKind::Text)
            AppendDecoded(out, nodeFirst, nodeLast);
        else if (node.kind == NodeKind::CData && nodeLast - nodeFirst >= 12)
            out.append(nodeFirst + 9, nodeLast - 3);
        else if (node.kind == NodeKind::EndOfText)
            break;
    }
    return out;
}

} // namespace kelvo
