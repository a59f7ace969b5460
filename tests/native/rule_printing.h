#pragma once
// Rules as a failing check shows them; found by the test framework through the
// argument's namespace.
#include <ostream>

#include "clamp/rule_reading.h"

namespace zorvane {

inline void PrintTo(const RuleValues& v, std::ostream* out) {
    *out << "{" << v.channel << ", " << v.minimum << ", " << v.maximum << "}";
}

inline void PrintTo(const RuleReading& r, std::ostream* out) {
    *out << "{fault " << static_cast<int>(r.fault) << ", ";
    PrintTo(r.values, out);
    *out << "}";
}

}  // namespace zorvane
