#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "model/MessageRecord.h"
#include "model/RecordArchive.h"
#include "quorvela/Message.h"

namespace quorvela {
namespace {

TEST(Message, StartsWithEmptyTextsAndSetValueStoresKnownKeysOnly) {
    MessageRecord m;
    EXPECT_EQ(m.blastID(), std::optional<std::string>(""));
    for (const char* name : Message::fieldNames()) EXPECT_EQ(m.serialize().at(name), Value("")) << name;

    for (const char* name : Message::fieldNames()) m.setValue(std::string("v-") + name, name);
    m.setValue(std::string("x"), "callbackUrl");
    m.setValue(std::string("x"), "Subject");  // names are case-sensitive
    const auto dictionary = m.toDictionary();
    EXPECT_EQ(dictionary.size(), 15u);
    for (const char* name : Message::fieldNames()) EXPECT_EQ(dictionary.at(name), Value(std::string("v-") + name));
    EXPECT_EQ(m.statusDescription(), "v-statusDescription");

    // A null value is stored as null; it serialises as empty text.
    m.setValue(std::nullopt, "subject");
    EXPECT_EQ(m.subject(), std::nullopt);
    EXPECT_EQ(m.toDictionary().at("subject"), Value(""));

    // Keys are read as views: only the view's own characters count.
    const std::string keys = "fromto";
    m.setValue(std::string("sender"), std::string_view(keys).substr(0, 4));
    m.setValue(std::string("nobody"), std::string_view(keys).substr(0, 3));
    EXPECT_EQ(m.from(), "sender");
}

TEST(Message, ArchiveRoundTripKeepsEveryFieldAndNulls) {
    auto original = MessageRecord::create();
    int i = 0;
    for (const char* name : Message::fieldNames())
        original->setValue("text " + std::to_string(i++) + " \xC3\xA9", name);
    original->setText(std::nullopt);
    original->setMetaData(std::string(""));  // empty stays empty, not null

    const Value stored =
        RecordArchive::archiveRecords(std::vector<std::shared_ptr<Message>>{original, MessageRecord::create()});
    ASSERT_NE(stored.asData(), nullptr);
    const auto restored = RecordArchive::unarchiveRecords<Message>(stored);
    ASSERT_EQ(restored.size(), 2u);
    EXPECT_EQ(restored[0]->encodeWithCoder(), original->encodeWithCoder());
    EXPECT_EQ(restored[0]->text(), std::nullopt);
    EXPECT_EQ(restored[0]->metaData(), std::optional<std::string>(""));
    EXPECT_EQ(restored[0]->blastID(), original->blastID());
    EXPECT_EQ(restored[1]->toDictionary(), MessageRecord().toDictionary());
}

TEST(Message, ArchiveWithMissingOrForeignKeysReadsNull) {
    const auto m = Message::initWithCoder({{"blastID", Value("b")}, {"id", Value(7)}});
    EXPECT_EQ(m->blastID(), "b");
    EXPECT_EQ(m->id(), std::nullopt);
    EXPECT_EQ(m->subject(), std::nullopt);
    EXPECT_EQ(m->toDictionary().at("id"), Value(""));
}

TEST(Message, GetDateAcceptsOnlyThePatternWithMillisecondsAndColonOffset) {
    struct Row {
        const char* text;
        std::optional<double> expected;
    };
    // 2016-03-01T15:15:30.250Z is 1456845330.25 seconds after 1970.
    const Row rows[] = {
        {"2016-03-01T10:15:30.250-05:00", 1456845330.25},
        {"2016-03-01T15:15:30.250+00:00", 1456845330.25},
        {"2016-03-01T17:45:30.250+02:30", 1456845330.25},
        {"1970-01-01T00:00:00.000+00:00", 0.0},
        {"2016-03-01T10:15:30-05:00", std::nullopt},  // no milliseconds
        {"2016-03-01T10:15:30.250", std::nullopt},    // no offset
        {"2016-03-01T10:15:30.250Z", std::nullopt},
        {"2016-03-01T10:15:30.250-0500", std::nullopt},  // offset without colon
        {"2016-03-01T10:15:30.25-05:00", std::nullopt},
        {"2016-03-01 10:15:30.250-05:00", std::nullopt},
        {"2016-13-01T10:15:30.250-05:00", std::nullopt},  // month 13
        {"2016-02-30T10:15:30.250-05:00", std::nullopt},  // no such day
        {"2016-03-01T10:15:30.250-05:00 ", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& row : rows) {
        MessageRecord m;
        m.setDate(std::string(row.text));
        const auto got = m.getDate();
        if (row.expected) {
            ASSERT_TRUE(got.has_value()) << row.text;
            EXPECT_DOUBLE_EQ(*got, *row.expected) << row.text;
        } else {
            EXPECT_FALSE(got.has_value()) << row.text;
        }
    }
    MessageRecord m;
    m.setDate(std::nullopt);
    EXPECT_FALSE(m.getDate().has_value());
}

TEST(Message, SameMessageNeedsBothIdentifiers) {
    const auto made = [](const char* blastID, const char* id, const char* text = "") {
        auto m = MessageRecord::create();
        m->setBlastID(std::string(blastID));
        m->setId(std::string(id));
        m->setText(std::string(text));
        return m;
    };
    const auto a = made("1", "x");
    EXPECT_TRUE(a->isSameMessage(*made("1", "x", "other text")));
    EXPECT_FALSE(a->isSameMessage(*made("2", "x")));
    EXPECT_FALSE(a->isSameMessage(*made("1", "X")));
}

}  // namespace
}  // namespace quorvela
