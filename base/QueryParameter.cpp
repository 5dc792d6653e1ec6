#include "base/QueryParameter.h"

namespace kelvo {

std::optional<std::u16string> QueryParameter(std::u16string_view query, std::u16string_view key,
                                             KeyAtStart atStart) {
    const std::size_t at = query.find(key);
    if (at == std::u16string_view::npos || (at == 0 && atStart == KeyAtStart::Absent))
        return std::nullopt;
    const std::size_t start = at + key.size();
    const std::size_t end = query.find(u'&', start);
    if (end == std::u16string_view::npos)
        return std::u16string();
    return std::u16string(query.substr(start, end - start));
}

} // namespace kelvo
