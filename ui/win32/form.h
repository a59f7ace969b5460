#pragma once
// What both of our windows are: a form that is loaded (its window and controls made in
// their initial state) on first need and unloaded when closed, shown modeless or modal,
// placed and sized in twips, and possibly docked by a host into a pane of its own.
#include <windows.h>

#include <cstdint>
#include <exception>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ui/win32/child_controls.h"
#include "ui/win32/focus_memory.h"
#include "ui/win32/twips.h"
#include "ui/win32/window_class.h"
#include "win/handles.h"
#include "win/module_count.h"

namespace zorvane::ui {

// The fixed design of a form: its class, stored caption, frame and client area in twips,
// and its controls in tab order.
struct FormDesign {
    const wchar_t* class_name;
    const wchar_t* name;     // the form's name, as a host reads it
    const wchar_t* caption;  // the stored caption, before loading changes it
    DWORD style;
    DWORD ex_style;
    int client_width;   // twips
    int client_height;  // twips
    std::span<const ChildControl> controls;
};

enum class WindowState : std::int32_t { Normal = 0, Minimized = 1, Maximized = 2 };

class Form {
public:
    explicit Form(const FormDesign& design) noexcept : design_(design) {}
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;
    virtual ~Form();

    const FormDesign& design() const noexcept { return design_; }

    bool IsLoaded() const noexcept { return window_ != nullptr; }
    // Creates the window and its controls in their initial state; nothing when loaded.
    void Load();
    // Destroys the window and its controls, as closing it does.
    void Unload() noexcept;
    // Changes with every load and unload: a caller that let messages run can tell
    // whether the window it started with is still the one there.
    std::uint32_t Generation() const noexcept { return generation_; }

    // Loads when needed. Modeless returns at once; modal disables the owner (or the
    // active window) and returns once the form is hidden or closed. owner: a window
    // whose top-level window will own the form; null for none.
    void Show(bool modal = false, HWND owner = nullptr);
    void Hide() noexcept;
    HWND Handle();  // loads
    bool Visible() const noexcept;
    // Docked: the host made the window a child of a pane of its own.
    bool IsDocked() const noexcept;

    // Outer window in twips: screen coordinates, or the parent's client coordinates when
    // docked. Each loads when needed.
    TwipsRect PlaceTwips();
    void MoveTwips(std::optional<int> left, std::optional<int> top, std::optional<int> width,
                   std::optional<int> height);
    SIZE ClientTwips();

    std::wstring Caption();
    void SetCaption(const std::wstring& caption);
    WindowState State();
    void SetState(WindowState state);
    bool Enabled();
    void SetEnabled(bool enabled);
    void ZOrder(bool to_back);
    void Activate();
    void Refresh();

    // A text a host keeps with the form for as long as the instance lives.
    const std::wstring& Tag() const noexcept { return tag_; }
    void SetTag(std::wstring tag) { tag_ = std::move(tag); }

    // The window that owns the form's message boxes: the top-level window it sits in.
    HWND BoxOwner() const noexcept;

protected:
    HWND window() const noexcept { return window_; }
    HWND Control(int id) const noexcept { return GetDlgItem(window_, id); }
    HFONT font() const noexcept { return font_.get(); }
    const Dpi& dpi() const noexcept { return dpi_; }
    FocusMemory& focus() noexcept { return focus_; }

    // The controls exist: give them their initial state.
    virtual void OnLoad() = 0;
    // WM_DESTROY: the controls still exist.
    virtual void OnUnload() noexcept {}
    // WM_NCDESTROY: the window is gone; drop what belonged to it.
    virtual void OnUnloaded() noexcept {}
    // A message the form handles itself; no value lets the base handle it.
    virtual std::optional<LRESULT> OnMessage(UINT message, WPARAM wparam, LPARAM lparam) = 0;
    // Where the outer window goes when it is created.
    virtual POINT InitialPosition(SIZE outer) const noexcept;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam,
                                       LPARAM lparam) noexcept;
    LRESULT Dispatch(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    void CreateControls();
    void Forget() noexcept;
    void SetOwner(HWND owner) noexcept;
    void RunModalLoop(HWND owner);
    void EnableModalOwner() noexcept;
    RECT PlacePixels();
    int Pixels(int twips, bool horizontal) const noexcept;
    int Twips(int pixels, bool horizontal) const noexcept;

    const FormDesign& design_;
    HWND window_ = nullptr;
    win::UniqueFont font_;
    // Smaller fonts for the controls whose text would not fit in font_.
    std::vector<win::UniqueFont> fitted_fonts_;
    Dpi dpi_;
    FocusMemory focus_;
    std::exception_ptr create_failure_;
    std::wstring tag_;
    // Asked for while hidden; applied when the form is shown.
    std::optional<WindowState> pending_state_;
    std::uint32_t generation_ = 0;
    bool modal_ = false;
    // The owner a modal showing disabled, until it is enabled again.
    HWND disabled_owner_ = nullptr;
    // A loaded window is our code (its window procedure, its timer): it holds the module.
    std::optional<win::ModuleHold> loaded_hold_;
};

// The component-wide instance of a form: made on first use, owned by the component until
// it lets it go. A plain pointer: nothing may be destroyed by a static destructor while
// the loader lock is held. What a host holds of a form is an object of its own, which
// reaches the form through Instance().
template <class Derived>
class FormInstance {
public:
    static Derived& Instance() {
        if (instance_ == nullptr) instance_ = new Derived;
        return *instance_;
    }
    static Derived* Existing() noexcept { return instance_; }
    // Closes the window, deletes the instance and unregisters the window class.
    static void ReleaseInstance() noexcept {
        Derived* instance = instance_;
        instance_ = nullptr;
        if (instance == nullptr) return;
        instance->Unload();
        const wchar_t* class_name = instance->design().class_name;
        delete instance;
        UnregisterFormClass(class_name);
    }

private:
    static inline Derived* instance_ = nullptr;
};

}  // namespace zorvane::ui
