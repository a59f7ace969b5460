#include "ui/win32/dialog_template.h"

namespace zorvane::ui {

DialogTemplate::DialogTemplate(DWORD style, short x, short y, short cx, short cy,
                               std::wstring_view title, std::wstring_view font_face,
                               WORD point_size) {
    AddDword(style | DS_SETFONT);
    AddDword(0);  // extended style
    count_index_ = words_.size();
    AddWord(0);
    AddWord(static_cast<WORD>(x));
    AddWord(static_cast<WORD>(y));
    AddWord(static_cast<WORD>(cx));
    AddWord(static_cast<WORD>(cy));
    AddWord(0);  // no menu
    AddWord(0);  // the system's dialog class
    AddString(title);
    AddWord(point_size);
    AddString(font_face);
}

void DialogTemplate::AddItem(ItemClass item_class, DWORD style, short x, short y, short cx,
                             short cy, WORD id, std::wstring_view text) {
    AlignToDword();
    AddDword(style | WS_CHILD | WS_VISIBLE);
    AddDword(0);  // extended style
    AddWord(static_cast<WORD>(x));
    AddWord(static_cast<WORD>(y));
    AddWord(static_cast<WORD>(cx));
    AddWord(static_cast<WORD>(cy));
    AddWord(id);
    AddWord(0xFFFF);  // a predefined class by atom
    AddWord(static_cast<WORD>(item_class));
    AddString(text);
    AddWord(0);  // no creation data
    ++words_[count_index_];
}

void DialogTemplate::AddDword(DWORD dword) {
    AddWord(LOWORD(dword));
    AddWord(HIWORD(dword));
}

void DialogTemplate::AddString(std::wstring_view text) {
    for (wchar_t c : text) AddWord(static_cast<WORD>(c));
    AddWord(0);
}

void DialogTemplate::AlignToDword() {
    if (words_.size() % 2 != 0) AddWord(0);
}

}  // namespace zorvane::ui
