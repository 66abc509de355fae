// The page around the game: a terminal emulator for its console, a queue of
// keys for its input, touch keys and taps for a phone, and a new game when one
// has ended.
"use strict";

// Chinese monospace fonts whose Latin letters take half a Chinese character,
// after the narrow punctuation of style.css; where they are missing, the
// system's monospace font for Latin (the terminal measures its cells from it)
// and the proportional Chinese fonts only for the Chinese characters.
const FONT_STACK =
  '"Narrow Punctuation", "Noto Sans Mono CJK SC", "Sarasa Mono SC", ui-monospace, Menlo, Consolas, ' +
  '"DejaVu Sans Mono", "Liberation Mono", monospace, "PingFang SC", "Microsoft YaHei"';
const COLUMNS = 80; // as at a terminal, wherever they fit
const WIDEST_LAID_OUT = 46; // the base menu's tabbed options: never fewer columns
const SMALLEST_FONT = 15; // CSS px: readable on a phone
const LARGEST_FONT = 24;
const ENOUGH_ROWS = 16; // a low window takes a smaller font for these, down to the smallest
const CRAMPED_ROWS = 3; // fewer with a phone's keyboard open, and the page's notes leave the terminal their room
const KEYBOARD_LEAST = 120; // CSS px: the visual viewport grown back by this much, a phone's keyboard closed
const TAP_SLOP = 10; // px a finger may move and still tap
const GLIDE_DECAY = 0.92; // of a swipe's speed kept each 16 ms after the finger leaves
const GLIDE_FASTEST = 4; // px per ms

// The page's colours and sizes, from style.css.
function pageStyle(name) {
  return getComputedStyle(document.documentElement).getPropertyValue(name).trim();
}

const SCROLLBAR = parseFloat(pageStyle("--scrollbar")); // px beside the text, never over it

const terminal = new Terminal({
  cols: COLUMNS,
  rows: 24,
  convertEol: true, // the game writes "\n", as a terminal's driver would take it
  fontFamily: FONT_STACK,
  fontSize: 16,
  scrollback: 5000,
  theme: {
    background: pageStyle("--background"),
    foreground: pageStyle("--text"),
    red: pageStyle("--link"), // the pages' links, bold or not
    brightRed: pageStyle("--link"),
    overviewRulerBorder: pageStyle("--background"), // the scrollbar's room, drawn as nothing
  },
  overviewRuler: { width: SCROLLBAR },
  // The line being typed is rewrapped with the rest when the width changes, as
  // the game's line editor expects of a terminal.
  reflowCursorLine: true,
  allowProposedApi: true, // the Unicode widths below
});
// The game's own widths (widths.js), so the rows it sets end where it counts
// them to: an emoji takes two columns, a combining mark none.
terminal.unicode.register(gameWidths);
terminal.unicode.activeVersion = gameWidths.version;
terminal.open(document.getElementById("terminal"));
terminal.onTitleChange((title) => {
  document.title = title;
});
document.querySelector('meta[name="theme-color"]').content = pageStyle("--background");
// For whoever wants to read the screen as the player sees it.
window.terminal = terminal;
const reader = newReader(terminal, () => playing?.awaitsKey() === true);

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
  const width = room.clientWidth - SCROLLBAR;
  const now = cell();
  const eighty = (terminal.options.fontSize * width) / (now.width * COLUMNS);
  const enough = (terminal.options.fontSize * room.clientHeight) / (now.height * ENOUGH_ROWS);
  let size = clamp(Math.floor(Math.min(eighty, enough)), SMALLEST_FONT, LARGEST_FONT);
  const columns = clamp(Math.floor(width / setFont(size).width), WIDEST_LAID_OUT, COLUMNS);
  while (columns * cell().width > width && size > 1) setFont(--size);
  terminal.resize(columns, rowsThatFit(room));
  while (screenElement().offsetWidth > width && size > 1) {
    if (terminal.cols > WIDEST_LAID_OUT && terminal.cols < COLUMNS) terminal.resize(terminal.cols - 1, terminal.rows);
    else setFont(--size);
  }
  const rows = rowsThatFit(room);
  if (rows !== terminal.rows) terminal.resize(terminal.cols, rows);
}

// Whole rows only, and at least the cursor's.
function rowsThatFit(room) {
  return Math.max(1, Math.floor(room.clientHeight / cell().height));
}

// With a phone's keyboard open, only the part of the page above it is seen:
// the page takes that height, and where that leaves less than a few rows
// while a game is played the page's switch and notes give their room to the
// terminal. A small window without a keyboard keeps them, so a new game can
// always be had. While a line is typed the cursor's row is shown, whatever
// was being read back.
function fitToWhatIsSeen() {
  const seen = window.visualViewport;
  const root = document.documentElement;
  if (seen) root.style.setProperty("--seen-height", `${seen.height}px`);
  if (seen) keyboardClosedBy(seen);
  root.classList.remove("cramped");
  window.scrollTo(0, 0);
  fit();
  const room = document.getElementById("terminal").clientHeight;
  if (typingOn && playing !== null && room < CRAMPED_ROWS * cell().height) {
    root.classList.add("cramped");
    fit();
  }
  if (typingOn) terminal.scrollToBottom();
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
// onAnswered: a key taken where the game waited for one moved it on to a
// new line or screen, as a key that answers a prompt does; a key typed into
// a line never does before Enter.
function newConsole(onEnd, onAnswered) {
  const keys = newKeyQueue();
  const encoder = new TextEncoder();
  const decoder = new TextDecoder("utf-8");
  let wake = null; // ends the game's wait, when it is waiting
  let awaitingKey = false; // the game waits for a key, with no deadline
  let answering = false; // a key was taken at such a wait, and the game has not waited again

  return {
    // The game writes whole characters and escape sequences only.
    write(bytes) {
      const text = decoder.decode(bytes);
      terminal.write(text);
      if (answering && (text.includes("\n") || text.includes("\x1b[2J"))) {
        answering = false;
        onAnswered();
      }
    },
    awaitsKey() {
      return awaitingKey;
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
      const forKey = milliseconds < 0;
      if (forKey) answering = false;
      if (keys.length > 0) {
        answering ||= forKey;
        return Promise.resolve(1);
      }
      awaitingKey = forKey;
      if (forKey) reader.waiting();
      return new Promise((resolve) => {
        const timer = forKey ? null : setTimeout(() => end(0), milliseconds);
        function end(result) {
          clearTimeout(timer);
          wake = null;
          awaitingKey = false;
          answering ||= forKey && result === 1;
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
  const said = document.getElementById("said");
  if (said.dataset.failed === undefined) said.textContent = text; // a failure stays said
}

function sayHowToHurry() {
  say(
    coarse.matches
      ? "文字逐字出现时，轻点文字即可全部显示。"
      : "文字逐字出现时，按空格键或回车键可立即显示全部；按 Esc 键可转到页面按钮。",
  );
}

function ended() {
  playing = null;
  stopTyping();
  say("本局游戏已结束。");
  document.getElementById("again").hidden = false;
  fitToWhatIsSeen(); // the notes and 开始新游戏 back, were they given up to a keyboard
}

// Nothing of the game could be had: the page says so rather than stay blank,
// in the words of index.html, which says it too when this script cannot run.
function failed() {
  playing = null;
  cannotLoad();
}

function start() {
  if (playing !== null) return; // a second click of the same button
  document.getElementById("again").hidden = true;
  terminal.reset();
  if (typeof createGame !== "function") return failed();
  say("正在载入游戏……");
  const game = newConsole(ended, stopTyping);
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
  if (text.includes("\r")) stopTyping(); // the line is sent
  if (playing !== null) playing.type(text);
});

// Tab and Esc: the terminal keeps Tab for the game while one is played; after
// it, and by Esc at any time, the keys go to the page's buttons.
terminal.attachCustomKeyEventHandler((event) => {
  if (event.type !== "keydown") return true;
  if (event.key === "Tab") return playing !== null;
  if (event.key !== "Escape") return true;
  event.preventDefault();
  focusControls();
  return false;
});

function focusControls() {
  const again = document.getElementById("again");
  (again.hidden ? document.querySelector("#keys button") : again).focus();
}

// Text that reaches the terminal's input as a whole (a phone keyboard's word,
// a suggestion, voice typing, an emoji panel) is an input event with no key
// pressed. The terminal sends it on only while its screen reader mode is
// off; with it on, the page sends it.
let keyHeld = false; // a key is down: what it inserts the terminal has sent
window.addEventListener("keydown", () => (keyHeld = true), true);
window.addEventListener("keyup", () => (keyHeld = false), true);
terminal.textarea.addEventListener("input", (event) => {
  const whole = event.inputType === "insertText" && event.data && !(event.composed && keyHeld);
  if (whole && terminal.options.screenReaderMode) terminal.input(event.data, true);
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

// A key from the page rather than the keyboard: it too brings the view back
// to the game's last rows, as a key does in the terminal.
function pressKey(text) {
  if (playing === null) return;
  terminal.scrollToBottom();
  playing.type(text);
}

for (const button of document.querySelectorAll("#keys button[data-key]")) {
  button.addEventListener("mousedown", (event) => event.preventDefault());
  button.addEventListener("click", () => {
    if (button.dataset.key === "\r") stopTyping(); // the line is sent
    pressKey(button.dataset.key);
  });
}

// On a touch screen the phone's keyboard opens only for typing a page key: by
// the 键盘 key, which focuses the terminal's input as text, until the line is
// sent. Otherwise the input takes focus without a keyboard, and a tap on the
// text is a space.
const coarse = window.matchMedia("(pointer: coarse)");
const keyboardKey = document.getElementById("keyboard");

let typingOn = false; // the player asked for the phone's keyboard

function typing(on) {
  typingOn = on;
  lowest = null;
  terminal.textarea.inputMode = on || !coarse.matches ? "text" : "none";
  keyboardKey.setAttribute("aria-pressed", String(on));
}

// A new input mode takes effect at the next focus: the keyboard opens or closes.
function refocusTyping(on) {
  const focused = document.activeElement === terminal.textarea;
  terminal.textarea.blur();
  typing(on);
  if (on || focused) terminal.focus();
}

function stopTyping() {
  if (typingOn) refocusTyping(false);
}

keyboardKey.addEventListener("mousedown", (event) => event.preventDefault());
keyboardKey.addEventListener("click", () => refocusTyping(!typingOn));
// The phone's keyboard closed by the phone, or the input left for a control.
terminal.textarea.addEventListener("blur", () => {
  if (document.hasFocus()) typing(false);
});
coarse.addEventListener("change", () => typing(false));

// A phone closes its keyboard itself too (a back key, a swipe), with the
// input still focused: the visual viewport grows back by a keyboard's height
// at the same width, and typing ends.
let lowest = null; // the lowest visual viewport at this width while typing
function keyboardClosedBy(seen) {
  if (!typingOn || lowest === null || lowest.width !== seen.width) {
    lowest = { width: seen.width, height: seen.height };
    return;
  }
  lowest.height = Math.min(lowest.height, seen.height);
  if (seen.height >= lowest.height + KEYBOARD_LEAST) typing(false);
}
typing(false);

// ---- Taps and swipes on the text -----------------------------------------------

// A finger on the text: a tap is a space (unless a line is being typed); a
// swipe scrolls back through what was written, and glides on when the finger
// leaves, as a page does. The page handles both, since the terminal moves its
// rows only for a mouse's wheel.
let touched = null; // the finger on the text: where it went down, and its last moves
let glide = null; // the frame that goes on scrolling after a swipe

function scrollByPixels(swipe, pixels) {
  swipe.unscrolled += pixels;
  const lines = Math.trunc(swipe.unscrolled / cell().height);
  if (lines === 0) return;
  swipe.unscrolled -= lines * cell().height;
  terminal.scrollLines(-lines);
}

function glideFrom(swipe, speed) {
  let last = performance.now();
  const step = (now) => {
    speed *= GLIDE_DECAY ** ((now - last) / 16);
    scrollByPixels(swipe, speed * (now - last));
    last = now;
    glide = Math.abs(speed) > 0.05 ? requestAnimationFrame(step) : null;
  };
  glide = requestAnimationFrame(step);
}

// Pixels per millisecond over the finger's last tenth of a second.
function speedOf(moves) {
  const recent = moves.filter((move) => move.at > moves[moves.length - 1].at - 100);
  const first = recent[0];
  const last = recent[recent.length - 1];
  return last.at > first.at ? (last.y - first.y) / (last.at - first.at) : 0;
}

// The keys go on to the terminal, with no keyboard unless one is being typed on.
function tapped() {
  terminal.focus();
  if (!typingOn) pressKey(" ");
}

terminal.element.addEventListener("pointerdown", (event) => {
  const stopped = glide !== null; // a finger that stops a glide is no tap
  if (glide !== null) cancelAnimationFrame(glide);
  glide = null;
  touched =
    event.pointerType === "mouse"
      ? null
      : { x: event.clientX, y: event.clientY, swiped: stopped, unscrolled: 0, moves: [] };
});
terminal.element.addEventListener("pointermove", (event) => {
  if (touched === null) return;
  if (Math.hypot(event.clientX - touched.x, event.clientY - touched.y) >= TAP_SLOP) touched.swiped = true;
  const previous = touched.moves[touched.moves.length - 1]?.y ?? touched.y;
  touched.moves.push({ y: event.clientY, at: event.timeStamp });
  if (touched.swiped) scrollByPixels(touched, event.clientY - previous);
});
terminal.element.addEventListener("pointerup", () => {
  const swipe = touched;
  touched = null;
  if (swipe === null) return;
  if (swipe.swiped && swipe.moves.length > 1)
    glideFrom(swipe, clamp(speedOf(swipe.moves), -GLIDE_FASTEST, GLIDE_FASTEST));
  else if (!swipe.swiped) tapped();
});
terminal.element.addEventListener("pointercancel", () => {
  touched = null;
});
// The mouse events a browser makes of taps would select words and rows, two or
// three taps quickly: a finger selects nothing.
terminal.element.addEventListener("touchend", (event) => event.preventDefault(), { passive: false });

// ---- Reading the screen aloud --------------------------------------------------

const readerBox = document.getElementById("reader");
readerBox.addEventListener("change", () => {
  reader.switch(readerBox.checked);
  terminal.focus(); // and the keys go on to the game
});
// A reload may find the box still ticked (browsers keep a form's state):
// the reader comes on with it.
if (readerBox.checked) reader.switch(true);

// ---- Offline -------------------------------------------------------------------

// After one visit the site's files are kept, and the game plays with no network.
if ("serviceWorker" in navigator) navigator.serviceWorker.register("sw.js").catch(() => {});

fitToWhatIsSeen();
start();
pageReady();
