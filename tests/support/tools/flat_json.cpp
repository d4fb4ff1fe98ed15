// Flattening a JSON document for the tests.
#include "support/tools/flat_json.h"

#include "common/json_reader.h"

#include <charconv>
#include <set>

namespace norvo::test {

namespace {

bool flatten(Reader& r, const std::string& path, int depth, FlatJson& out) {
  if (depth > kJsonMaxDepth) return false;
  switch (peekChar(r)) {
    case '{': {
      std::set<std::string> keys;
      const bool ok = readObjectMembers(r, [&](const std::string& key, Reader& value) {
        return keys.insert(key).second &&
               flatten(value, path.empty() ? key : path + "." + key, depth + 1, out);
      });
      if (ok && keys.empty()) out[path] = "{}";
      return ok;
    }
    case '[': {
      size_t count = 0;
      const bool ok = readArrayElements(r, [&](size_t index, Reader& element) {
        count = index + 1;
        return flatten(element, path + "[" + std::to_string(index) + "]", depth + 1, out);
      });
      if (ok && count == 0) out[path] = "[]";
      return ok;
    }
    case '"':
      return parseString(r, &out[path]);
    default:
      for (const char* word : {"true", "false", "null"}) {
        if (parseLiteral(r, word)) {
          out[path] = word;
          return true;
        }
      }
      double number = 0;
      if (!parseNumber(r, &number)) return false;
      char text[32];
      out[path] = std::string(text, std::to_chars(text, text + sizeof text, number).ptr);
      return true;
  }
}

}  // namespace

std::optional<FlatJson> flattenJson(const std::string& document) {
  FlatJson out;
  Reader r(document);
  if (!flatten(r, "", 0, out) || !atEndAfterWhitespace(r)) return std::nullopt;
  return out;
}

}  // namespace norvo::test
