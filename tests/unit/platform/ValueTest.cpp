#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/LenientNumber.h"
#include "quorvela/Value.h"
#include "support/ValuePrinter.h"

namespace quorvela {
namespace {

struct Lenient {
    Value value;
    bool boolean;
    std::int64_t integer;
    double real;
};

TEST(Value, LenientReadingsFollowThePlatformRules) {
    const std::vector<Lenient> cases = {
        {"YES", true, 0, 0.0},
        {"yes", true, 0, 0.0},
        {"true", true, 0, 0.0},
        {"T", true, 0, 0.0},
        {"1", true, 1, 1.0},
        {"+0012", true, 12, 12.0},
        {"-3", true, -3, -3.0},
        {"000", false, 0, 0.0},
        {"no", false, 0, 0.0},
        {"false", false, 0, 0.0},
        {"", false, 0, 0.0},
        {"   ", false, 0, 0.0},
        {" 42abc", true, 42, 42.0},
        {"150.7", true, 150, 150.7},
        {"abc", false, 0, 0.0},
        {"99999999999999999999", true, INT64_MAX, 1e20},
        {Value(true), true, 1, 1.0},
        {Value(false), false, 0, 0.0},
        {Value(7), true, 7, 7.0},
        {Value(0), false, 0, 0.0},
        {Value(-2.9), true, -2, -2.9},
        {Value(0.0), false, 0, 0.0},
        {Value(), false, 0, 0.0},
        {Value(Value::Array{Value(1)}), false, 0, 0.0},
        {Value(Value::Data{1}), false, 0, 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value.describe());
        EXPECT_EQ(c.value.boolValue(), c.boolean);
        EXPECT_EQ(c.value.integerValue(), c.integer);
        EXPECT_DOUBLE_EQ(c.value.doubleValue(), c.real);
    }
}

TEST(Value, DescribeRendersLikePercentAt) {
    const std::vector<std::pair<Value, std::string>> cases = {
        {Value(), "(null)"},
        {Value("text"), "text"},
        {Value(""), ""},
        {Value(true), "1"},
        {Value(false), "0"},
        {Value(-42), "-42"},
        {Value(1.5), "1.5"},
        {Value(Value::Data{0x01, 0xab, 0x00, 0xff, 0x10}), "<01ab00ff 10>"},
        {Value(Value::Array{Value(1), Value("a")}), "(1, a)"},
        {Value(Value::Dictionary{{"a", Value(1)}, {"b", Value("x")}}), "{a = 1; b = x}"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(value.describe(), text);
}

TEST(Value, TypedAccessAndFind) {
    Value dict(Value::Dictionary{{"k", Value("v")}});
    ASSERT_NE(dict.find("k"), nullptr);
    EXPECT_EQ(dict.find("k")->optionalText(), std::optional<std::string>("v"));
    EXPECT_EQ(dict.find("missing"), nullptr);
    EXPECT_EQ(Value("x").find("k"), nullptr);
    EXPECT_EQ(Value(3).optionalText(), std::nullopt);
    EXPECT_EQ(Value(3).asText(), nullptr);
    EXPECT_NE(Value(Value(3)), Value(3.0));  // kinds differ
    EXPECT_EQ(Value(std::size_t{7}), Value(7));
    EXPECT_EQ(Value(18446744073709551615ULL).kind(), Value::Kind::Real);
}

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
