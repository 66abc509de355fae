// The story read aloud. With 读屏模式 on, the terminal's rows can be read
// back one by one, and a live region of the page's own hands a screen reader
// each line of the game's output once, whole, when it is finished; and, when
// the game waits for a key, the part of the unfinished line not yet said (a
// prompt, the selector's letter). The terminal's own live region is taken
// away: it sends everything since the last key again each time it grows.
"use strict";

/* exported newReader */

const SAYINGS_KEPT = 200; // in the region, for reading back in a screen reader's own way
const TOGETHER = 100; // ms: lines finished within this are said as one
const GAP = 400; // ms between two texts said
const SAID_ON = "读屏模式已开启。";
const SAID_OFF = "读屏模式已关闭。";

// The terminal's input has this name from when it is made.
Terminal.strings.promptLabel = "游戏输入";

// A region a screen reader reads as it grows, and nobody sees.
function newSpokenRegion() {
  const region = document.createElement("div");
  region.setAttribute("role", "log");
  region.setAttribute("aria-live", "polite");
  region.id = "spoken";
  Object.assign(region.style, {
    position: "absolute",
    width: "1px",
    height: "1px",
    overflow: "hidden",
    clipPath: "inset(50%)",
    whiteSpace: "pre-line", // a line to a line
  });
  document.body.append(region);
  return region;
}

// The logical line (its rows the terminal wrapped, joined) that ends on the
// buffer's line `last`, as text to be said: runs of blanks and tabs as one space.
function lineEndingAt(terminal, last) {
  const buffer = terminal.buffer.active;
  let first = last;
  while (first > 0 && buffer.getLine(first)?.isWrapped) --first;
  let text = "";
  for (let y = first; y <= last; ++y) text += buffer.getLine(y)?.translateToString(true) ?? "";
  return text.replace(/\s+/g, " ").trim();
}

function commonPrefix(a, b) {
  let length = 0;
  while (length < a.length && length < b.length && a[length] === b[length]) ++length;
  return length;
}

// awaitsKey: whether the game waits for a key now.
function newReader(terminal, awaitsKey) {
  const region = newSpokenRegion();
  let on = false;
  let said = ""; // what of the cursor's line has been said
  let typed = ""; // keys typed and not yet seen echoed: the screen reader says them itself

  // Lines finished close together (a hurried text, a choice and its prompt)
  // go into the region as one text, and one text at most each GAP: a screen
  // reader may say texts that come closer than that out of order.
  let together = null;
  let lastSaid = -GAP;
  function say(text) {
    if (text === "") return;
    if (together !== null) return void (together.textContent += `\n${text}`);
    together = document.createElement("p");
    together.textContent = text;
    const now = performance.now();
    setTimeout(sayTogether, Math.max(TOGETHER, lastSaid + GAP - now));
  }

  function sayTogether() {
    region.append(together);
    together = null;
    lastSaid = performance.now();
    while (region.childElementCount > SAYINGS_KEPT) region.firstElementChild.remove();
  }

  const cursorLine = () => terminal.buffer.active.baseY + terminal.buffer.active.cursorY;

  // What of the cursor's line has not been said: all of it, or past what it
  // has in common with what was (a letter the selector put in place of another).
  function unsaid(text) {
    const start = commonPrefix(said, text);
    said = text;
    return text.slice(start).trim();
  }

  // Lines finished in the batch of writes the terminal is parsing: they are
  // said once it has parsed it, and not at all if the batch clears them from
  // the screen first, as nobody saw them.
  let unread = [];
  let firstLine = 0; // the cursor's line when the batch began

  function finished(line) {
    unread.push(unsaid(lineEndingAt(terminal, line)));
    said = "";
    typed = "";
  }

  function sayUnread() {
    for (const text of unread) say(text);
    unread = [];
    firstLine = cursorLine();
  }

  // The unfinished line is said only if it stood on screen before this batch.
  function cleared() {
    unread = [];
    if (cursorLine() === firstLine) finished(cursorLine());
    said = "";
    typed = "";
  }

  // Keys typed while the game was busy are echoed later: they are taken from
  // the keys as their echo is seen.
  function waiting() {
    sayUnread();
    const text = lineEndingAt(terminal, cursorLine());
    const added = text.startsWith(said) ? text.slice(said.length).trim() : null;
    const echo = added === null ? -1 : typed.indexOf(added);
    const rest = unsaid(text);
    if (echo < 0) say(rest);
    else typed = typed.slice(echo + added.length);
  }

  terminal.onLineFeed(() => {
    if (on) finished(cursorLine() - 1);
  });
  // A cleared screen: the line that stood unfinished goes first, if it was seen.
  terminal.parser.registerCsiHandler({ final: "J" }, (params) => {
    if (on && params[0] >= 2) cleared();
    return false;
  });
  terminal.onWriteParsed(() => {
    if (on) sayUnread();
  });
  terminal.onData((keys) => {
    if (on) typed += keys;
  });

  // The finished lines the screen shows now, when the reader comes on in the
  // middle of a game; the cursor's line too if the game waits at it, else it
  // is said whole once finished.
  function sayScreen() {
    say(SAID_ON);
    const buffer = terminal.buffer.active;
    for (let y = buffer.baseY; y < cursorLine(); ++y)
      if (!buffer.getLine(y + 1)?.isWrapped) say(lineEndingAt(terminal, y));
    said = "";
    unread = [];
    firstLine = cursorLine();
    if (awaitsKey()) waiting();
  }

  return {
    // The game waits for a key: what of the cursor's line is new is said,
    // once the terminal has taken everything written before.
    waiting() {
      if (on) terminal.write("", waiting);
    },
    switch(now) {
      on = now;
      terminal.options.screenReaderMode = on;
      terminal.refresh(0, terminal.rows - 1); // the rows as they stand now
      terminal.element.querySelector(".live-region")?.remove();
      terminal.element.querySelector(".xterm-accessibility-tree")?.setAttribute("aria-label", "游戏画面");
      if (on) terminal.write("", sayScreen);
      else say(SAID_OFF);
    },
  };
}
