#include "zarn_ui/widget_tree.h"

#include <algorithm>

namespace zarn_ui::tree {

namespace {

bool find(Widget& at, const Widget* target, Path& path) {
  path.push_back(&at);
  if (&at == target) return true;
  const std::size_t n = at.child_count();
  for (std::size_t i = 0; i < n; ++i) {
    Widget* child = at.child_at(i);
    if (child && find(*child, target, path)) return true;
  }
  path.pop_back();
  return false;
}

void collect_focusable(Widget& at, const std::optional<Rect>& within, std::vector<Widget*>& out) {
  const Rect b = at.bounds();
  if (b.empty()) return;
  if (at.focusable() && (!within || inside(b, *within))) out.push_back(&at);
  const std::size_t n = at.child_count();
  for (std::size_t i = 0; i < n; ++i) {
    if (Widget* child = at.child_at(i)) collect_focusable(*child, within, out);
  }
}

bool find_modal(Widget& at, Path& path) {
  path.push_back(&at);
  for (std::size_t i = at.child_count(); i-- > 0;) {
    Widget* child = at.child_at(i);
    if (child && find_modal(*child, path)) return true;
  }
  if (at.modal_rect()) return true;
  path.pop_back();
  return false;
}

}  // namespace

Path path_to(Widget& root, const Widget* target) {
  Path path;
  if (target == nullptr || !find(root, target, path)) path.clear();
  return path;
}

std::vector<Widget*> focus_order(Widget& scope, std::optional<Rect> within) {
  std::vector<Widget*> out;
  collect_focusable(scope, within, out);
  return out;
}

bool inside(const Rect& inner, const Rect& outer) {
  constexpr float slack = 0.5f;
  return inner.left >= outer.left - slack && inner.top >= outer.top - slack &&
         inner.right <= outer.right + slack && inner.bottom <= outer.bottom + slack;
}

Path modal_path(Widget& root) {
  Path path;
  if (!find_modal(root, path)) path.clear();
  return path;
}

bool contains(const Path& path, const Widget* w) {
  return std::find(path.begin(), path.end(), w) != path.end();
}

}  // namespace zarn_ui::tree
