#pragma once
// Options the reliability programs take after GoogleTest's own.
#include <string>

namespace zorvane::reliability {

// --locale=de or --locale=en: the user locale the program was started for (empty: any).
const std::string& ExpectedLocale();

}  // namespace zorvane::reliability
