// quillet_demo: loads a data directory and shows how sample sentences are
// segmented and read. Usage: quillet_demo DATA_DIR [TEXT...]
#include <iostream>
#include <string>
#include <vector>

#include "dict/data_dir.h"
#include "dict/reading.h"
#include "segment.h"

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
  if (texts.empty()) texts = {"我哋今日去飲茶"};
  for (const auto& text : texts) {
    std::vector<std::string> tokens;
    quillet::segment_run(text, quillet::CharClass::Cjk, p.word_dict, p.user_dict,
                         p.user_dict_max_chars, tokens);
    std::cout << text << "\n";
    for (const auto& t : tokens) {
      std::cout << "  " << t << "\t"
                << quillet::lookup_reading(t, p.word_dict, p.char_dict, p.user_dict) << "\n";
    }
  }
  return 0;
}
