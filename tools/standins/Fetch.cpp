#include "Fetch.h"

#include "Common.h"

#include <wininet.h>

#include <cctype>
#include <cwctype>

namespace standins {
namespace {

class InternetHandle {
public:
    explicit InternetHandle(HINTERNET h) : m_h(h) {}
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    ~InternetHandle() {
        if (m_h)
            ::InternetCloseHandle(m_h);
    }
    HINTERNET get() const { return m_h; }

private:
    HINTERNET m_h;
};

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix) {
    const size_t n = wcslen(prefix);
    return text.size() >= n && _wcsnicmp(text.c_str(), prefix, n) == 0;
}

FetchResult Failed(const std::wstring& url, unsigned status) {
    FetchResult result;
    result.finalUrl = ErrorPageUrl(url, status);
    std::wstring what = status ? L"The server answered with status " + std::to_wstring(status) + L"."
                               : std::wstring(L"The page could not be loaded.");
    std::wstring shown;
    for (wchar_t c : url)
        shown += c == L'<' ? L"&lt;" : c == L'&' ? L"&amp;" : std::wstring(1, c);
    result.html =
        L"<html><head><title>Navigation cancelled</title></head><body><h1>Navigation cancelled</h1><p>" +
        what + L"</p><p>" + shown + L"</p></body></html>";
    return result;
}

FetchResult FetchHttp(const std::wstring& url) {
    const InternetHandle session(
        ::InternetOpenW(L"Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 6.1; Kelvo stand-in)",
                        INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!session.get())
        return Failed(url, 0);
    DWORD timeout = 15000;
    ::InternetSetOptionW(session.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof(timeout));
    ::InternetSetOptionW(session.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof(timeout));
    ::InternetSetOptionW(session.get(), INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof(timeout));
    const InternetHandle request(::InternetOpenUrlW(session.get(), url.c_str(), nullptr, 0,
                                                    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                                        INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_UI,
                                                    0));
    if (!request.get())
        return Failed(url, 0);

    DWORD status = 0;
    DWORD size = sizeof(status);
    ::HttpQueryInfoW(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr);
    if (status >= 400)
        return Failed(url, status);

    std::string body;
    char buffer[16384];
    for (;;) {
        DWORD read = 0;
        if (!::InternetReadFile(request.get(), buffer, sizeof(buffer), &read))
            return Failed(url, 0);
        if (read == 0)
            break;
        body.append(buffer, read);
    }

    wchar_t type[256] = L"";
    size = sizeof(type);
    ::HttpQueryInfoW(request.get(), HTTP_QUERY_CONTENT_TYPE, type, &size, nullptr);

    FetchResult result;
    result.ok = true;
    result.finalUrl = url;
    DWORD length = 0;
    ::InternetQueryOptionW(request.get(), INTERNET_OPTION_URL, nullptr, &length);
    if (length) {
        std::wstring final(length / sizeof(wchar_t) + 1, L'\0');
        length = static_cast<DWORD>(final.size() * sizeof(wchar_t));
        if (::InternetQueryOptionW(request.get(), INTERNET_OPTION_URL, final.data(), &length)) {
            final.resize(wcslen(final.c_str()));
            if (!final.empty())
                result.finalUrl = final;
        }
    }
    result.html = DecodePage(body, ToUtf8(type));
    return result;
}

// res://MODULE/ID or res://MODULE/TYPE/ID; ID and TYPE are decimal numbers (optionally "#N") or
// names. The type defaults to RT_HTML.
FetchResult FetchResource(const std::wstring& url) {
    std::wstring rest = url.substr(6);
    rest = rest.substr(0, rest.find(L'?'));
    const size_t slash = rest.rfind(L'/');
    if (slash == std::wstring::npos || slash == 0)
        return Failed(url, 0);
    std::wstring module = rest.substr(0, slash);
    std::wstring id = rest.substr(slash + 1);
    std::wstring type = L"23";
    const size_t typeSlash = module.find(L'/');
    if (typeSlash != std::wstring::npos) {
        type = module.substr(typeSlash + 1);
        module = module.substr(0, typeSlash);
    }
    // A fragment ends the address unless it is the "#N" form of a number.
    const size_t hash = id.find(L'#', id.size() > 1 && id[0] == L'#' ? 1 : 0);
    if (hash != std::wstring::npos)
        id = id.substr(0, hash);
    const auto resourceName = [](const std::wstring& text) -> std::wstring {
        return text.size() > 1 && text[0] == L'#' ? text.substr(1) : text;
    };
    const auto asInt = [](const std::wstring& text) -> LPCWSTR {
        if (text.empty())
            return nullptr;
        for (wchar_t c : text)
            if (!std::iswdigit(c))
                return nullptr;
        return MAKEINTRESOURCEW(_wtoi(text.c_str()));
    };
    const std::wstring idText = resourceName(id);
    const std::wstring typeText = resourceName(type);
    LPCWSTR idName = asInt(idText) ? asInt(idText) : idText.c_str();
    LPCWSTR typeName = asInt(typeText) ? asInt(typeText) : typeText.c_str();

    HMODULE handle = ::GetModuleHandleW(module.c_str());
    HMODULE loaded = nullptr;
    if (!handle) {
        loaded = ::LoadLibraryExW(module.c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        if (!loaded)
            loaded = ::LoadLibraryExW(module.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        handle = loaded;
    }
    FetchResult result = Failed(url, 0);
    if (handle) {
        const HRSRC info = ::FindResourceW(handle, idName, typeName);
        const HGLOBAL data = info ? ::LoadResource(handle, info) : nullptr;
        const void* bytes = data ? ::LockResource(data) : nullptr;
        if (bytes) {
            result.ok = true;
            result.finalUrl = url;
            result.html =
                DecodePage(std::string(static_cast<const char*>(bytes), ::SizeofResource(handle, info)), {});
        }
    }
    if (loaded)
        ::FreeLibrary(loaded);
    return result;
}

std::string LowerAscii(std::string s) {
    for (auto& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool DeclaresChinese(const std::string& lowerText) {
    for (size_t at = lowerText.find("charset"); at != std::string::npos;
         at = lowerText.find("charset", at + 7)) {
        size_t i = at + 7;
        while (i < lowerText.size() &&
               (lowerText[i] == ' ' || lowerText[i] == '=' || lowerText[i] == '"' || lowerText[i] == '\''))
            ++i;
        const std::string name = lowerText.substr(i, 7);
        if (name.starts_with("gb2312") || name.starts_with("gbk") || name.starts_with("gb18030"))
            return true;
        if (!name.empty())
            return false;
    }
    return false;
}

} // namespace

std::wstring ErrorPageUrl(const std::wstring& url, unsigned httpStatus) {
    if (httpStatus == 404)
        return L"res://ieframe.dll/http_404.htm#" + url;
    if (httpStatus >= 500)
        return L"res://ieframe.dll/http_500.htm#" + url;
    return L"res://ieframe.dll/navcancl.htm#" + url;
}

std::wstring DecodePage(const std::string& bytes, const std::string& contentType) {
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        return FromCodePage(bytes.substr(3), CP_UTF8);
    const bool chinese =
        DeclaresChinese(LowerAscii(contentType)) || (contentType.find("charset") == std::string::npos &&
                                                     DeclaresChinese(LowerAscii(bytes.substr(0, 4096))));
    return FromCodePage(bytes, chinese ? 936 : CP_UTF8);
}

FetchResult Fetch(const std::wstring& url) {
    if (StartsWithNoCase(url, L"http://") || StartsWithNoCase(url, L"https://"))
        return FetchHttp(url);
    if (StartsWithNoCase(url, L"res://"))
        return FetchResource(url);
    if (StartsWithNoCase(url, L"about:")) {
        FetchResult blank;
        blank.ok = true;
        blank.finalUrl = url;
        blank.html = L"<html><head><title></title></head><body></body></html>";
        return blank;
    }
    return Failed(url, 0);
}

} // namespace standins
