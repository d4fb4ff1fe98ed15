// Reads a JSON document into path → value pairs, so tests can look values up by their place:
// object members as "Parent.Key", array elements as "Parent[0]", strings as their text,
// numbers in their shortest form, true and false as written; an empty object or array reads
// as "{}" or "[]". A malformed document or a key given twice in one object gives nothing.
// Test thread.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace norvo::test {

using FlatJson = std::map<std::string, std::string>;

std::optional<FlatJson> flattenJson(const std::string& document);

}  // namespace norvo::test
