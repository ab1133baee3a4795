// label_index against a plain search of the constant labels, on the labels
// themselves copied elsewhere, on every one-byte change, cut and extension
// of them, and on texts of every length around the table's word sizes.
#include "python/label_index.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "labels.h"

namespace quillet::python {
namespace {

int searched_index(std::string_view text) {
  for (std::size_t i = 0; i < kConstantLabels.size(); ++i) {
    if (kConstantLabels[i] == text) return static_cast<int>(i);
  }
  return -1;
}

// label_index of `text` read from an odd offset of a buffer with bytes on
// both sides, so that no load is aligned and a read past either end shows.
int index_in_buffer(const std::string& text) {
  std::string buffer = "\xAA" + text + "\xBB\xBB\xBB\xBB\xBB\xBB\xBB\xBB";
  return label_index(std::string_view(buffer.data() + 1, text.size()));
}

TEST(LabelIndex, AgreesWithASearchOfTheConstants) {
  std::vector<std::string> texts;
  for (std::string_view known : kConstantLabels) {
    const std::string label(known);
    texts.push_back(label);
    texts.push_back(label + "s");
    texts.push_back(label + std::string(1, '\0'));
    texts.push_back(label.substr(1));
    texts.push_back(label.substr(0, label.size() - 1));
    for (std::size_t k = 0; k < label.size(); ++k) {
      std::string changed = label;
      changed[k] ^= 0x01;
      texts.push_back(changed);
      changed[k] ^= 0x21;  // case or punctuation
      texts.push_back(changed);
    }
  }
  for (std::size_t n = 0; n <= 40; ++n) {
    texts.push_back(std::string(n, 'a'));
    texts.push_back(std::string(n, '\0'));
  }
  texts.insert(texts.end(), {"Certain", "tojyutping_tiebreaker", "ranked\xE3\x80\x80", "rim",
                             "\xE5\xA5\xBD", "unihan unihan", "classifier_reduplicatio"});
  int known = 0;
  for (const std::string& text : texts) {
    const int expected = searched_index(text);
    known += expected >= 0;
    EXPECT_EQ(index_in_buffer(text), expected) << "'" << text << "' (" << text.size() << " bytes)";
  }
  EXPECT_EQ(known, static_cast<int>(kConstantLabels.size()));
}

TEST(LabelIndex, LangsAreTheirOwnIndex) {
  for (const label::Lang lang : {label::Lang::Yue, label::Lang::En, label::Lang::Punct}) {
    EXPECT_EQ(label_index(label::lang_label(lang)), lang_label_index(lang))
        << label::lang_label(lang);
  }
}

// A memo answers as the table does whatever order labels come in: the same
// place again, another place holding the same bytes, a prefix of a label at
// the same place (same start, shorter), more places than it keeps, unknown
// labels and the empty label.
TEST(LabelIndex, MemoAnswersAsTheTable) {
  const std::string pool = "tojyutpingrimecertainxyz";
  const std::string copy = "certain";
  const std::string_view at = pool;
  const std::vector<std::string_view> sequence = {at.substr(0, 10),
                                                  at.substr(0, 10),
                                                  at.substr(10, 4),
                                                  at.substr(0, 10),
                                                  at.substr(14, 7),
                                                  copy,
                                                  at.substr(14, 7),
                                                  at.substr(0, 2),
                                                  at.substr(0, 10),
                                                  at.substr(21, 3),
                                                  {},
                                                  at.substr(0, 0),
                                                  at.substr(10, 4),
                                                  at.substr(10, 3),
                                                  at.substr(10, 4),
                                                  label::kRanked,
                                                  label::kRanked,
                                                  label::kCertain,
                                                  at.substr(14, 7),
                                                  label::kTied};
  LabelMemo memo;
  for (std::size_t i = 0; i < sequence.size(); ++i) {
    EXPECT_EQ(memo.index_of(sequence[i]), searched_index(sequence[i]))
        << "item " << i << " \"" << sequence[i] << "\"";
  }
}

}  // namespace
}  // namespace quillet::python
