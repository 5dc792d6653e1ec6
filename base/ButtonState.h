// The three looks of a picture button, shared by the game window's caption buttons and the
// launcher frame's buttons.
#pragma once

namespace kelvo {

enum class ButtonState : int { Normal = 0, Hover = 1, Pressed = 2 };

} // namespace kelvo
