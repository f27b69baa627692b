#include "model/RecordArchive.h"

#include "platform/ValueConversions.h"

namespace quorvela {

Value RecordArchive::archive(Value::Array records) {
    auto bytes = binaryPlistFromValue(Value(std::move(records)));
    if (!bytes) return Value();
    return Value(Value::Data(bytes->begin(), bytes->end()));
}

std::optional<Value::Array> RecordArchive::unarchive(const Value& stored) {
    const auto* data = stored.asData();
    if (!data || data->empty()) return std::nullopt;
    auto value = valueFromPlistBytes(std::string_view(reinterpret_cast<const char*>(data->data()), data->size()));
    if (!value) return std::nullopt;
    auto* array = value->asArray();
    if (!array) return std::nullopt;
    Value::Array records;
    records.reserve(array->size());
    for (auto& element : *array)
        if (element.asDictionary()) records.push_back(std::move(element));
    return records;
}

std::optional<std::string> RecordArchive::text(const Value::Dictionary& archive, const std::string& key) {
    auto it = archive.find(key);
    if (it == archive.end()) return std::nullopt;
    return it->second.optionalText();
}

std::optional<double> RecordArchive::number(const Value::Dictionary& archive, const std::string& key) {
    auto it = archive.find(key);
    if (it == archive.end()) return std::nullopt;
    const Value& v = it->second;
    if (v.kind() != Value::Kind::Integer && v.kind() != Value::Kind::Real) return std::nullopt;
    return v.doubleValue();
}

bool RecordArchive::flag(const Value::Dictionary& archive, const std::string& key) {
    auto it = archive.find(key);
    return it != archive.end() && it->second.isNumber() && it->second.boolValue();
}

void RecordArchive::putText(Value::Dictionary& archive, const std::string& key,
                            const std::optional<std::string>& value) {
    if (value) archive[key] = Value(*value);
}

void RecordArchive::putNumber(Value::Dictionary& archive, const std::string& key, const std::optional<double>& value) {
    if (value) archive[key] = Value(*value);
}

}  // namespace quorvela
