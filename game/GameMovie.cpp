// The game movie's loading. Until the Flash control is hosted, a load records the query and puts
// the leave-game question back to its default; no control is created.
#include "game/tarvinGame.h"

#include <cwchar>

namespace {
constexpr wchar_t kDefaultLeaveGamePrompt[] =
    L"\u63D0\u793A:\u60A8\u786E\u5B9A\u8981\u79BB\u5F00\u5F53\u524D\u6E38\u620F\u5417?";
} // namespace

void tarvinGame::LoadGameMovie(const std::wstring& query) {
    m_bReadyLayoutDone = false;
    m_strLeaveGamePrompt = kDefaultLeaveGamePrompt;
    const std::size_t n =
        query.size() < std::size(m_szGameQuery) - 1 ? query.size() : std::size(m_szGameQuery) - 1;
    std::wmemcpy(m_szGameQuery, query.data(), n);
    m_szGameQuery[n] = L'\0';
}

LRESULT tarvinGame::OnReloadMovie(WPARAM, LPARAM) {
    LoadGameMovie(std::wstring(m_szGameQuery));
    return 0;
}
