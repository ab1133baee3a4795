// quillet_demo: loads a data directory and converts sample sentences end to
// end, printing the reading string and the detailed tokens with their labels.
// Usage: quillet_demo DATA_DIR [TEXT...]
#include <iostream>
#include <string>
#include <vector>

#include "dict/data_dir.h"
#include "pipeline.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: quillet_demo DATA_DIR [TEXT...]\n";
    return 2;
  }
  auto pipeline = quillet::load_pipeline(argv[1], {}, true);
  if (!pipeline.ok()) {
    std::cerr << "quillet_demo: " << pipeline.error() << "\n";
    return 1;
  }
  const auto& p = pipeline.value();
  std::vector<std::string> texts(argv + 2, argv + argc);
  if (texts.empty()) texts = {"陳Sir，我哋聽日3點去飲茶，OK？"};
  for (const auto& text : texts) {
    std::cout << "text:    " << text << "\n"
              << "convert: " << quillet::convert(p, text) << "\n"
              << "convert_detailed (token, jyutping, lang, confidence, source):\n";
    for (const auto& t : quillet::convert_detailed(p, text)) {
      std::cout << "  " << t.token << "\t" << t.jyutping << "\t" << t.lang << "\t"
                << t.confidence << "\t" << t.source << "\n";
    }
  }
  return 0;
}
