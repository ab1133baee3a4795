// Decodes the dictionary bundled in the npm package to-jyutping (BSD-2-Clause)
// into plain text: one line per entry, "key<TAB>reading|reading|...", readings
// in the package's own rank order (most likely first), keys in code-point order.
//
//   node tools/decode_tojyutping.mjs PACKAGE_DIR OUT.tsv
//
// The package ships its trie as one packed string inside dist/index.mjs. The
// walk below mirrors the package's own loader: characters >= U+0100 extend the
// current path, pairs of printable ASCII encode one syllable, "~" glues the next
// syllable onto the same character, "{" descends and "}" returns.
import { readFileSync, writeFileSync } from "node:fs";
import { join } from "node:path";

const onset = ["", "b", "p", "m", "f", "d", "t", "n", "l", "g", "k", "ng", "gw", "kw", "w", "h", "z", "c", "s", "j"];
const nucleus = ["aa", "a", "e", "i", "o", "u"];
const rhyme = ["oe", "oen", "oeng", "oet", "oek", "eoi", "eon", "eot", "yu", "yun", "yut", "m", "ng"];
const coda = ["", "i", "u", "m", "n", "ng", "p", "t", "k"];

function decodeSyllable(id) {
  const final = Math.floor((id % 402) / 6);
  return onset[Math.floor(id / 402)] +
    (final >= 54 ? rhyme[final - 54] : nucleus[Math.floor(final / 9)] + coda[final % 9]) +
    ((id % 6) + 1);
}

// Finds the packed trie: the one string literal passed to Array.from that starts with "{".
function extractPacked(source) {
  const marker = 'Array.from("{';
  const start = source.indexOf(marker);
  if (start < 0) throw new Error("packed dictionary not found in dist/index.mjs");
  let i = start + 'Array.from('.length + 1;
  let end = i;
  while (source[end] !== '"') end += source[end] === "\\" ? 2 : 1;
  // The literal uses JSON-compatible escapes only (\" and \\).
  return JSON.parse('"' + source.slice(i, end) + '"');
}

function decode(packed) {
  const s = Array.from(packed);
  const entries = [];
  const stack = [""];
  const depths = [0];
  for (let i = 1; stack.length;) {
    let path = stack[stack.length - 1];
    let depth = depths[depths.length - 1];
    while (s[i].codePointAt(0) >= 256) { path += s[i++]; depth++; }
    const readings = [];
    while (s[i].codePointAt(0) < 123) {
      const syllables = [];
      for (let c = 0; c < depth;) {
        syllables.push(decodeSyllable((s[i++].charCodeAt(0) - 33) * 90 + (s[i++].charCodeAt(0) - 33)));
        if (s[i] === "~") i++; else c++;
      }
      readings.push(syllables.join(" "));
    }
    if (readings.length) entries.push([path, readings]);
    if (s[i] === "{") { i++; stack.push(path); depths.push(depth); }
    else if (s[i] === "}") { i++; stack.pop(); depths.pop(); }
  }
  return entries;
}

const [pkgDir, outPath] = process.argv.slice(2);
if (!pkgDir || !outPath) {
  console.error("usage: node decode_tojyutping.mjs PACKAGE_DIR OUT.tsv");
  process.exit(2);
}
const entries = decode(extractPacked(readFileSync(join(pkgDir, "dist", "index.mjs"), "utf8")));
const cmp = (a, b) => {
  const x = Array.from(a, c => c.codePointAt(0)), y = Array.from(b, c => c.codePointAt(0));
  for (let k = 0; k < Math.min(x.length, y.length); k++) if (x[k] !== y[k]) return x[k] - y[k];
  return x.length - y.length;
};
entries.sort((a, b) => cmp(a[0], b[0]));
writeFileSync(outPath, entries.map(([k, v]) => k + "\t" + v.join("|") + "\n").join(""));
