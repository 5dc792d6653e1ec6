// Stand-in for the Shockwave Flash control under its real class id: the property puts and methods
// the launcher calls, by DISPID; OnReadyStateChange (-609) and FlashCall (197) to the sinks of the
// control's event interface; a "movie" that is a small text script fetched over HTTP; and a view
// with the movie address, the FlashVars, what the script showed, and buttons that raise FlashCall.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace standins {

extern const CLSID CLSID_ShockwaveFlashStandin;

HRESULT CreateFlash(REFIID iid, void** out);

// Window classes of the module; unregistered when the module is unloaded.
void UnregisterFlashClasses();

// One command of a movie script.
struct ScriptCommand {
    enum class Kind { Wait, Show, Call, Clear, Unknown };
    Kind kind = Kind::Unknown;
    unsigned milliseconds = 0; // wait
    std::wstring text;         // show: the line; call: the request; unknown: the whole line
};

// One command per line: "wait MS", "show TEXT", "call REQUEST", "clear"; blank lines and lines
// starting with "#" are skipped. A "\r" before the line feed is dropped.
std::vector<ScriptCommand> ParseMovieScript(const std::wstring& text);

} // namespace standins
