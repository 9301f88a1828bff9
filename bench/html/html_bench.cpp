// HTML to text on hostile shapes at the largest size a message may carry
// (4 MiB): deep or misnested markup, markup that never closes, stray end
// tags, text under many formatting elements. The worst of these bounds how
// long one message can hold the engine.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "mime/html_text.h"

namespace {

constexpr std::size_t allowed = 4u << 20;

struct Shape {
  const char* name;
  std::string head;
  std::string unit;
};

std::string repeat(const std::string& unit, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += unit;
  return out;
}

std::string formatting_run(int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += "<b a=" + std::to_string(i) + ">";
  return out;
}

const std::vector<Shape>& shapes() {
  static const std::vector<Shape> all = {
      {"div_self_closing", "", "<div/>"},
      {"div_stray_end", "", "<div></x>"},
      {"span", "", "<span>"},
      {"b_i", "", "<b><i>"},
      {"b_attributes", "", "<b a=1>"},
      {"a_nesting", "", "<a>x"},
      {"table_in_table", "", "<table>"},
      {"table_cells", "", "<table><tr><td>"},
      {"p_p", "", "<p><p>"},
      {"font", "", "<font>"},
      {"font_div", "", "<font color=red><div>"},
      {"li", "", "<li>"},
      {"ul_li", "", "<ul><li>"},
      {"option", "", "<option>"},
      {"select", "", "<select>"},
      {"template", "", "<template>"},
      {"svg_g", "<svg>", "<g>"},
      {"svg_g_self_closing", "<svg>", "<g/>"},
      {"math_mi", "<math>", "<mi>"},
      {"svg_foreign_object", "<svg>", "<foreignObject><svg>"},
      {"br", "", "<br>"},
      {"text_b", "", "x<b>"},
      {"adoption_agency", "", "<a><b><div></a>"},
      {"formatting_reopened", "", "<div><b a=1><b a=2><b a=3></div>x"},
      {"stray_end_when_deep", repeat("<span>", 120), "</x>"},
      {"br_when_deep", repeat("<span>", 120), "<br>"},
      {"text_under_formatting", formatting_run(120), "x"},
      {"unclosed_comment", "<!--", "x"},
      {"rawtext", "<noembed>", "x"},
      {"ordinary_table_rows", "<table>", "<tr><td>r</td><td>1234</td></tr>"},
  };
  return all;
}

std::string build(const Shape& s) {
  std::string out = "<p>start</p>" + s.head;
  out.reserve(allowed);
  while (out.size() + s.unit.size() <= allowed) out += s.unit;
  return out;
}

void run(benchmark::State& state, const Shape& shape) {
  const std::string html = build(shape);
  std::size_t out = 0;
  for (auto _ : state) {
    std::string text = mail::html_to_text(html);
    out = text.size();
    benchmark::DoNotOptimize(text);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * html.size()));
  state.counters["text_bytes"] = static_cast<double>(out);
}

const bool registered = [] {
  for (const Shape& shape : shapes()) {
    benchmark::RegisterBenchmark((std::string("BM_HtmlToText/") + shape.name).c_str(),
                                 [&shape](benchmark::State& state) { run(state, shape); })
        ->Unit(benchmark::kMillisecond)
        ->MeasureProcessCPUTime();
  }
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
