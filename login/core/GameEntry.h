// What a completed address of the web view means: the placeholder page (go to the login page), a
// game entry (open the game with the address's parameters), or nothing. All tests are exact and
// case-sensitive; parameter values are taken as they stand, without decoding.
#pragma once

#include "base/QueryParameter.h"
#include "base/TrustedHosts.h"
#include "login/core/LoginPageRetry.h"

#include <optional>
#include <string>
#include <string_view>

namespace kelvo {

enum class CompletedPage { Placeholder, GameEntry, Other };

CompletedPage ClassifyCompletedAddress(std::u16string_view address);

// The text after the first "?", or the whole address when it has none.
std::u16string GameQueryText(std::u16string_view address);

std::u16string LoginPageAddress(std::u16string_view portalHost);
std::u16string ReentryAddress(std::u16string_view portalHost, std::u16string_view serverId);
// "res://" + application name + ".exe/208".
std::u16string PlaceholderAddress(std::u16string_view applicationName);

inline constexpr std::u16string_view kServerIdKey = u"&serverid=";
inline constexpr std::u16string_view kCaptionTitleKey = u"&gameaddress=";

// ---- The hand-off of a completed page ----

// What resetting the web view found, for the hand-off to decide whether to send it back to the
// login page.
enum class WebViewReset {
    NoDocument,     // no document, or none offering IHTMLDocument2: nothing was done
    HandlerKept,    // a document, but no body offering IHTMLBodyElement: the handler stays
    HandlerCleared, // the body's onbeforeunload is now the empty text
};

// The login dialog's side of the hand-off: each step the hand-off takes, carried out by the window
// classes (and recorded by the tests).
class GameEntrySteps {
public:
    virtual ~GameEntrySteps() = default;
    virtual void Navigate(const std::u16string& address) = 0;
    // Calls HandleLoginPageRetryDue once the delay has passed, replacing a call still waiting.
    virtual void ScheduleLoginPageRetry(unsigned delayMs) = 0;
    // The call still waiting, if any, is not made.
    virtual void CancelLoginPageRetry() = 0;
    // Clears the current page's before-unload handler, so that leaving it asks nothing.
    virtual WebViewReset ClearBeforeUnload() = 0;
    virtual void HideLoginSide() = 0;
    // Shows the login dialog and the frame again, as leaving the game does.
    virtual void ShowLoginSide() = 0;
    virtual bool HasGameWindow() = 0;
    // Creates the game window and puts it on the work area; false when no window could be made.
    virtual bool CreateGameWindow() = 0;
    virtual void ShowGameWindow() = 0;
    virtual void SetReentryAddress(const std::u16string& address) = 0;
    virtual void SetCaptionTitle(const std::u16string& title) = 0;
    virtual void OpenMaximized() = 0;
    virtual void LoadGameMovie(const std::u16string& query) = 0;
    // One line on the debug output channel.
    virtual void Note(const std::u16string& line) = 0;
};

// Runs the hand-off for one completed address: the placeholder (or any page of the control's own)
// leads to the login page, at once or after the retry's delay; a game entry resets the web view,
// hides the login side, opens the game window and loads the movie with the address's query; every
// other page is left alone, and so is an entry from a host that `trusted` refuses (with a note).
// Every page that is not the control's own restarts the retry.
void HandleCompletedAddress(std::u16string_view address, std::u16string_view portalHost,
                            const TrustedHosts& trusted, LoginPageRetry& retry, GameEntrySteps& steps);

// The game window enters again: the web view goes to the re-entry address, and a retry still
// waiting is cancelled, so that it cannot take the view to the login page before the portal answers.
void HandleReentry(std::u16string_view address, LoginPageRetry& retry, GameEntrySteps& steps);

// The retry's delay has passed: the login page is asked for, unless a page completed meanwhile.
void HandleLoginPageRetryDue(std::u16string_view portalHost, LoginPageRetry& retry, GameEntrySteps& steps);

} // namespace kelvo
