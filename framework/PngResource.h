// Decoding of the program's PNG resources into premultiplied pictures, through GDI+.
#pragma once

#include "base/PixelImage.h"

#include <windows.h>

#include <optional>

namespace kelvo {

// Decodes PNG resource id of the custom type "PNG" from the program's resources, or nothing when
// the resource is missing or cannot be decoded.
std::optional<PixelImage> LoadPngResource(UINT id);

} // namespace kelvo
