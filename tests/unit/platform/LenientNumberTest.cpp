#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "platform/LenientNumber.h"
#include "quorvela/Value.h"

namespace quorvela {
namespace {

TEST(LenientNumber, LeadingDecimalNumberOrZero) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::string tiny = "0." + std::string(400, '0') + "1";
    const std::string huge = "1" + std::string(400, '0');
    struct Row {
        std::string text;
        double value;
    };
    const Row rows[] = {
        {"12.5", 12.5},
        {"  -3.25xyz", -3.25},
        {"+7", 7.0},
        {"abc", 0.0},
        {"", 0.0},
        {".5", 0.5},
        {"5.", 5.0},
        {"1e3", 1000.0},
        {"2e", 2.0},
        {"2e+", 2.0},
        {"-", 0.0},
        {".", 0.0},
        {"\t42", 42.0},
        {"0x10", 0.0},
        {"1,5", 1.0},
        // Words a general float reader would take are not numbers here.
        {"nan", 0.0},
        {"inf", 0.0},
        {"-infinity", 0.0},
        {"NAN(1)", 0.0},
        // Beyond the range: an infinity with its sign; below it: zero.
        {"1e999", inf},
        {"-1e999", -inf},
        {huge, inf},
        {"-" + huge + "e-10", -inf},
        {"1e-999", 0.0},
        {tiny, 0.0},
        {tiny + "e300", 1e-101},
        {"1e99999999999999999999", inf},
        {"1e-99999999999999999999", 0.0},
    };
    for (const auto& row : rows) {
        EXPECT_DOUBLE_EQ(LenientNumber::leading(row.text), row.value) << row.text.substr(0, 40);
        EXPECT_DOUBLE_EQ(Value(row.text).doubleValue(), row.value) << "the Value reading is the same";
    }
    EXPECT_TRUE(std::signbit(LenientNumber::leading("-1e-999")));
}

}  // namespace
}  // namespace quorvela
