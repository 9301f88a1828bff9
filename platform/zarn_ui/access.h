#pragma once
// Accessibility tree nodes: what assistive technologies see of a widget.

#include <optional>
#include <string>
#include <vector>

#include "zarn_ui/geometry.h"

namespace zarn_ui {

enum class AccessRole { Window, Dialog, Group, List, ListItem, Button, Toggle, TextField, Text,
                        Status, Menu, MenuItem };

enum class SemanticAction { Activate, Focus, SetValue, Expand, Collapse, Other };

struct AccessNode {
  AccessRole role = AccessRole::Group;
  std::string name;
  std::optional<std::string> description;
  std::optional<std::string> value;
  std::optional<std::string> id;  // also the control id the suite can invoke
  bool selected = false;
  bool focused = false;    // holds keyboard focus
  bool busy = false;
  bool read_only = false;  // a text field that cannot be edited
  bool secret = false;     // a password field: its value is never exposed
  std::optional<bool> checked;  // toggles
  std::optional<Rect> bounds;
  std::vector<AccessNode> children;

  AccessNode() = default;
  AccessNode(AccessRole r, std::string n) : role(r), name(std::move(n)) {}

  AccessNode& with_children(std::vector<AccessNode> nodes) {
    children = std::move(nodes);
    return *this;
  }
  AccessNode& with_optional_value(std::optional<std::string> v) {
    value = std::move(v);
    return *this;
  }
  AccessNode& with_id(std::string node_id) {
    id = std::move(node_id);
    return *this;
  }
  AccessNode& with_description(std::string text) {
    description = std::move(text);
    return *this;
  }
  AccessNode& with_bounds(Rect r) {
    bounds = r;
    return *this;
  }
  // Depth-first search by id.
  const AccessNode* find(std::string_view node_id) const;
};

inline const AccessNode* AccessNode::find(std::string_view node_id) const {
  if (id && *id == node_id) return this;
  for (const AccessNode& c : children) {
    if (const AccessNode* hit = c.find(node_id)) return hit;
  }
  return nullptr;
}

}  // namespace zarn_ui
