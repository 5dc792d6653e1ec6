// Test-only: a read-only view of a document's element index and cursor, for the native tests and
// the fuzz target. Nothing in the launcher includes it.
#pragma once

#include "markup/MarkupDocument.h"

#include <cstdint>
#include <string_view>

namespace kelvo {

struct MarkupDocumentProbe {
    static constexpr std::uint32_t kUnended = 0x100000;
    static constexpr std::uint32_t kIllFormed = 0x800000;

    struct Element {
        std::int32_t start;
        std::int32_t length;
        std::int32_t startTagLength;
        std::int32_t endTagLength;
        std::uint32_t flags;
        std::int32_t parent;
        std::int32_t firstChild;
        std::int32_t nextSibling;
        std::int32_t prevSibling;
    };

    // Elements are numbered 1 .. ElementCount(); number 0 is the document record.
    static std::int32_t ElementCount(const MarkupDocument& d) { return d.m_nNextFree - 1; }
    static std::int32_t Capacity(const MarkupDocument& d) { return d.m_index.Capacity(); }
    static std::u16string_view Text(const MarkupDocument& d) { return d.m_strText; }
    static bool IllFormed(const MarkupDocument& d) { return (d.m_index[0].flags & kIllFormed) != 0; }

    static Element At(const MarkupDocument& d, std::int32_t n) {
        const auto& r = d.m_index[n];
        return Element{r.start,
                       r.length,
                       n == 0 ? 0 : d.StartTagLength(n),
                       n == 0 ? 0 : d.EndTagLength(n),
                       r.flags,
                       r.parent,
                       r.firstChild,
                       r.nextSibling,
                       r.prevSibling};
    }

    static std::int32_t Parent(const MarkupDocument& d) { return d.m_nParent; }
    static std::int32_t Current(const MarkupDocument& d) { return d.m_nCurrent; }
    static std::int32_t Child(const MarkupDocument& d) { return d.m_nChild; }
};

} // namespace kelvo
