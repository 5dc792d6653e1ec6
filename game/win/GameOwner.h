// What the game window asks of the window that owns it (the login dialog): entering the game again
// from the stored re-entry address, and taking the player back when the game is left.
#pragma once

namespace kelvo {

class GameOwner {
public:
    // A re-entry address is known: refresh, F5 and the movie's reload timer can enter again.
    virtual bool CanReenter() const = 0;
    // Asks the portal for the re-entry address; its answer is a new game entry.
    virtual void Reenter() = 0;
    // The player left the game: the login side is shown again, before the game window goes.
    virtual void GameLeft() = 0;

protected:
    ~GameOwner() = default;
};

} // namespace kelvo
