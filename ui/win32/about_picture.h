#pragma once
// The about window's picture: a JPEG in the module's resources, decoded when the window
// loads.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
#include <wrl/client.h>

namespace zorvane::ui {

// Throws win::ComError when the resource is missing or does not decode.
Microsoft::WRL::ComPtr<IPicture> LoadAboutPicture();

// The picture's bitmap (owned by the picture) and its size in pixels.
struct PictureBitmap {
    HBITMAP bitmap = nullptr;
    SIZE size{0, 0};
};
PictureBitmap BitmapOf(IPicture* picture);

}  // namespace zorvane::ui
