#include "login/core/GameEntry.h"

#include "res/resource.h"

namespace kelvo {

CompletedPage ClassifyCompletedAddress(std::u16string_view address) {
    // The control's own pages (its error pages too) begin like the placeholder's address; they
    // all lead back to the login page and are never taken for a game entry.
    if (address.substr(0, 6) == u"res://")
        return CompletedPage::Placeholder;
    const std::size_t marker = address.find(u"error");
    if (marker == std::u16string_view::npos || marker == 0)
        return CompletedPage::Other;
    return CompletedPage::GameEntry;
}

std::u16string GameQueryText(std::u16string_view address) {
    const std::size_t question = address.find(u'?');
    if (question == std::u16string_view::npos)
        return std::u16string(address);
    return std::u16string(address.substr(question + 1));
}

std::u16string LoginPageAddress(std::u16string_view portalHost) {
    return u"http://" + std::u16string(portalHost) + u"/games/kelvo/dlq/";
}

std::u16string ReentryAddress(std::u16string_view portalHost, std::u16string_view serverId) {
    return u"http://" + std::u16string(portalHost) + u"/games/dlq/togame.php?target=kelvo_553&server_id=" +
           std::u16string(serverId) + u"&client=2&login_game_for_general&refer=";
}

std::u16string PlaceholderAddress(std::u16string_view applicationName) {
    const std::string id = std::to_string(IDH_PLACEHOLDER);
    return u"res://" + std::u16string(applicationName) + u".exe/" + std::u16string(id.begin(), id.end());
}

namespace {

// A navigation of the program's own: a retry still waiting would supersede it.
void NavigateOwn(std::u16string_view address, LoginPageRetry& retry, GameEntrySteps& steps) {
    if (retry.OnOwnNavigation())
        steps.CancelLoginPageRetry();
    steps.Navigate(std::u16string(address));
}

} // namespace

void HandleCompletedAddress(std::u16string_view address, std::u16string_view portalHost,
                            const TrustedHosts& trusted, LoginPageRetry& retry, GameEntrySteps& steps) {
    CompletedPage page = ClassifyCompletedAddress(address);
    // Any frame of any page completes here; only the publisher's hosts may start the game.
    if (page == CompletedPage::GameEntry && !trusted.Trusts(address)) {
        steps.Note(TrustedHosts::RefusalNote(u"game entry", address));
        page = CompletedPage::Other;
    }
    if (page == CompletedPage::Placeholder) {
        if (const unsigned delayMs = retry.OnOwnPageCompleted())
            steps.ScheduleLoginPageRetry(delayMs);
        else
            NavigateOwn(LoginPageAddress(portalHost), retry, steps);
        return;
    }
    // The portal answered: a retry still waiting would only take the view away from this page.
    if (retry.OnPortalPageCompleted())
        steps.CancelLoginPageRetry();
    if (page == CompletedPage::Other)
        return;
    // The web view goes back to the login page at once, so that it shows that page whenever the
    // user leaves the game; without a document there is nothing to leave.
    if (steps.ClearBeforeUnload() != WebViewReset::NoDocument)
        NavigateOwn(LoginPageAddress(portalHost), retry, steps);
    const std::u16string query = GameQueryText(address);
    steps.HideLoginSide();
    // A re-entry reuses the window where it stands; only the first entry places it. Without a game
    // window the login side comes back, rather than a program left with no window at all.
    if (!steps.HasGameWindow() && !steps.CreateGameWindow()) {
        steps.ShowLoginSide();
        return;
    }
    steps.ShowGameWindow();
    // The window exists and shows before its title and re-entry address change.
    if (const auto serverId = QueryParameter(query, kServerIdKey))
        steps.SetReentryAddress(ReentryAddress(portalHost, *serverId));
    if (const auto title = QueryParameter(query, kCaptionTitleKey))
        steps.SetCaptionTitle(*title);
    steps.OpenMaximized();
    steps.LoadGameMovie(query);
}

void HandleReentry(std::u16string_view address, LoginPageRetry& retry, GameEntrySteps& steps) {
    NavigateOwn(address, retry, steps);
}

void HandleLoginPageRetryDue(std::u16string_view portalHost, LoginPageRetry& retry, GameEntrySteps& steps) {
    if (retry.OnDelayElapsed())
        steps.Navigate(LoginPageAddress(portalHost));
}

} // namespace kelvo
