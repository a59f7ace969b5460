#include "printable_text.h"

#include <cstdio>

std::string Printable(const std::wstring& text) {
    std::string shown;
    for (const wchar_t c : text) {
        if (c >= 0x20 && c < 0x7F) {
            shown += static_cast<char>(c);
        } else {
            char escaped[12];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(c));
            shown += escaped;
        }
    }
    return "\"" + shown + "\"";
}
