#pragma once
// Walks over the widget tree as child_count / child_at expose it: the frame
// loop finds focus, hover and modal paths with these, and checks that a widget
// it remembers is still in the tree before it calls it.

#include <vector>

#include "zarn_ui/widget.h"

namespace zarn_ui::tree {

using Path = std::vector<Widget*>;

// From `root` down to `target`, both included; empty when `target` is not in
// the tree. `target` is only compared, never called, so it may be gone.
Path path_to(Widget& root, const Widget* target);

// The focusable widgets under `scope` (itself included) in Tab order: depth
// first, in child order, leaving out subtrees laid out to nothing (hidden) and,
// given `within`, widgets that lie outside it (under a modal surface's scrim).
std::vector<Widget*> focus_order(Widget& scope, std::optional<Rect> within = std::nullopt);

// Whether `inner` lies within `outer` (to within half a point).
bool inside(const Rect& inner, const Rect& outer);

// The path to the innermost widget with an open modal surface; where siblings
// both have one, the later (drawn on top) wins. Empty when none is open.
Path modal_path(Widget& root);

// Whether `path` passes through `w`.
bool contains(const Path& path, const Widget* w);

}  // namespace zarn_ui::tree
