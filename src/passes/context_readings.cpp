// The context-readings pass.
#include "passes/context_readings.h"

#include "unicode.h"

namespace quillet {
namespace {

constexpr std::string_view kEndClass = "end";

// True when the place `at` of `tokens` (which may lie outside them) is the
// edge of a clause: no token, or a punctuation token.
bool is_clause_edge(std::span<const std::string> tokens, std::size_t at) {
  if (at >= tokens.size()) return true;
  const std::string& t = tokens[at];
  if (contains_cjk(t)) return false;
  for (char c : t) {
    if (!is_ascii_alnum(static_cast<unsigned char>(c))) return true;
  }
  return false;
}

// Looks up `target` + `side` + `tail` in `rules`, building the key in `key`.
std::optional<std::string_view> rule_for(const DictFile& rules, std::string_view target,
                                         std::string_view side, std::string_view tail,
                                         std::string& key) {
  key.assign(target);
  key.append(side);
  key.append(tail);
  return rules.get(key);
}

// The first rule for the classes of the neighbour at `at` (stored classes,
// then "end" when it applies), or nothing.
std::optional<std::string_view> class_rule(const DictFile& rules,
                                           std::span<const std::string> tokens,
                                           std::string_view target, std::string_view side,
                                           std::size_t at, std::string& key) {
  if (at < tokens.size()) {
    key.assign("@");
    key.append(tokens[at]);
    if (const auto classes = rules.get(key)) {
      // `classes` views the mapping, so `key` can be reused while walking it.
      std::string_view rest = *classes;
      while (!rest.empty()) {
        const std::size_t space = rest.find(' ');
        const std::string_view name = rest.substr(0, space);
        rest = space == std::string_view::npos ? std::string_view{} : rest.substr(space + 1);
        if (name.empty()) continue;
        if (auto found = rule_for(rules, target, side, name, key)) return found;
      }
    }
  }
  if (is_clause_edge(tokens, at)) return rule_for(rules, target, side, kEndClass, key);
  return std::nullopt;
}

}  // namespace

ReadingChanges context_readings(std::span<const std::string> tokens,
                                const std::optional<DictFile>& rules) {
  ReadingChanges changes;
  if (!rules || rules->entry_count() == 0) return changes;
  std::string key;
  // A place before the first token is written as tokens.size(): outside the
  // span either way, which is_clause_edge reads as the edge of the text.
  const std::size_t none = tokens.size();
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const std::string& target = tokens[i];
    if (!contains_cjk(target)) continue;
    key.assign("=");
    key.append(target);
    if (!rules->get(key)) continue;
    const std::size_t left = i > 0 ? i - 1 : none;
    const std::size_t right = i + 1;
    std::optional<std::string_view> found;
    if (left < tokens.size()) found = rule_for(*rules, target, " <", tokens[left], key);
    if (!found && right < tokens.size()) found = rule_for(*rules, target, " >", tokens[right], key);
    if (!found) found = class_rule(*rules, tokens, target, " <@", left, key);
    if (!found) found = class_rule(*rules, tokens, target, " >@", right, key);
    if (found) changes.set(i, std::string(*found));
  }
  return changes;
}

bool is_candidate(std::string_view candidates, bool is_list, std::string_view reading) {
  if (!is_list) return candidates == reading;
  for (;;) {
    const std::size_t bar = candidates.find('|');
    if (candidates.substr(0, bar) == reading) return true;
    if (bar == std::string_view::npos) return false;
    candidates.remove_prefix(bar + 1);
  }
}

std::optional<std::string> pick_candidate(std::string_view candidates, bool is_list,
                                          std::string_view reading) {
  if (!is_list) return std::nullopt;  // a single reading leaves nothing to choose
  std::string_view rest = candidates;
  std::size_t begin = 0;
  for (;;) {
    const std::size_t bar = rest.find('|');
    const std::string_view piece = rest.substr(0, bar);
    if (piece == reading) {
      if (begin == 0) return std::nullopt;  // already first
      std::string out(reading);
      out += '|';
      out.append(candidates.substr(0, begin - 1));  // the pieces before, without the last bar
      if (bar != std::string_view::npos) out.append(rest.substr(bar));
      return out;
    }
    if (bar == std::string_view::npos) return std::nullopt;
    begin += bar + 1;
    rest = rest.substr(bar + 1);
  }
}

}  // namespace quillet
