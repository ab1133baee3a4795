// The number rewriting pass of the tokenizer: numbers with their currency
// symbols and codes, units, percent signs, fractions, ratios and years become
// Cantonese numeral text.
#pragma once

#include <string>
#include <string_view>

namespace quillet {

// `text` with every number and the marks that give it its meaning rewritten
// as Chinese numerals and names; everything else is copied unchanged. Never
// fails; linear in the length of `text`. Safe from any number of threads.
std::string normalize_numbers(std::string_view text);

}  // namespace quillet
