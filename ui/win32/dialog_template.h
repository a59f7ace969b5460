#pragma once
// A dialog template built in memory, for DialogBoxIndirectParam: no resource script
// for a box of four controls.
#include <windows.h>

#include <string_view>
#include <vector>

namespace zorvane::ui {

class DialogTemplate {
public:
    enum class ItemClass : WORD { Button = 0x0080, Edit = 0x0081, Static = 0x0082 };

    // Sizes in dialog units; DS_SETFONT is added with the given face and size.
    DialogTemplate(DWORD style, short x, short y, short cx, short cy, std::wstring_view title,
                   std::wstring_view font_face, WORD point_size);

    // WS_CHILD | WS_VISIBLE are added.
    void AddItem(ItemClass item_class, DWORD style, short x, short y, short cx, short cy, WORD id,
                 std::wstring_view text);

    const DLGTEMPLATE* get() const noexcept {
        return reinterpret_cast<const DLGTEMPLATE*>(words_.data());
    }

private:
    void AddWord(WORD word) { words_.push_back(word); }
    void AddDword(DWORD dword);
    void AddString(std::wstring_view text);
    void AlignToDword();

    // WORD units: every field of a template is a multiple of two bytes, and the vector's
    // storage starts on a DWORD boundary.
    std::vector<WORD> words_;
    std::size_t count_index_ = 0;
};

}  // namespace zorvane::ui
