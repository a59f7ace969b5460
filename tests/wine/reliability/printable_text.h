#pragma once
// Texts in failure messages: ASCII as it is, everything else as \uXXXX, in quotes.
#include <string>

std::string Printable(const std::wstring& text);
