#pragma once
// The archive format of stored records: a binary property list whose root is
// an array holding one dictionary per record (a record's null fields are
// absent keys). Stored in the key-value store as a data value.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "quorvela/Value.h"

namespace quorvela {

class RecordArchive {
public:
    /// The stored value for a list of record dictionaries.
    static Value archive(Value::Array records);
    /// The record dictionaries of a stored value; nothing when the value is
    /// absent, damaged or not such an archive. Elements that are not
    /// dictionaries are skipped.
    static std::optional<Value::Array> unarchive(const Value& stored);

    template <class Record>
    static Value archiveRecords(const std::vector<std::shared_ptr<Record>>& records) {
        Value::Array array;
        array.reserve(records.size());
        for (const auto& record : records)
            if (record) array.emplace_back(record->encodeWithCoder());
        return archive(std::move(array));
    }

    /// The records of a stored value; an empty list when nothing readable is
    /// stored.
    template <class Record>
    static std::vector<std::shared_ptr<Record>> unarchiveRecords(const Value& stored) {
        std::vector<std::shared_ptr<Record>> records;
        if (auto array = unarchive(stored)) {
            records.reserve(array->size());
            for (const auto& element : *array) records.push_back(Record::initWithCoder(*element.asDictionary()));
        }
        return records;
    }

    // Reading single fields of a record dictionary; a missing key or a value
    // of another kind reads as null (false for a flag).
    static std::optional<std::string> text(const Value::Dictionary& archive, const std::string& key);
    static std::optional<double> number(const Value::Dictionary& archive, const std::string& key);
    static bool flag(const Value::Dictionary& archive, const std::string& key);
    /// Writes `value` under `key` unless it is null.
    static void putText(Value::Dictionary& archive, const std::string& key, const std::optional<std::string>& value);
    static void putNumber(Value::Dictionary& archive, const std::string& key, const std::optional<double>& value);
};

}  // namespace quorvela
