// A deliberately small reading of HTML: enough to show a page as lines of text, links, buttons and
// fields, to find its frames and to submit its forms. No styles, scripts or layout.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace standins {

struct PageItem {
    enum class Kind { Text, Link, Button, Field, Frame };
    Kind kind = Kind::Text;
    std::wstring text;   // shown text; for a field its current value
    std::wstring href;   // link target, frame source
    int form = -1;       // form of a button or field
    std::wstring name;   // field name
    bool submit = false; // a button that submits its form
    bool secret = false; // a password field
    bool hidden = false; // sent with its form but not shown (hidden input, checked box, select)
};

struct PageLine {
    std::vector<PageItem> items;
    bool heading = false;
};

struct PageForm {
    std::wstring action;
    std::wstring method; // lower case, "get" unless given
};

struct Page {
    std::wstring title;
    std::vector<PageLine> lines;
    std::vector<PageForm> forms;
    std::vector<std::wstring> frames; // frame and iframe sources, in document order
};

Page ParseHtml(const std::wstring& html);

// Replaces &amp; &lt; &gt; &quot; &apos; &nbsp; &#N; &#xN; by their characters.
std::wstring DecodeEntities(const std::wstring& text);

// The address `ref` names when found in a page at `base` (absolute, rooted, relative, query-only).
std::wstring ResolveUrl(const std::wstring& base, const std::wstring& ref);

// The GET address of a form: its action resolved against the page, then "?" and its named fields
// and the pressed button in document order, application/x-www-form-urlencoded (UTF-8).
std::wstring FormSubmitUrl(const std::wstring& pageUrl, const Page& page, int form, const PageItem* pressed);

} // namespace standins
