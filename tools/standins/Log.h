// The event record the tests read: one UTF-8 line per event, appended and flushed at once, to the
// file named by KELVO_STANDIN_LOG (standin.log in the current directory when it is unset).
#pragma once

#include <string>

namespace standins {

void LogLine(const std::wstring& line);

} // namespace standins
