// What a completed address of the web view means: the placeholder page (go to the login page), a
// game entry (open the game with the address's parameters), or nothing. All tests are exact and
// case-sensitive; parameter values are taken as they stand, without decoding.
#pragma once

#include <optional>
#include <string>
#include <string_view>

enum class CompletedPage { Placeholder, GameEntry, Other };

CompletedPage ClassifyCompletedAddress(std::u16string_view address);

// The text after the first "?", or the whole address when it has none.
std::u16string GameQueryText(std::u16string_view address);

// The value of key (for example u"&serverid=") in the query: from the end of the key's first
// occurrence up to the next "&". Nothing when the key is missing or starts the query; an empty
// value when no "&" follows.
std::optional<std::u16string> QueryParameter(std::u16string_view query, std::u16string_view key);

std::u16string LoginPageAddress(std::u16string_view portalHost);
std::u16string ReentryAddress(std::u16string_view portalHost, std::u16string_view serverId);
// "res://" + application name + ".exe/208".
std::u16string PlaceholderAddress(std::u16string_view applicationName);

inline constexpr std::u16string_view kServerIdKey = u"&serverid=";
inline constexpr std::u16string_view kCaptionTitleKey = u"&gameaddress=";
