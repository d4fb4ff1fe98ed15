// The parameter table's lookups and conversions: see parameter_table.h. Any thread.
#include "product/parameter_table.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#if defined(__APPLE__)
#include <xlocale.h>
#else
#include <locale.h>
#endif

#include "common/fixed_text.h"

namespace norvo {
namespace {

// Clamps with the lower bound first; NaN ends at the lower bound, never leaks through.
double clampToRange(double v, double lo, double hi) noexcept {
  if (!(v >= lo)) v = lo;
  if (v > hi) v = hi;
  return v;
}

// strtod in the "C" locale: a host that switched LC_NUMERIC to a decimal comma must not
// change how "0.4" reads.
double strtodC(const char* text, char** end) noexcept {
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  if (cLocale == static_cast<locale_t>(0)) return std::strtod(text, end);
  return strtod_l(text, end, cLocale);
}

bool listIndexForName(const norvo_param_desc& desc, const char* text, double* normalized) {
  if (desc.kind != kParamKindList || desc.valueNames == nullptr) return false;
  for (std::int32_t i = 0; i < desc.valueCount; ++i) {
    const char* name = desc.valueNames[i];
    if (name != nullptr && std::strcmp(name, text) == 0) {
      *normalized = desc.valueCount > 1 ? static_cast<double>(i) / (desc.valueCount - 1) : 0.0;
      return true;
    }
  }
  return false;
}

bool toggleWord(const norvo_param_desc& desc, const char* text, double* normalized) {
  if (desc.kind != kParamKindToggle) return false;
  if (std::strcmp(text, "on") == 0 || std::strcmp(text, "true") == 0) {
    *normalized = 1.0;
    return true;
  }
  if (std::strcmp(text, "off") == 0 || std::strcmp(text, "false") == 0) {
    *normalized = 0.0;
    return true;
  }
  return false;
}

}  // namespace

const norvo_param_desc* findParamById(std::uint32_t id) noexcept {
  return id < kParamCount ? &NORVO_PARAMS[id] : nullptr;
}

const norvo_param_desc* findParamByPath(const char* path) noexcept {
  if (path == nullptr) return nullptr;
  for (const norvo_param_desc& desc : NORVO_PARAMS) {
    if (std::strcmp(desc.path, path) == 0) return &desc;
  }
  return nullptr;
}

double paramToPlain(const norvo_param_desc& desc, double normalized) noexcept {
  if (desc.kind == kParamKindList) {
    const double last = desc.valueCount - 1;
    return clampToRange(std::floor(last * normalized + 0.5), 0.0, last < 0.0 ? 0.0 : last);
  }
  if (desc.kind == kParamKindToggle) return normalized >= 0.5 ? 1.0 : 0.0;
  const double c = clampToRange(normalized, 0.0, 1.0);
  double plain = desc.min + c * (desc.max - desc.min);
  if (desc.step != 0.0) plain = desc.step * std::floor(plain / desc.step + 0.5);
  return plain;
}

double norvo_param_normalize(const norvo_param_desc& desc, double plain) noexcept {
  if (desc.kind == kParamKindList) {
    if (desc.valueCount <= 1) return 0.0;
    const double last = desc.valueCount - 1;
    return clampToRange(plain, 0.0, last) / last;
  }
  if (desc.kind == kParamKindToggle) return plain == 0.0 ? 0.0 : 1.0;
  if (desc.min == desc.max) return 0.0;
  return clampToRange((plain - desc.min) / (desc.max - desc.min), 0.0, 1.0);
}

std::size_t formatShortestNumber(double value, char* out, std::size_t capacity) noexcept {
  if (capacity == 0) return 0;
  char buffer[kParamTextCapacity];
  const std::to_chars_result result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general);
  const std::size_t length =
      result.ec == std::errc{} ? static_cast<std::size_t>(result.ptr - buffer) : 0;
  buffer[length < sizeof buffer ? length : sizeof buffer - 1] = '\0';
  return copyFixedText(out, capacity, buffer);
}

std::size_t paramToText(const norvo_param_desc& desc, double normalized, char* out,
                        std::size_t capacity) noexcept {
  if (desc.kind == kParamKindToggle) {
    return copyFixedText(out, capacity, normalized >= 0.5 ? "on" : "off");
  }
  const double plain = paramToPlain(desc, normalized);
  if (desc.kind == kParamKindList && desc.valueNames != nullptr) {
    const bool inRange = plain >= 0.0 && plain <= desc.valueCount - 1;
    return copyFixedText(out, capacity,
                         inRange ? desc.valueNames[static_cast<std::int32_t>(plain)] : "");
  }
  return formatShortestNumber(plain, out, capacity);
}

std::string paramDisplayText(const norvo_param_desc& desc, double normalized) {
  char text[kParamTextCapacity];
  const std::size_t n = paramToText(desc, normalized, text, sizeof text);
  return std::string(text, n);
}

bool paramFromText(const norvo_param_desc& desc, const char* text, double* normalized) noexcept {
  if (text == nullptr || normalized == nullptr) return false;
  if (toggleWord(desc, text, normalized)) return true;
  if (listIndexForName(desc, text, normalized)) return true;
  char* end = nullptr;
  const double value = strtodC(text, &end);
  // No number read, or "nan": nothing a parameter could take.
  if (end == text || std::isnan(value)) return false;
  *normalized = norvo_param_normalize(desc, value);
  return true;
}

}  // namespace norvo
