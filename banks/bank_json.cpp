// The bank loader's JSON reader: a recursive descent over a NUL-terminated copy of the bytes
// (numbers are read by strtod, which needs the terminator).
#include "banks/bank_json.h"

#include <locale.h>
#include <clocale>
#include <cstdlib>
#include <exception>

namespace norvo {
namespace {

// Numbers are read in the "C" locale whatever locale the host process has set, so that a
// host running with a decimal comma still reads "0.5" as one half.
locale_t cLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return locale;
}

bool isWhitespace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void appendUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

class JsonReader {
 public:
  explicit JsonReader(const std::string& text)
      : pos_(text.data()), end_(text.data() + text.size()) {}

  bool parseDocument(JsonValue& out) {
    if (!parseValue(out, 0)) return false;
    skipWhitespace();
    return pos_ == end_;
  }

 private:
  const char* pos_;
  const char* end_;

  void skipWhitespace() {
    while (pos_ != end_ && isWhitespace(*pos_)) ++pos_;
  }

  bool consume(char c) {
    skipWhitespace();
    if (pos_ == end_ || *pos_ != c) return false;
    ++pos_;
    return true;
  }

  bool consumeLiteral(const char* word, std::size_t length) {
    if (static_cast<std::size_t>(end_ - pos_) < length) return false;
    for (std::size_t i = 0; i < length; ++i) {
      if (pos_[i] != word[i]) return false;
    }
    pos_ += length;
    return true;
  }

  bool parseValue(JsonValue& out, int depth) {
    if (depth > kBankJsonMaxDepth) return false;
    skipWhitespace();
    if (pos_ == end_) return false;
    switch (*pos_) {
      case '{':
        return parseObject(out, depth);
      case '[':
        return parseArray(out, depth);
      case '"':
        out.kind = JsonValue::Kind::String;
        return parseString(out.text);
      default:
        break;
    }
    if (consumeLiteral("true", 4)) {
      out.kind = JsonValue::Kind::Bool;
      out.boolean = true;
      return true;
    }
    if (consumeLiteral("false", 5)) {
      out.kind = JsonValue::Kind::Bool;
      out.boolean = false;
      return true;
    }
    if (consumeLiteral("null", 4)) {
      out.kind = JsonValue::Kind::Null;
      return true;
    }
    return parseNumber(out);
  }

  bool parseNumber(JsonValue& out) {
    char* stop = nullptr;
    const double value = strtod_l(pos_, &stop, cLocale());
    if (stop == pos_ || stop > end_) return false;
    pos_ = stop;
    out.kind = JsonValue::Kind::Number;
    out.number = value;
    return true;
  }

  bool parseArray(JsonValue& out, int depth) {
    ++pos_;
    out.kind = JsonValue::Kind::Array;
    if (consume(']')) return true;
    for (;;) {
      out.items.emplace_back();
      if (!parseValue(out.items.back(), depth + 1)) return false;
      if (consume(',')) continue;
      return consume(']');
    }
  }

  bool parseObject(JsonValue& out, int depth) {
    ++pos_;
    out.kind = JsonValue::Kind::Object;
    if (consume('}')) return true;
    for (;;) {
      skipWhitespace();
      std::string key;
      if (pos_ == end_ || *pos_ != '"' || !parseString(key)) return false;
      if (!consume(':')) return false;
      JsonValue value;
      if (!parseValue(value, depth + 1)) return false;
      out.members.insert_or_assign(std::move(key), std::move(value));
      if (consume(',')) continue;
      return consume('}');
    }
  }

  bool readHex4(std::uint32_t& value) {
    if (end_ - pos_ < 4) return false;
    value = 0;
    for (int i = 0; i < 4; ++i) {
      const int digit = hexValue(pos_[i]);
      if (digit < 0) return false;
      value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    pos_ += 4;
    return true;
  }

  // After "\u" of a high surrogate: takes a directly following "\uDC00".."\uDFFF" escape and
  // answers the combined code point; otherwise consumes nothing and answers the lone unit.
  std::uint32_t combineSurrogate(std::uint32_t high) {
    if (end_ - pos_ < 6 || pos_[0] != '\\' || pos_[1] != 'u') return high;
    const char* mark = pos_;
    pos_ += 2;
    std::uint32_t low = 0;
    if (!readHex4(low) || low < 0xDC00 || low > 0xDFFF) {
      pos_ = mark;
      return high;
    }
    return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
  }

  bool parseEscape(std::string& out) {
    if (pos_ == end_) return false;
    const char c = *pos_++;
    switch (c) {
      case '"':
        out.push_back('"');
        return true;
      case '\\':
        out.push_back('\\');
        return true;
      case '/':
        out.push_back('/');
        return true;
      case 'b':
        out.push_back('\b');
        return true;
      case 'f':
        out.push_back('\f');
        return true;
      case 'n':
        out.push_back('\n');
        return true;
      case 'r':
        out.push_back('\r');
        return true;
      case 't':
        out.push_back('\t');
        return true;
      case 'u':
        break;
      default:
        return false;
    }
    std::uint32_t unit = 0;
    if (!readHex4(unit)) return false;
    if (unit >= 0xD800 && unit <= 0xDBFF) unit = combineSurrogate(unit);
    appendUtf8(out, unit);
    return true;
  }

  bool parseString(std::string& out) {
    ++pos_;  // opening quote
    out.clear();
    while (pos_ != end_) {
      const char c = *pos_++;
      if (c == '"') return true;
      if (c != '\\') {
        out.push_back(c);
      } else if (!parseEscape(out)) {
        return false;
      }
    }
    return false;
  }
};

}  // namespace

const JsonValue* JsonValue::member(const std::string& key) const {
  if (kind != Kind::Object) return nullptr;
  const auto found = members.find(key);
  return found == members.end() ? nullptr : &found->second;
}

std::string JsonValue::stringOr(const std::string& key, const std::string& fallback) const {
  const JsonValue* value = member(key);
  return value != nullptr && value->isString() ? value->text : fallback;
}

double JsonValue::numberOr(const std::string& key, double fallback) const {
  const JsonValue* value = member(key);
  return value != nullptr && value->isNumber() ? value->number : fallback;
}

bool JsonValue::boolOr(const std::string& key, bool fallback) const {
  const JsonValue* value = member(key);
  return value != nullptr && value->isBool() ? value->boolean : fallback;
}

bool parseJsonDocument(const std::uint8_t* bytes, std::size_t size, JsonValue& out) {
  out = JsonValue();
  std::string text;
  if (size != 0) text.assign(reinterpret_cast<const char*>(bytes), size);
  try {
    return JsonReader(text).parseDocument(out);
  } catch (const std::exception&) {
    return false;  // out of memory on a hostile document
  }
}

}  // namespace norvo
