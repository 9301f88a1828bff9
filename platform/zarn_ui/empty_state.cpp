#include "zarn_ui/empty_state.h"

#include <algorithm>

#include "zarn_ui/painter.h"
#include "zarn_ui/surfaces.h"
#include "zarn_ui/text.h"

namespace zarn_ui {

namespace {
constexpr float kIconSide = 56;
constexpr float kButtonHeight = 38;
}  // namespace

EmptyState::EmptyState(std::string title, std::string body, std::vector<Action> actions,
                       Theme theme, std::optional<IconKind> icon)
    : title_(std::move(title)),
      body_(std::move(body)),
      actions_(std::move(actions)),
      theme_(theme),
      icon_(icon) {}

Rect EmptyState::action_rect(std::size_t i) const {
  return i < action_rects_.size() ? action_rects_[i] : Rect{};
}

void EmptyState::apply_layout(const Rect& bounds, LayoutContext& ctx) {
  bounds_ = bounds;
  const float pad = 32;
  const float width = std::min(bounds.width() - 48, 460.0f);
  const TextStyle title_style{.size = theme_.text(theme_.type.title), .weight = 3};
  const TextStyle body_style{.size = theme_.text(theme_.type.body)};
  body_lines_ = ctx.text.wrap(body_, body_style, width - 2 * pad);

  const TextStyle button_style{.size = theme_.text(theme_.type.body), .weight = 2};
  float height = pad;
  if (icon_) height += kIconSide + 20;
  height += ctx.text.line_height(title_style) + 10;
  height += ctx.text.line_height(body_style) * static_cast<float>(body_lines_.size());
  if (!actions_.empty()) height += 24 + kButtonHeight;
  height += pad;
  card_ = Rect::xywh(bounds.left + (bounds.width() - width) / 2,
                     bounds.top + (bounds.height() - height) / 2, width, height);

  // Buttons side by side, centred at the card's bottom.
  action_rects_.clear();
  std::vector<float> widths;
  float total = 0;
  for (const Action& a : actions_) {
    widths.push_back(std::max(ctx.text.measure(a.label, button_style) + 40, 140.0f));
    total += widths.back();
  }
  total += 12 * static_cast<float>(std::max<std::size_t>(actions_.size(), 1) - 1);
  float x = card_.left + (card_.width() - total) / 2;
  for (float w : widths) {
    action_rects_.push_back(Rect::xywh(x, card_.bottom - pad - kButtonHeight, w, kButtonHeight));
    x += w + 12;
  }
}

void EmptyState::draw_with_presence(DrawContext& ctx) {
  Painter& p = ctx.painter;
  TextRenderer& text = p.text();
  const ColorTokens& c = theme_.colors;
  p.fill_rect(bounds_, c.window);
  surface::shadow(p, card_, theme_.spacing.radius_large, theme_);
  surface::card(p, card_, theme_, theme_.spacing.radius_large);
  surface::edge_outline(p, card_, theme_.spacing.radius_large, theme_);

  const float pad = 32;
  float y = card_.top + pad;
  if (icon_) {
    Rect circle = Rect::xywh(card_.center().x - kIconSide / 2, y, kIconSide, kIconSide);
    p.fill_ellipse(circle, c.accent.with_alpha(0.16f));
    Icon::draw(p, *icon_, circle.inset(15), c.accent);
    y += kIconSide + 20;
  }
  const TextStyle title_style{.size = theme_.text(theme_.type.title), .weight = 3, .color = c.text};
  text.draw_elided(p, title_, {card_.left + pad, y}, card_.width() - 2 * pad, title_style,
                   Align::Center);
  y += text.line_height(title_style) + 10;
  const TextStyle body_style{.size = theme_.text(theme_.type.body), .color = c.text_muted};
  for (const std::string& line : body_lines_) {
    text.draw_elided(p, line, {card_.left + pad, y}, card_.width() - 2 * pad, body_style,
                     Align::Center);
    y += text.line_height(body_style);
  }
  const TextStyle button_style{.size = theme_.text(theme_.type.body), .weight = 2,
                               .color = c.accent_text};
  for (std::size_t i = 0; i < actions_.size(); ++i) {
    const Rect r = action_rects_[i];
    Color fill = c.accent;
    if (pressed_ == i) fill = fill.with_alpha(0.8f);
    else if (hovered_ == i) fill = Color::hex(0x86a0ff);
    surface::pill(p, r, fill);
    if (focused_ == i) p.stroke_rounded_rect(r.inset(-3), r.height() / 2 + 3, c.accent.with_alpha(0.6f), 2);
    const float lh = text.line_height(button_style);
    text.draw_elided(p, actions_[i].label, {r.left + 12, r.top + (r.height() - lh) / 2},
                     r.width() - 24, button_style, Align::Center);
  }
}

void EmptyState::activate(std::size_t i) {
  if (i < actions_.size() && handler_) handler_(actions_[i].id);
}

EventResult EmptyState::handle_event(const Event& event, EventContext& /*ctx*/) {
  auto index_at = [&](Point p) -> std::optional<std::size_t> {
    for (std::size_t i = 0; i < action_rects_.size(); ++i) {
      if (action_rects_[i].contains(p)) return i;
    }
    return std::nullopt;
  };
  if (const auto* move = std::get_if<PointerMove>(&event)) {
    hovered_ = index_at(move->pos);
    return EventResult::Handled;
  }
  if (const auto* press = std::get_if<PointerPress>(&event)) {
    if (press->button == PointerButton::Left) pressed_ = index_at(press->pos);
    return EventResult::Handled;
  }
  if (const auto* release = std::get_if<PointerRelease>(&event)) {
    auto hit = index_at(release->pos);
    bool fire = pressed_ && hit == pressed_ && release->button == PointerButton::Left;
    pressed_.reset();
    if (fire) {
      focused_ = *hit;
      activate(*hit);
    }
    return EventResult::Handled;
  }
  if (const auto* key = std::get_if<KeyPress>(&event)) {
    if (actions_.empty()) return EventResult::Ignored;
    if (key->key == Key::Enter || key->key == Key::Space) {
      activate(focused_);
      return EventResult::Handled;
    }
    if (key->key == Key::Tab) {
      focused_ = key->mods.shift ? (focused_ + actions_.size() - 1) % actions_.size()
                                 : (focused_ + 1) % actions_.size();
      return EventResult::Handled;
    }
  }
  return EventResult::Ignored;
}

AccessNode EmptyState::accessibility() const {
  AccessNode node(AccessRole::Group, title_);
  node.with_description(body_).with_bounds(card_);
  std::vector<AccessNode> children;
  children.emplace_back(AccessRole::Text, title_);
  children.emplace_back(AccessRole::Text, body_);
  for (std::size_t i = 0; i < actions_.size(); ++i) {
    AccessNode button(AccessRole::Button, actions_[i].label);
    button.with_id(actions_[i].id).with_bounds(action_rect(i));
    children.push_back(std::move(button));
  }
  node.with_children(std::move(children));
  return node;
}

bool EmptyState::perform_semantic_action(std::string_view node_id, SemanticAction action,
                                         std::string_view /*value*/, SyncContext& /*ctx*/) {
  for (std::size_t i = 0; i < actions_.size(); ++i) {
    if (actions_[i].id != node_id) continue;
    if (action == SemanticAction::Activate) {
      activate(i);
      return true;
    }
    if (action == SemanticAction::Focus) {
      focused_ = i;
      return true;
    }
  }
  return false;
}

}  // namespace zarn_ui
