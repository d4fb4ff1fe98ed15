// The shared cursor reader: whitespace, strings, numbers and skipping of whole values.
// Any thread; allocates only for output strings.
#include "common/json_reader.h"

#include <clocale>
#include <cstdlib>
#include <cstring>
#if defined(__APPLE__)
#include <xlocale.h>
#else
#include <locale.h>
#endif

namespace norvo {
namespace {

bool isJsonWhitespace(char c) noexcept { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Characters strtod would skip on its own; the grammar's whitespace is only the four above.
bool isOtherSpace(char c) noexcept { return c == '\v' || c == '\f'; }

char unescaped(char c) noexcept {
  switch (c) {
    case 'b':
      return '\b';
    case 'f':
      return '\f';
    case 'n':
      return '\n';
    case 'r':
      return '\r';
    case 't':
      return '\t';
    default:
      return c;
  }
}

bool skipArray(Reader& r, int depth) {
  return readArrayElements(
      r, [depth](std::size_t, Reader& inner) { return skipValue(inner, depth + 1); });
}

bool skipObject(Reader& r, int depth) {
  return readObjectMembers(
      r, [depth](const std::string&, Reader& inner) { return skipValue(inner, depth + 1); });
}

}  // namespace

// A host that switched LC_NUMERIC (a decimal comma) cannot change how stored texts read.
double strtodC(const char* text, char** end) {
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  if (cLocale == static_cast<locale_t>(0)) return std::strtod(text, end);
  return strtod_l(text, end, cLocale);
}

void skipWhitespace(Reader& r) noexcept {
  while (r.pos < r.end && isJsonWhitespace(*r.pos)) ++r.pos;
}

bool consumeChar(Reader& r, char c) noexcept {
  skipWhitespace(r);
  if (r.pos < r.end && *r.pos == c) {
    ++r.pos;
    return true;
  }
  return false;
}

bool atEndAfterWhitespace(Reader& r) noexcept {
  skipWhitespace(r);
  return r.pos == r.end;
}

int peekChar(Reader& r) noexcept {
  skipWhitespace(r);
  if (r.pos >= r.end) return -1;
  return static_cast<unsigned char>(*r.pos);
}

bool parseLiteral(Reader& r, const char* word) noexcept {
  skipWhitespace(r);
  const std::size_t length = std::strlen(word);
  if (static_cast<std::size_t>(r.end - r.pos) < length) return false;
  if (std::memcmp(r.pos, word, length) != 0) return false;
  r.pos += length;
  return true;
}

bool parseString(Reader& r, std::string* out) {
  if (!consumeChar(r, '"')) return false;
  while (r.pos < r.end) {
    const char c = *r.pos++;
    if (c == '"') return true;
    if (c != '\\') {
      if (out != nullptr) out->push_back(c);
      continue;
    }
    if (r.pos >= r.end) return false;
    const char escape = *r.pos++;
    if (escape == 'u') {
      // The four code digits are consumed whatever they are; the character becomes "?".
      for (int i = 0; i < 4 && r.pos < r.end; ++i) ++r.pos;
      if (out != nullptr) out->push_back('?');
      continue;
    }
    if (out != nullptr) out->push_back(unescaped(escape));
  }
  return false;
}

bool parseNumber(Reader& r, double* out) {
  skipWhitespace(r);
  if (r.pos >= r.end || isOtherSpace(*r.pos)) return false;
  char* numberEnd = nullptr;
  const double value = strtodC(r.pos, &numberEnd);
  if (numberEnd == r.pos || numberEnd > r.end) return false;
  r.pos = numberEnd;
  if (out != nullptr) *out = value;
  return true;
}

bool skipValue(Reader& r, int depth) {
  if (depth > kJsonMaxDepth) return false;
  switch (peekChar(r)) {
    case -1:
      return false;
    case '"':
      return parseString(r, nullptr);
    case '[':
      return skipArray(r, depth);
    case '{':
      return skipObject(r, depth);
    case 't':
      if (parseLiteral(r, "true")) return true;
      break;
    case 'f':
      if (parseLiteral(r, "false")) return true;
      break;
    case 'n':
      if (parseLiteral(r, "null")) return true;
      break;
    default:
      break;
  }
  return parseNumber(r, nullptr);
}

}  // namespace norvo
