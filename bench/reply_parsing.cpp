// Reading the two large list replies (10 000 messages, 10 000 geofences)
// with the loaders' parsers, next to a bare expat pass over the same bytes
// that only counts elements, so the records' own cost shows.
#include <benchmark/benchmark.h>
#include <expat.h>

#include <string>

#include "protocol/PendingMessagesParser.h"
#include "protocol/RegionListParser.h"
#include "quorvela/Geofence.h"
#include "quorvela/Message.h"

namespace {

constexpr int kRecords = 10000;

std::string pendingReply() {
    std::string xml = "<messages>";
    for (int i = 0; i < kRecords; ++i) {
        const std::string n = std::to_string(i);
        xml += "<message><blastID>blast-" + n + "</blastID><id>" + n +
               "</id><type>TXT_MSG</type><from>Shop</from><to>user-7</to><subject>Offer " + n +
               "</subject><text>Two for one on everything in aisle " + n +
               " &amp; more</text><status>NEW</status><statusDescription>New</statusDescription>"
               "<date>2016-03-01T10:15:30.250-05:00</date><timezone>America/Caracas</timezone>"
               "<clientId>ws-1</clientId><appName>demo app</appName><platform>IOS</platform>"
               "<metaData>{\"campaign\":" +
               n + "}</metaData></message>";
    }
    return xml + "</messages>";
}

std::string geofenceReply() {
    std::string xml = "<geoFences>";
    for (int i = 0; i < kRecords; ++i) {
        const std::string n = std::to_string(i);
        xml += "<geoFence><regionId>region-" + n + "</regionId><geoFenceId>" + n + "</geoFenceId><name>Store " + n +
               "</name><latitude>10." + n + "</latitude><longitude>-66." + n +
               "</longitude><radius>150</radius><eventType>ENTER</eventType><msgTitle>Welcome</msgTitle>"
               "<msgContent>Come in</msgContent><activated>true</activated><clientId>ws-1</clientId>"
               "<rulesString>{\"hours\":\"9-17\"}</rulesString><rules><rule>weekday</rule><rule>open</rule></rules>"
               "<update>2016-03-01</update></geoFence>";
    }
    return xml + "</geoFences>";
}

const std::string& reply(const benchmark::State& state) {
    static const std::string pending = pendingReply();
    static const std::string geofences = geofenceReply();
    return state.range(0) == 0 ? pending : geofences;
}

void BM_BareExpat(benchmark::State& state) {
    const std::string& xml = reply(state);
    for (auto _ : state) {
        long elements = 0;
        XML_Parser parser = XML_ParserCreate(nullptr);
        XML_SetUserData(parser, &elements);
        XML_SetElementHandler(
            parser, [](void* data, const XML_Char*, const XML_Char**) { ++*static_cast<long*>(data); },
            [](void*, const XML_Char*) {});
        XML_SetCharacterDataHandler(parser, [](void*, const XML_Char*, int) {});
        if (XML_Parse(parser, xml.data(), static_cast<int>(xml.size()), XML_TRUE) != XML_STATUS_OK)
            state.SkipWithError("expat failed");
        XML_ParserFree(parser);
        benchmark::DoNotOptimize(elements);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * xml.size()));
}
BENCHMARK(BM_BareExpat)->Arg(0)->Arg(1)->ArgNames({"geofences"})->Unit(benchmark::kMillisecond);

void BM_PendingMessagesParser(benchmark::State& state) {
    const std::string& xml = reply(state);
    for (auto _ : state) {
        quorvela::PendingMessagesParser parser;
        if (!parser.parse(xml) || parser.messages().size() != kRecords) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(parser.messages().data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * xml.size()));
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_PendingMessagesParser)->Arg(0)->ArgNames({"geofences"})->Unit(benchmark::kMillisecond);

void BM_GeofenceListParser(benchmark::State& state) {
    const std::string& xml = reply(state);
    for (auto _ : state) {
        quorvela::RegionListParser<quorvela::Geofence> parser("geoFence");
        if (!parser.parse(xml) || parser.records().size() != kRecords) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(parser.records().data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * xml.size()));
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_GeofenceListParser)->Arg(1)->ArgNames({"geofences"})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
