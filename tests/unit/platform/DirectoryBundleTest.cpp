#include <gtest/gtest.h>

#include "platform/DirectoryBundle.h"
#include "platform/StringsFile.h"
#include "platform/ValueConversions.h"
#include "support/TestSupport.h"
#include "support/ValuePrinter.h"

namespace quorvela {
namespace {

const Value::Dictionary kConfig = {{"appName", Value("demo")}, {"count", Value(3)}, {"on", Value(true)}};

TEST(DirectoryBundle, ReadsXmlAndBinaryDictionaries) {
    test::TempDir dir;
    dir.write("Xml.plist", *xmlPlistFromValue(Value(kConfig)));
    dir.write("Bin.plist", *binaryPlistFromValue(Value(kConfig)));
    dir.write("NoType", *xmlPlistFromValue(Value(kConfig)));
    DirectoryBundle bundle(dir.path());
    EXPECT_EQ(bundle.pathForResource("Xml", "plist"), (dir.path() / "Xml.plist").string());
    EXPECT_EQ(bundle.dictionaryForResource("Xml", "plist"), kConfig);
    EXPECT_EQ(bundle.dictionaryForResource("Bin", "plist"), kConfig);
    EXPECT_EQ(bundle.dictionaryForResource("NoType", ""), kConfig);
}

TEST(DirectoryBundle, UnreadableResourcesGiveNothing) {
    test::TempDir dir;
    dir.write("Array.plist", *xmlPlistFromValue(Value(Value::Array{Value(1)})));
    dir.write("Text.plist", *xmlPlistFromValue(Value("just text")));
    dir.write("Broken.plist", "<?xml version=\"1.0\"?><plist><dict><key>a</key><string>x</dict>");
    dir.write("Truncated.plist", binaryPlistFromValue(Value(kConfig))->substr(0, 20));
    dir.write("Empty.plist", "");
    std::filesystem::create_directory(dir.path() / "Folder.plist");
    DirectoryBundle bundle(dir.path());
    for (const char* name : {"Array", "Text", "Broken", "Truncated", "Empty", "Folder", "Missing"})
        EXPECT_FALSE(bundle.dictionaryForResource(name, "plist")) << name;
    EXPECT_FALSE(bundle.pathForResource("Missing", "plist"));
    EXPECT_FALSE(bundle.pathForResource("Folder", "plist"));
    // Resource names never lead out of the folder.
    dir.write("inner/Secret.plist", *xmlPlistFromValue(Value(kConfig)));
    DirectoryBundle inner(dir.path() / "inner");
    EXPECT_TRUE(inner.dictionaryForResource("Secret", "plist"));
    EXPECT_FALSE(inner.pathForResource("../Xml", "plist"));
    EXPECT_FALSE(bundle.pathForResource("inner/Secret", "plist"));
    EXPECT_FALSE(bundle.pathForResource("..", ""));
}

TEST(DirectoryBundle, LocalizedStringsFallBackToTheKey) {
    test::TempDir dir;
    dir.write("Localizable.strings",
              "/* headline */\n\"Workspace\" = \"Espacio de trabajo\";\n// note\n"
              "\"Quote\" = \"say \\\"hi\\\"\\n\";\n");
    DirectoryBundle bundle(dir.path());
    EXPECT_EQ(bundle.localizedString("Workspace"), "Espacio de trabajo");
    EXPECT_EQ(bundle.localizedString("Quote"), "say \"hi\"\n");
    EXPECT_EQ(bundle.localizedString("WorkspaceSubscription"), "WorkspaceSubscription");

    test::TempDir noTable;
    EXPECT_EQ(DirectoryBundle(noTable.path()).localizedString("Workspace"), "Workspace");

    test::TempDir lproj;
    lproj.write("en.lproj/Localizable.strings", "\"Workspace\" = \"Arbeitsbereich\";");
    EXPECT_EQ(DirectoryBundle(lproj.path()).localizedString("Workspace"), "Arbeitsbereich");

    test::TempDir broken;
    broken.write("Localizable.strings", "\"Workspace\" = \"unterminated");
    EXPECT_EQ(DirectoryBundle(broken.path()).localizedString("Workspace"), "Workspace");
}

TEST(StringsFile, ParsesTheClassicFormat) {
    struct Case {
        std::string text;
        std::optional<StringsTable> table;
    };
    const std::vector<Case> cases = {
        {"", StringsTable{}},
        {"/* only a comment */ // and another", StringsTable{}},
        {"\"a\" = \"b\";", StringsTable{{"a", "b"}}},
        {"a = b; \"c\"=\"d\" ;", StringsTable{{"a", "b"}, {"c", "d"}}},
        {"\"self\";", StringsTable{{"self", "self"}}},
        {"\"e\" = \"\\\\ \\t \\U00e9 \\U0041\";", StringsTable{{"e", "\\ \t \xc3\xa9 A"}}},
        {"\"smile\" = \"\\UD83D\\UDE00\";", StringsTable{{"smile", "\xf0\x9f\x98\x80"}}},
        {"\xEF\xBB\xBF\"bom\" = \"ok\";", StringsTable{{"bom", "ok"}}},
        {std::string("\xFF\xFE\"\0k\0\"\0=\0\"\0v\0\"\0;\0", 18), StringsTable{{"k", "v"}}},
        {std::string("\xFE\xFF\0\"\0k\0\"\0=\0\"\0v\0\"\0;", 18), StringsTable{{"k", "v"}}},
        {"\"a\" = \"b\"", std::nullopt},
        {"\"a\" \"b\";", std::nullopt},
        {"\"a\" = ;", std::nullopt},
        {"/* open comment", std::nullopt},
        {"\"a\" = \"\\U12\";", std::nullopt},
        {"= \"b\";", std::nullopt},
        {std::string("\xFF\xFE\"", 3), std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(parseStringsFile(c.text), c.table) << c.text;
}

}  // namespace
}  // namespace quorvela
