#include "update/core/LongPath.h"

namespace kelvo {

std::u16string ToFileApiPath(const std::u16string& path) {
    if (path.size() < kClassicPathLimit)
        return path;
    const bool drive = path.size() >= 3 && path[1] == u':' && path[2] == u'\\' &&
                       ((path[0] >= u'A' && path[0] <= u'Z') || (path[0] >= u'a' && path[0] <= u'z'));
    if (drive)
        return u"\\\\?\\" + path;
    const bool unc =
        path.size() >= 3 && path[0] == u'\\' && path[1] == u'\\' && path[2] != u'?' && path[2] != u'.';
    if (unc)
        return u"\\\\?\\UNC\\" + path.substr(2);
    return path;
}

} // namespace kelvo
