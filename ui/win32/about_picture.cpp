#include "ui/win32/about_picture.h"

#include <shlwapi.h>

#include "ui/win32/ui_resource_ids.h"
#include "ui/win32/window_failures.h"
#include "win/com_error.h"
#include "win/this_module.h"

using Microsoft::WRL::ComPtr;

namespace zorvane::ui {

ComPtr<IPicture> LoadAboutPicture() {
    HINSTANCE module = win::ThisModule();
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(ZORVANE_IDR_ABOUT_PICTURE), RT_RCDATA);
    if (resource == nullptr) ThrowLastError();
    const DWORD size = SizeofResource(module, resource);
    HGLOBAL loaded = LoadResource(module, resource);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr || size == 0) ThrowLastError();

    ComPtr<IStream> stream;
    // Taken over without AddRef (MinGW's ComPtr::Attach adds one).
    *stream.ReleaseAndGetAddressOf() = SHCreateMemStream(static_cast<const BYTE*>(bytes), size);
    if (!stream) win::ThrowHr(E_OUTOFMEMORY);
    ComPtr<IPicture> picture;
    win::ThrowIfFailed(OleLoadPicture(stream.Get(), static_cast<LONG>(size), FALSE, IID_IPicture,
                                      reinterpret_cast<void**>(picture.GetAddressOf())));
    return picture;
}

PictureBitmap BitmapOf(IPicture* picture) {
    PictureBitmap result;
    SHORT type = PICTYPE_NONE;
    win::ThrowIfFailed(picture->get_Type(&type));
    if (type != PICTYPE_BITMAP) win::ThrowHr(CTL_E_INVALIDPICTURE);
    OLE_HANDLE handle = 0;
    win::ThrowIfFailed(picture->get_Handle(&handle));
    result.bitmap = reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
    BITMAP info{};
    if (GetObjectW(result.bitmap, sizeof(info), &info) == 0) win::ThrowHr(CTL_E_INVALIDPICTURE);
    result.size = {info.bmWidth, info.bmHeight};
    return result;
}

}  // namespace zorvane::ui
