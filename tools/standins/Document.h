// The document object the browser stand-in hands out through its Document property: title, address
// and a body element whose onbeforeunload handler can be replaced.
#pragma once

#include "Common.h"

#include <string>

namespace standins {

// An object offering IHTMLDocument2 (as IDispatch).
Ref<IDispatch> CreateDocument(const std::wstring& url, const std::wstring& title, const std::wstring& text);

} // namespace standins
