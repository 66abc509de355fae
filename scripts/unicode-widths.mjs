// Writes src/support/widths.h, the columns a terminal gives each character,
// from the Unicode Character Database that Debian ships (package unicode-data),
// so the line editor and the setting of rows follow the standard rather than a
// hand-kept list; and web/widths.js, the same table for the page's terminal,
// so the game and the terminal that draws it agree on every character.
//   no column:   general categories Mn, Me and Cf (but the soft hyphen, which
//                terminals show), and the Hangul vowels and final consonants
//                that join the syllable before them
//   two columns: East Asian Width W and F, with the standard's defaults for
//                unassigned code points in the CJK blocks
//   one column:  everything else
// Usage: node scripts/unicode-widths.mjs [--check]
// With --check it writes nothing and fails when either file is not what the
// data gives, or when the page's terminal, given web/widths.js, draws any code
// point in other columns than the header gives it.
import { readFileSync, writeFileSync } from "node:fs";
import { runInNewContext } from "node:vm";
import xterm from "@xterm/headless";
import * as prettier from "prettier";

const DATA = "/usr/share/unicode";
const HEADER = new URL("../src/support/widths.h", import.meta.url);
const PROVIDER = new URL("../web/widths.js", import.meta.url);
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

const pairs = (set) => merged(set).flatMap(({ first, last }) => [first, last]);
const unformatted = `// The columns the page's terminal gives a character, as the game counts them
// (src/support/widths.h), from the Unicode Character Database ${version}.
// Made by scripts/unicode-widths.mjs: do not edit by hand.
/* exported gameWidths */
"use strict";

const gameWidths = (() => {
  // Ranges as first and last code point, one after the other.
  const ZERO = [${pairs(zero).map(hex).join(", ")}];
  const WIDE = [${pairs(wide).map(hex).join(", ")}];
  const within = (ranges, code) => {
    let low = 0;
    let high = ranges.length / 2 - 1;
    while (low <= high) {
      const middle = (low + high) >> 1;
      if (code < ranges[2 * middle]) high = middle - 1;
      else if (code > ranges[2 * middle + 1]) low = middle + 1;
      else return true;
    }
    return false;
  };
  const wcwidth = (code) => {
    if (code < 0x20 || (code >= 0x7f && code < 0xa0)) return 0;
    if (within(ZERO, code)) return 0;
    return within(WIDE, code) ? 2 : 1;
  };
  // The terminal's packed value: the width, and whether the character joins
  // the one before it, as a character of no column does.
  const charProperties = (code, preceding) => {
    const before = (preceding >> 1) & 3;
    const joins = wcwidth(code) === 0 && before !== 0;
    return ((joins ? before : wcwidth(code)) << 1) | (joins ? 1 : 0);
  };
  return { version: "game-${version}", wcwidth, charProperties };
})();
`;
const provider = await prettier.format(unformatted, {
  ...(await prettier.resolveConfig(PROVIDER.pathname)),
  filepath: PROVIDER.pathname,
});

// Every code point a terminal draws, through the page's terminal with the
// provider, against the header's table: each after a "|" of one column, which
// a character of no column joins, and the columns the terminal gave it read
// back from its buffer.
async function disagreements() {
  // The header's tables as the kit reads them: none, else two, else one column.
  const columns = new Uint8Array(0x110000).fill(1);
  for (const [name, value] of [
    ["WIDE", 2],
    ["ZERO", 0],
  ]) {
    const table = new RegExp(`${name}\\[\\] = \\{([^;]*)\\};`).exec(readFileSync(HEADER, "utf8"))[1];
    for (const [, first, last] of table.matchAll(/\{(0x[0-9A-F]+), (0x[0-9A-F]+)\}/g))
      columns.fill(value, Number(first), Number(last) + 1);
  }
  const kit = (code) => columns[code];
  const page = runInNewContext(`${readFileSync(PROVIDER, "utf8")}\ngameWidths`);
  const terminal = new xterm.Terminal({ cols: 1000, rows: 1, allowProposedApi: true });
  terminal.unicode.register(page);
  terminal.unicode.activeVersion = page.version;
  const drawn = (code) => !(code < 0x20 || (code >= 0x7f && code < 0xa0) || (code >= 0xd800 && code <= 0xdfff));
  const codes = [];
  for (let code = 0; code <= 0x10ffff; ++code) if (drawn(code)) codes.push(code);
  const found = [];
  for (let at = 0; at < codes.length; at += 300) {
    const batch = codes.slice(at, at + 300);
    const text = batch.map((code) => `|${String.fromCodePoint(code)}`).join("");
    await new Promise((done) => terminal.write(`\x1b[H\x1b[2K${text}`, done));
    const line = terminal.buffer.active.getLine(0);
    let x = 0;
    for (const code of batch) {
      // Joined to the bar, or not drawn at all (the terminal drops U+FEFF): no column.
      const next = line.getCell(x + 1);
      const columns =
        line.getCell(x).getChars().length > 1 || (next.getChars() === "|" && code !== 0x7c) ? 0 : next.getWidth();
      x += 1 + columns;
      if (columns !== kit(code)) found.push(`U+${code.toString(16).toUpperCase()}: ${columns} against ${kit(code)}`);
    }
  }
  return found;
}

if (process.argv[2] === "--check") {
  for (const [file, text] of [
    [HEADER, header],
    [PROVIDER, provider],
  ]) {
    if (readFileSync(file, "utf8") !== text) {
      console.error(
        `unicode-widths: ${file.pathname} is not what the Unicode data gives; run node scripts/unicode-widths.mjs`,
      );
      process.exit(1);
    }
  }
  const found = await disagreements();
  if (found.length > 0) {
    console.error(`unicode-widths: the page's terminal and the game disagree on ${found.length} code points:`);
    console.error(found.slice(0, 20).join("\n"));
    process.exit(1);
  }
} else {
  writeFileSync(HEADER, header);
  writeFileSync(PROVIDER, provider);
}
