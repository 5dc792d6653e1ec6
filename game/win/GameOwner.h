// What the game window asks of the window that owns it (the login dialog): entering the game again
// from the stored re-entry address, and taking the player back once the game window has gone.
#pragma once

namespace kelvo {

class GameOwner {
public:
    // A re-entry address is known: refresh, F5 and the movie's reload timer can enter again.
    virtual bool CanReenter() const = 0;
    // Asks the portal for the re-entry address; its answer is a new game entry.
    virtual void Reenter() = 0;
    // The player left the game and its window is gone: the login side is shown again.
    virtual void GameLeft() = 0;

protected:
    ~GameOwner() = default;
};

} // namespace kelvo
