// The page around the game: a terminal emulator for its console, a queue of
// keys for its input, touch keys and taps for a phone, and a new game when one
// has ended.
"use strict";

// Chinese monospace fonts whose Latin letters take half a Chinese character,
// after the narrow punctuation of style.css.
const FONT_STACK =
  '"Narrow Punctuation", "Noto Sans Mono CJK SC", "Sarasa Mono SC", "PingFang SC", ' + '"Microsoft YaHei", monospace';
const COLUMNS = 80; // as at a terminal, wherever they fit
const WIDEST_LAID_OUT = 46; // the base menu's tabbed options: never fewer columns
const SMALLEST_FONT = 15; // CSS px: readable on a phone
const LARGEST_FONT = 24;
const FEWEST_ROWS = 8;
const ENOUGH_ROWS = 16; // a low window takes a smaller font for these, down to the smallest
const TAP_SLOP = 10; // px a finger may move and still tap

// The page's colours, from style.css.
function colour(name) {
  return getComputedStyle(document.documentElement).getPropertyValue(name).trim();
}

const terminal = new Terminal({
  cols: COLUMNS,
  rows: 24,
  convertEol: true, // the game writes "\n", as a terminal's driver would take it
  fontFamily: FONT_STACK,
  fontSize: 16,
  scrollback: 5000,
  theme: { background: colour("--background"), foreground: colour("--text") },
  allowProposedApi: true, // the Unicode widths below
});
// Unicode 11's widths, as the game's line editor counts columns: an emoji
// takes two, a combining mark none.
terminal.loadAddon(new Unicode11Addon.Unicode11Addon());
terminal.unicode.activeVersion = "11";
terminal.open(document.getElementById("terminal"));
terminal.onTitleChange((title) => {
  document.title = title;
});
document.querySelector('meta[name="theme-color"]').content = colour("--background");
// For whoever wants to read the screen as the player sees it.
window.terminal = terminal;

// A page key is typed exactly: no capitals, corrections or completions.
for (const [name, value] of [
  ["autocapitalize", "off"],
  ["autocomplete", "off"],
  ["autocorrect", "off"],
  ["spellcheck", "false"],
])
  terminal.textarea.setAttribute(name, value);

// ---- Fitting the terminal to its room ------------------------------------------

function screenElement() {
  return terminal.element.querySelector(".xterm-screen");
}

// The size of a cell as drawn now.
function cell() {
  const screen = screenElement();
  return { width: screen.offsetWidth / terminal.cols, height: screen.offsetHeight / terminal.rows };
}

function setFont(size) {
  if (terminal.options.fontSize !== size) terminal.options.fontSize = size;
  return cell();
}

const clamp = (value, low, high) => Math.max(low, Math.min(high, value));

// 80 columns with the font as large as fits, as at a desktop; where 80 would
// need a font smaller than a phone can be read at, as many columns as fit at
// that size, but never fewer than the widest line the game lays out. Then the
// terminal as drawn is measured, and made smaller while it is wider than its
// room: engines round glyph widths their own way.
function fit() {
  const room = document.getElementById("terminal");
  const width = room.clientWidth;
  const now = cell();
  const eighty = (terminal.options.fontSize * width) / (now.width * COLUMNS);
  const enough = (terminal.options.fontSize * room.clientHeight) / (now.height * ENOUGH_ROWS);
  let size = clamp(Math.floor(Math.min(eighty, enough)), SMALLEST_FONT, LARGEST_FONT);
  const columns = clamp(Math.floor(width / setFont(size).width), WIDEST_LAID_OUT, COLUMNS);
  while (columns * cell().width > width && size > 1) setFont(--size);
  terminal.resize(columns, Math.max(FEWEST_ROWS, Math.floor(room.clientHeight / cell().height)));
  while (screenElement().offsetWidth > width && size > 1) {
    if (terminal.cols > WIDEST_LAID_OUT && terminal.cols < COLUMNS) terminal.resize(terminal.cols - 1, terminal.rows);
    else setFont(--size);
  }
  const rows = Math.max(FEWEST_ROWS, Math.floor(room.clientHeight / cell().height));
  if (rows !== terminal.rows) terminal.resize(terminal.cols, rows);
}

// With a phone's keyboard open, only the part of the page above it is seen:
// the page takes that height, so the keys and the cursor's row stay in view.
function fitToWhatIsSeen() {
  const seen = window.visualViewport;
  if (seen) document.documentElement.style.setProperty("--seen-height", `${seen.height}px`);
  window.scrollTo(0, 0);
  fit();
}

window.addEventListener("resize", fitToWhatIsSeen);
window.visualViewport?.addEventListener("resize", fitToWhatIsSeen);
document.fonts?.ready.then(fit); // the first fit may have measured a fallback font

// ---- The game's console --------------------------------------------------------

// Keys typed and not yet taken, as chunks of bytes: a paste of a megabyte is
// one chunk, taken a few thousand bytes at a time without copying the rest.
function newKeyQueue() {
  const chunks = [];
  let first = 0; // bytes of chunks[0] already taken
  let length = 0;
  return {
    get length() {
      return length;
    },
    push(bytes) {
      chunks.push(bytes);
      length += bytes.length;
    },
    // Copies up to `most` bytes into heap at `at`; how many.
    take(heap, at, most) {
      let taken = 0;
      while (taken < most && chunks.length > 0) {
        const part = chunks[0].subarray(first, first + most - taken);
        heap.set(part, at + taken);
        taken += part.length;
        first += part.length;
        if (first === chunks[0].length) {
          chunks.shift();
          first = 0;
        }
      }
      length -= taken;
      return taken;
    },
  };
}

// One console for one game: its keys, its decoder, the wait it is in.
function newConsole(onEnd) {
  const keys = newKeyQueue();
  const encoder = new TextEncoder();
  const decoder = new TextDecoder("utf-8");
  let wake = null; // ends the game's wait, when it is waiting

  return {
    // The game writes bytes, a character at times split across writes: the
    // decoder holds a partial character back until the rest of it arrives.
    write(bytes) {
      const text = decoder.decode(bytes, { stream: true });
      if (text !== "") terminal.write(text);
    },
    keysWaiting() {
      return keys.length;
    },
    takeKeys(heap, at, most) {
      return keys.take(heap, at, most);
    },
    // Resolves 1 when a key is waiting, 2 when the terminal changes size, 0
    // when the milliseconds run out first; with -1 only a key or a change.
    waitForKey(milliseconds) {
      if (keys.length > 0) return Promise.resolve(1);
      return new Promise((resolve) => {
        const timer = milliseconds >= 0 ? setTimeout(() => end(0), milliseconds) : null;
        function end(result) {
          clearTimeout(timer);
          wake = null;
          resolve(result);
        }
        wake = end;
      });
    },
    sleep(milliseconds) {
      return new Promise((resolve) => setTimeout(resolve, milliseconds));
    },
    columns() {
      return terminal.cols;
    },
    rows() {
      return terminal.rows;
    },
    ended: onEnd,
    type(text) {
      keys.push(encoder.encode(text));
      if (wake !== null) wake(1);
    },
    resized() {
      if (wake !== null) wake(2);
    },
  };
}

// ---- Games, one after another ------------------------------------------------

let playing = null; // the console of the game being played; null between games

// A line below the terminal: loading, a failure, the end, or between them
// how to hurry.
function say(text) {
  document.getElementById("said").textContent = text;
}

function sayHowToHurry() {
  say(coarse.matches ? "文字逐字出现时，轻点文字即可全部显示。" : "文字逐字出现时，按空格键或回车键可立即显示全部。");
}

function ended() {
  playing = null;
  say("本局游戏已结束。");
  document.getElementById("again").hidden = false;
}

// Nothing of the game could be had: the page says so rather than stay blank.
function failed() {
  playing = null;
  say("游戏未能载入。请检查网络连接后刷新页面重试。");
}

function start() {
  if (playing !== null) return; // a second click of the same button
  document.getElementById("again").hidden = true;
  terminal.reset();
  if (typeof createGame !== "function") return failed();
  say("正在载入游戏……");
  const game = newConsole(ended);
  playing = game;
  // A new instance each time: nothing of the last game carries over.
  createGame({ page: game, onAbort: failed }).then(
    () => {
      if (playing === game) sayHowToHurry();
    },
    () => failed(),
  );
  terminal.focus();
}

document.getElementById("again").addEventListener("click", start);

terminal.onData((text) => {
  if (playing !== null) playing.type(text);
});
terminal.onResize(() => {
  if (playing !== null) playing.resized();
});

// Closing or reloading the tab ends a game: the browser asks first.
window.addEventListener("beforeunload", (event) => {
  if (playing === null) return;
  event.preventDefault();
  event.returnValue = "";
});

// ---- Keys for a touch screen ---------------------------------------------------

// The keyboard stays with the terminal: a click anywhere but on a control
// does not take it away, and a space typed after a tap on a key does not
// press the key again.
document.addEventListener("mousedown", (event) => {
  if (!event.target.closest("button, input, label, .xterm")) event.preventDefault();
});

for (const button of document.querySelectorAll("#keys button[data-key]")) {
  button.addEventListener("mousedown", (event) => event.preventDefault());
  button.addEventListener("click", () => {
    if (playing !== null) playing.type(button.dataset.key);
  });
}

// On a touch screen the phone's keyboard opens only for typing a page key: by
// the 键盘 key, which focuses the terminal's input as text. Otherwise the
// input takes focus without a keyboard, and a tap on the text is a space.
const coarse = window.matchMedia("(pointer: coarse)");
const keyboardKey = document.getElementById("keyboard");

let typingOn = false; // the player asked for the phone's keyboard

function typing(on) {
  typingOn = on;
  terminal.textarea.inputMode = on || !coarse.matches ? "text" : "none";
  keyboardKey.setAttribute("aria-pressed", String(on));
}

keyboardKey.addEventListener("mousedown", (event) => event.preventDefault());
keyboardKey.addEventListener("click", () => {
  const on = !typingOn; // before the blur, which turns it off
  terminal.textarea.blur(); // a new input mode takes effect at the next focus
  typing(on);
  terminal.focus();
});
terminal.textarea.addEventListener("blur", () => {
  if (typingOn && document.hasFocus()) typing(false);
});
coarse.addEventListener("change", () => typing(false));
typing(false);

let touched = null; // where a finger went down on the text
terminal.element.addEventListener("pointerdown", (event) => {
  touched = event.pointerType === "mouse" ? null : { x: event.clientX, y: event.clientY };
});
terminal.element.addEventListener("pointerup", (event) => {
  const tap = touched !== null && Math.hypot(event.clientX - touched.x, event.clientY - touched.y) < TAP_SLOP;
  touched = null;
  if (tap && playing !== null && !typingOn) playing.type(" ");
});

// ---- Reading the screen aloud --------------------------------------------------

document.getElementById("reader").addEventListener("change", (event) => {
  terminal.options.screenReaderMode = event.target.checked;
  terminal.refresh(0, terminal.rows - 1); // what is on screen now is read out too
  terminal.focus(); // and the keys go on to the game
});

// ---- Offline -------------------------------------------------------------------

// After one visit the site's files are kept, and the game plays with no network.
if ("serviceWorker" in navigator) navigator.serviceWorker.register("sw.js").catch(() => {});

fitToWhatIsSeen();
start();
