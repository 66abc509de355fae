// The page around the game: a terminal emulator for its console, a queue of
// keys for its input, and a new game when one has ended.
"use strict";

// Chinese monospace fonts whose Latin letters take half a Chinese character,
// after the narrow punctuation of style.css.
const FONT_STACK =
  '"Narrow Punctuation", "Noto Sans Mono CJK SC", "Sarasa Mono SC", "PingFang SC", ' +
  '"Microsoft YaHei", monospace';
const COLUMNS = 80;
const BASE_FONT_SIZE = 16;

const terminal = new Terminal({
  cols: COLUMNS,
  rows: 24,
  convertEol: true, // the game writes "\n", as a terminal's driver would take it
  fontFamily: FONT_STACK,
  fontSize: BASE_FONT_SIZE,
  scrollback: 5000,
  theme: { background: "#1c1c1c", foreground: "#d0d0d0" },
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
// For whoever wants to read the screen as the player sees it.
window.terminal = terminal;

// ---- Fitting 80 columns to the window -----------------------------------------

function cellSize() {
  const screen = terminal.element.querySelector(".xterm-screen");
  return { width: screen.offsetWidth / terminal.cols, height: screen.offsetHeight / terminal.rows };
}

// The font grows or shrinks so that 80 columns fill the width; the rows fill
// what height the controls leave.
function fit() {
  const main = document.querySelector("main");
  const controls = main.offsetHeight - terminal.element.offsetHeight;
  const cell = cellSize();
  const scale = (main.clientWidth - 16) / (cell.width * COLUMNS);
  const size = Math.max(8, Math.min(24, Math.floor(terminal.options.fontSize * scale)));
  if (size !== terminal.options.fontSize) terminal.options.fontSize = size;
  const rows = Math.floor((window.innerHeight - controls - 16) / cellSize().height);
  terminal.resize(COLUMNS, Math.max(12, rows));
}

window.addEventListener("resize", fit);

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
function newConsole() {
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

function ended() {
  playing = null;
  document.getElementById("ended").hidden = false;
}

function start() {
  document.getElementById("ended").hidden = true;
  terminal.reset();
  playing = newConsole();
  // A new instance each time: nothing of the last game carries over.
  createGame({ page: playing, onExit: ended, onAbort: ended });
  terminal.focus();
}

terminal.onData((text) => {
  if (playing !== null) playing.type(text);
});
terminal.onResize(() => {
  if (playing !== null) playing.resized();
});

for (const button of document.querySelectorAll("#keys button")) {
  // The keyboard stays with the terminal: a space typed after a tap must not
  // press the button again.
  button.addEventListener("mousedown", (event) => event.preventDefault());
  button.addEventListener("click", () => {
    if (playing !== null) playing.type(button.dataset.key);
  });
}

document.getElementById("again").addEventListener("click", start);

document.getElementById("reader").addEventListener("change", (event) => {
  terminal.options.screenReaderMode = event.target.checked;
  terminal.refresh(0, terminal.rows - 1); // what is on screen now is read out too
  terminal.focus(); // and the keys go on to the game
});

// The runtime ends a game by throwing its exit status through the wait the
// game was in; that is the game's end, told to the page already, not an error.
window.addEventListener("unhandledrejection", (event) => {
  if (event.reason?.name === "ExitStatus") event.preventDefault();
});

fit();
start();
