// A parameter of a query text such as a=1&serverid=12&mainVersion=20: keys are markers that
// include their "&" and "=" (u"&serverid="), found exactly and case-sensitively, and values are
// taken as they stand, without decoding.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kelvo {

// Whether a key at the very start of the query counts. Most do not: the query is then taken to lack
// the parameter.
enum class KeyAtStart { Absent, Counts };

// The value of key in the query: from the end of the key's first occurrence up to the next "&".
// Nothing when the key is missing (or starts the query, unless atStart says it counts); an empty
// value when no "&" follows, so that a value is only ever taken whole.
std::optional<std::u16string> QueryParameter(std::u16string_view query, std::u16string_view key,
                                             KeyAtStart atStart = KeyAtStart::Absent);

} // namespace kelvo
