// The shared cursor reader: no document tree, each parser walks its own keys and uses these
// operations for the values it reads or skips. Any thread; allocates only for output strings.
//
// The text must sit in a std::string (or otherwise be NUL-terminated right after `end`)
// because numbers are read with strtod.
#pragma once

#include <cstddef>
#include <string>

namespace norvo {

// Deepest nesting a reader accepts: the root object is depth 0.
inline constexpr int kJsonMaxDepth = 32;

struct Reader {
  const char* pos = nullptr;
  const char* end = nullptr;

  Reader() = default;
  Reader(const char* begin, std::size_t size) : pos(begin), end(begin + size) {}
  explicit Reader(const std::string& text) : Reader(text.data(), text.size()) {}
  // The reader only points into the text: a temporary would be gone before the first read.
  explicit Reader(std::string&&) = delete;
};

// The C library's strtod, always in the "C" locale whatever LC_NUMERIC the host set. Any
// thread.
double strtodC(const char* text, char** end);

// Skips space, tab, line feed and carriage return.
void skipWhitespace(Reader& r) noexcept;

// Skips whitespace; if the next byte is `c`, consumes it and answers true.
bool consumeChar(Reader& r, char c) noexcept;

// True when only whitespace is left.
bool atEndAfterWhitespace(Reader& r) noexcept;

// The next byte after whitespace (as 0..255), or -1 at the end; consumes nothing else.
int peekChar(Reader& r) noexcept;

// Skips whitespace; if `word` (e.g. "true") lies wholly inside the input next, consumes it.
bool parseLiteral(Reader& r, const char* word) noexcept;

// Reads a string literal (after whitespace). `out` may be null to only skip it.
bool parseString(Reader& r, std::string* out);

// Reads a number with strtod semantics in the "C" locale, whatever LC_NUMERIC the host set
// (after whitespace; a vertical tab or form feed is not whitespace here). Fails when strtod
// consumes nothing or would end past `end`. `out` may be null.
bool parseNumber(Reader& r, double* out);

// Skips one well-formed value at nesting `depth`; fails when depth exceeds kJsonMaxDepth.
bool skipValue(Reader& r, int depth);

// Walks the members of an object whose opening brace is next (after whitespace).
// `onMember(key, reader)` must consume the member's value and answer false to fail the walk.
template <typename OnMember>
bool readObjectMembers(Reader& r, OnMember&& onMember) {
  if (!consumeChar(r, '{')) return false;
  if (consumeChar(r, '}')) return true;
  std::string key;
  for (;;) {
    key.clear();
    if (!parseString(r, &key)) return false;
    if (!consumeChar(r, ':')) return false;
    if (!onMember(static_cast<const std::string&>(key), r)) return false;
    if (consumeChar(r, ',')) continue;
    return consumeChar(r, '}');
  }
}

// Walks the elements of an array whose opening bracket is next (after whitespace).
// `onElement(index, reader)` must consume one value and answer false to fail the walk.
template <typename OnElement>
bool readArrayElements(Reader& r, OnElement&& onElement) {
  if (!consumeChar(r, '[')) return false;
  if (consumeChar(r, ']')) return true;
  for (std::size_t index = 0;; ++index) {
    if (!onElement(index, r)) return false;
    if (consumeChar(r, ',')) continue;
    return consumeChar(r, ']');
  }
}

}  // namespace norvo
