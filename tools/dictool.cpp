// quillet_dictool: compiles key<TAB>value text into a dictionary file, and
// checks an existing file, printing it back as text.
//
//   quillet_dictool build [--prefix-table] INPUT.tsv OUTPUT.bin
//                                                (INPUT may be - for stdin)
//   quillet_dictool check FILE.bin               (prints key<TAB>value lines)
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "dict_writer.h"

namespace {

int usage() {
  std::cerr << "usage: quillet_dictool build [--prefix-table] INPUT.tsv OUTPUT.bin\n"
               "       quillet_dictool check FILE.bin\n";
  return 2;
}

int build(const std::string& input, const std::string& output, quillet::PrefixTable prefixes) {
  std::string text;
  if (input == "-") {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  } else {
    std::ifstream in(input, std::ios::binary);
    if (!in) {
      std::cerr << "quillet_dictool: cannot read " << input << "\n";
      return 1;
    }
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  auto entries = quillet::parse_entries(text);
  if (!entries.ok()) {
    std::cerr << "quillet_dictool: " << input << ": " << entries.error() << "\n";
    return 1;
  }
  auto written = quillet::write_dict_file(output, std::move(entries).value(), prefixes);
  if (!written.ok()) {
    std::cerr << "quillet_dictool: " << written.error() << "\n";
    return 1;
  }
  return 0;
}

int check(const std::string& path) {
  auto entries = quillet::read_dict_file(path);
  if (!entries.ok()) {
    std::cerr << "quillet_dictool: " << path << ": " << entries.error() << "\n";
    return 1;
  }
  std::string out;
  for (const auto& e : entries.value()) {
    out += e.key;
    out += '\t';
    out += e.value;
    out += '\n';
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "build") {
    return build(argv[2], argv[3], quillet::PrefixTable::Omit);
  }
  if (argc == 5 && std::string(argv[1]) == "build" && std::string(argv[2]) == "--prefix-table") {
    return build(argv[3], argv[4], quillet::PrefixTable::Write);
  }
  if (argc == 3 && std::string(argv[1]) == "check") return check(argv[2]);
  return usage();
}
