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

std::string TestNameOf(const char* name) {
    std::string text;
    bool gap = false;
    for (const char* c = name; *c != '\0'; ++c) {
        const bool keep = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9');
        if (keep) {
            if (gap && !text.empty()) text += '_';
            text += *c;
        }
        gap = !keep;
    }
    return text;
}
