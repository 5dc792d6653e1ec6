// The commands behind the menu, notification-area and close caption buttons. They have no effect
// yet: the game window is complete without them, and callers rely on nothing they return.
#include "game/tarvinGame.h"

void tarvinGame::ShowGameMenu() {}

void tarvinGame::HideToNotificationArea() {}

void tarvinGame::ConfirmCloseGame() {}
