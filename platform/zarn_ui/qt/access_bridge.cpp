#include "zarn_ui/qt/access_bridge.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWindow>
#include <algorithm>
#include <unordered_map>
#include <vector>

namespace zarn_ui::qt {
namespace {

QString qs(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QAccessible::Role qt_role(AccessRole r) {
  switch (r) {
    case AccessRole::Window:
      return QAccessible::Window;
    case AccessRole::Dialog:
      return QAccessible::Dialog;
    case AccessRole::Group:
      return QAccessible::Grouping;
    case AccessRole::List:
      return QAccessible::List;
    case AccessRole::ListItem:
      return QAccessible::ListItem;
    case AccessRole::Button:
      return QAccessible::Button;
    case AccessRole::Toggle:
      return QAccessible::CheckBox;
    case AccessRole::TextField:
      return QAccessible::EditableText;
    case AccessRole::Text:
      return QAccessible::StaticText;
    case AccessRole::Status:
      return QAccessible::StatusBar;
    case AccessRole::Menu:
      return QAccessible::PopupMenu;
    case AccessRole::MenuItem:
      return QAccessible::MenuItem;
  }
  return QAccessible::Grouping;
}

bool focusable(AccessRole r) {
  switch (r) {
    case AccessRole::ListItem:
    case AccessRole::Button:
    case AccessRole::Toggle:
    case AccessRole::TextField:
    case AccessRole::MenuItem:
      return true;
    default:
      return false;
  }
}

QAccessible::State qt_state(const AccessNode& n) {
  QAccessible::State s;
  s.focusable = n.id.has_value() && focusable(n.role);
  s.focused = n.focused;
  s.selectable = n.role == AccessRole::ListItem || n.role == AccessRole::MenuItem;
  s.selected = n.selected;
  s.busy = n.busy;
  if (n.checked) {
    s.checkable = true;
    s.checked = *n.checked;
  }
  if (n.role == AccessRole::TextField) {
    s.editable = !n.read_only;
    s.readOnly = n.read_only;
    s.passwordEdit = n.secret;
  }
  if (n.role == AccessRole::Dialog) s.modal = true;
  return s;
}

// A node's data without its children, which the bridge keeps as keys.
AccessNode shallow(const AccessNode& n) {
  AccessNode out = n;
  out.children.clear();
  return out;
}

}  // namespace

class NodeInterface;

struct AccessBridge::Impl {
  QWidget& window;
  Source source;
  bool stale = true;
  bool refreshing = false;
  AccessNode root;               // the root node, without children
  std::vector<std::string> top;  // keys of the root's children
  std::unordered_map<std::string, NodeInterface*> nodes;
  QAccessibleInterface* window_interface = nullptr;  // made by the factory, owned by Qt
  std::string focused;

  Impl(QWidget& w, Source s) : window(w), source(std::move(s)) {}
  ~Impl();

  void ensure_fresh() {
    if (stale && !refreshing) refresh();
  }
  void refresh();
  QAccessibleInterface* root_interface() const;
  QAccessibleInterface* node(const std::string& key) const;
  QRect to_screen(const std::optional<Rect>& r) const {
    if (!r) return {};
    const QPoint at =
        window.mapToGlobal(QPoint(static_cast<int>(r->left), static_cast<int>(r->top)));
    return {at, QSize(static_cast<int>(r->width()), static_cast<int>(r->height()))};
  }
  void act(const std::optional<std::string>& id, SemanticAction action, std::string_view value) {
    if (id && source.act) source.act(*id, action, value);
  }
  QAccessibleInterface* child_at(const std::vector<std::string>& keys, int x, int y) const;
};

namespace {
std::vector<AccessBridge::Impl*>& bridges() {
  static std::vector<AccessBridge::Impl*> all;
  return all;
}
}  // namespace

// One node below the window.
class NodeInterface : public QAccessibleInterface,
                      public QAccessibleActionInterface,
                      public QAccessibleTextInterface,
                      public QAccessibleEditableTextInterface {
 public:
  NodeInterface(AccessBridge::Impl& bridge, std::string parent)
      : bridge_(bridge), parent_(std::move(parent)) {}

  AccessNode data;
  std::vector<std::string> children;
  std::string parent_key() const { return parent_; }
  void set_parent(std::string p) { parent_ = std::move(p); }

  bool isValid() const override { return true; }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return bridge_.window.window()->windowHandle(); }
  QAccessibleInterface* childAt(int x, int y) const override {
    return bridge_.child_at(children, x, y);
  }
  QAccessibleInterface* parent() const override {
    if (QAccessibleInterface* p = bridge_.node(parent_)) return p;
    return bridge_.root_interface();
  }
  QAccessibleInterface* child(int index) const override {
    if (index < 0 || index >= static_cast<int>(children.size())) return nullptr;
    return bridge_.node(children[static_cast<std::size_t>(index)]);
  }
  int childCount() const override { return static_cast<int>(children.size()); }
  int indexOfChild(const QAccessibleInterface* c) const override {
    for (std::size_t i = 0; i < children.size(); ++i) {
      if (bridge_.node(children[i]) == c) return static_cast<int>(i);
    }
    return -1;
  }
  QString text(QAccessible::Text t) const override {
    switch (t) {
      case QAccessible::Name:
        return qs(data.name);
      case QAccessible::Description:
        return data.description ? qs(*data.description) : QString();
      case QAccessible::Value:
        return value();
      default:
        return {};
    }
  }
  void setText(QAccessible::Text t, const QString& text) override {
    if (t == QAccessible::Value) set_value(text);
  }
  QRect rect() const override { return bridge_.to_screen(data.bounds); }
  QAccessible::Role role() const override { return qt_role(data.role); }
  QAccessible::State state() const override { return qt_state(data); }
  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ActionInterface && data.id) {
      return static_cast<QAccessibleActionInterface*>(this);
    }
    if (data.role == AccessRole::TextField) {
      if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
      if (type == QAccessible::EditableTextInterface && !data.read_only) {
        return static_cast<QAccessibleEditableTextInterface*>(this);
      }
    }
    return nullptr;
  }

  // Actions: the default one first (AT-SPI clients call action 0).
  QStringList actionNames() const override {
    if (!data.id) return {};
    QStringList names;
    if (data.role == AccessRole::Toggle) {
      names << toggleAction();
    } else if (data.role != AccessRole::TextField) {
      names << pressAction();
    }
    if (focusable(data.role)) names << setFocusAction();
    return names;
  }
  void doAction(const QString& name) override {
    if (name == pressAction() || name == toggleAction()) {
      bridge_.act(data.id, SemanticAction::Activate, {});
    } else if (name == setFocusAction()) {
      bridge_.act(data.id, SemanticAction::Focus, {});
    }
  }
  QStringList keyBindingsForAction(const QString&) const override { return {}; }

  // Text: the field's value, read only through this interface.
  void selection(int, int* start, int* end) const override { *start = *end = 0; }
  int selectionCount() const override { return 0; }
  void addSelection(int, int) override {}
  void removeSelection(int) override {}
  void setSelection(int, int, int) override {}
  int cursorPosition() const override { return characterCount(); }
  void setCursorPosition(int) override {}
  QString text(int start, int end) const override {
    const QString v = value();
    start = std::clamp(start, 0, static_cast<int>(v.size()));
    end = end < 0 ? static_cast<int>(v.size()) : std::clamp(end, start, static_cast<int>(v.size()));
    return v.mid(start, end - start);
  }
  int characterCount() const override { return static_cast<int>(value().size()); }
  QRect characterRect(int) const override { return {}; }
  int offsetAtPoint(const QPoint&) const override { return -1; }
  void scrollToSubstring(int, int) override {}
  QString attributes(int, int* start, int* end) const override {
    *start = 0;
    *end = characterCount();
    return {};
  }

  // Editing asks the widget to take the whole new value.
  void deleteText(int start, int end) override { replaceText(start, end, {}); }
  void insertText(int offset, const QString& text) override { replaceText(offset, offset, text); }
  void replaceText(int start, int end, const QString& text) override {
    QString v = value();
    start = std::clamp(start, 0, static_cast<int>(v.size()));
    end = std::clamp(end, start, static_cast<int>(v.size()));
    v.replace(start, end - start, text);
    set_value(v);
  }

 private:
  QString value() const {
    if (data.secret || !data.value) return {};
    return qs(*data.value);
  }
  void set_value(const QString& v) {
    const QByteArray utf8 = v.toUtf8();
    bridge_.act(data.id, SemanticAction::SetValue, std::string_view(utf8.constData(), utf8.size()));
  }

  AccessBridge::Impl& bridge_;
  std::string parent_;
};

// The window: the tree's root node, with the tree's nodes as its children.
class WindowInterface : public QAccessibleWidget {
 public:
  explicit WindowInterface(AccessBridge::Impl& bridge)
      : QAccessibleWidget(&bridge.window, QAccessible::Window), bridge_(&bridge) {}
  ~WindowInterface() override {
    if (bridge_ && bridge_->window_interface == this) bridge_->window_interface = nullptr;
  }
  void detach() { bridge_ = nullptr; }

  int childCount() const override {
    if (!bridge_) return 0;
    bridge_->ensure_fresh();
    return static_cast<int>(bridge_->top.size());
  }
  QAccessibleInterface* child(int index) const override {
    if (!bridge_) return nullptr;
    bridge_->ensure_fresh();
    if (index < 0 || index >= static_cast<int>(bridge_->top.size())) return nullptr;
    return bridge_->node(bridge_->top[static_cast<std::size_t>(index)]);
  }
  int indexOfChild(const QAccessibleInterface* c) const override {
    if (!bridge_) return -1;
    for (std::size_t i = 0; i < bridge_->top.size(); ++i) {
      if (bridge_->node(bridge_->top[i]) == c) return static_cast<int>(i);
    }
    return -1;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    return bridge_ ? bridge_->child_at(bridge_->top, x, y) : nullptr;
  }
  QAccessibleInterface* focusChild() const override {
    if (!bridge_) return nullptr;
    bridge_->ensure_fresh();
    return bridge_->node(bridge_->focused);
  }
  QString text(QAccessible::Text t) const override {
    if (!bridge_) return QAccessibleWidget::text(t);
    bridge_->ensure_fresh();
    if (t == QAccessible::Name && !bridge_->root.name.empty()) return qs(bridge_->root.name);
    if (t == QAccessible::Description && bridge_->root.description) {
      return qs(*bridge_->root.description);
    }
    return QAccessibleWidget::text(t);
  }

 private:
  AccessBridge::Impl* bridge_;
};

QAccessibleInterface* AccessBridge::Impl::root_interface() const {
  return QAccessible::queryAccessibleInterface(&window);
}

QAccessibleInterface* AccessBridge::Impl::node(const std::string& key) const {
  if (key.empty()) return nullptr;
  auto it = nodes.find(key);
  return it == nodes.end() ? nullptr : it->second;
}

QAccessibleInterface* AccessBridge::Impl::child_at(const std::vector<std::string>& keys, int x,
                                                   int y) const {
  for (const std::string& k : keys) {
    QAccessibleInterface* c = node(k);
    if (c && c->rect().contains(x, y)) return c;
  }
  return nullptr;
}

void AccessBridge::Impl::refresh() {
  refreshing = true;
  stale = false;
  AccessNode tree = source.tree ? source.tree() : AccessNode(AccessRole::Window, "");

  // Keys: a node's id, else its place under its parent with its role and name.
  struct Fresh {
    AccessNode data;
    std::string parent;
    std::vector<std::string> children;
  };
  std::unordered_map<std::string, Fresh> fresh;
  std::vector<std::string> order;
  std::unordered_map<std::string, int> seen_ids;
  std::string now_focused;
  auto walk = [&](auto& self, const AccessNode& n, const std::string& parent,
                  std::size_t index) -> std::string {
    std::string key;
    if (n.id) {
      key = "id:" + *n.id;
      if (int dup = seen_ids[*n.id]++; dup > 0) key += "#" + std::to_string(dup);
    } else {
      key = parent + "/" + std::to_string(static_cast<int>(n.role)) + ":" + n.name + "#" +
            std::to_string(index);
    }
    if (n.focused) now_focused = key;
    Fresh f{shallow(n), parent, {}};
    for (std::size_t i = 0; i < n.children.size(); ++i) {
      f.children.push_back(self(self, n.children[i], key, i));
    }
    order.push_back(key);
    fresh[key] = std::move(f);
    return key;
  };
  std::vector<std::string> new_top;
  for (std::size_t i = 0; i < tree.children.size(); ++i) {
    new_top.push_back(walk(walk, tree.children[i], "", i));
  }
  root = shallow(tree);
  top = std::move(new_top);

  const bool announce = QAccessible::isActive() && window_interface != nullptr;

  // Nodes that are gone: announced, then dropped.
  std::vector<NodeInterface*> gone;
  for (auto it = nodes.begin(); it != nodes.end();) {
    if (!fresh.contains(it->first)) {
      gone.push_back(it->second);
      it = nodes.erase(it);
    } else {
      ++it;
    }
  }
  for (NodeInterface* g : gone) {
    g->children.clear();
    if (announce) {
      QAccessibleEvent e(g, QAccessible::ObjectDestroyed);
      QAccessible::updateAccessibility(&e);
    }
    QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(g));
  }

  // New and changed nodes, parents before children.
  std::vector<NodeInterface*> created;
  struct Change {
    NodeInterface* node;
    AccessNode before;
  };
  std::vector<Change> changed;
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    Fresh& f = fresh[*it];
    auto existing = nodes.find(*it);
    if (existing == nodes.end()) {
      auto* n = new NodeInterface(*this, f.parent);
      n->data = std::move(f.data);
      n->children = std::move(f.children);
      QAccessible::registerAccessibleInterface(n);
      nodes.emplace(*it, n);
      created.push_back(n);
    } else {
      NodeInterface* n = existing->second;
      changed.push_back({n, n->data});
      n->data = std::move(f.data);
      n->children = std::move(f.children);
      n->set_parent(f.parent);
    }
  }
  refreshing = false;
  if (!announce) {
    focused = now_focused;
    return;
  }
  for (NodeInterface* n : created) {
    QAccessibleEvent e(n, QAccessible::ObjectCreated);
    QAccessible::updateAccessibility(&e);
  }
  for (const Change& c : changed) {
    const AccessNode& now = c.node->data;
    if (now.name != c.before.name) {
      QAccessibleEvent e(c.node, QAccessible::NameChanged);
      QAccessible::updateAccessibility(&e);
    }
    if (now.description != c.before.description) {
      QAccessibleEvent e(c.node, QAccessible::DescriptionChanged);
      QAccessible::updateAccessibility(&e);
    }
    if (now.value != c.before.value && !now.secret) {
      QAccessibleValueChangeEvent e(c.node, qs(now.value.value_or("")));
      QAccessible::updateAccessibility(&e);
    }
    QAccessible::State before = qt_state(c.before), after = qt_state(now);
    QAccessible::State diff;
    diff.focused = before.focused != after.focused;
    diff.selected = before.selected != after.selected;
    diff.checked = before.checked != after.checked;
    diff.busy = before.busy != after.busy;
    diff.editable = before.editable != after.editable;
    if (diff.focused || diff.selected || diff.checked || diff.busy || diff.editable) {
      QAccessibleStateChangeEvent e(c.node, diff);
      QAccessible::updateAccessibility(&e);
    }
  }
  if (now_focused != focused) {
    focused = now_focused;
    if (QAccessibleInterface* f = node(focused)) {
      QAccessibleEvent e(f, QAccessible::Focus);
      QAccessible::updateAccessibility(&e);
    }
  }
}

AccessBridge::Impl::~Impl() {
  for (auto& [key, n] : nodes) QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(n));
  nodes.clear();
  if (window_interface) {
    static_cast<WindowInterface*>(window_interface)->detach();
    QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(window_interface));
  }
}

namespace {
QAccessibleInterface* bridge_factory(const QString&, QObject* object) {
  for (AccessBridge::Impl* b : bridges()) {
    if (object == &b->window) {
      auto* w = new WindowInterface(*b);
      b->window_interface = w;
      return w;
    }
  }
  return nullptr;
}
}  // namespace

AccessBridge::AccessBridge(QWidget& window, Source source)
    : impl_(std::make_unique<Impl>(window, std::move(source))) {
  static const bool installed = [] {
    QAccessible::installFactory(&bridge_factory);
    return true;
  }();
  (void)installed;
  bridges().push_back(impl_.get());
}

AccessBridge::~AccessBridge() {
  auto& all = bridges();
  all.erase(std::remove(all.begin(), all.end(), impl_.get()), all.end());
}

void AccessBridge::frame_done() {
  impl_->stale = true;
  if (QAccessible::isActive() && impl_->window_interface) impl_->refresh();
}

}  // namespace zarn_ui::qt
