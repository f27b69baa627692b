#pragma once
// The one lenient reading of a number in text, used wherever the service or
// a store hands numbers over as text: leading white space skipped, then the
// longest leading decimal number (sign, digits, point, exponent) as a double;
// 0 when there is none. Only those characters continue a number, so "nan",
// "inf" and hexadecimal forms read as 0. A value beyond the double range
// reads as an infinity with its sign, one too small for it as 0, as a
// decimal reading rounds them. The process's locale plays no part.

#include <string_view>

namespace quorvela {

class LenientNumber {
public:
    static double leading(std::string_view text);
};

}  // namespace quorvela
