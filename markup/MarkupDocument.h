// A lenient XML reader for small requests: one UTF-16 text, an index of its elements and a cursor.
//
// LoadText never refuses a text. It scans the text once, records every element as offsets into a
// private copy, repairs what is broken (an element whose end tag never comes covers only its start
// tag and hands its children to its parent; an end tag that closes nothing is ignored) and reports
// each problem in ResultReport. Names, attributes and text are read on demand from the text.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo {

class MarkupDocument {
public:
    MarkupDocument();
    explicit MarkupDocument(const char16_t* text);
    ~MarkupDocument();
    bool LoadText(const char16_t* text); // null is allowed
    std::u16string ResultReport() const;
    void RewindLevel();
    bool NextElement(const char16_t* name = nullptr);
    bool EnterElement();
    bool LeaveElement();
    std::u16string NodeName() const;
    std::u16string AttributeValue(const char16_t* name) const;
    std::u16string AttributeNameAt(int index) const;
    std::u16string InnerMarkup() const;
    // The same units as InnerMarkup without a copy; valid until the next LoadText or the end of
    // the document.
    std::u16string_view InnerMarkupView() const;
    std::size_t TextLength() const { return m_strText.size(); }
    std::u16string ElementText() const;

private:
    friend struct MarkupDocumentProbe; // read-only view of the index for the tests and the fuzz target

    // One per element; record 0 stands for the document. Link fields hold element numbers, 0 = none.
    struct ElementRecord {
        std::int32_t start;       // offset of the element's "<"
        std::int32_t length;      // through the end tag's ">", or the start tag alone without one
        std::uint32_t tagLengths; // low 22 bits start tag, high 10 bits end tag (0: none)
        std::uint32_t flags;
        std::int32_t parent;
        std::int32_t firstChild;
        std::int32_t nextSibling;
        std::int32_t prevSibling; // in a first child: the parent's last child
    };

    // Records in pages of 65,536 so that growth moves at most the first page.
    class ElementIndex {
    public:
        ElementIndex() = default;
        ElementIndex(const ElementIndex&) = delete;
        ElementIndex& operator=(const ElementIndex&) = delete;

        ElementRecord& operator[](std::int32_t n) { return m_pPages[n >> 16][n & 0xFFFF]; }
        const ElementRecord& operator[](std::int32_t n) const { return m_pPages[n >> 16][n & 0xFFFF]; }
        std::int32_t Capacity() const { return m_nCapacity; }
        void Grow(std::int64_t requested); // adds at most one page, whole unless it is the first
        void Release();

    private:
        static constexpr std::int32_t kFirstSlots = 4; // what the list's first allocation would hold

        std::unique_ptr<ElementRecord[]> m_firstSlots[kFirstSlots];
        std::unique_ptr<std::unique_ptr<ElementRecord[]>[]> m_pMoreSlots;
        std::unique_ptr<ElementRecord[]>* m_pPages = m_firstSlots;
        std::int32_t m_nPageSlots = kFirstSlots;
        std::int32_t m_nPages = 0;
        std::int32_t m_nCapacity = 0;
    };

    // A tag too long for its bit field keeps the field's all-ones value and its true length here.
    struct LongTag {
        std::int32_t element;
        std::int32_t length;
    };

    class Parser; // one LoadText's pass over the text (MarkupDocument.cpp)
    // Runs a Parser over text, recording its elements; length receives the length of the text read.
    // False when the text is ill-formed.
    bool Parse(const char16_t* text, std::int32_t& length);

    // The current element's attributes, listed once, with the value that each one's name reads
    // worked out for the whole tag (the file says how).
    struct AttributeTable;
    AttributeTable& ListAttributes() const;
    mutable std::unique_ptr<AttributeTable> m_pAttributes;

    std::int32_t StartTagLength(std::int32_t n) const;
    std::int32_t EndTagLength(std::int32_t n) const;
    void SetStartTagLength(std::int32_t n, std::int32_t length);
    void SetEndTagLength(std::int32_t n, std::int32_t length);
    bool NameIs(std::int32_t n, const char16_t* name) const;

    std::u16string m_strText;
    std::u16string m_strReport;
    ElementIndex m_index;
    std::vector<LongTag> m_longStartTags; // by element number
    std::vector<LongTag> m_longEndTags;   // sorted by element number once the parse ends
    std::int32_t m_nNextFree = 1;
    std::int32_t m_nParent = 0;
    std::int32_t m_nCurrent = 0;
    std::int32_t m_nChild = 0;
    std::uint32_t m_nMode = 0; // case folding, whitespace trimming: never set in this system
};

} // namespace kelvo
