#pragma once

#include <string>
#include <string_view>

namespace mail {

// Plain text of an HTML document, parsed with a real HTML5 parser: block
// elements and <br> become line breaks (paragraphs and headings a blank line),
// white space in running text collapses as a browser would, <pre> keeps its
// own, list items start with "- ", and script, style, head and template
// content is dropped. Markup that would make the parser slow (nesting deeper
// than real mail goes, more nodes or tags than it holds) is cut where it
// passes those bounds; the text before that point is kept.
[[nodiscard]] std::string html_to_text(std::string_view html);

}  // namespace mail
