#include "model/MessageRecord.h"

#include <algorithm>
#include <array>

namespace quorvela {

void MessageRecord::put(Field f, Text value) {
    std::lock_guard lock(mutex_);
    fields_[f] = std::move(value);
}

void MessageRecord::setBlastID(Text value) { put(kBlastID, std::move(value)); }
void MessageRecord::setId(Text value) { put(kId, std::move(value)); }
void MessageRecord::setType(Text value) { put(kType, std::move(value)); }
void MessageRecord::setFrom(Text value) { put(kFrom, std::move(value)); }
void MessageRecord::setTo(Text value) { put(kTo, std::move(value)); }
void MessageRecord::setSubject(Text value) { put(kSubject, std::move(value)); }
void MessageRecord::setText(Text value) { put(kText, std::move(value)); }
void MessageRecord::setStatus(Text value) { put(kStatus, std::move(value)); }
void MessageRecord::setStatusDescription(Text value) { put(kStatusDescription, std::move(value)); }
void MessageRecord::setDate(Text value) { put(kDate, std::move(value)); }
void MessageRecord::setTimezone(Text value) { put(kTimezone, std::move(value)); }
void MessageRecord::setClientId(Text value) { put(kClientId, std::move(value)); }
void MessageRecord::setAppName(Text value) { put(kAppName, std::move(value)); }
void MessageRecord::setPlatform(Text value) { put(kPlatform, std::move(value)); }
void MessageRecord::setMetaData(Text value) { put(kMetaData, std::move(value)); }

void MessageRecord::setValue(const Text& value, std::string_view key) {
    // Measured once, so a lookup compares lengths before any character.
    static const auto names = [] {
        std::array<std::string_view, kFieldCount> views{};
        std::copy(fieldNames().begin(), fieldNames().end(), views.begin());
        return views;
    }();
    const auto it = std::find(names.begin(), names.end(), key);
    if (it != names.end()) put(static_cast<Field>(it - names.begin()), value);
}

}  // namespace quorvela
