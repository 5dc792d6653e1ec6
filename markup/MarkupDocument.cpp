// Parsing: one pass of the node scanner over the caller's text, recording elements as offsets;
// the text is copied once its length is known. The document's life and its reading are in
// MarkupDocumentReading.cpp.
//
// Recovery. An end tag closes the innermost open element of its name; open elements above that one
// are unended: each covers only its start tag, and its children become its following siblings.
// When several are unended at once, everything they held moves straight to the surviving parent,
// so each element is relinked at most once however deep the unended run is. An end tag that
// matches no open element is ignored. Both are reported, and the document is marked ill-formed.
#include "markup/MarkupDocument.h"

#include "markup/MarkupScanner.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kelvo {

namespace {

constexpr std::uint32_t kUnendedFlag = 0x100000;
constexpr std::uint32_t kIllFormedFlag = 0x800000;
constexpr std::uint32_t kStartTagBits = 0x3FFFFF; // all ones: the length is in the long-tag table
constexpr std::uint32_t kEndTagBits = 0x3FF;
constexpr std::int32_t kPageSize = 65536;
constexpr std::int32_t kInitialCapacity = 64;

using namespace std::string_view_literals;
constexpr std::u16string_view kTagName = u"tagname"sv;

bool SameUnits(const char16_t* a, const char16_t* b, std::int32_t count) {
    if (count > 16)
        return std::memcmp(a, b, static_cast<std::size_t>(count) * sizeof(char16_t)) == 0;
    for (std::int32_t i = 0; i < count; ++i) // tag names are short: no call for them
        if (a[i] != b[i])
            return false;
    return true;
}

bool IsNameDelimiter(char16_t c) {
    return c == u'=' || c == u'[' || c == u']';
}

} // namespace

// The keys of the open elements' names, for end tags that have to look deep below the innermost
// open element: each key ("a", "a=1", ...) leads to the innermost open element holding it. An end
// tag "a" closes an element named "a", or one whose name continues after "a" with "=", "[" or "]";
// so the keys of a name are each prefix that ends before one of those units, and the whole name.
// Keys are added innermost last, so the elements being closed always own the last keys.
class OpenNameIndex {
public:
    explicit OpenNameIndex(const char16_t* text) : m_pText(text) {}

    bool Active() const { return m_bActive; }
    void Activate() { m_bActive = true; }

    // Adds the keys of a newly opened element, which is now the innermost one.
    void Add(std::int32_t element, std::int32_t nameStart, std::int32_t nameLength) {
        const char16_t* name = m_pText + nameStart;
        std::uint64_t h = kSeed;
        for (std::int32_t i = 0; i < nameLength; ++i) {
            if (i > 0 && IsNameDelimiter(name[i]))
                AddKey(KeyHash(h, i), element, nameStart, i);
            h = Step(h, name[i]);
        }
        AddKey(KeyHash(h, nameLength), element, nameStart, nameLength);
    }

    // Removes the keys of element and of every element opened after it (element numbers grow
    // from the outermost open element inwards).
    void RemoveFrom(std::int32_t element) {
        while (!m_keys.empty() && m_keys.back().element >= element) {
            SlotFor(m_keys.back().hash).head = m_keys.back().previous;
            m_keys.pop_back();
        }
    }

    // The innermost open element that an end tag of this name closes, 0 for none.
    std::int32_t Find(const char16_t* name, std::int32_t length) const {
        std::uint64_t h = kSeed;
        for (std::int32_t i = 0; i < length; ++i)
            h = Step(h, name[i]);
        const Slot* slot = FindSlot(KeyHash(h, length));
        for (std::int32_t k = slot ? slot->head : -1; k >= 0; k = m_keys[k].previous) {
            const KeyRecord& key = m_keys[k];
            if (key.length == length && SameUnits(m_pText + key.nameStart, name, length))
                return key.element;
        }
        return 0;
    }

private:
    static constexpr std::uint64_t kSeed = 0xcbf29ce484222325ull;

    struct KeyRecord {
        std::uint64_t hash;
        std::int32_t element;
        std::int32_t nameStart;
        std::int32_t length;
        std::int32_t previous; // the key record below with the same hash, -1 for none
    };
    struct Slot {
        std::uint64_t hash; // 0: free
        std::int32_t head;  // innermost key record, -1 for none
    };

    static std::uint64_t Step(std::uint64_t h, char16_t c) { return (h ^ c) * 0x100000001b3ull; }
    static std::uint64_t KeyHash(std::uint64_t h, std::int32_t length) {
        h ^= static_cast<std::uint64_t>(length) * 0x9e3779b97f4a7c15ull;
        h = (h ^ (h >> 30)) * 0xbf58476d1ce4e5b9ull;
        h = (h ^ (h >> 27)) * 0x94d049bb133111ebull;
        h ^= h >> 31;
        return h == 0 ? 1 : h;
    }

    void AddKey(std::uint64_t hash, std::int32_t element, std::int32_t nameStart, std::int32_t length) {
        if ((m_nUsedSlots + 1) * 2 > m_slots.size())
            Rehash();
        std::size_t i = hash & (m_slots.size() - 1);
        while (m_slots[i].hash != 0 && m_slots[i].hash != hash)
            i = (i + 1) & (m_slots.size() - 1);
        Slot& slot = m_slots[i];
        if (slot.hash == 0) {
            slot = Slot{hash, -1};
            ++m_nUsedSlots;
        }
        m_keys.push_back(KeyRecord{hash, element, nameStart, length, slot.head});
        slot.head = static_cast<std::int32_t>(m_keys.size() - 1);
    }

    const Slot* FindSlot(std::uint64_t hash) const {
        std::size_t i = hash & (m_slots.size() - 1);
        while (m_slots[i].hash != 0) {
            if (m_slots[i].hash == hash)
                return &m_slots[i];
            i = (i + 1) & (m_slots.size() - 1);
        }
        return nullptr;
    }

    Slot& SlotFor(std::uint64_t hash) { return const_cast<Slot&>(*FindSlot(hash)); }

    // Doubles the table, dropping keys that no open element holds any more.
    void Rehash() {
        std::vector<Slot> old(std::max<std::size_t>(64, m_slots.size() * 2), Slot{0, -1});
        old.swap(m_slots);
        m_nUsedSlots = 0;
        for (const Slot& slot : old) {
            if (slot.hash == 0 || slot.head < 0)
                continue;
            std::size_t i = slot.hash & (m_slots.size() - 1);
            while (m_slots[i].hash != 0)
                i = (i + 1) & (m_slots.size() - 1);
            m_slots[i] = slot;
            ++m_nUsedSlots;
        }
    }

    const char16_t* m_pText;
    bool m_bActive = false;
    std::vector<KeyRecord> m_keys;
    std::vector<Slot> m_slots;
    std::size_t m_nUsedSlots = 0;
};

// The open elements (start tag read, end tag still to come) are the current parent and its
// ancestors, innermost first; they are not kept anywhere else. While an element is open its length
// field holds the length of its name, which starts right after its "<": the element's own length
// is known only once it closes or is unended.
class MarkupDocument::Parser {
public:
    Parser(MarkupDocument& document, const char16_t* text)
        : m_doc(document), m_pText(text), m_scanner(text, true), m_names(text) {}

    // Builds the index and the report; length receives the text's length.
    bool Run(std::int32_t& length) {
        m_doc.m_nParent = m_doc.m_nCurrent = m_doc.m_nChild = 0;
        m_doc.m_nNextFree = 1;
        m_doc.m_longStartTags.clear();
        m_doc.m_longEndTags.clear();
        // The length is not known before the scan; a capacity that fits any request of a few
        // kilobytes spares small documents the early regrowths.
        if (m_doc.m_index.Capacity() < kInitialCapacity)
            m_doc.m_index.Grow(kInitialCapacity);
        Record(0) = ElementRecord{};

        NodeInfo node;
        for (;;) {
            m_scanner.Scan(node);
            switch (node.kind) {
            case NodeKind::StartTag:
                StartElement(node);
                break;
            case NodeKind::EndTag:
                EndElement(node);
                break;
            case NodeKind::Error:
            case NodeKind::DocumentType:
                // A doctype keeps its kind when its own errors were recovered inside it; they are
                // reported all the same.
                if (!node.entries.empty()) {
                    m_bIllFormed = true;
                    if (m_doc.m_strReport.size() < kEntryListLimit)
                        m_doc.m_strReport += node.entries;
                }
                break;
            case NodeKind::EndOfText:
                return Finish(node.start, length);
            default:
                break;
            }
        }
    }

private:
    static constexpr std::int32_t kDirectSearchDepth = 16;

    ElementRecord& Record(std::int32_t n) { return m_doc.m_index[n]; }

    void StartElement(const NodeInfo& node) {
        ElementIndex& index = m_doc.m_index;
        if (m_doc.m_nNextFree == index.Capacity())
            index.Grow(static_cast<std::int64_t>(index.Capacity()) + index.Capacity() / 2);
        const std::int32_t n = m_doc.m_nNextFree++;
        const std::int32_t nameLength = node.nameEnd - node.nameFirst;
        ElementRecord& element = Record(n);
        element.start = node.start;
        element.length = node.emptyElement ? node.length : nameLength;
        if (static_cast<std::uint32_t>(node.length) < kStartTagBits)
            element.tagLengths = static_cast<std::uint32_t>(node.length);
        else
            m_doc.SetStartTagLength(n, node.length);
        element.flags = 0;
        element.parent = m_nParent;
        element.firstChild = 0;
        element.nextSibling = 0;

        ElementRecord& parent = Record(m_nParent);
        if (parent.firstChild == 0) {
            parent.firstChild = n;
            element.prevSibling = n;
        } else {
            ElementRecord& first = Record(parent.firstChild);
            const std::int32_t last = first.prevSibling;
            Record(last).nextSibling = n;
            element.prevSibling = last;
            first.prevSibling = n;
        }
        if (!node.emptyElement) {
            if (m_names.Active())
                m_names.Add(n, node.nameFirst, nameLength);
            m_nParent = n;
        }
    }

    void EndElement(const NodeInfo& node) {
        const char16_t* name = m_pText + node.nameFirst;
        const std::int32_t nameLength = node.nameEnd - node.nameFirst;
        const std::int32_t n = FindOpen(name, nameLength);
        if (n == 0) {
            m_bIllFormed = true;
            if (m_doc.m_strReport.size() < kEntryListLimit)
                AddEntry(m_doc.m_strReport, u"lone_end_tag"sv, kTagName,
                         std::u16string_view(name, static_cast<std::size_t>(nameLength)), node.start);
            return;
        }
        if (n != m_nParent)
            Unend(n, node.start + 1);
        ElementRecord& element = Record(n);
        element.length = node.start + node.length - element.start;
        if (static_cast<std::uint32_t>(node.length) < kEndTagBits)
            element.tagLengths |= static_cast<std::uint32_t>(node.length) << 22;
        else
            m_doc.SetEndTagLength(n, node.length);
        if (m_names.Active())
            m_names.RemoveFrom(n);
        m_nParent = element.parent;
    }

    // Whether the open element n has a name that an end tag of this name closes.
    bool Closes(std::int32_t n, const char16_t* name, std::int32_t length) {
        const ElementRecord& element = Record(n);
        const char16_t* open = m_pText + element.start + 1;
        if (element.length < length || (element.length > length && !IsNameDelimiter(open[length])))
            return false;
        return SameUnits(open, name, length);
    }

    // The innermost open element that an end tag of this name closes, 0 for none. Most end tags
    // close the innermost one, and a few levels are searched directly; past that the open names
    // are indexed once, and kept indexed, so that many stray end tags over a deep nesting stay
    // linear.
    std::int32_t FindOpen(const char16_t* name, std::int32_t length) {
        if (m_nParent == 0)
            return 0;
        if (Closes(m_nParent, name, length))
            return m_nParent;
        if (!m_names.Active()) {
            std::int32_t n = Record(m_nParent).parent;
            for (std::int32_t i = 0; n != 0 && i < kDirectSearchDepth; ++i, n = Record(n).parent)
                if (Closes(n, name, length))
                    return n;
            if (n == 0)
                return 0;
            IndexOpenNames();
        }
        return m_names.Find(name, length);
    }

    void IndexOpenNames() {
        std::vector<std::int32_t> open;
        for (std::int32_t n = m_nParent; n != 0; n = Record(n).parent)
            open.push_back(n);
        for (auto it = open.rbegin(); it != open.rend(); ++it)
            m_names.Add(*it, Record(*it).start + 1, Record(*it).length);
        m_names.Activate();
    }

    // Unends the open elements inside survivor (0: all of them); closing is reported as offset2.
    void Unend(std::int32_t survivor, std::int32_t closing) {
        m_bIllFormed = true;
        // Taken one by one, each unended element would hand its children (among them the next
        // unended one and what that one had just received) to its parent. The result is the same
        // chain built in one pass, innermost first: each unended element followed by its own
        // children, all under the survivor. Each child is relinked once.
        std::u16string& report = m_doc.m_strReport;
        std::int32_t tail = 0;
        std::int32_t inner = 0; // the element unended just before, the last child of this one
        for (std::int32_t n = m_nParent; n != survivor;) {
            ElementRecord& element = Record(n);
            const std::int32_t outer = element.parent;
            const std::int32_t nameLength = element.length;
            element.length = m_doc.StartTagLength(n);
            element.flags |= kUnendedFlag;
            if (report.size() < kEntryListLimit)
                AddEntry(
                    report, u"unended_start_tag"sv, kTagName,
                    std::u16string_view(m_pText + element.start + 1, static_cast<std::size_t>(nameLength)),
                    element.start, closing);

            const std::int32_t first = element.firstChild;
            if (inner == 0)
                tail = first != 0 ? Record(first).prevSibling : n;
            if (first != 0) {
                for (std::int32_t c = first;;) {
                    ElementRecord& child = Record(c);
                    child.parent = survivor;
                    if (c == inner || child.nextSibling == 0)
                        break;
                    c = child.nextSibling;
                }
                element.nextSibling = first;
                Record(first).prevSibling = n;
                element.firstChild = 0;
            }
            inner = n;
            n = outer;
        }
        Record(Record(survivor).firstChild).prevSibling = tail;
        if (m_names.Active())
            m_names.RemoveFrom(inner);
        m_nParent = survivor;
    }

    bool Finish(std::int32_t textLength, std::int32_t& length) {
        length = textLength;
        if (m_nParent != 0)
            Unend(0, textLength);
        ElementRecord& document = Record(0);
        document.length = textLength;
        if (m_bIllFormed)
            document.flags |= kIllFormedFlag;
        std::sort(m_doc.m_longEndTags.begin(), m_doc.m_longEndTags.end(),
                  [](const LongTag& a, const LongTag& b) { return a.element < b.element; });
        if (textLength == 0)
            return false;
        if (document.firstChild == 0)
            AddEntry(m_doc.m_strReport, u"no_root_element"sv, {}, {});
        else if (Record(document.firstChild).nextSibling != 0)
            AddEntry(m_doc.m_strReport, u"root_has_sibling"sv, {}, {});
        return !m_bIllFormed && document.firstChild != 0 && Record(document.firstChild).nextSibling == 0;
    }

    MarkupDocument& m_doc;
    const char16_t* m_pText;
    NodeScanner m_scanner;
    OpenNameIndex m_names;
    std::int32_t m_nParent = 0;
    bool m_bIllFormed = false;
};

// ---- Element index ----

void MarkupDocument::ElementIndex::Grow(std::int64_t requested) {
    requested = std::min<std::int64_t>(requested, INT32_MAX);
    if (requested <= m_nCapacity)
        return;
    if (m_nPages > 0) {
        const std::int32_t last = m_nPages - 1;
        const std::int32_t lastSize = m_nCapacity - last * kPageSize;
        if (lastSize < kPageSize) {
            const auto size = static_cast<std::int32_t>(
                std::min<std::int64_t>(requested - static_cast<std::int64_t>(last) * kPageSize, kPageSize));
            std::unique_ptr<ElementRecord[]> page(new ElementRecord[static_cast<std::size_t>(size)]);
            std::copy_n(m_pPages[last].get(), lastSize, page.get());
            m_pPages[last] = std::move(page);
            m_nCapacity = last * kPageSize + size;
            if (requested <= m_nCapacity)
                return;
        }
    }
    const std::int32_t p = m_nPages;
    if (p >= m_nPageSlots) {
        const std::int32_t slots = 2 * p + 4;
        auto pages = std::make_unique<std::unique_ptr<ElementRecord[]>[]>(static_cast<std::size_t>(slots));
        for (std::int32_t i = 0; i < m_nPages; ++i)
            pages[i] = std::move(m_pPages[i]);
        m_pMoreSlots = std::move(pages);
        m_pPages = m_pMoreSlots.get();
        m_nPageSlots = slots;
    }
    // Only the first page grows by steps: a document that fills it is large, and whole pages after
    // it are never copied.
    const auto size = static_cast<std::int32_t>(
        std::min<std::int64_t>(p == 0 ? requested : INT32_MAX - m_nCapacity, kPageSize));
    m_pPages[p].reset(new ElementRecord[static_cast<std::size_t>(size)]);
    ++m_nPages;
    m_nCapacity += size;
}

void MarkupDocument::ElementIndex::Release() {
    for (auto& page : m_firstSlots)
        page.reset();
    m_pMoreSlots.reset();
    m_pPages = m_firstSlots;
    m_nPageSlots = kFirstSlots;
    m_nPages = 0;
    m_nCapacity = 0;
}

// ---- Tag lengths ----

std::int32_t MarkupDocument::StartTagLength(std::int32_t n) const {
    const std::uint32_t bits = m_index[n].tagLengths & kStartTagBits;
    if (bits != kStartTagBits)
        return static_cast<std::int32_t>(bits);
    const auto it = std::lower_bound(m_longStartTags.begin(), m_longStartTags.end(), n,
                                     [](const LongTag& t, std::int32_t e) { return t.element < e; });
    return it->length;
}

std::int32_t MarkupDocument::EndTagLength(std::int32_t n) const {
    const std::uint32_t bits = m_index[n].tagLengths >> 22;
    if (bits != kEndTagBits)
        return static_cast<std::int32_t>(bits);
    const auto it = std::lower_bound(m_longEndTags.begin(), m_longEndTags.end(), n,
                                     [](const LongTag& t, std::int32_t e) { return t.element < e; });
    return it->length;
}

void MarkupDocument::SetStartTagLength(std::int32_t n, std::int32_t length) {
    if (static_cast<std::uint32_t>(length) >= kStartTagBits) {
        m_longStartTags.push_back(LongTag{n, length});
        m_index[n].tagLengths = kStartTagBits;
    } else {
        m_index[n].tagLengths = static_cast<std::uint32_t>(length);
    }
}

void MarkupDocument::SetEndTagLength(std::int32_t n, std::int32_t length) {
    std::uint32_t bits = static_cast<std::uint32_t>(length);
    if (bits >= kEndTagBits) {
        m_longEndTags.push_back(LongTag{n, length});
        bits = kEndTagBits;
    }
    m_index[n].tagLengths = (m_index[n].tagLengths & kStartTagBits) | bits << 22;
}

// ---- Parsing ----

bool MarkupDocument::Parse(const char16_t* text, std::int32_t& length) {
    return Parser(*this, text).Run(length);
}

} // namespace kelvo
