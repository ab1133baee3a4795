"""The context rules of context_readings.bin: the curated rules and classes
(tools/data/context_rules.txt, word_classes.txt) checked against the built
lexicon and written in the file's key language (src/passes/context_readings.h).
No I/O here."""

from . import merge

SIDES = {"after": " <", "before": " >"}
# Classes the engine knows without the file.
BUILT_IN_CLASSES = ("end",)


def numeral_words(words, numerals, classifiers):
    """Words of the lexicon written with numerals only, or numerals and one
    classifier after them (一個, 兩隻, 三十)."""
    out = []
    for w in sorted(words):
        body = w[:-1] if w[-1] in classifiers else w
        if body and all(c in numerals for c in body):
            out.append(w)
    return out


def candidates_of(token, chars, words):
    """The candidate readings the engine would give `token`: its word entry,
    else (one character) its character entry."""
    entry = words.get(token) or (chars.get(token) if len(token) == 1 else None)
    return entry.candidates if entry else []


def rule_table(rules, classes, chars, words, skip=()):
    """key -> value of context_readings.bin. `rules` are (target, side,
    neighbour, reading) rows, `classes` class -> tokens. Raises ValueError on
    a rule naming an unknown class or side, or a reading that is not one of
    the target's candidates. Targets in `skip` are left out (to measure them).
    Returns (table, per-target rule counts)."""
    table = {}
    counts = {}
    kinds = {}
    used = set()
    for target, side, neighbour, reading in rules:
        if side not in SIDES:
            raise ValueError("%s: side %r is neither after nor before" % (target, side))
        if not merge.is_reading_for(target, reading):
            raise ValueError("%s: %r is no reading of it" % (target, reading))
        if reading not in candidates_of(target, chars, words):
            raise ValueError("%s: %s is not among its candidates %s"
                             % (target, reading, candidates_of(target, chars, words)))
        if neighbour.startswith("@"):
            name = neighbour[1:]
            if name not in classes and name not in BUILT_IN_CLASSES:
                raise ValueError("%s: unknown class %s" % (target, neighbour))
            used.add(name)
        if target in skip:
            continue
        key = target + SIDES[side] + neighbour
        if key in table:
            raise ValueError("%s: two rules for %s" % (target, key))
        table[key] = reading
        kinds.setdefault(target, set()).add(
            ("L" if side == "after" else "R") if neighbour.startswith("@")
            else ("l" if side == "after" else "r"))
        counts[target] = counts.get(target, 0) + 1
    # "=" T names the kinds of rule T has, so the engine tries no other;
    # "=" lists the targets, so other tokens are not looked up.
    for target, letters in kinds.items():
        table["=" + target] = "".join(k for k in "lrLR" if k in letters)
    if kinds:
        table["="] = "".join(t + " " for t in sorted(kinds))
    members = {}
    for name in sorted(used):
        for token in classes.get(name, ()):
            members.setdefault(token, []).append(name)
    for token, names in members.items():
        table["@" + token] = " ".join(names)
    return table, counts
