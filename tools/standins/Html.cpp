#include "Html.h"

#include "Common.h"

#include <algorithm>
#include <cctype>
#include <cwctype>

namespace standins {
namespace {

std::wstring Lower(std::wstring s) {
    for (auto& c : s)
        c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

bool IsSpace(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\f';
}

struct Tag {
    std::wstring name; // lower case
    bool closing = false;
    std::vector<std::pair<std::wstring, std::wstring>> attributes; // names lower case, values decoded

    std::wstring Attr(const wchar_t* key) const {
        for (const auto& [k, v] : attributes)
            if (k == key)
                return v;
        return {};
    }
    bool Has(const wchar_t* key) const {
        for (const auto& a : attributes)
            if (a.first == key)
                return true;
        return false;
    }
};

// Reads the tag that starts at text[pos] == '<'; pos ends after its '>'.
Tag ReadTag(const std::wstring& text, size_t& pos) {
    Tag tag;
    size_t i = pos + 1;
    if (i < text.size() && text[i] == L'/') {
        tag.closing = true;
        ++i;
    }
    const size_t nameStart = i;
    while (i < text.size() && (std::iswalnum(text[i]) || text[i] == L'-' || text[i] == L':'))
        ++i;
    tag.name = Lower(text.substr(nameStart, i - nameStart));
    while (i < text.size() && text[i] != L'>') {
        if (IsSpace(text[i]) || text[i] == L'/') {
            ++i;
            continue;
        }
        const size_t keyStart = i;
        while (i < text.size() && !IsSpace(text[i]) && text[i] != L'=' && text[i] != L'>' && text[i] != L'/')
            ++i;
        std::wstring key = Lower(text.substr(keyStart, i - keyStart));
        while (i < text.size() && IsSpace(text[i]))
            ++i;
        std::wstring value;
        if (i < text.size() && text[i] == L'=') {
            ++i;
            while (i < text.size() && IsSpace(text[i]))
                ++i;
            if (i < text.size() && (text[i] == L'"' || text[i] == L'\'')) {
                const wchar_t quote = text[i++];
                const size_t end = text.find(quote, i);
                const size_t stop = end == std::wstring::npos ? text.size() : end;
                value = text.substr(i, stop - i);
                i = end == std::wstring::npos ? text.size() : end + 1;
            } else {
                const size_t valueStart = i;
                while (i < text.size() && !IsSpace(text[i]) && text[i] != L'>')
                    ++i;
                value = text.substr(valueStart, i - valueStart);
            }
        }
        if (!key.empty())
            tag.attributes.emplace_back(std::move(key), DecodeEntities(value));
    }
    pos = i < text.size() ? i + 1 : text.size();
    return tag;
}

// Text up to the closing tag `name` (which is consumed); for script, style, title, textarea.
std::wstring RawUntilClose(const std::wstring& text, size_t& pos, const std::wstring& name) {
    const std::wstring lower = Lower(text.substr(pos));
    const size_t end = lower.find(L"</" + name);
    if (end == std::wstring::npos) {
        std::wstring raw = text.substr(pos);
        pos = text.size();
        return raw;
    }
    std::wstring raw = text.substr(pos, end);
    const size_t close = text.find(L'>', pos + end);
    pos = close == std::wstring::npos ? text.size() : close + 1;
    return raw;
}

std::wstring CollapseSpace(const std::wstring& text) {
    std::wstring out;
    bool space = false;
    for (wchar_t c : text) {
        if (IsSpace(c)) {
            space = true;
            continue;
        }
        if (space && !out.empty())
            out += L' ';
        space = false;
        out += c;
    }
    return out;
}

bool IsBlock(const std::wstring& name) {
    static const wchar_t* const blocks[] = {
        L"p",      L"div",    L"br",  L"li",      L"ul",         L"ol",       L"tr",      L"table",
        L"form",   L"hr",     L"dt",  L"dd",      L"dl",         L"body",     L"center",  L"section",
        L"header", L"footer", L"nav", L"article", L"blockquote", L"pre",      L"h1",      L"h2",
        L"h3",     L"h4",     L"h5",  L"h6",      L"frameset",   L"fieldset", L"caption", L"main"};
    for (const wchar_t* b : blocks)
        if (name == b)
            return true;
    return false;
}

class Parser {
public:
    explicit Parser(const std::wstring& html) : m_html(html) {}

    Page Run() {
        size_t pos = 0;
        while (pos < m_html.size()) {
            const size_t lt = m_html.find(L'<', pos);
            const size_t stop = lt == std::wstring::npos ? m_html.size() : lt;
            if (stop > pos)
                AddText(DecodeEntities(m_html.substr(pos, stop - pos)));
            if (lt == std::wstring::npos)
                break;
            pos = lt;
            if (m_html.compare(pos, 4, L"<!--") == 0) {
                const size_t end = m_html.find(L"-->", pos + 4);
                pos = end == std::wstring::npos ? m_html.size() : end + 3;
                continue;
            }
            if (pos + 1 < m_html.size() && (m_html[pos + 1] == L'!' || m_html[pos + 1] == L'?')) {
                const size_t end = m_html.find(L'>', pos);
                pos = end == std::wstring::npos ? m_html.size() : end + 1;
                continue;
            }
            if (pos + 1 >= m_html.size() || !(std::iswalpha(m_html[pos + 1]) || m_html[pos + 1] == L'/')) {
                AddText(L"<");
                ++pos;
                continue;
            }
            const Tag tag = ReadTag(m_html, pos);
            OnTag(tag, pos);
        }
        EndLine();
        return std::move(m_page);
    }

private:
    void OnTag(const Tag& tag, size_t& pos) {
        const std::wstring& n = tag.name;
        if (!tag.closing && (n == L"script" || n == L"style" || n == L"noscript")) {
            RawUntilClose(m_html, pos, n);
            return;
        }
        if (!tag.closing && n == L"title") {
            m_page.title = CollapseSpace(DecodeEntities(RawUntilClose(m_html, pos, n)));
            return;
        }
        if (IsBlock(n)) {
            EndLine();
            if (!tag.closing && n.size() == 2 && n[0] == L'h' && n[1] >= L'1' && n[1] <= L'6')
                m_heading = true;
        }
        if (n == L"a") {
            m_link = -1;
            if (!tag.closing && tag.Has(L"href")) {
                PageItem item;
                item.kind = PageItem::Kind::Link;
                item.href = tag.Attr(L"href");
                m_line.items.push_back(std::move(item));
                m_link = static_cast<int>(m_line.items.size()) - 1;
            }
        } else if (n == L"form") {
            if (tag.closing) {
                m_form = -1;
            } else {
                PageForm form;
                form.action = tag.Attr(L"action");
                form.method = Lower(tag.Attr(L"method"));
                if (form.method.empty())
                    form.method = L"get";
                m_page.forms.push_back(std::move(form));
                m_form = static_cast<int>(m_page.forms.size()) - 1;
            }
        } else if (n == L"input" && !tag.closing) {
            OnInput(tag);
        } else if (n == L"button") {
            m_button = -1;
            if (!tag.closing) {
                const std::wstring type = Lower(tag.Attr(L"type"));
                PageItem item;
                item.kind = PageItem::Kind::Button;
                item.form = m_form;
                item.name = tag.Attr(L"name");
                item.submit = type.empty() || type == L"submit";
                Push(std::move(item));
                m_button = static_cast<int>(m_line.items.size()) - 1;
            }
        } else if (n == L"textarea" && !tag.closing) {
            PageItem item;
            item.kind = PageItem::Kind::Field;
            item.form = m_form;
            item.name = tag.Attr(L"name");
            item.text = DecodeEntities(RawUntilClose(m_html, pos, n));
            Push(std::move(item));
        } else if (n == L"select") {
            m_select = -1;
            if (!tag.closing) {
                PageItem item;
                item.kind = PageItem::Kind::Field;
                item.hidden = true;
                item.form = m_form;
                item.name = tag.Attr(L"name");
                Push(std::move(item));
                m_select = static_cast<int>(m_line.items.size()) - 1;
                m_selectTaken = false;
            }
        } else if (n == L"option" && !tag.closing && m_select >= 0) {
            // The first option, or the one marked selected, is the value sent.
            if (!m_selectTaken || tag.Has(L"selected"))
                m_line.items[static_cast<size_t>(m_select)].text = tag.Attr(L"value");
            m_selectTaken = true;
        } else if ((n == L"frame" || n == L"iframe") && !tag.closing) {
            const std::wstring src = tag.Attr(L"src");
            if (!src.empty()) {
                EndLine();
                PageItem item;
                item.kind = PageItem::Kind::Frame;
                item.href = src;
                m_line.items.push_back(std::move(item));
                m_page.frames.push_back(src);
                EndLine();
            }
            if (n == L"iframe")
                RawUntilClose(m_html, pos, n);
        } else if (n == L"img" && !tag.closing) {
            AddText(tag.Attr(L"alt"));
        }
    }

    void OnInput(const Tag& tag) {
        const std::wstring type = Lower(tag.Attr(L"type"));
        const std::wstring name = tag.Attr(L"name");
        const std::wstring value = tag.Attr(L"value");
        PageItem item;
        item.form = m_form;
        item.name = name;
        if (type == L"hidden" || ((type == L"checkbox" || type == L"radio") && tag.Has(L"checked"))) {
            item.kind = PageItem::Kind::Field;
            item.hidden = true;
            item.text = value.empty() && type != L"hidden" ? L"on" : value;
            Push(std::move(item));
            return;
        }
        if (type == L"checkbox" || type == L"radio" || type == L"file")
            return;
        if (type == L"submit" || type == L"image" || type == L"button" || type == L"reset") {
            item.kind = PageItem::Kind::Button;
            item.submit = type == L"submit" || type == L"image";
            item.text = !value.empty()              ? value
                        : type == L"reset"          ? L"Reset"
                        : !tag.Attr(L"alt").empty() ? tag.Attr(L"alt")
                                                    : L"Submit";
        } else {
            item.kind = PageItem::Kind::Field;
            item.secret = type == L"password";
            item.text = value;
        }
        Push(std::move(item));
    }

    void Push(PageItem item) {
        m_link = -1;
        m_line.items.push_back(std::move(item));
    }

    void AddText(const std::wstring& raw) {
        if (raw.empty() || m_select >= 0)
            return;
        // Whitespace collapses across text runs; a leading space survives only inside a line.
        std::wstring text;
        for (wchar_t c : raw) {
            if (c == 0xA0) {
                text += L' ';
                m_space = false;
                continue;
            }
            if (IsSpace(c)) {
                m_space = true;
                continue;
            }
            if (m_space && (!text.empty() || !m_line.items.empty()))
                text += L' ';
            m_space = false;
            text += c;
        }
        if (text.empty())
            return;
        PageItem* target = nullptr;
        if (m_button >= 0)
            target = &m_line.items[static_cast<size_t>(m_button)];
        else if (m_link >= 0)
            target = &m_line.items[static_cast<size_t>(m_link)];
        else if (!m_line.items.empty() && m_line.items.back().kind == PageItem::Kind::Text)
            target = &m_line.items.back();
        if (target) {
            if (target->text.empty() && text[0] == L' ')
                text.erase(0, 1);
            target->text += text;
            return;
        }
        PageItem item;
        item.text = text;
        m_line.items.push_back(std::move(item));
    }

    void EndLine() {
        m_link = -1;
        m_button = -1;
        m_select = -1;
        m_space = false;
        // A link without text still needs something to click.
        for (auto& item : m_line.items)
            if (item.kind == PageItem::Kind::Link && item.text.empty())
                item.text = item.href;
        if (!m_line.items.empty()) {
            m_line.heading = m_heading;
            m_page.lines.push_back(std::move(m_line));
        }
        m_line = PageLine();
        m_heading = false;
    }

    const std::wstring& m_html;
    Page m_page;
    PageLine m_line;
    int m_link = -1;
    int m_button = -1;
    int m_form = -1;
    bool m_space = false;
    bool m_heading = false;
    int m_select = -1;
    bool m_selectTaken = false;
};

bool HasScheme(const std::wstring& ref) {
    for (size_t i = 0; i < ref.size(); ++i) {
        const wchar_t c = ref[i];
        if (c == L':')
            return i > 0;
        if (!(std::iswalnum(c) || c == L'+' || c == L'-' || c == L'.'))
            return false;
    }
    return false;
}

std::wstring RemoveDotSegments(const std::wstring& path) {
    std::vector<std::wstring> out;
    size_t start = 0;
    const bool trailing = path.size() >= 2 && (path.ends_with(L"/.") || path.ends_with(L"/.."));
    while (start <= path.size()) {
        size_t slash = path.find(L'/', start);
        if (slash == std::wstring::npos)
            slash = path.size();
        const std::wstring seg = path.substr(start, slash - start);
        if (seg == L"..") {
            if (out.size() > 1)
                out.pop_back();
        } else if (seg != L".") {
            out.push_back(seg);
        }
        start = slash + 1;
    }
    std::wstring joined;
    for (size_t i = 0; i < out.size(); ++i) {
        if (i)
            joined += L'/';
        joined += out[i];
    }
    if (trailing)
        joined += L'/';
    return joined;
}

void AppendEncoded(std::wstring& out, const std::wstring& text) {
    static const char hex[] = "0123456789ABCDEF";
    for (unsigned char c : ToUtf8(text)) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~' || c == '*') {
            out += static_cast<wchar_t>(c);
        } else if (c == ' ') {
            out += L'+';
        } else {
            out += L'%';
            out += static_cast<wchar_t>(hex[c >> 4]);
            out += static_cast<wchar_t>(hex[c & 15]);
        }
    }
}

} // namespace

Page ParseHtml(const std::wstring& html) {
    return Parser(html).Run();
}

std::wstring DecodeEntities(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'&') {
            out += text[i];
            continue;
        }
        const size_t semi = text.find(L';', i);
        if (semi == std::wstring::npos || semi - i > 10) {
            out += text[i];
            continue;
        }
        const std::wstring name = text.substr(i + 1, semi - i - 1);
        unsigned long code = 0;
        bool known = true;
        if (name == L"amp")
            code = L'&';
        else if (name == L"lt")
            code = L'<';
        else if (name == L"gt")
            code = L'>';
        else if (name == L"quot")
            code = L'"';
        else if (name == L"apos")
            code = L'\'';
        else if (name == L"nbsp")
            code = 0xA0;
        else if (name.size() > 1 && name[0] == L'#') {
            wchar_t* end = nullptr;
            const bool isHex = name[1] == L'x' || name[1] == L'X';
            code = std::wcstoul(name.c_str() + (isHex ? 2 : 1), &end, isHex ? 16 : 10);
            known = end && *end == 0 && code > 0 && code <= 0x10FFFF;
        } else {
            known = false;
        }
        if (!known) {
            out += text[i];
            continue;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (code >> 10));
            out += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<wchar_t>(code);
        }
        i = semi;
    }
    return out;
}

std::wstring ResolveUrl(const std::wstring& base, const std::wstring& rawRef) {
    const std::wstring ref = CollapseSpace(rawRef);
    const size_t hash = base.find(L'#');
    const std::wstring baseNoFragment = base.substr(0, hash);
    if (ref.empty())
        return baseNoFragment;
    if (HasScheme(ref))
        return ref;
    const size_t colon = base.find(L':');
    if (colon == std::wstring::npos)
        return ref;
    const std::wstring scheme = base.substr(0, colon + 1);
    size_t pathStart = colon + 1;
    if (base.compare(pathStart, 2, L"//") == 0) {
        pathStart = base.find_first_of(L"/?#", pathStart + 2);
        if (pathStart == std::wstring::npos)
            pathStart = base.size();
    }
    const std::wstring origin = base.substr(0, pathStart);
    const size_t queryStart = baseNoFragment.find(L'?');
    const std::wstring basePath = baseNoFragment.substr(
        pathStart, (queryStart == std::wstring::npos ? baseNoFragment.size() : queryStart) -
                       std::min(pathStart, baseNoFragment.size()));
    if (ref.compare(0, 2, L"//") == 0)
        return scheme + ref;
    if (ref[0] == L'#')
        return baseNoFragment + ref;
    if (ref[0] == L'?')
        return origin + basePath + ref;
    std::wstring path;
    std::wstring rest;
    const size_t refQuery = ref.find_first_of(L"?#");
    const std::wstring refPath = ref.substr(0, refQuery);
    if (refQuery != std::wstring::npos)
        rest = ref.substr(refQuery);
    if (refPath[0] == L'/') {
        path = refPath;
    } else {
        const size_t slash = basePath.rfind(L'/');
        path = (slash == std::wstring::npos ? std::wstring(L"/") : basePath.substr(0, slash + 1)) + refPath;
    }
    return origin + RemoveDotSegments(path) + rest;
}

std::wstring FormSubmitUrl(const std::wstring& pageUrl, const Page& page, int form, const PageItem* pressed) {
    std::wstring action = ResolveUrl(pageUrl, page.forms[static_cast<size_t>(form)].action);
    action = action.substr(0, action.find_first_of(L"?#"));
    std::wstring query;
    const auto add = [&query](const std::wstring& name, const std::wstring& value) {
        if (name.empty())
            return;
        if (!query.empty())
            query += L'&';
        AppendEncoded(query, name);
        query += L'=';
        AppendEncoded(query, value);
    };
    for (const auto& line : page.lines)
        for (const auto& item : line.items)
            if (item.form == form && (item.kind == PageItem::Kind::Field ||
                                      (item.kind == PageItem::Kind::Button && &item == pressed)))
                add(item.name, item.text);
    return action + L"?" + query;
}

} // namespace standins
