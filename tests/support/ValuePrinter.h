#pragma once
// Lets GoogleTest print Values (and optional Values) readably in failures.

#include <ostream>

#include "quorvela/Value.h"

namespace quorvela {

inline void PrintTo(const Value& value, std::ostream* out) {
    static const char* kinds[] = {"Null", "Boolean", "Integer", "Real", "Text", "Data", "Date", "Array", "Dictionary"};
    *out << kinds[static_cast<int>(value.kind())] << " " << value.describe();
}

}  // namespace quorvela
