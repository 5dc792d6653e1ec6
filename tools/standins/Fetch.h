// Loading of one address as the browser stand-in needs it: http(s) through WinINet with redirects
// followed, res:// from a module's HTML resources, about:blank. Synchronous.
#pragma once

#include <string>

namespace standins {

struct FetchResult {
    bool ok = false;
    std::wstring finalUrl; // after redirects; an error page address when !ok
    std::wstring html;     // decoded text
};

FetchResult Fetch(const std::wstring& url);

// The address of the error page shown instead of `url`; like the real control's, it begins with
// "res://".
std::wstring ErrorPageUrl(const std::wstring& url, unsigned httpStatus);

// GB2312 (code page 936) when the header or the page declares gb2312, gbk or gb18030, else UTF-8
// (a UTF-8 byte-order mark is dropped).
std::wstring DecodePage(const std::string& bytes, const std::string& contentType);

} // namespace standins
