#include "win/user_number_format.h"

#include <windows.h>

namespace zorvane::win {

NumberFormat UserNumberFormat() noexcept {
    NumberFormat format = kEnglishFormat;
    wchar_t buffer[8];
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, 8) > 1) format.decimal = buffer[0];
    format.group = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, buffer, 8) > 1 ? buffer[0] : L'\0';
    return format;
}

}  // namespace zorvane::win
