// The editor view's size rules: its first rectangle and the limits to which every size the
// host proposes is clamped (width 320 to 1100, height 240 to 800, inclusive). Any thread.
#pragma once

#include <cstdint>

namespace norvo {

inline constexpr std::int32_t kEditorDefaultWidth = 640;
inline constexpr std::int32_t kEditorDefaultHeight = 420;
inline constexpr std::int32_t kEditorMinWidth = 320;
inline constexpr std::int32_t kEditorMaxWidth = 1100;
inline constexpr std::int32_t kEditorMinHeight = 240;
inline constexpr std::int32_t kEditorMaxHeight = 800;

// Edges in the host's coordinates, as the VST 3 view rectangle holds them.
struct EditorRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
};

// Keeps left and top; right := left + clamped width, bottom := top + clamped height. A
// rectangle with its right edge left of its left edge has a negative width and clamps to the
// minimum. Should left + width pass the largest 32-bit value, the edge stops there.
EditorRect clampEditorRect(const EditorRect& rect);

}  // namespace norvo
