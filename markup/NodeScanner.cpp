// The node scanner: one node per call, a state machine over single UTF-16 units.
#include "markup/MarkupScanner.h"

#include <climits>
#include <stdexcept>

namespace kelvo {

using namespace std::string_view_literals;

namespace {

bool IsQuote(char16_t c) {
    return c == u'"' || c == u'\'';
}

// Moves to the ">" that closes a construct with a two-unit lead ("--" of "-->", "]]" of "]]>").
// The search starts after the construct's opening, whose units may serve as the lead.
const char16_t* FindClose(const char16_t* q, char16_t lead1, char16_t lead2) {
    for (;;) {
        q = SkipTo(q, u'>');
        if (*q == 0 || (q[-1] == lead2 && q[-2] == lead1))
            return q;
        ++q;
    }
}

const char16_t* FindProcessingEnd(const char16_t* q) {
    for (;;) {
        q = SkipTo(q, u'>');
        if (*q == 0 || q[-1] == u'?')
            return q;
        ++q;
    }
}

// A declaration nested in a doctype ends at the next ">" outside single or double quotes.
const char16_t* FindDeclarationEnd(const char16_t* q) {
    for (;;) {
        const char16_t c = *q;
        if (c == u'>' || c == 0)
            return q;
        if (IsQuote(c)) {
            ++q;
            q = SkipTo(q, c);
            if (*q == 0)
                return q;
        }
        ++q;
    }
}

void AppendNumber(std::u16string& out, std::int32_t n) {
    char16_t digits[12];
    int count = 0;
    auto v = static_cast<std::uint32_t>(n);
    do {
        digits[count++] = static_cast<char16_t>(u'0' + v % 10);
        v /= 10;
    } while (v != 0);
    while (count > 0)
        out += digits[--count];
}

void AppendEscaped(std::u16string& out, std::u16string_view value) {
    for (char16_t c : value) {
        switch (c) {
        case u'&':
            out += u"&amp;";
            break;
        case u'<':
            out += u"&lt;";
            break;
        case u'>':
            out += u"&gt;";
            break;
        case u'"':
            out += u"&quot;";
            break;
        case u'\'':
            out += u"&apos;";
            break;
        default:
            out += c;
        }
    }
}

} // namespace

void AddEntry(std::u16string& list, std::u16string_view word, std::u16string_view label,
              std::u16string_view value, std::int32_t offset, std::int32_t offset2) {
    if (list.size() >= kEntryListLimit)
        return;
    list += u'<';
    list += word;
    if (!label.empty()) {
        list += u' ';
        list += label;
        list += u"=\"";
        AppendEscaped(list, value);
        list += u'"';
    }
    if (offset >= 0) {
        list += u" offset=\"";
        AppendNumber(list, offset);
        list += u'"';
    }
    if (offset2 >= 0) {
        list += u" offset2=\"";
        AppendNumber(list, offset2);
        list += u'"';
    }
    list += u"/>";
}

void NodeScanner::AddSyntaxEntry(NodeInfo& info, std::u16string_view word, const char16_t* at) {
    if (m_bEntries)
        AddEntry(info.entries, word, {}, {}, static_cast<std::int32_t>(at - m_pText));
}

void NodeScanner::AddUnterminatedEntry(NodeInfo& info, std::u16string_view type) {
    if (m_bEntries)
        AddEntry(info.entries, u"unterminated_tag_syntax"sv, u"type"sv, type, info.start);
}

// Offsets are 32-bit: a longer text cannot be indexed.
void NodeScanner::TooLong() {
    throw std::length_error("markup text too long");
}

void NodeScanner::ScanNode(NodeInfo& info) {
    const char16_t* const p = m_pText + m_nPos;
    info.start = m_nPos;
    info.emptyElement = false;
    info.nameFirst = info.nameEnd = m_nPos;
    if (m_bEntries && !info.entries.empty())
        info.entries.clear();

    const char16_t* q = p;
    if (*q == u'<') {
        q = ScanMarkup(p, info);
    } else if (*q == 0) {
        info.kind = NodeKind::EndOfText;
    } else {
        while (IsWhitespace(*q))
            ++q;
        if (q > p && (*q == u'<' || *q == 0)) {
            info.kind = NodeKind::Whitespace;
        } else {
            // The unit that makes this a text node is taken as it is, even a ">".
            ++q;
            q = SkipText(q);
            if (*q == u'>')
                ++q;
            info.kind = NodeKind::Text;
        }
    }
    if (q - m_pText > INT32_MAX)
        TooLong();
    info.length = static_cast<std::int32_t>(q - p);
    m_nPos += info.length;
}

// p is at "<"; returns the node's end and sets its kind.
const char16_t* NodeScanner::ScanMarkup(const char16_t* p, NodeInfo& info) {
    const char16_t* q = p + 1;
    const char16_t c = *q;
    if (c != 0 && (Class(c) & kNameStart)) {
        q = SkipClass<kNameStop>(q);
        info.nameFirst = static_cast<std::int32_t>(p + 1 - m_pText);
        info.nameEnd = static_cast<std::int32_t>(q - m_pText);
        q = ScanStartTag(q, info.emptyElement);
        if (*q == 0) {
            AddUnterminatedEntry(info, u"start_tag"sv);
            info.kind = NodeKind::Error;
            info.emptyElement = false;
            return q;
        }
        info.kind = NodeKind::StartTag;
        return q + 1;
    }
    if (c == u'/' || c == u'?') {
        const char16_t* name = ++q;
        q = SkipClass<kNameStop>(q);
        info.nameFirst = static_cast<std::int32_t>(name - m_pText);
        info.nameEnd = static_cast<std::int32_t>(q - m_pText);
        if (c == u'/') {
            q = SkipTo(q, u'>');
        } else {
            q = FindProcessingEnd(q);
        }
        if (*q == 0) {
            AddUnterminatedEntry(info, c == u'/' ? u"end_tag"sv : u"processing_instruction"sv);
            info.kind = NodeKind::Error;
            return q;
        }
        info.kind = c == u'/' ? NodeKind::EndTag : NodeKind::ProcessingInstruction;
        return q + 1;
    }

    std::u16string_view word;
    const char16_t* bad; // the unit that cannot continue the construct
    if (c == 0) {
        AddUnterminatedEntry(info, u"tag"sv);
        info.kind = NodeKind::Error;
        return q;
    } else if (c != u'!') {
        word = u"first_tag_syntax"sv;
        bad = q;
    } else if (q[1] == u'D') {
        return ScanDocumentType(p, info);
    } else if (q[1] == u'-' || q[1] == u'[') {
        const bool comment = q[1] == u'-';
        const char16_t next = q[2];
        if (next == (comment ? u'-' : u'C')) {
            q = FindClose(p + 4, comment ? u'-' : u']', comment ? u'-' : u']');
            if (*q == 0) {
                AddUnterminatedEntry(info, comment ? u"comment"sv : u"cdata_section"sv);
                info.kind = NodeKind::Error;
                return q;
            }
            info.kind = comment ? NodeKind::Comment : NodeKind::CData;
            return q + 1;
        }
        if (next == 0) {
            AddUnterminatedEntry(info, u"tag"sv);
            info.kind = NodeKind::Error;
            return q + 2;
        }
        word = comment ? u"comment_tag_syntax"sv : u"cdata_section_syntax"sv;
        bad = q + 2;
    } else if (q[1] == 0) {
        AddUnterminatedEntry(info, u"tag"sv);
        info.kind = NodeKind::Error;
        return q + 1;
    } else {
        word = u"exclamation_tag_syntax"sv;
        bad = q + 1;
    }

    AddSyntaxEntry(info, word, p);
    info.kind = NodeKind::Error;
    Stop stop;
    q = ScanError(bad, stop);
    if (stop == Stop::End)
        AddUnterminatedEntry(info, u"tag"sv);
    return q;
}

// q is after the tag name. Returns the closing ">" or the terminating NUL.
const char16_t* NodeScanner::ScanStartTag(const char16_t* q, bool& empty) {
    for (;;) {
        q = SkipClass<kTagStop>(q);
        if (*q != u'=') {
            // ">" or the end; a "/" here is not part of an unquoted value.
            empty = *q == u'>' && q[-1] == u'/';
            return q;
        }
        ++q;
        for (;;) { // a value is to come
            while (IsWhitespace(*q))
                ++q;
            const char16_t c = *q;
            if (IsQuote(c)) {
                ++q;
                q = SkipTo(q, c);
                if (*q == 0)
                    return q;
                ++q;
                break;
            }
            if (c == u'=' && q[-1] != u'=') {
                ++q; // "= =": still a value to come
                continue;
            }
            q = SkipClass<kValueStop>(q);
            if (*q == u'>') {
                // "<a b=x/>" keeps "/" in the value; "<a b= />" and "<a b=x'/>" are empty tags.
                empty = q[-1] == u'/' && (IsWhitespace(q[-2]) || IsQuote(q[-2]));
                return q;
            }
            break;
        }
    }
}

// An error node from the unit that broke the construct: to the next "<" (not included) or
// through the next ">" outside a value quoted after "=".
const char16_t* NodeScanner::ScanError(const char16_t* q, Stop& stop) {
    for (;;) {
        q = SkipClass<kErrorStop>(q);
        const char16_t c = *q;
        if (c == u'>') {
            stop = Stop::Close;
            return q + 1;
        }
        if (c == u'<') {
            stop = Stop::Open;
            return q;
        }
        if (c == 0) {
            stop = Stop::End;
            return q;
        }
        ++q;
        for (;;) {
            while (IsWhitespace(*q))
                ++q;
            const char16_t v = *q;
            if (IsQuote(v)) {
                ++q;
                while (*q != v && *q != u'<' && *q != 0)
                    ++q;
                if (*q == v)
                    ++q;
                break;
            }
            if (v == u'=' && q[-1] != u'=') {
                ++q;
                continue;
            }
            q = SkipClass<kErrorValueStop>(q);
            break;
        }
    }
}

// p is at "<!D". Nested constructs are stepped over; a broken one is reported and scanned as an
// error: when its ">" comes first the declaration goes on, when a "<" comes first the whole node
// ends there as an error node.
const char16_t* NodeScanner::ScanDocumentType(const char16_t* p, NodeInfo& info) {
    const char16_t* q = p + 3;
    for (;;) {
        q = SkipText(q);
        if (*q == u'>') {
            info.kind = NodeKind::DocumentType;
            return q + 1;
        }
        if (*q == 0)
            break;
        const char16_t* const r = q; // a nested "<"
        const char16_t c = r[1];
        std::u16string_view word;
        const char16_t* bad = nullptr;
        if (c == 0) {
            q = r + 1;
            break;
        } else if (Class(c) & kNameStart) {
            q = r + 1;
            q = SkipClass<kNameStop>(q);
            bool empty = false;
            q = ScanStartTag(q, empty);
        } else if (c == u'/') {
            q = r + 2;
            q = SkipTo(q, u'>');
        } else if (c == u'?') {
            q = FindProcessingEnd(r + 2);
        } else if (c == u'!') {
            const char16_t d = r[2];
            if (d == 0) {
                q = r + 2;
                break;
            } else if (d == u'-') {
                if (r[3] == u'-') {
                    q = FindClose(r + 4, u'-', u'-');
                } else if (r[3] == 0) {
                    q = r + 3;
                    break;
                } else {
                    word = u"comment_tag_syntax"sv;
                    bad = r + 3;
                }
            } else if (d == u'A' || d == u'E' || d == u'N') {
                q = FindDeclarationEnd(r + 3);
            } else {
                word = u"doctype_tag_syntax"sv;
                bad = r + 2;
            }
        } else {
            word = u"first_tag_syntax"sv;
            bad = r + 1;
        }
        if (bad != nullptr) {
            // Reported at the start of the node being scanned, the declaration's "<!".
            AddSyntaxEntry(info, word, p);
            Stop stop;
            q = ScanError(bad, stop);
            if (stop == Stop::Open) {
                info.kind = NodeKind::Error;
                return q;
            }
            if (stop == Stop::End)
                break;
            continue; // the broken construct's ">"; the declaration goes on after it
        }
        if (*q == 0)
            break;
        ++q; // past the nested construct's ">"
    }
    AddUnterminatedEntry(info, u"document_type"sv);
    info.kind = NodeKind::Error;
    return q;
}

} // namespace kelvo
