// The tone-2 rule on single syllables, in its general form (tones 3 to 6) and
// the narrower address form (tones 4 and 6).
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "passes/tone_util.h"

namespace quillet {
namespace {

struct ToneRow {
  const char* reading;
  const char* tones;     // tones that may change
  const char* expected;  // nullptr: no change
};

const ToneRow kToneRows[] = {
    {"maan6", "3456", "maan2"},
    {"go3", "3456", "go2"},
    {"lei5", "3456", "lei2"},
    {"jan4", "3456", "jan2"},
    {"sik1", "3456", nullptr},
    {"hou2", "3456", nullptr},       // already tone 2: the rule applies at most once
    {"sik6 faan6", "3456", nullptr},  // several syllables
    {"maan6 ", "3456", nullptr},     // any space at all
    {"", "3456", nullptr},
    {"6", "3456", nullptr},          // digit alone
    {"Maan6", "3456", nullptr},      // upper-case stem
    {"m\xC3\xA1" "an6", "3456", nullptr},  // accented stem
    {"ma-an6", "3456", nullptr},
    {"maan", "3456", nullptr},       // no tone digit
    {"maan7", "3456", nullptr},
    {"\xEF\xBC\x8C", "3456", nullptr},  // a full-width comma
    {"abc3", "3456", "abc2"},        // a Latin word shaped like a syllable changes too
    {"can4", "46", "can2"},
    {"ziu6", "46", "ziu2"},
    {"lei5", "46", nullptr},
    {"go3", "46", nullptr},
    {"sin1", "46", nullptr},
    {"can4 san4", "46", nullptr},
};

TEST(ToneUtil, ToTone2Table) {
  for (const ToneRow& row : kToneRows) {
    const std::optional<std::string> got = to_tone2_from(row.reading, row.tones);
    const std::string shown = got ? *got : "(none)";
    EXPECT_EQ(shown, row.expected ? row.expected : "(none)")
        << "reading '" << row.reading << "' tones " << row.tones;
    if (std::string_view(row.tones) == "3456") {
      EXPECT_EQ(to_tone2(row.reading), got) << "to_tone2 differs on '" << row.reading << "'";
    }
  }
}

}  // namespace
}  // namespace quillet
