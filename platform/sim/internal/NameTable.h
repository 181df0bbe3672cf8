// A fixed table of values and their names, read both ways: the workloads' and the desk's names.
#pragma once

#include <optional>
#include <string_view>
#include <utility>

namespace sim::drv {

// The name of `value` in `table` (empty when it has none).
template <class Table, class Value> std::string_view NameIn(const Table& table, Value value) {
    for (const auto& [each, name] : table) {
        if (each == value) {
            return name;
        }
    }
    return {};
}

// The value named `name` in `table` (none for an unknown name).
template <class Value, class Table> std::optional<Value> ValueNamed(const Table& table, std::string_view name) {
    for (const auto& [value, each] : table) {
        if (each == name) {
            return value;
        }
    }
    return std::nullopt;
}

} // namespace sim::drv
