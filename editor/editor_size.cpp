// The editor view's size clamp.
#include "editor/editor_size.h"

#include <algorithm>
#include <limits>

namespace norvo {

namespace {

std::int32_t clampedEdge(std::int32_t start, std::int32_t end, std::int32_t low,
                         std::int32_t high) {
  const std::int64_t extent = std::clamp<std::int64_t>(
      static_cast<std::int64_t>(end) - static_cast<std::int64_t>(start), low, high);
  const std::int64_t edge = static_cast<std::int64_t>(start) + extent;
  return static_cast<std::int32_t>(
      std::min<std::int64_t>(edge, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

EditorRect clampEditorRect(const EditorRect& rect) {
  EditorRect out = rect;
  out.right = clampedEdge(rect.left, rect.right, kEditorMinWidth, kEditorMaxWidth);
  out.bottom = clampedEdge(rect.top, rect.bottom, kEditorMinHeight, kEditorMaxHeight);
  return out;
}

}  // namespace norvo
