// The product's parameter table and the conversions between normalized values (0..1, what
// the host automates) and plain values (what the kernel and the editor page see).
//
// `NORVO_PARAMS` is the one definition of the four parameters: the controller, the kernel
// engine, the bridge and the CC map all read it. No SDK headers: the SDK `Parameter` wrapper
// builds on these functions. Everything here is immutable or pure; any thread may call it,
// and nothing allocates except `paramDisplayText` and the first `paramFromText` call
// (which sets up the "C" locale it reads numbers in).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace norvo {

// Values of norvo_param_desc::kind.
inline constexpr std::int32_t kParamKindContinuous = 0;  // range with optional quantum
inline constexpr std::int32_t kParamKindList = 1;        // stepped index with optional names
inline constexpr std::int32_t kParamKindToggle = 2;      // off/on

struct norvo_param_desc {
  std::uint32_t id;               // VST 3 parameter id; equal to the index in NORVO_PARAMS
  const char* path;               // dotted identifier ("chord.mode")
  const char* name;               // display name, also the short title
  const char* group;              // group name (not published to the host)
  std::int32_t kind;              // kParamKind*
  double min;                     // plain minimum (continuous)
  double max;                     // plain maximum (continuous)
  double step;                    // plain quantum (continuous); 0 = unquantized
  double defaultPlain;            // default as a plain value
  double defaultNormalized;       // default as a normalized value
  const char* units;              // unit label
  std::int32_t valueCount;        // entries of a list parameter
  const char* const* valueNames;  // valueCount entry names, or nullptr
};

inline constexpr int kParamCount = 4;

inline constexpr norvo_param_desc NORVO_PARAMS[kParamCount] = {
    {0, "chord.on", "On", "Chord", kParamKindContinuous, 0.0, 1.0, 1.0, 1.0, 1.0, "", 0, nullptr},
    {1, "chord.mode", "Mode", "Chord", kParamKindContinuous, 0.0, 5.0, 1.0, 0.0, 0.0, "", 0,
     nullptr},
    {2, "chord.spread", "Spread", "Chord", kParamKindContinuous, -2.0, 2.0, 1.0, 0.0, 0.5, "", 0,
     nullptr},
    {3, "chord.velocity", "Velocity", "Chord", kParamKindContinuous, 0.0, 1.0, 0.0, 0.8, 0.8, "", 0,
     nullptr},
};

// Size of the buffer display texts are written into (terminator included).
inline constexpr std::size_t kParamTextCapacity = 64;

// The descriptor with this id, or nullptr.
const norvo_param_desc* findParamById(std::uint32_t id) noexcept;

// The descriptor whose path equals `path` exactly, or nullptr (also for nullptr).
const norvo_param_desc* findParamByPath(const char* path) noexcept;

// Normalized → plain by the descriptor's kind. Never returns NaN (NaN input counts as 0).
double paramToPlain(const norvo_param_desc& desc, double normalized) noexcept;

// Plain → normalized by the descriptor's kind, without quantizing. Never returns NaN
// (NaN input gives the lowest normalized value, 0).
double norvo_param_normalize(const norvo_param_desc& desc, double plain) noexcept;

// Writes the shortest decimal text that reads back to exactly `value`, in the general
// notation (exponent form only below 1e-4 and from 1e6 up: "1", "-2", "0.8",
// "0.3333333333333333", "0.0001", "100000", "1e+06", "1e-05"). Returns the length
// written (without the terminator); the text is cut to fit and always terminated when
// capacity > 0.
std::size_t formatShortestNumber(double value, char* out, std::size_t capacity) noexcept;

// The display text of a normalized value: list kind → entry name (or the index as a number),
// toggle kind → "on"/"off", continuous kind → the plain value as a number. Returns the length
// written; always terminated when capacity > 0 (pass kParamTextCapacity).
std::size_t paramToText(const norvo_param_desc& desc, double normalized, char* out,
                        std::size_t capacity) noexcept;

// Convenience form of paramToText. Allocates.
std::string paramDisplayText(const norvo_param_desc& desc, double normalized);

// Parses display text (ASCII, NUL-terminated) into a normalized value. Toggle kind accepts
// "on"/"true"/"off"/"false", list kind its entry names; anything else is read as a number
// with strtod in the "C" locale whatever the process locale (leading blanks skipped,
// trailing characters ignored). Returns false and leaves `*normalized` untouched when
// nothing could be read (no number, or "nan").
bool paramFromText(const norvo_param_desc& desc, const char* text, double* normalized) noexcept;

}  // namespace norvo
