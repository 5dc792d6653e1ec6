#include "framework/PngResource.h"

#include "framework/CWinApp.h"
#include "framework/Handles.h"

#include "framework/GdiplusHeaders.h"

#include <cstring>
#include <memory>

namespace kelvo {

std::optional<PixelImage> LoadPngResource(UINT id) {
    HMODULE module = AfxGetResourceHandle();
    HRSRC res = ::FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
    if (!res)
        return std::nullopt;
    const DWORD size = ::SizeofResource(module, res);
    HGLOBAL loaded = ::LoadResource(module, res);
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes || size == 0)
        return std::nullopt;

    // GDI+ decodes from a stream; the stream reads a private copy of the resource bytes.
    UniqueGlobal block(::GlobalAlloc(GMEM_MOVEABLE, size));
    if (!block)
        return std::nullopt;
    if (void* dst = ::GlobalLock(block.get())) {
        std::memcpy(dst, bytes, size);
        ::GlobalUnlock(block.get());
    } else {
        return std::nullopt;
    }
    ComPtr<IStream> stream;
    if (FAILED(::CreateStreamOnHGlobal(block.get(), FALSE, stream.ReleaseAndGetAddressOf())))
        return std::nullopt;

    std::unique_ptr<Gdiplus::Bitmap> bitmap(Gdiplus::Bitmap::FromStream(stream.Get()));
    if (!bitmap || bitmap->GetLastStatus() != Gdiplus::Ok)
        return std::nullopt;
    const int width = static_cast<int>(bitmap->GetWidth());
    const int height = static_cast<int>(bitmap->GetHeight());
    if (width <= 0 || height <= 0)
        return std::nullopt;

    // Decode once into premultiplied pixels: every composition then only blends.
    PixelImage image;
    image.width = width;
    image.height = height;
    image.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    Gdiplus::BitmapData data{};
    data.Width = static_cast<UINT>(width);
    data.Height = static_cast<UINT>(height);
    data.Stride = width * 4;
    data.PixelFormat = PixelFormat32bppPARGB;
    data.Scan0 = image.pixels.data();
    Gdiplus::Rect rect(0, 0, width, height);
    if (bitmap->LockBits(&rect, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf,
                         PixelFormat32bppPARGB, &data) != Gdiplus::Ok)
        return std::nullopt;
    bitmap->UnlockBits(&data);
    return image;
}

} // namespace kelvo
