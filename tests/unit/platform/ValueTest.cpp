// Values: the lenient readings, the description, and the conversions to and
// from plists and JSON.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <nlohmann/json.hpp>

#include "platform/LenientNumber.h"
#include "platform/ValueConversions.h"
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

// One value of every kind, nested, as the stores and bundles see them.
Value everyKind() {
    return Value(Value::Dictionary{
        {"bool", Value(true)},
        {"false", Value(false)},
        {"int", Value(42)},
        {"negative", Value(-7)},
        {"min", Value(static_cast<long long>(INT64_MIN))},
        {"max", Value(static_cast<long long>(INT64_MAX))},
        {"real", Value(3.25)},
        {"tiny", Value(1e-300)},
        {"text", Value("héllo wörld ✓")},
        {"empty", Value("")},
        {"data", Value(Value::Data{0, 1, 2, 254, 255})},
        {"noData", Value(Value::Data{})},
        {"date", Value(Value::Date{1700000000.0})},
        {"oldDate", Value(Value::Date{-86400.0})},
        {"array", Value(Value::Array{Value(1), Value("two"), Value(Value::Array{})})},
        {"dict", Value(Value::Dictionary{{"inner", Value(Value::Dictionary{})}})},
    });
}

TEST(ValueConversions, EveryKindRoundTripsThroughBinaryAndXmlPlists) {
    const std::vector<Value> values = {everyKind(), Value(5), Value("top"), Value(Value::Array{everyKind()})};
    for (const auto& value : values) {
        auto binary = binaryPlistFromValue(value);
        ASSERT_TRUE(binary);
        EXPECT_EQ(binary->substr(0, 8), "bplist00");
        EXPECT_EQ(valueFromPlistBytes(*binary), value);
        auto xml = xmlPlistFromValue(value);
        ASSERT_TRUE(xml);
        EXPECT_EQ(valueFromPlistBytes(*xml), value) << *xml;
    }
}

TEST(ValueConversions, DatesKeepMicrosecondsAndTheEpochShift) {
    // A plist date counts from 2001; 2001-01-01 itself must come back as 978307200.
    struct Case {
        double date;
        double binary;  // what a binary plist gives back
        double xml;     // what an XML plist gives back
    };
    const std::vector<Case> cases = {
        {978307200.0, 978307200.0, 978307200.0},
        {1700000000.123456, 1700000000.123456, 1700000000.0},
        {2871763200.75, 2871763200.75, 2871763200.0},  // 2061
        {0.0, 0.0, 0.0},
        {-86400.7, -86401.0, -86401.0},
    };
    for (const auto& c : cases) {
        auto binary = valueFromPlistBytes(binaryPlistFromValue(Value(Value::Array{Value::Date{c.date}})).value());
        auto xml = valueFromPlistBytes(xmlPlistFromValue(Value(Value::Array{Value::Date{c.date}})).value());
        ASSERT_TRUE(binary && xml);
        EXPECT_NEAR(binary->asArray()->at(0).asDate()->secondsSince1970, c.binary, 1e-6) << c.date;
        EXPECT_NEAR(xml->asArray()->at(0).asDate()->secondsSince1970, c.xml, 1e-6) << c.date;
    }
}

TEST(ValueConversions, NullsCannotBeWrittenAndAreLeftOutOfContainers) {
    EXPECT_FALSE(binaryPlistFromValue(Value()));
    EXPECT_FALSE(xmlPlistFromValue(Value()));
    Value withNulls(Value::Dictionary{{"a", Value()}, {"b", Value(Value::Array{Value(), Value(1)})}});
    EXPECT_EQ(valueFromPlistBytes(*binaryPlistFromValue(withNulls)),
              Value(Value::Dictionary{{"b", Value(Value::Array{Value(1)})}}));
}

TEST(ValueConversions, MalformedPlistBytesGiveNothing) {
    auto good = *binaryPlistFromValue(everyKind());
    const std::vector<std::string> bad = {
        "",
        "bplist00",
        "bplist00garbage-that-is-long-enough-to-have-a-trailer-0123456789",
        good.substr(0, good.size() / 2),
        good.substr(0, good.size() - 1),
        "<?xml version=\"1.0\"?><plist><dict><key>a</key>",
        "<plist><dict><key>a</key><integer>1</integer></plist>",
        "not a plist at all",
        std::string("\0\0\0\0", 4),
    };
    for (const auto& bytes : bad) EXPECT_FALSE(valueFromPlistBytes(bytes)) << bytes;
    // Flipping bytes of a valid file must never crash; whether it still parses does not matter.
    for (std::size_t i = 0; i < good.size(); ++i) {
        std::string damaged = good;
        damaged[i] = static_cast<char>(damaged[i] ^ 0xff);
        (void)valueFromPlistBytes(damaged);
    }
}

TEST(ValueConversions, ReadsHandWrittenXml) {
    const char* xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
  <key>appName</key><string>Demo &amp; Co</string>
  <key>count</key><integer>-12</integer>
  <key>on</key><true/>
  <key>ratio</key><real>0.5</real>
  <key>blob</key><data>AAEC</data>
  <key>when</key><date>2001-01-01T00:00:10Z</date>
</dict></plist>)";
    auto value = valueFromPlistBytes(xml);
    ASSERT_TRUE(value);
    EXPECT_EQ(*value, Value(Value::Dictionary{{"appName", Value("Demo & Co")},
                                              {"count", Value(-12)},
                                              {"on", Value(true)},
                                              {"ratio", Value(0.5)},
                                              {"blob", Value(Value::Data{0, 1, 2})},
                                              {"when", Value(Value::Date{978307210.0})}}));
}

TEST(ValueConversions, JsonMapsKindsOneToOne) {
    Value plain(Value::Dictionary{{"b", Value(true)},
                                  {"i", Value(-3)},
                                  {"r", Value(2.5)},
                                  {"t", Value("x\"y")},
                                  {"n", Value()},
                                  {"a", Value(Value::Array{Value(1), Value()})}});
    EXPECT_EQ(fromJson(toJson(plain)), plain);
    EXPECT_EQ(valueFromJsonText(toJson(plain).dump()), plain);

    auto json = toJson(Value(Value::Array{Value(Value::Data{0xff, 0x00}), Value(Value::Date{12.5})}));
    EXPECT_EQ(json.dump(), R"([{"data":"/wA="},12.5])");

    EXPECT_EQ(fromJson(nlohmann::json::parse("18446744073709551615")), Value(18446744073709551615.0));
    EXPECT_FALSE(valueFromJsonText("{\"a\":"));
    EXPECT_FALSE(valueFromJsonText(""));
}

TEST(ValueConversions, Base64) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}};
    for (const auto& [plain, encoded] : cases) {
        Value::Data data(plain.begin(), plain.end());
        EXPECT_EQ(base64Encode(data), encoded);
        EXPECT_EQ(base64Decode(encoded), data);
    }
    EXPECT_FALSE(base64Decode("Zm9"));
    EXPECT_FALSE(base64Decode("Zm9*"));
}

TEST(ValueConversions, IllFormedUtf8IsReplacedSoWhatIsWrittenCanBeRead) {
    Value odd(Value::Dictionary{{"k\xF0y", Value("a\xC3")}, {"ok", Value("\xED\xA0\x80")}});
    auto binary = binaryPlistFromValue(odd);
    ASSERT_TRUE(binary);
    EXPECT_EQ(valueFromBinaryPlist(*binary),
              Value(Value::Dictionary{{"k\xEF\xBF\xBDy", Value("a\xEF\xBF\xBD")},
                                      {"ok", Value("\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD")}}));
}

std::string nestedXml(std::size_t levels) {
    std::string xml = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key>";
    for (std::size_t i = 0; i < levels; ++i) xml += "<array>";
    xml += "<array/><!-- </array></array> -->";
    for (std::size_t i = 0; i < levels; ++i) xml += "</array>";
    return xml + "</dict></plist>";
}

// A binary plist of `levels` arrays, each holding the next; with `cycle` the
// last one holds the first again.
std::string nestedBinary(std::uint32_t levels, bool cycle = false) {
    std::string bytes = "bplist00";
    std::vector<std::uint32_t> offsets;
    auto put32 = [&](std::string& out, std::uint64_t v, int width) {
        for (int k = width - 1; k >= 0; --k) out += static_cast<char>((v >> (8 * k)) & 0xFF);
    };
    for (std::uint32_t i = 0; i < levels; ++i) {
        offsets.push_back(static_cast<std::uint32_t>(bytes.size()));
        bool last = i + 1 == levels;
        if (last && !cycle) {
            bytes += '\xA0';
        } else {
            bytes += '\xA1';
            put32(bytes, last ? 0 : i + 1, 4);
        }
    }
    auto table = bytes.size();
    for (auto offset : offsets) put32(bytes, offset, 4);
    bytes += std::string(6, '\0');
    bytes += '\x04';  // offset size
    bytes += '\x04';  // reference size
    put32(bytes, levels, 8);
    put32(bytes, 0, 8);  // top object
    put32(bytes, table, 8);
    return bytes;
}

Value nestedValue(std::size_t levels) {
    Value value(Value::Array{});
    for (std::size_t i = 1; i < levels; ++i) value = Value(Value::Array{value});
    return value;
}

TEST(ValueConversions, NestingIsLimitedBeforeLibplistRecursesIntoIt) {
    EXPECT_EQ(valueFromPlistBytes(nestedBinary(100)), nestedValue(100));
    EXPECT_TRUE(valueFromPlistBytes(nestedXml(100)));
    EXPECT_FALSE(valueFromPlistBytes(nestedBinary(600)));
    EXPECT_FALSE(valueFromPlistBytes(nestedXml(600)));
    // Deep enough to overflow the stack inside libplist without the limit.
    EXPECT_FALSE(valueFromPlistBytes(nestedBinary(300000)));
    EXPECT_FALSE(valueFromPlistBytes(nestedXml(300000)));
    EXPECT_FALSE(valueFromPlistBytes(nestedBinary(3, true)));
}

TEST(ValueConversions, JsonNestingIsLimitedToo) {
    auto nested = [](std::size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); };
    EXPECT_TRUE(valueFromJsonText(nested(100)));
    EXPECT_FALSE(valueFromJsonText(nested(600)));
    // Deep enough to overflow the stack if the conversion recursed unbounded.
    EXPECT_FALSE(valueFromJsonText(nested(300000)));
    EXPECT_THROW(fromJson(nlohmann::json::parse(nested(600))), std::length_error);
}

}  // namespace
}  // namespace quorvela
