// Draws an asciicast (version 2) of text typing itself out onto a cleared
// screen as an animated SVG that loops: each row is revealed character by
// character at the moments of the recording, and the cursor moves along.
//   node scripts/cast-svg.mjs IN.cast OUT.svg
//
// The screen comes from a terminal emulator (xterm's headless build), so every
// character stands in the cells a terminal gives it: a Chinese character takes
// two columns. Every glyph is placed at its cell, whatever the viewer's font.
import { readFileSync, writeFileSync } from "node:fs";
import xterm from "@xterm/headless";

const CELL = { width: 10, height: 22 }; // px; the font is 20 px, Latin half of it,
// on a baseline 18 px down the row, so that no glyph reaches past its row
const PAD = 14;
const HOLD = 4; // seconds the last screen stays before the loop starts again
const COLOURS = ["#3a3a3a", "#e05555", "#6cc46c", "#d8c35a", "#5c8fd8", "#b978d0", "#4fbfc4", "#e8e8e8"];
const FOREGROUND = "#d4d4d4";
const BACKGROUND = "#1c1c1c";
// Dashes, curly quotes and the ellipsis take one column; Chinese fonts draw
// them two wide, so they come from a Latin monospace font.
const NARROW = /[\u2010-\u2027]/;

const [input, output] = process.argv.slice(2);
if (!input || !output) {
  console.error("usage: node scripts/cast-svg.mjs IN.cast OUT.svg");
  process.exit(2);
}
const [header, ...events] = readFileSync(input, "utf8")
  .trim()
  .split("\n")
  .map((line) => JSON.parse(line));
const terminal = new xterm.Terminal({ cols: header.width, rows: header.height, allowProposedApi: true });
const write = (data) => new Promise((resolve) => terminal.write(data, resolve));

// ---- Replaying the recording ---------------------------------------------------

const shown = new Map(); // "row,column" -> { at, chars, width, bold, colour }
const cursor = []; // [seconds, row, column] each time the cursor moved

function look(cell) {
  return {
    chars: cell.getChars(),
    width: cell.getWidth(),
    bold: cell.isBold() !== 0,
    colour: cell.isFgPalette() ? COLOURS[cell.getFgColor() % 8] : FOREGROUND,
  };
}

// Cells that hold a character now and did not: they appear at this moment.
// A screen cleared empties the record, so only what the last clear left counts.
function takeChanges(at) {
  const buffer = terminal.buffer.active;
  let anything = false;
  for (let row = 0; row < terminal.rows; ++row) {
    const line = buffer.getLine(buffer.viewportY + row);
    for (let column = 0; column < terminal.cols; ++column) {
      const cell = line.getCell(column);
      const key = `${row},${column}`;
      if (cell.getChars() === "") continue;
      anything = true;
      const before = shown.get(key);
      if (!before || before.chars !== cell.getChars()) shown.set(key, { at, ...look(cell) });
    }
  }
  if (!anything) shown.clear();
  const last = cursor.at(-1);
  if (!last || last[1] !== buffer.cursorY || last[2] !== buffer.cursorX)
    cursor.push([at, buffer.cursorY, buffer.cursorX]);
}

for (const [at, kind, data] of events) {
  if (kind !== "o") continue;
  await write(data);
  takeChanges(at);
}
const length = events.at(-1)[0] + HOLD;

// ---- Drawing ------------------------------------------------------------------

const percent = (seconds) => `${((seconds / length) * 100).toFixed(3)}%`;
const escape = (text) => text.replace(/&/g, "&amp;").replace(/</g, "&lt;").replace(/>/g, "&gt;");
const x = (column) => PAD + column * CELL.width;
const y = (row) => PAD + row * CELL.height;

const rows = [];
const styles = [];
for (let row = 0; row < terminal.rows; ++row) {
  const cells = [...shown.entries()]
    .map(([key, cell]) => ({ column: Number(key.split(",")[1]), row: Number(key.split(",")[0]), ...cell }))
    .filter((cell) => cell.row === row)
    .sort((a, b) => a.column - b.column);
  if (cells.length === 0) continue;

  // The characters, each at its cell.
  const spans = cells.map((cell) => {
    const font = NARROW.test(cell.chars) ? ' font-family="DejaVu Sans Mono, Menlo, Consolas, monospace"' : "";
    const weight = cell.bold ? ' font-weight="bold"' : "";
    const fill = cell.colour !== FOREGROUND ? ` fill="${cell.colour}"` : "";
    return `<tspan x="${x(cell.column)}"${font}${weight}${fill}>${escape(cell.chars)}</tspan>`;
  });
  rows.push(`<text y="${y(row) + 18}">${spans.join("")}</text>`);

  // A curtain of the background over the row, stepping right as each character comes.
  const steps = [`0%{transform:translateX(0)}`];
  for (const cell of cells)
    steps.push(`${percent(cell.at)}{transform:translateX(${(cell.column + cell.width) * CELL.width}px)}`);
  styles.push(`@keyframes r${row}{${steps.join("")}}`);
  styles.push(`.r${row}{animation:r${row} ${length.toFixed(3)}s steps(1,end) infinite}`);
  rows.push(
    `<rect class="r${row}" x="${x(0)}" y="${y(row) - 1}" width="${terminal.cols * CELL.width}" height="${CELL.height + 1}" fill="${BACKGROUND}"/>`,
  );
}

const place = ([, row, column]) => `{transform:translate(${x(column)}px,${y(row)}px)}`;
const moves = [`0%${place(cursor[0])}`, ...cursor.map((move) => `${percent(move[0])}${place(move)}`)];
styles.push(`@keyframes cursor{${moves.join("")}}`);
styles.push(`.cursor{animation:cursor ${length.toFixed(3)}s steps(1,end) infinite}`);

const width = 2 * PAD + terminal.cols * CELL.width;
const height = 2 * PAD + terminal.rows * CELL.height;
const svg = `<svg xmlns="http://www.w3.org/2000/svg" width="${width}" height="${height}" viewBox="0 0 ${width} ${height}" role="img">
<title>${escape(header.title ?? "")}</title>
<style>${styles.join("\n")}</style>
<rect width="${width}" height="${height}" fill="${BACKGROUND}"/>
<g font-family="Noto Sans Mono CJK SC, Sarasa Mono SC, PingFang SC, Microsoft YaHei, monospace" font-size="20" fill="${FOREGROUND}" xml:space="preserve">
${rows.join("\n")}
</g>
<rect class="cursor" width="${CELL.width}" height="${CELL.height}" fill="${FOREGROUND}" opacity="0.7"/>
</svg>
`;
writeFileSync(output, svg);
console.log(`cast-svg: ${output} (${shown.size} characters over ${length.toFixed(1)} s, ${svg.length} bytes)`);
