// Every input that ever broke a fuzz target is kept under
// fuzz/regressions/<target>/ and replayed here through the entry points that
// target drives, with the target's own checks as expectations. A folder
// without a replayer below fails, so a new target's crashes cannot be kept
// without being replayed.
#include <gtest/gtest.h>

#include <cmath>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "model/RecordArchive.h"
#include "model/WorkspaceRecord.h"
#include "platform/MemoryKeyValueStore.h"
#include "platform/RouteParser.h"
#include "platform/StringsFile.h"
#include "platform/ValueConversions.h"
#include "protocol/PendingMessagesParser.h"
#include "protocol/RegionListParser.h"
#include "protocol/SingleMessageParser.h"
#include "protocol/XmlReader.h"
#include "quorvela/Beacon.h"
#include "quorvela/CreatingBeaconException.h"
#include "quorvela/CreatingGeofenceException.h"
#include "quorvela/Geofence.h"
#include "quorvela/Message.h"
#include "quorvela/platform/BeaconRegion.h"
#include "quorvela/platform/CircularRegion.h"
#include "quorvela/platform/Platform.h"

namespace quorvela {
namespace {

namespace fs = std::filesystem;
using Replay = std::function<void(std::string_view bytes)>;

const fs::path kRegressions = fs::path(QUORVELA_SOURCE_DIR) / "fuzz/regressions";
const fs::path kTargets = fs::path(QUORVELA_SOURCE_DIR) / "fuzz";

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

/// Counts the reader's events and notes any that came after its error.
class EventCounter : public XmlReaderDelegate {
public:
    int starts = 0, ends = 0, errors = 0, documentEnds = 0;
    bool eventAfterError = false;

    void didStartElement(const std::string&, const Attributes&) override { seen(), ++starts; }
    void didEndElement(const std::string&) override { seen(), ++ends; }
    void foundCharacters(const std::string&) override { seen(); }
    void parseErrorOccurred(const RequestError&) override { ++errors; }
    void didEndDocument() override { seen(), ++documentEnds; }

private:
    void seen() { eventAfterError = eventAfterError || errors > 0; }
};

/// The reader's verdict on the bytes, checked against its own promises.
bool readerVerdict(std::string_view bytes) {
    EventCounter counter;
    XmlReader reader(counter);
    const bool wellFormed = reader.parse(bytes);
    EXPECT_EQ(wellFormed, counter.documentEnds == 1);
    EXPECT_EQ(counter.errors, wellFormed ? 0 : 1);
    EXPECT_EQ(reader.error().has_value(), !wellFormed);
    EXPECT_FALSE(counter.eventAfterError);
    if (wellFormed) {
        EXPECT_EQ(counter.starts, counter.ends);
    }
    return wellFormed;
}

/// A reply parser's outcome is defined: success exactly when no parse error,
/// and the same verdict as the bare reader.
template <class Parser>
void expectDefinedOutcome(Parser& parser, std::string_view bytes, bool wellFormed) {
    const bool parsed = parser.parse(bytes);
    EXPECT_NE(parsed, parser.parseError().has_value());
    EXPECT_EQ(parsed, wellFormed);
}

void replayPendingMessages(std::string_view bytes) {
    const bool wellFormed = readerVerdict(bytes);
    PendingMessagesParser parser;
    expectDefinedOutcome(parser, bytes, wellFormed);
    for (const auto& message : parser.messages()) {
        ASSERT_TRUE(message);
        (void)message->serialize();
        (void)message->getDate();
    }
}

void replaySingleMessage(std::string_view bytes) {
    SingleMessageParser parser;
    expectDefinedOutcome(parser, bytes, readerVerdict(bytes));
    if (parser.message()) {
        EXPECT_NE(bytes.find("<message"), std::string_view::npos);
        (void)parser.message()->encodeWithCoder();
    }
}

void replayRegionLists(std::string_view bytes) {
    const bool wellFormed = readerVerdict(bytes);
    RegionListParser<Geofence> geofences("geoFence");
    expectDefinedOutcome(geofences, bytes, wellFormed);
    for (const auto& geofence : geofences.records()) {
        (void)geofence->encodeWithCoder();
        (void)geofence->serialize();
        try {
            (void)geofence->toCircularRegion();
        } catch (const std::exception&) {
        }
    }
    RegionListParser<Beacon> beacons("beacon");
    expectDefinedOutcome(beacons, bytes, wellFormed);
    for (const auto& beacon : beacons.records()) {
        (void)beacon->serialize();
        try {
            (void)beacon->toBeaconRegion();
        } catch (const std::exception&) {
        }
    }
}

void replayXmlReader(std::string_view bytes) {
    const bool wellFormed = readerVerdict(bytes);
    // Every reply grammar sits on the same reader and must agree with it.
    PendingMessagesParser messages;
    expectDefinedOutcome(messages, bytes, wellFormed);
    SingleMessageParser single;
    expectDefinedOutcome(single, bytes, wellFormed);
    RegionListParser<Geofence> geofences("geoFence");
    expectDefinedOutcome(geofences, bytes, wellFormed);
}

void replayPlistReader(std::string_view bytes) {
    if (auto value = valueFromPlistBytes(bytes)) {
        (void)value->describe();
        // What was read must survive being written and read back.
        auto binary = binaryPlistFromValue(*value);
        ASSERT_TRUE(binary);
        EXPECT_TRUE(valueFromBinaryPlist(*binary));
        (void)toJson(*value).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    }
    (void)valueFromXmlPlist(bytes);
    (void)parseStringsFile(bytes);
}

template <class Record>
std::vector<std::string> describeAll(const std::vector<std::shared_ptr<Record>>& records) {
    std::vector<std::string> out;
    for (const auto& r : records) out.push_back(Value(r->encodeWithCoder()).describe());
    return out;
}

template <class Record>
std::vector<std::shared_ptr<Record>> readTwice(const Value& stored) {
    auto records = RecordArchive::unarchiveRecords<Record>(stored);
    const auto again = RecordArchive::unarchiveRecords<Record>(RecordArchive::archiveRecords(records));
    EXPECT_EQ(describeAll(again), describeAll(records));
    for (const auto& r : records) (void)r->serialize();
    return records;
}

void replayArchiveReader(std::string_view bytes) {
    const Value stored(Value::Data(bytes.begin(), bytes.end()));
    for (const auto& g : readTwice<Geofence>(stored)) {
        try {
            (void)g->toCircularRegion();
        } catch (const CreatingGeofenceException&) {
        }
    }
    for (const auto& b : readTwice<Beacon>(stored)) {
        try {
            (void)b->toBeaconRegion();
        } catch (const CreatingBeaconException&) {
        }
    }
    (void)readTwice<Message>(stored);

    auto platform = std::make_shared<Platform>();
    platform->keyValueStore = std::make_shared<MemoryKeyValueStore>();
    for (const char* key : {"f-messages", "f-geofences", "f-beacons"}) platform->keyValueStore->set(key, stored);
    const auto ws = WorkspaceRecord::initWithCoder(platform, {{"clientId", Value("f")}});
    (void)ws->serialize();
    for (const auto& listed : WorkspaceRecord::unarchiveList(platform, stored)) (void)listed->serialize();
}

void expectUsableFixes(const std::vector<Location>& fixes) {
    for (const auto& fix : fixes) {
        EXPECT_TRUE(std::isfinite(fix.latitude) && std::isfinite(fix.longitude));
        EXPECT_LE(std::fabs(fix.latitude), 90.0);
        EXPECT_LE(std::fabs(fix.longitude), 180.0);
        EXPECT_GE(fix.horizontalAccuracy, 0.0);
        EXPECT_TRUE(std::isfinite(fix.timestamp));
        EXPECT_LT(fix.course, 360.0);
    }
}

void replayRoute(std::string_view text) {
    if (auto gpx = RouteParser::parseGpx(text)) expectUsableFixes(*gpx);
    expectUsableFixes(RouteParser::parseNmea(text));
    expectUsableFixes(RouteParser::parse(text));
    if (text.size() >= 2) {
        const auto split = static_cast<std::size_t>(static_cast<unsigned char>(text[0])) % text.size();
        (void)RouteParser::parseNmeaCoordinate(text.substr(1, split), text.substr(split));
        (void)RouteParser::parseIsoTime(text.substr(1));
    }
}

/// Fuzz target name (fuzz/<name>.cpp) -> its replay.
const std::map<std::string, Replay>& replays() {
    static const std::map<std::string, Replay> table{
        {"archive_reader", replayArchiveReader},
        {"geofence_list", replayRegionLists},
        {"pending_messages", replayPendingMessages},
        {"plist_reader", replayPlistReader},
        {"replay_route", replayRoute},
        {"single_message", replaySingleMessage},
        {"xml_reader", replayXmlReader},
    };
    return table;
}

TEST(FuzzRegressions, EveryKeptInputReplaysThroughItsTarget) {
    ASSERT_TRUE(fs::is_directory(kRegressions)) << kRegressions;
    std::size_t replayed = 0;
    for (const auto& folder : fs::directory_iterator(kRegressions)) {
        if (!folder.is_directory()) continue;
        const std::string target = folder.path().filename().string();
        SCOPED_TRACE(target);
        EXPECT_TRUE(fs::exists(kTargets / (target + ".cpp"))) << "no fuzz target named " << target;
        const auto replay = replays().find(target);
        if (replay == replays().end()) {
            ADD_FAILURE() << "fuzz/regressions/" << target << " has no replayer in this test";
            continue;
        }
        for (const auto& input : fs::directory_iterator(folder.path())) {
            if (!input.is_regular_file()) continue;
            SCOPED_TRACE(input.path().filename().string());
            replay->second(readFile(input.path()));
            ++replayed;
        }
    }
    EXPECT_GT(replayed, 0u) << "no kept input found under " << kRegressions;
}

// The replayers must accept what their targets accept: the simplest inputs
// go through each one without a failed expectation.
TEST(FuzzRegressions, ReplayersAcceptOrdinaryInputs) {
    const std::vector<std::string> inputs{
        "",
        "<messages><message><id>1</id><subject>Hi</subject></message></messages>",
        "<geoFences><geoFence><regionId>g</regionId><latitude>1</latitude></geoFence></geoFences>",
        "<messages><message><id>1</id>",
        "bplist00",
        "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\n",
    };
    for (const auto& [target, replay] : replays()) {
        SCOPED_TRACE(target);
        EXPECT_TRUE(fs::exists(kTargets / (target + ".cpp"))) << "the table names a target that does not exist";
        for (const auto& input : inputs) replay(input);
    }
}

}  // namespace
}  // namespace quorvela
