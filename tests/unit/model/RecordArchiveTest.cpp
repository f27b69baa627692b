#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "model/RecordArchive.h"
#include "platform/ValueConversions.h"
#include "quorvela/Beacon.h"
#include "quorvela/Geofence.h"
#include "quorvela/Message.h"

namespace quorvela {
namespace {

Value dataOf(const std::string& bytes) { return Value(Value::Data(bytes.begin(), bytes.end())); }

TEST(RecordArchive, ForeignOrDamagedDataReadsAsNothingStored) {
    const std::string valid = *binaryPlistFromValue(Value(Value::Array{Value(Value::Dictionary{{"id", Value("1")}})}));
    struct Row {
        const char* what;
        Value stored;
        std::size_t records;
    };
    const Row rows[] = {
        {"valid", dataOf(valid), 1},
        {"absent", Value(), 0},
        {"text instead of data", Value("bplist00"), 0},
        {"empty data", dataOf(""), 0},
        {"truncated", dataOf(valid.substr(0, valid.size() / 2)), 0},
        {"garbage", dataOf("not a property list at all"), 0},
        {"dictionary root", dataOf(*binaryPlistFromValue(Value(Value::Dictionary{{"a", Value(1)}}))), 0},
        {"array of non-dictionaries", dataOf(*binaryPlistFromValue(Value(Value::Array{Value(1), Value("x")}))), 0},
        {"xml plist", dataOf(*xmlPlistFromValue(Value(Value::Array{Value(Value::Dictionary{})}))), 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const auto array = RecordArchive::unarchive(row.stored);
        EXPECT_EQ(array.value_or(Value::Array()).size(), row.records);
        EXPECT_EQ(RecordArchive::unarchiveRecords<Message>(row.stored).size(), row.records);
        EXPECT_EQ(RecordArchive::unarchiveRecords<Geofence>(row.stored).size(), row.records);
        EXPECT_EQ(RecordArchive::unarchiveRecords<Beacon>(row.stored).size(), row.records);
    }
}

// Every input kept with the fuzz target (crashes included) reads without harm.
TEST(RecordArchive, FuzzCorpusReplays) {
    const std::filesystem::path folders[] = {
        std::filesystem::path(QUORVELA_SOURCE_DIR) / "fuzz/corpus/archive_reader",
        std::filesystem::path(QUORVELA_SOURCE_DIR) / "fuzz/regressions/archive_reader"};
    int replayed = 0;
    for (const auto& folder : folders) {
        if (!std::filesystem::is_directory(folder)) continue;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            std::ifstream in(entry.path(), std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            const Value stored = dataOf(bytes);
            for (const auto& m : RecordArchive::unarchiveRecords<Message>(stored)) (void)m->serialize();
            for (const auto& g : RecordArchive::unarchiveRecords<Geofence>(stored)) (void)g->serialize();
            for (const auto& b : RecordArchive::unarchiveRecords<Beacon>(stored)) (void)b->serialize();
            ++replayed;
        }
    }
    EXPECT_GT(replayed, 0) << "the corpus folder is missing";
}

}  // namespace
}  // namespace quorvela
