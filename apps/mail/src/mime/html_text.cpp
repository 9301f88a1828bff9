#include "mime/html_text.h"

#include <gumbo.h>

#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace mail {

namespace {

bool skipped(GumboTag tag) {
  switch (tag) {
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_HEAD:
    case GUMBO_TAG_TITLE:
    case GUMBO_TAG_TEMPLATE:
    case GUMBO_TAG_NOSCRIPT:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_OBJECT:
    case GUMBO_TAG_SVG:
    case GUMBO_TAG_MATH:
    case GUMBO_TAG_NOFRAMES:
      return true;
    default:
      return false;
  }
}

// Line breaks an element asks for before and after itself: 0 inline, 1 a
// line, 2 a paragraph.
int block_level(GumboTag tag) {
  switch (tag) {
    case GUMBO_TAG_P:
    case GUMBO_TAG_H1:
    case GUMBO_TAG_H2:
    case GUMBO_TAG_H3:
    case GUMBO_TAG_H4:
    case GUMBO_TAG_H5:
    case GUMBO_TAG_H6:
    case GUMBO_TAG_BLOCKQUOTE:
    case GUMBO_TAG_PRE:
    case GUMBO_TAG_TABLE:
    case GUMBO_TAG_UL:
    case GUMBO_TAG_OL:
    case GUMBO_TAG_DL:
    case GUMBO_TAG_HR:
      return 2;
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_LI:
    case GUMBO_TAG_TR:
    case GUMBO_TAG_SECTION:
    case GUMBO_TAG_ARTICLE:
    case GUMBO_TAG_HEADER:
    case GUMBO_TAG_FOOTER:
    case GUMBO_TAG_NAV:
    case GUMBO_TAG_ASIDE:
    case GUMBO_TAG_ADDRESS:
    case GUMBO_TAG_DT:
    case GUMBO_TAG_DD:
    case GUMBO_TAG_CAPTION:
    case GUMBO_TAG_CENTER:
    case GUMBO_TAG_FIGURE:
    case GUMBO_TAG_FIGCAPTION:
    case GUMBO_TAG_MAIN:
    case GUMBO_TAG_FORM:
    case GUMBO_TAG_FIELDSET:
    case GUMBO_TAG_BODY:
    case GUMBO_TAG_HTML:
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

// NB: gumbo has no limits of its own, and hostile markup makes it slow in
// several ways: its scope checks walk the open elements, so the work grows with
// the nesting depth times the number of tags; formatting elements are rebuilt
// for every character of text; and recording a parse error copies the whole
// stack of open elements. Errors are therefore not recorded, the markup is cut
// at `max_bytes` and after `max_tags` tags, and the parser is watched as it
// builds: once the tree would hold more than `max_nodes` nodes, or one deeper
// than `max_depth`, the parse stops and the markup is parsed again up to where
// that node began. Real mail stays far below all four.
constexpr std::size_t max_bytes = 4u << 20;
constexpr std::size_t max_tags = 150000;
constexpr std::size_t max_nodes = 100000;
constexpr int max_depth = 128;
constexpr int max_attempts = 4;

bool ascii_alpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::string_view bounded_html(std::string_view html) {
  if (html.size() > max_bytes) html = html.substr(0, max_bytes);
  // Anything that may open a tag counts, wherever it stands: a rough count
  // only ever cuts too early, and only markup far denser than real mail.
  std::size_t tags = 0;
  for (std::size_t i = html.find('<'); i != std::string_view::npos; i = html.find('<', i + 1)) {
    if (i + 1 == html.size()) break;
    const char next = html[i + 1];
    if (!ascii_alpha(next) && next != '/' && next != '!' && next != '?') continue;
    if (++tags > max_tags) return html.substr(0, i);
  }
  return html;
}

// The parser's memory, handed out so that the parse can be stopped from inside
// an allocation. Node records come from one block: a node's ancestors can then
// be followed while the parser runs, and every pointer followed is checked to
// lie in that block. Everything is released with the watch.
class ParseWatch {
 public:
  ParseWatch() : nodes_(std::make_unique_for_overwrite<std::byte[]>(max_nodes * node_size)) {}
  ParseWatch(const ParseWatch&) = delete;
  ParseWatch& operator=(const ParseWatch&) = delete;
  ~ParseWatch() { release(); }

  GumboOptions options() {
    GumboOptions o = kGumboDefaultOptions;
    o.max_errors = 0;
    o.allocator = &ParseWatch::allocate;
    o.deallocator = &ParseWatch::deallocate;
    o.userdata = this;
    return o;
  }

  // Frees everything the last parse allocated and starts afresh.
  void release() {
    for (Block* b = blocks_.next; b != &blocks_;) {
      Block* next = b->next;
      std::free(b);
      b = next;
    }
    blocks_.next = blocks_.prev = &blocks_;
    used_ = 0;
    free_ = nullptr;
    pending_ = nullptr;
    cut_ = 0;
  }

  // Where the markup should end for the next attempt, after a stop.
  std::size_t cut() const { return cut_; }

  std::jmp_buf stop;

 private:
  static constexpr std::size_t node_size = sizeof(GumboNode);

  struct alignas(std::max_align_t) Block {
    Block* prev;
    Block* next;
  };

  bool is_node(const void* p) const {
    const auto* b = static_cast<const std::byte*>(p);
    const std::byte* base = nodes_.get();
    return b >= base && b < base + used_ * node_size &&
           static_cast<std::size_t>(b - base) % node_size == 0;
  }

  static std::size_t offset_of(const GumboNode& n) {
    switch (n.type) {
      case GUMBO_NODE_ELEMENT:
      case GUMBO_NODE_TEMPLATE:
        return n.v.element.start_pos.offset;
      case GUMBO_NODE_TEXT:
      case GUMBO_NODE_CDATA:
      case GUMBO_NODE_COMMENT:
      case GUMBO_NODE_WHITESPACE:
        return n.v.text.start_pos.offset;
      default:
        return 0;
    }
  }

  // The node allocated last is in the tree by the time the next one is asked
  // for: stop when it lies deeper than allowed.
  void check_pending() {
    const GumboNode* n = pending_;
    pending_ = nullptr;
    if (n == nullptr) return;
    cut_ = offset_of(*n);
    int depth = 0;
    for (const GumboNode* p = n; p != nullptr && is_node(p); p = p->parent) {
      if (++depth > max_depth) std::longjmp(stop, 1);
    }
  }

  void* node() {
    check_pending();
    void* p = free_;
    if (p != nullptr) {
      free_ = *static_cast<void**>(p);
    } else {
      if (used_ == max_nodes) std::longjmp(stop, 1);
      p = nodes_.get() + used_++ * node_size;
    }
    std::memset(p, 0, node_size);
    pending_ = static_cast<GumboNode*>(p);
    return p;
  }

  void* other(std::size_t size) {
    auto* b = static_cast<Block*>(std::malloc(sizeof(Block) + size));
    if (b == nullptr) std::longjmp(stop, 1);
    b->prev = &blocks_;
    b->next = blocks_.next;
    blocks_.next->prev = b;
    blocks_.next = b;
    return b + 1;
  }

  static void* allocate(void* self, std::size_t size) {
    auto* w = static_cast<ParseWatch*>(self);
    return size == node_size ? w->node() : w->other(size);
  }

  static void deallocate(void* self, void* p) {
    auto* w = static_cast<ParseWatch*>(self);
    if (p == nullptr) return;
    if (w->is_node(p)) {
      if (p == w->pending_) w->pending_ = nullptr;
      *static_cast<void**>(p) = w->free_;
      w->free_ = p;
      return;
    }
    Block* b = static_cast<Block*>(p) - 1;
    b->prev->next = b->next;
    b->next->prev = b->prev;
    std::free(b);
  }

  std::unique_ptr<std::byte[]> nodes_;
  std::size_t used_ = 0;
  void* free_ = nullptr;
  GumboNode* pending_ = nullptr;
  std::size_t cut_ = 0;
  Block blocks_{&blocks_, &blocks_};
};

// Runs the parser under the watch; null when the watch stopped it. Nothing
// here needs cleaning up when the watch jumps back out of the parser.
GumboOutput* run_parser(ParseWatch& watch, const GumboOptions* options, const char* html,
                        std::size_t size) {
  if (setjmp(watch.stop) != 0) return nullptr;
  return gumbo_parse_with_options(options, html, size);
}

// Plain text of a parsed document.
std::string convert(const GumboOutput& output) {
  Writer w;
  struct Step {
    const GumboNode* node;
    bool exit;
    int pre;
  };
  // An explicit stack: deeply nested documents cannot exhaust the call stack.
  std::vector<Step> stack{{output.root, false, 0}};
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
  return w.finish();
}

}  // namespace

std::string html_to_text(std::string_view html) {
  html = bounded_html(html);
  ParseWatch watch;
  const GumboOptions options = watch.options();
  for (int attempt = 0; attempt < max_attempts && !html.empty(); ++attempt) {
    if (const GumboOutput* output = run_parser(watch, &options, html.data(), html.size())) {
      return convert(*output);  // the watch frees the tree
    }
    // Stopped: keep the markup before the node that passed a bound.
    html = html.substr(0, std::min(watch.cut(), html.size() - 1));
    watch.release();
  }
  return {};
}

}  // namespace mail
