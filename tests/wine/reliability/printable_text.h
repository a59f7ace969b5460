#pragma once
// Texts in failure messages: ASCII as it is, everything else as \uXXXX, in quotes.
// Names of table rows as GoogleTest takes them into a test's name.
#include <string>

std::string Printable(const std::wstring& text);

// Letters and digits of the name, each run of anything else one underscore between them.
std::string TestNameOf(const char* name);
