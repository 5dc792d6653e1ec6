#include "Document.h"

#include "Log.h"

#include <mshtml.h>

// Members the stand-in does not model answer E_NOTIMPL, as the real objects do for many of them.
#define STANDIN_NOTIMPL(name, ...)                                                                           \
    HRESULT STDMETHODCALLTYPE name(__VA_ARGS__) override {                                                   \
        return E_NOTIMPL;                                                                                    \
    }

namespace standins {
namespace {

// IDispatch without a type library: callers reach these objects through their vtable interfaces.
#define STANDIN_NO_AUTOMATION                                                                                \
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {                                       \
        if (count)                                                                                           \
            *count = 0;                                                                                      \
        return S_OK;                                                                                         \
    }                                                                                                        \
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override {                                \
        return E_NOTIMPL;                                                                                    \
    }                                                                                                        \
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {               \
        return DISP_E_UNKNOWNNAME;                                                                           \
    }                                                                                                        \
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)   \
        override {                                                                                           \
        return DISP_E_MEMBERNOTFOUND;                                                                        \
    }

HRESULT ReturnText(const std::wstring& text, BSTR* out) {
    if (!out)
        return E_POINTER;
    *out = MakeBstr(text);
    return S_OK;
}

class BodyElement final : public IHTMLElement, public IHTMLBodyElement, private ModuleObject {
public:
    explicit BodyElement(std::wstring text) : m_text(std::move(text)) {
        ::VariantInit(&m_onbeforeunload);
        V_VT(&m_onbeforeunload) = VT_NULL;
    }
    BodyElement(const BodyElement&) = delete;
    BodyElement& operator=(const BodyElement&) = delete;
    ~BodyElement() { ::VariantClear(&m_onbeforeunload); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLElement)
            *out = static_cast<IHTMLElement*>(this);
        else if (iid == IID_IHTMLBodyElement)
            *out = static_cast<IHTMLBodyElement*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STANDIN_REFERENCE_COUNT
    STANDIN_NO_AUTOMATION

    // IHTMLElement
    HRESULT STDMETHODCALLTYPE get_tagName(BSTR* p) override { return ReturnText(L"BODY", p); }
    HRESULT STDMETHODCALLTYPE get_innerText(BSTR* p) override { return ReturnText(m_text, p); }
    // clang-format off
    STANDIN_NOTIMPL(setAttribute, BSTR, VARIANT, LONG)
    STANDIN_NOTIMPL(getAttribute, BSTR, LONG, VARIANT*)
    STANDIN_NOTIMPL(removeAttribute, BSTR, LONG, VARIANT_BOOL*)
    STANDIN_NOTIMPL(put_className, BSTR)
    STANDIN_NOTIMPL(get_className, BSTR*)
    STANDIN_NOTIMPL(put_id, BSTR)
    STANDIN_NOTIMPL(get_id, BSTR*)
    STANDIN_NOTIMPL(get_parentElement, IHTMLElement**)
    STANDIN_NOTIMPL(get_style, IHTMLStyle**)
    STANDIN_NOTIMPL(put_onhelp, VARIANT)
    STANDIN_NOTIMPL(get_onhelp, VARIANT*)
    STANDIN_NOTIMPL(put_onclick, VARIANT)
    STANDIN_NOTIMPL(get_onclick, VARIANT*)
    STANDIN_NOTIMPL(put_ondblclick, VARIANT)
    STANDIN_NOTIMPL(get_ondblclick, VARIANT*)
    STANDIN_NOTIMPL(put_onkeydown, VARIANT)
    STANDIN_NOTIMPL(get_onkeydown, VARIANT*)
    STANDIN_NOTIMPL(put_onkeyup, VARIANT)
    STANDIN_NOTIMPL(get_onkeyup, VARIANT*)
    STANDIN_NOTIMPL(put_onkeypress, VARIANT)
    STANDIN_NOTIMPL(get_onkeypress, VARIANT*)
    STANDIN_NOTIMPL(put_onmouseout, VARIANT)
    STANDIN_NOTIMPL(get_onmouseout, VARIANT*)
    STANDIN_NOTIMPL(put_onmouseover, VARIANT)
    STANDIN_NOTIMPL(get_onmouseover, VARIANT*)
    STANDIN_NOTIMPL(put_onmousemove, VARIANT)
    STANDIN_NOTIMPL(get_onmousemove, VARIANT*)
    STANDIN_NOTIMPL(put_onmousedown, VARIANT)
    STANDIN_NOTIMPL(get_onmousedown, VARIANT*)
    STANDIN_NOTIMPL(put_onmouseup, VARIANT)
    STANDIN_NOTIMPL(get_onmouseup, VARIANT*)
    STANDIN_NOTIMPL(get_document, IDispatch**)
    STANDIN_NOTIMPL(put_title, BSTR)
    STANDIN_NOTIMPL(get_title, BSTR*)
    STANDIN_NOTIMPL(put_language, BSTR)
    STANDIN_NOTIMPL(get_language, BSTR*)
    STANDIN_NOTIMPL(put_onselectstart, VARIANT)
    STANDIN_NOTIMPL(get_onselectstart, VARIANT*)
    STANDIN_NOTIMPL(scrollIntoView, VARIANT)
    STANDIN_NOTIMPL(contains, IHTMLElement*, VARIANT_BOOL*)
    STANDIN_NOTIMPL(get_sourceIndex, LONG*)
    STANDIN_NOTIMPL(get_recordNumber, VARIANT*)
    STANDIN_NOTIMPL(put_lang, BSTR)
    STANDIN_NOTIMPL(get_lang, BSTR*)
    STANDIN_NOTIMPL(get_offsetLeft, LONG*)
    STANDIN_NOTIMPL(get_offsetTop, LONG*)
    STANDIN_NOTIMPL(get_offsetWidth, LONG*)
    STANDIN_NOTIMPL(get_offsetHeight, LONG*)
    STANDIN_NOTIMPL(get_offsetParent, IHTMLElement**)
    STANDIN_NOTIMPL(put_innerHTML, BSTR)
    STANDIN_NOTIMPL(get_innerHTML, BSTR*)
    STANDIN_NOTIMPL(put_innerText, BSTR)
    STANDIN_NOTIMPL(put_outerHTML, BSTR)
    STANDIN_NOTIMPL(get_outerHTML, BSTR*)
    STANDIN_NOTIMPL(put_outerText, BSTR)
    STANDIN_NOTIMPL(get_outerText, BSTR*)
    STANDIN_NOTIMPL(insertAdjacentHTML, BSTR, BSTR)
    STANDIN_NOTIMPL(insertAdjacentText, BSTR, BSTR)
    STANDIN_NOTIMPL(get_parentTextEdit, IHTMLElement**)
    STANDIN_NOTIMPL(get_isTextEdit, VARIANT_BOOL*)
    STANDIN_NOTIMPL(click)
    STANDIN_NOTIMPL(get_filters, IHTMLFiltersCollection**)
    STANDIN_NOTIMPL(put_ondragstart, VARIANT)
    STANDIN_NOTIMPL(get_ondragstart, VARIANT*)
    STANDIN_NOTIMPL(toString, BSTR*)
    STANDIN_NOTIMPL(put_onbeforeupdate, VARIANT)
    STANDIN_NOTIMPL(get_onbeforeupdate, VARIANT*)
    STANDIN_NOTIMPL(put_onafterupdate, VARIANT)
    STANDIN_NOTIMPL(get_onafterupdate, VARIANT*)
    STANDIN_NOTIMPL(put_onerrorupdate, VARIANT)
    STANDIN_NOTIMPL(get_onerrorupdate, VARIANT*)
    STANDIN_NOTIMPL(put_onrowexit, VARIANT)
    STANDIN_NOTIMPL(get_onrowexit, VARIANT*)
    STANDIN_NOTIMPL(put_onrowenter, VARIANT)
    STANDIN_NOTIMPL(get_onrowenter, VARIANT*)
    STANDIN_NOTIMPL(put_ondatasetchanged, VARIANT)
    STANDIN_NOTIMPL(get_ondatasetchanged, VARIANT*)
    STANDIN_NOTIMPL(put_ondataavailable, VARIANT)
    STANDIN_NOTIMPL(get_ondataavailable, VARIANT*)
    STANDIN_NOTIMPL(put_ondatasetcomplete, VARIANT)
    STANDIN_NOTIMPL(get_ondatasetcomplete, VARIANT*)
    STANDIN_NOTIMPL(put_onfilterchange, VARIANT)
    STANDIN_NOTIMPL(get_onfilterchange, VARIANT*)
    STANDIN_NOTIMPL(get_children, IDispatch**)
    STANDIN_NOTIMPL(get_all, IDispatch**)
    // clang-format on

    // IHTMLBodyElement
    HRESULT STDMETHODCALLTYPE put_onbeforeunload(VARIANT v) override {
        VARIANT copy;
        ::VariantInit(&copy);
        const HRESULT hr = ::VariantCopyInd(&copy, &v);
        if (FAILED(hr))
            return hr;
        ::VariantClear(&m_onbeforeunload);
        m_onbeforeunload = copy;
        std::wstring text;
        if (V_VT(&copy) == VT_NULL || V_VT(&copy) == VT_EMPTY)
            text = L"<null>";
        else if (V_VT(&copy) == VT_DISPATCH)
            text = L"<function>";
        else if (!VariantText(&copy, text))
            text = L"<vt " + std::to_wstring(V_VT(&copy)) + L">";
        LogLine(L"onbeforeunload " + text);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_onbeforeunload(VARIANT* p) override {
        if (!p)
            return E_POINTER;
        ::VariantInit(p);
        return ::VariantCopy(p, &m_onbeforeunload);
    }
    // clang-format off
    STANDIN_NOTIMPL(put_background, BSTR)
    STANDIN_NOTIMPL(get_background, BSTR*)
    STANDIN_NOTIMPL(put_bgProperties, BSTR)
    STANDIN_NOTIMPL(get_bgProperties, BSTR*)
    STANDIN_NOTIMPL(put_leftMargin, VARIANT)
    STANDIN_NOTIMPL(get_leftMargin, VARIANT*)
    STANDIN_NOTIMPL(put_topMargin, VARIANT)
    STANDIN_NOTIMPL(get_topMargin, VARIANT*)
    STANDIN_NOTIMPL(put_rightMargin, VARIANT)
    STANDIN_NOTIMPL(get_rightMargin, VARIANT*)
    STANDIN_NOTIMPL(put_bottomMargin, VARIANT)
    STANDIN_NOTIMPL(get_bottomMargin, VARIANT*)
    STANDIN_NOTIMPL(put_noWrap, VARIANT_BOOL)
    STANDIN_NOTIMPL(get_noWrap, VARIANT_BOOL*)
    STANDIN_NOTIMPL(put_bgColor, VARIANT)
    STANDIN_NOTIMPL(get_bgColor, VARIANT*)
    STANDIN_NOTIMPL(put_text, VARIANT)
    STANDIN_NOTIMPL(get_text, VARIANT*)
    STANDIN_NOTIMPL(put_link, VARIANT)
    STANDIN_NOTIMPL(get_link, VARIANT*)
    STANDIN_NOTIMPL(put_vLink, VARIANT)
    STANDIN_NOTIMPL(get_vLink, VARIANT*)
    STANDIN_NOTIMPL(put_aLink, VARIANT)
    STANDIN_NOTIMPL(get_aLink, VARIANT*)
    STANDIN_NOTIMPL(put_onload, VARIANT)
    STANDIN_NOTIMPL(get_onload, VARIANT*)
    STANDIN_NOTIMPL(put_onunload, VARIANT)
    STANDIN_NOTIMPL(get_onunload, VARIANT*)
    STANDIN_NOTIMPL(put_scroll, BSTR)
    STANDIN_NOTIMPL(get_scroll, BSTR*)
    STANDIN_NOTIMPL(put_onselect, VARIANT)
    STANDIN_NOTIMPL(get_onselect, VARIANT*)
    STANDIN_NOTIMPL(createTextRange, IHTMLTxtRange**)
    // clang-format on

private:
    LONG m_refs = 1;
    std::wstring m_text;
    VARIANT m_onbeforeunload;
};

class Document final : public IHTMLDocument2, private ModuleObject {
public:
    Document(std::wstring url, std::wstring title, std::wstring text)
        : m_url(std::move(url)), m_title(std::move(title)),
          m_body(Ref<BodyElement>::Adopt(new BodyElement(std::move(text)))) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLDocument ||
            iid == IID_IHTMLDocument2)
            *out = static_cast<IHTMLDocument2*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STANDIN_REFERENCE_COUNT
    STANDIN_NO_AUTOMATION

    HRESULT STDMETHODCALLTYPE get_body(IHTMLElement** p) override {
        if (!p)
            return E_POINTER;
        *p = static_cast<IHTMLElement*>(m_body.get());
        (*p)->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_title(BSTR* p) override { return ReturnText(m_title, p); }
    HRESULT STDMETHODCALLTYPE put_title(BSTR v) override {
        m_title.assign(v ? v : L"", v ? ::SysStringLen(v) : 0);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_URL(BSTR* p) override { return ReturnText(m_url, p); }
    HRESULT STDMETHODCALLTYPE get_readyState(BSTR* p) override { return ReturnText(L"complete", p); }
    // clang-format off
    STANDIN_NOTIMPL(get_Script, IDispatch**)
    STANDIN_NOTIMPL(get_all, IHTMLElementCollection**)
    STANDIN_NOTIMPL(get_activeElement, IHTMLElement**)
    STANDIN_NOTIMPL(get_images, IHTMLElementCollection**)
    STANDIN_NOTIMPL(get_applets, IHTMLElementCollection**)
    STANDIN_NOTIMPL(get_links, IHTMLElementCollection**)
    STANDIN_NOTIMPL(get_forms, IHTMLElementCollection**)
    STANDIN_NOTIMPL(get_anchors, IHTMLElementCollection**)
    STANDIN_NOTIMPL(get_scripts, IHTMLElementCollection**)
    STANDIN_NOTIMPL(put_designMode, BSTR)
    STANDIN_NOTIMPL(get_designMode, BSTR*)
    STANDIN_NOTIMPL(get_selection, IHTMLSelectionObject**)
    STANDIN_NOTIMPL(get_frames, IHTMLFramesCollection2**)
    STANDIN_NOTIMPL(get_embeds, IHTMLElementCollection**)
    STANDIN_NOTIMPL(get_plugins, IHTMLElementCollection**)
    STANDIN_NOTIMPL(put_alinkColor, VARIANT)
    STANDIN_NOTIMPL(get_alinkColor, VARIANT*)
    STANDIN_NOTIMPL(put_bgColor, VARIANT)
    STANDIN_NOTIMPL(get_bgColor, VARIANT*)
    STANDIN_NOTIMPL(put_fgColor, VARIANT)
    STANDIN_NOTIMPL(get_fgColor, VARIANT*)
    STANDIN_NOTIMPL(put_linkColor, VARIANT)
    STANDIN_NOTIMPL(get_linkColor, VARIANT*)
    STANDIN_NOTIMPL(put_vlinkColor, VARIANT)
    STANDIN_NOTIMPL(get_vlinkColor, VARIANT*)
    STANDIN_NOTIMPL(get_referrer, BSTR*)
    STANDIN_NOTIMPL(get_location, IHTMLLocation**)
    STANDIN_NOTIMPL(get_lastModified, BSTR*)
    STANDIN_NOTIMPL(put_URL, BSTR)
    STANDIN_NOTIMPL(put_domain, BSTR)
    STANDIN_NOTIMPL(get_domain, BSTR*)
    STANDIN_NOTIMPL(put_cookie, BSTR)
    STANDIN_NOTIMPL(get_cookie, BSTR*)
    STANDIN_NOTIMPL(put_expando, VARIANT_BOOL)
    STANDIN_NOTIMPL(get_expando, VARIANT_BOOL*)
    STANDIN_NOTIMPL(put_charset, BSTR)
    STANDIN_NOTIMPL(get_charset, BSTR*)
    STANDIN_NOTIMPL(put_defaultCharset, BSTR)
    STANDIN_NOTIMPL(get_defaultCharset, BSTR*)
    STANDIN_NOTIMPL(get_mimeType, BSTR*)
    STANDIN_NOTIMPL(get_fileSize, BSTR*)
    STANDIN_NOTIMPL(get_fileCreatedDate, BSTR*)
    STANDIN_NOTIMPL(get_fileModifiedDate, BSTR*)
    STANDIN_NOTIMPL(get_fileUpdatedDate, BSTR*)
    STANDIN_NOTIMPL(get_security, BSTR*)
    STANDIN_NOTIMPL(get_protocol, BSTR*)
    STANDIN_NOTIMPL(get_nameProp, BSTR*)
    STANDIN_NOTIMPL(write, SAFEARRAY*)
    STANDIN_NOTIMPL(writeln, SAFEARRAY*)
    STANDIN_NOTIMPL(open, BSTR, VARIANT, VARIANT, VARIANT, IDispatch**)
    STANDIN_NOTIMPL(close)
    STANDIN_NOTIMPL(clear)
    STANDIN_NOTIMPL(queryCommandSupported, BSTR, VARIANT_BOOL*)
    STANDIN_NOTIMPL(queryCommandEnabled, BSTR, VARIANT_BOOL*)
    STANDIN_NOTIMPL(queryCommandState, BSTR, VARIANT_BOOL*)
    STANDIN_NOTIMPL(queryCommandIndeterm, BSTR, VARIANT_BOOL*)
    STANDIN_NOTIMPL(queryCommandText, BSTR, BSTR*)
    STANDIN_NOTIMPL(queryCommandValue, BSTR, VARIANT*)
    STANDIN_NOTIMPL(execCommand, BSTR, VARIANT_BOOL, VARIANT, VARIANT_BOOL*)
    STANDIN_NOTIMPL(execCommandShowHelp, BSTR, VARIANT_BOOL*)
    STANDIN_NOTIMPL(createElement, BSTR, IHTMLElement**)
    STANDIN_NOTIMPL(put_onhelp, VARIANT)
    STANDIN_NOTIMPL(get_onhelp, VARIANT*)
    STANDIN_NOTIMPL(put_onclick, VARIANT)
    STANDIN_NOTIMPL(get_onclick, VARIANT*)
    STANDIN_NOTIMPL(put_ondblclick, VARIANT)
    STANDIN_NOTIMPL(get_ondblclick, VARIANT*)
    STANDIN_NOTIMPL(put_onkeyup, VARIANT)
    STANDIN_NOTIMPL(get_onkeyup, VARIANT*)
    STANDIN_NOTIMPL(put_onkeydown, VARIANT)
    STANDIN_NOTIMPL(get_onkeydown, VARIANT*)
    STANDIN_NOTIMPL(put_onkeypress, VARIANT)
    STANDIN_NOTIMPL(get_onkeypress, VARIANT*)
    STANDIN_NOTIMPL(put_onmouseup, VARIANT)
    STANDIN_NOTIMPL(get_onmouseup, VARIANT*)
    STANDIN_NOTIMPL(put_onmousedown, VARIANT)
    STANDIN_NOTIMPL(get_onmousedown, VARIANT*)
    STANDIN_NOTIMPL(put_onmousemove, VARIANT)
    STANDIN_NOTIMPL(get_onmousemove, VARIANT*)
    STANDIN_NOTIMPL(put_onmouseout, VARIANT)
    STANDIN_NOTIMPL(get_onmouseout, VARIANT*)
    STANDIN_NOTIMPL(put_onmouseover, VARIANT)
    STANDIN_NOTIMPL(get_onmouseover, VARIANT*)
    STANDIN_NOTIMPL(put_onreadystatechange, VARIANT)
    STANDIN_NOTIMPL(get_onreadystatechange, VARIANT*)
    STANDIN_NOTIMPL(put_onafterupdate, VARIANT)
    STANDIN_NOTIMPL(get_onafterupdate, VARIANT*)
    STANDIN_NOTIMPL(put_onrowexit, VARIANT)
    STANDIN_NOTIMPL(get_onrowexit, VARIANT*)
    STANDIN_NOTIMPL(put_onrowenter, VARIANT)
    STANDIN_NOTIMPL(get_onrowenter, VARIANT*)
    STANDIN_NOTIMPL(put_ondragstart, VARIANT)
    STANDIN_NOTIMPL(get_ondragstart, VARIANT*)
    STANDIN_NOTIMPL(put_onselectstart, VARIANT)
    STANDIN_NOTIMPL(get_onselectstart, VARIANT*)
    STANDIN_NOTIMPL(elementFromPoint, LONG, LONG, IHTMLElement**)
    STANDIN_NOTIMPL(get_parentWindow, IHTMLWindow2**)
    STANDIN_NOTIMPL(get_styleSheets, IHTMLStyleSheetsCollection**)
    STANDIN_NOTIMPL(put_onbeforeupdate, VARIANT)
    STANDIN_NOTIMPL(get_onbeforeupdate, VARIANT*)
    STANDIN_NOTIMPL(put_onerrorupdate, VARIANT)
    STANDIN_NOTIMPL(get_onerrorupdate, VARIANT*)
    STANDIN_NOTIMPL(toString, BSTR*)
    STANDIN_NOTIMPL(createStyleSheet, BSTR, LONG, IHTMLStyleSheet**)
    // clang-format on

private:
    LONG m_refs = 1;
    std::wstring m_url;
    std::wstring m_title;
    Ref<BodyElement> m_body;
};

} // namespace

Ref<IDispatch> CreateDocument(const std::wstring& url, const std::wstring& title, const std::wstring& text) {
    return Ref<IDispatch>::Adopt(new Document(url, title, text));
}

} // namespace standins
