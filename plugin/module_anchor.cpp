// The Chord module is the plug-in library linked as a whole; its exported C functions come
// from the static libraries (see module_exports.map). This file only gives the module target a
// translation unit of its own.
namespace norvo {
namespace {
[[maybe_unused]] constexpr int kModuleAnchor = 0;
}  // namespace
}  // namespace norvo
