#include "tests/support/windows.h"

#include <cstdlib>

namespace zorvane::test {
namespace {

bool SameClass(const std::wstring& name, const wchar_t* wanted) { return _wcsicmp(name.c_str(), wanted) == 0; }

struct CaptionSearch {
    const wchar_t* caption;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWithCaption(HWND window, LPARAM search) {
    auto& wanted = *reinterpret_cast<CaptionSearch*>(search);
    if (TextOf(window) == wanted.caption) wanted.found.push_back(window);
    return TRUE;
}

}  // namespace

std::wstring TextOf(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[128] = {};
    GetClassNameW(window, name, 128);
    return name;
}

std::vector<ChildWindow> ChildWindows(HWND parent) {
    std::vector<ChildWindow> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        ChildWindow found{child, ClassOf(child), TextOf(child), {}};
        GetWindowRect(child, &found.place);
        children.push_back(std::move(found));
    }
    return children;
}

HWND ChildWithCaption(HWND parent, const wchar_t* class_name, const wchar_t* caption) {
    for (const ChildWindow& child : ChildWindows(parent)) {
        if (SameClass(child.class_name, class_name) && child.caption == caption) return child.window;
    }
    return nullptr;
}

HWND ChildBelow(HWND parent, const wchar_t* label, const wchar_t* class_name) {
    constexpr LONG kSlack = 12;  // pixels
    const std::vector<ChildWindow> children = ChildWindows(parent);
    const ChildWindow* heading = nullptr;
    for (const ChildWindow& child : children) {
        if (SameClass(child.class_name, L"Static") && child.caption == label) heading = &child;
    }
    if (heading == nullptr) return nullptr;
    const ChildWindow* best = nullptr;
    for (const ChildWindow& child : children) {
        if (!SameClass(child.class_name, class_name) || child.place.top <= heading->place.top) continue;
        if (std::labs(child.place.left - heading->place.left) > kSlack) continue;
        if (best == nullptr || child.place.top < best->place.top) best = &child;
    }
    return best == nullptr ? nullptr : best->window;
}

std::vector<HWND> ThreadWindows(const wchar_t* caption) {
    CaptionSearch search{caption, {}};
    EnumThreadWindows(GetCurrentThreadId(), CollectWithCaption, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

RECT PlaceInParent(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

}  // namespace zorvane::test
