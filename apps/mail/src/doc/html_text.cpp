#include "doc/html_text.h"

#include <gumbo.h>

#include <algorithm>
#include <vector>

namespace mail {

namespace {

bool skipped(GumboTag tag) {
  switch (tag) {
    case GUMBO_TAG_SCRIPT: case GUMBO_TAG_STYLE: case GUMBO_TAG_HEAD: case GUMBO_TAG_TITLE:
    case GUMBO_TAG_TEMPLATE: case GUMBO_TAG_NOSCRIPT: case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_OBJECT: case GUMBO_TAG_SVG: case GUMBO_TAG_MATH: case GUMBO_TAG_NOFRAMES:
      return true;
    default:
      return false;
  }
}

// Line breaks an element asks for before and after itself: 0 inline, 1 a
// line, 2 a paragraph.
int block_level(GumboTag tag) {
  switch (tag) {
    case GUMBO_TAG_P: case GUMBO_TAG_H1: case GUMBO_TAG_H2: case GUMBO_TAG_H3:
    case GUMBO_TAG_H4: case GUMBO_TAG_H5: case GUMBO_TAG_H6: case GUMBO_TAG_BLOCKQUOTE:
    case GUMBO_TAG_PRE: case GUMBO_TAG_TABLE: case GUMBO_TAG_UL: case GUMBO_TAG_OL:
    case GUMBO_TAG_DL: case GUMBO_TAG_HR:
      return 2;
    case GUMBO_TAG_DIV: case GUMBO_TAG_LI: case GUMBO_TAG_TR: case GUMBO_TAG_SECTION:
    case GUMBO_TAG_ARTICLE: case GUMBO_TAG_HEADER: case GUMBO_TAG_FOOTER: case GUMBO_TAG_NAV:
    case GUMBO_TAG_ASIDE: case GUMBO_TAG_ADDRESS: case GUMBO_TAG_DT: case GUMBO_TAG_DD:
    case GUMBO_TAG_CAPTION: case GUMBO_TAG_CENTER: case GUMBO_TAG_FIGURE:
    case GUMBO_TAG_FIGCAPTION: case GUMBO_TAG_MAIN: case GUMBO_TAG_FORM:
    case GUMBO_TAG_FIELDSET: case GUMBO_TAG_BODY: case GUMBO_TAG_HTML:
      return 1;
    default:
      return 0;
  }
}

class Writer {
 public:
  void text(std::string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
      const char c = s[i];
      if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
        space_ = true;
        continue;
      }
      // A no-break space reads as a space in plain text.
      if (c == '\xC2' && i + 1 < s.size() && s[i + 1] == '\xA0') {
        ++i;
        space_ = true;
        continue;
      }
      put(c);
    }
  }
  void preformatted(std::string_view s) {
    for (char c : s) {
      if (c == '\r') continue;
      if (c == '\n') {
        ++newlines_;
        space_ = false;
        continue;
      }
      space_ = false;
      put(c);
    }
  }
  void cell_gap() { space_ = true; }
  void line_break() {
    ++newlines_;
    space_ = false;
  }
  void block(int level) {
    if (level == 0 || out_.empty()) return;
    newlines_ = std::max(newlines_, level);
    space_ = false;
  }
  std::string finish() {
    // Trailing spaces on lines and blank lines at the end go.
    std::string result;
    result.reserve(out_.size());
    std::size_t line_start = 0;
    for (std::size_t i = 0; i <= out_.size(); ++i) {
      if (i == out_.size() || out_[i] == '\n') {
        std::size_t end = i;
        while (end > line_start && (out_[end - 1] == ' ')) --end;
        result.append(out_, line_start, end - line_start);
        if (i != out_.size()) result.push_back('\n');
        line_start = i + 1;
      }
    }
    while (!result.empty() && (result.back() == '\n' || result.back() == ' ')) result.pop_back();
    return result;
  }

 private:
  void put(char c) {
    if (!out_.empty() || newlines_ == 0) {
      if (newlines_ > 0) {
        out_.append(static_cast<std::size_t>(newlines_), '\n');
        newlines_ = 0;
        space_ = false;
      }
    } else {
      newlines_ = 0;  // nothing written yet: leading breaks are dropped
    }
    if (space_ && !out_.empty() && out_.back() != '\n') out_.push_back(' ');
    space_ = false;
    out_.push_back(c);
  }

  std::string out_;
  int newlines_ = 0;
  bool space_ = false;
};

bool ascii_alpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Elements that never hold children, or that the parser closes by itself
// when a sibling opens; neither makes a document deeper.
bool leaves_depth_alone(std::string_view name) {
  static constexpr std::string_view names[] = {
      "area", "base", "br",  "col", "embed", "hr", "img", "input",  "link", "meta", "param",
      "source", "track", "wbr", "p", "li",   "td", "th",  "tr",     "dt",   "dd",   "option"};
  for (auto n : names)
    if (name.size() == n.size() &&
        std::equal(name.begin(), name.end(), n.begin(),
                   [](char a, char b) { return (a | 0x20) == b; }))
      return true;
  return false;
}

// NB: the HTML parser needs time and memory that grow with the square of the
// nesting depth, so a hostile message could stall the reader. Markup is cut
// where a rough count of open elements passes `max_depth`, and at `max_bytes`;
// real mail stays far below both.
std::string_view bounded_html(std::string_view html) {
  constexpr std::size_t max_bytes = 4u << 20;
  constexpr int max_depth = 400;
  if (html.size() > max_bytes) html = html.substr(0, max_bytes);
  int depth = 0;
  std::size_t i = 0;
  while ((i = html.find('<', i)) != std::string_view::npos) {
    if (html.substr(i, 4) == "<!--") {
      const std::size_t end = html.find("-->", i + 4);
      if (end == std::string_view::npos) break;
      i = end + 3;
      continue;
    }
    const bool closing = i + 1 < html.size() && html[i + 1] == '/';
    const std::size_t name_start = i + (closing ? 2 : 1);
    std::size_t name_end = name_start;
    while (name_end < html.size() && (ascii_alpha(html[name_end]) ||
                                      (name_end > name_start && html[name_end] >= '0' &&
                                       html[name_end] <= '9')))
      ++name_end;
    if (name_end == name_start) {
      ++i;
      continue;
    }
    const std::size_t close = html.find('>', name_end);
    const bool self_closing = close != std::string_view::npos && close > 0 && html[close - 1] == '/';
    const std::string_view name = html.substr(name_start, name_end - name_start);
    if (!leaves_depth_alone(name) && !self_closing) {
      if (closing) {
        depth = depth > 0 ? depth - 1 : 0;
      } else if (++depth > max_depth) {
        return html.substr(0, i);
      }
    }
    if (close == std::string_view::npos) break;
    i = close + 1;
  }
  return html;
}

}  // namespace

std::string html_to_text(std::string_view html) {
  html = bounded_html(html);
  GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, html.data(), html.size());
  if (output == nullptr) return {};
  Writer w;
  struct Step {
    const GumboNode* node;
    bool exit;
    int pre;
  };
  // An explicit stack: deeply nested documents cannot exhaust the call stack.
  std::vector<Step> stack{{output->root, false, 0}};
  while (!stack.empty()) {
    const Step step = stack.back();
    stack.pop_back();
    const GumboNode* node = step.node;
    switch (node->type) {
      case GUMBO_NODE_TEXT:
      case GUMBO_NODE_CDATA:
      case GUMBO_NODE_WHITESPACE:
        if (step.pre > 0)
          w.preformatted(node->v.text.text);
        else
          w.text(node->v.text.text);
        break;
      case GUMBO_NODE_ELEMENT:
      case GUMBO_NODE_TEMPLATE: {
        const GumboTag tag = node->v.element.tag;
        if (step.exit) {
          if (tag == GUMBO_TAG_TD || tag == GUMBO_TAG_TH) w.cell_gap();
          w.block(block_level(tag));
          break;
        }
        if (skipped(tag) || node->type == GUMBO_NODE_TEMPLATE) break;
        if (tag == GUMBO_TAG_BR) {
          w.line_break();
          break;
        }
        w.block(block_level(tag));
        if (tag == GUMBO_TAG_LI) w.text("- ");
        const int pre = step.pre + (tag == GUMBO_TAG_PRE || tag == GUMBO_TAG_TEXTAREA ? 1 : 0);
        stack.push_back({node, true, step.pre});
        const GumboVector& children = node->v.element.children;
        for (unsigned i = children.length; i > 0; --i)
          stack.push_back({static_cast<const GumboNode*>(children.data[i - 1]), false, pre});
        break;
      }
      case GUMBO_NODE_DOCUMENT: {
        const GumboVector& children = node->v.document.children;
        for (unsigned i = children.length; i > 0; --i)
          stack.push_back({static_cast<const GumboNode*>(children.data[i - 1]), false, 0});
        break;
      }
      case GUMBO_NODE_COMMENT:
        break;
    }
  }
  gumbo_destroy_output(&kGumboDefaultOptions, output);
  return w.finish();
}

}  // namespace mail
