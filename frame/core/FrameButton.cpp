#include "frame/core/FrameButton.h"

#include "res/resource.h"

namespace kelvo {

// Tabs first (their order decides which of two overlapping tabs takes a press), then minimise
// and close.
const std::array<FrameButtonLayout, kFrameButtonCount> kFrameButtonLayouts = {{
    {IDP_NEWS_NORMAL, IDP_NEWS_HOVER, IDP_NEWS_PRESSED, 633, 127, 155, 49, FrameAction::OpenNews},
    {IDP_PAY_NORMAL, IDP_PAY_HOVER, IDP_PAY_PRESSED, 503, 127, 160, 49, FrameAction::OpenPayment},
    {IDP_FORUM_NORMAL, IDP_FORUM_HOVER, IDP_FORUM_PRESSED, 758, 127, 160, 49, FrameAction::OpenForum},
    {IDP_SERVICE_NORMAL, IDP_SERVICE_HOVER, IDP_SERVICE_PRESSED, 889, 127, 138, 49, FrameAction::OpenService},
    {IDP_SITE_NORMAL, IDP_SITE_HOVER, IDP_SITE_PRESSED, 394, 127, 138, 49, FrameAction::OpenNews},
    {IDP_MIN_NORMAL, IDP_MIN_HOVER, IDP_MIN_PRESSED, 1023, 108, 27, 27, FrameAction::Minimise},
    {IDP_CLOSE_NORMAL, IDP_CLOSE_HOVER, IDP_CLOSE_PRESSED, 1058, 108, 27, 27, FrameAction::Close},
}};

FrameButtons MakeFrameButtons(const std::array<std::pair<int, int>, kFrameButtonCount>& normalSizes) {
    FrameButtons buttons{};
    for (std::size_t i = 0; i < kFrameButtonCount; ++i) {
        const FrameButtonLayout& layout = kFrameButtonLayouts[i];
        const bool known = normalSizes[i].first > 0 && normalSizes[i].second > 0;
        const int w = known ? normalSizes[i].first : layout.width;
        const int h = known ? normalSizes[i].second : layout.height;
        buttons[i].rect = {layout.left, layout.top, layout.left + w, layout.top + h};
        buttons[i].state = FrameButtonState::Normal;
    }
    return buttons;
}

void FrameButtonsMouseMove(FrameButtons& buttons, int x, int y) noexcept {
    for (FrameButton& b : buttons) {
        if (!b.rect.Contains(x, y))
            b.state = FrameButtonState::Normal;
        else if (b.state == FrameButtonState::Normal)
            b.state = FrameButtonState::Hover;
    }
}

namespace {
int FirstHit(const FrameButtons& buttons, int x, int y) noexcept {
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (buttons[i].rect.Contains(x, y))
            return static_cast<int>(i);
    }
    return -1;
}
} // namespace

int FrameButtonsPress(FrameButtons& buttons, int x, int y) noexcept {
    const int hit = FirstHit(buttons, x, y);
    if (hit >= 0)
        buttons[static_cast<std::size_t>(hit)].state = FrameButtonState::Pressed;
    return hit;
}

int FrameButtonsRelease(FrameButtons& buttons, int x, int y) noexcept {
    const int hit = FirstHit(buttons, x, y);
    if (hit >= 0 && kFrameButtonLayouts[static_cast<std::size_t>(hit)].action != FrameAction::Close)
        buttons[static_cast<std::size_t>(hit)].state = FrameButtonState::Hover;
    return hit;
}

bool FrameButtonsWantHand(const FrameButtons& buttons) noexcept {
    for (const FrameButton& b : buttons) {
        if (b.state != FrameButtonState::Normal)
            return true;
    }
    return false;
}

std::u16string FrameLinkAddress(FrameAction action, const FrameHosts& hosts) {
    switch (action) {
    case FrameAction::OpenNews:
        return u"http://" + hosts.news + u"/kelvo";
    case FrameAction::OpenPayment:
        return u"http://" + hosts.payment + u"/kelvo";
    case FrameAction::OpenForum:
        return u"http://" + hosts.forum + u"/forum-2205-1.html";
    case FrameAction::OpenService:
        return u"http://" + hosts.portal + u"/kf/";
    default:
        return {};
    }
}

std::u16string FrameLinkParameters(const std::u16string& address) {
    return u"url.dll,FileProtocolHandler " + address;
}

} // namespace kelvo
