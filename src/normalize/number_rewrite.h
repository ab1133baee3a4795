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

// As normalize_numbers, for the tokenizer's chain of passes: false, with
// `out` untouched, when `text` holds no digit, so that nothing in it can
// change; else `out` is set to normalize_numbers(text) and it returns true.
bool normalize_numbers_into(std::string_view text, std::string& out);

}  // namespace quillet
