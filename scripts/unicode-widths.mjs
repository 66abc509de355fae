// Writes src/support/widths.h, the columns a terminal gives each character,
// from the Unicode Character Database that Debian ships (package unicode-data),
// so the line editor follows the standard rather than a hand-kept list.
//   no column:   general categories Mn, Me and Cf (but the soft hyphen, which
//                terminals show), and the Hangul vowels and final consonants
//                that join the syllable before them
//   two columns: East Asian Width W and F, with the standard's defaults for
//                unassigned code points in the CJK blocks
//   one column:  everything else
// Usage: node scripts/unicode-widths.mjs [--check]
// With --check it writes nothing and fails when the header is not what the
// data gives.
import { readFileSync, writeFileSync } from "node:fs";

const DATA = "/usr/share/unicode";
const HEADER = new URL("../src/support/widths.h", import.meta.url);
const SOFT_HYPHEN = 0xad;

// Each "first..last ; value" line of a data file, defaults ("# @missing") first.
function ranges(file) {
  const found = [];
  const line = /^(?:# @missing: )?([0-9A-F]+)(?:\.\.([0-9A-F]+))?\s*;\s*([^#\s]+)/;
  for (const text of readFileSync(`${DATA}/${file}`, "utf8").split("\n")) {
    const match = line.exec(text);
    if (match === null) continue;
    const first = parseInt(match[1], 16);
    const last = match[2] === undefined ? first : parseInt(match[2], 16);
    found.push({ first, last, value: match[3], fallback: text.startsWith("#") });
  }
  return [...found.filter((range) => range.fallback), ...found.filter((range) => !range.fallback)];
}

// The code points whose value passes test, later lines overriding earlier ones.
function codePoints(file, test, into = new Map()) {
  for (const { first, last, value } of ranges(file))
    for (let code = first; code <= last; ++code) into.set(code, test(value));
  return into;
}

function merged(set) {
  const codes = [...set].sort((a, b) => a - b);
  const out = [];
  for (const code of codes) {
    const last = out.at(-1);
    if (last !== undefined && last.last + 1 === code) last.last = code;
    else out.push({ first: code, last: code });
  }
  return out;
}

function selected(map) {
  return new Set([...map].filter(([, chosen]) => chosen).map(([code]) => code));
}

const zero = selected(
  codePoints("extracted/DerivedGeneralCategory.txt", (value) => ["Mn", "Me", "Cf"].includes(value)),
);
zero.delete(SOFT_HYPHEN);
for (const code of selected(codePoints("HangulSyllableType.txt", (value) => value === "V" || value === "T")))
  zero.add(code);
const wide = selected(codePoints("EastAsianWidth.txt", (value) => value === "W" || value === "F"));
for (const code of zero) wide.delete(code);

const version = /Version ([0-9.]+)/.exec(readFileSync(`${DATA}/ReadMe.txt`, "utf8"))?.[1] ?? "unknown";
const hex = (code) => `0x${code.toString(16).toUpperCase().padStart(4, "0")}`;
const table = (name, set) => {
  const rows = merged(set).map(({ first, last }) => `{${hex(first)}, ${hex(last)}}`);
  const lines = [];
  for (let i = 0; i < rows.length; i += 4) lines.push(`    ${rows.slice(i, i + 4).join(", ")},`);
  return `inline constexpr Range ${name}[] = {\n${lines.join("\n")}\n};\n`;
};

const header = `// The columns a terminal gives a character, from the Unicode Character
// Database ${version}. Made by scripts/unicode-widths.mjs: do not edit by hand.
#pragma once

namespace Game::Widths {

struct Range {
    char32_t first;
    char32_t last;
};

// clang-format off
// No column: combining marks, format characters, Hangul vowels and finals.
${table("ZERO", zero)}
// Two columns: East Asian wide and fullwidth.
${table("WIDE", wide)}// clang-format on

}  // namespace Game::Widths
`;

if (process.argv[2] === "--check") {
  if (readFileSync(HEADER, "utf8") !== header) {
    console.error(
      "unicode-widths: src/support/widths.h is not what the Unicode data gives; run node scripts/unicode-widths.mjs",
    );
    process.exit(1);
  }
} else {
  writeFileSync(HEADER, header);
}
