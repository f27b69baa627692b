#pragma once
// The geofence and beacon list replies: one list element per record, each
// element ending inside a record handed to the record's setValue (which
// decides what it takes). Rule data is skipped whole: "rulesString" up to
// its own end, a "rules" block from its first "rule" up to the end of
// "rules". The end of a list element is honoured even inside rule data.
// Text between elements prefixes the next element's text, untrimmed.
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/BeaconRecord.h"
#include "model/GeofenceRecord.h"
#include "protocol/ReplyParser.h"

namespace quorvela {

/// The library's fillable form of a record the parser hands out read-only.
template <class Record>
struct FilledRecord;
template <>
struct FilledRecord<Geofence> {
    using type = GeofenceRecord;
};
template <>
struct FilledRecord<Beacon> {
    using type = BeaconRecord;
};

template <class Record>
class RegionListParser : public ReplyParser {
public:
    using RecordList = std::vector<std::shared_ptr<Record>>;

    /// `listElement`: "geoFence" or "beacon".
    explicit RegionListParser(std::string listElement) : listElement_(std::move(listElement)) {}

    const RecordList& records() const { return records_; }
    bool ignoreTag() const { return ignoreTag_; }

    void didStartDocument() override {
        records_.clear();
        ignoreTag_ = false;
    }

protected:
    void tagStarted(std::string_view name, const char** /*attributes*/) override {
        if (name == listElement_) {
            current_ = std::make_shared<typename FilledRecord<Record>::type>();
        } else if (name == "rulesString" || name == "rule") {
            ignoreTag_ = true;
        }
    }

    bool collectsCharacters() const override { return !ignoreTag_; }

    AfterEnd tagEnded(std::string_view name) override {
        if (!ignoreTag_ && current_) current_->setValue(currentStringValue(), name);
        if (name == "rulesString" || name == "rules") {
            ignoreTag_ = false;
        } else if (name == listElement_) {
            if (current_) records_.push_back(std::move(current_));
            current_.reset();
        }
        return AfterEnd::ClearBuffer;
    }

private:
    const std::string listElement_;
    RecordList records_;
    std::shared_ptr<typename FilledRecord<Record>::type> current_;
    bool ignoreTag_ = false;
};

}  // namespace quorvela
