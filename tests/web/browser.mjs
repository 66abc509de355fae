// Drives the browser edition as a player would, in Chromium, Firefox ESR or
// WebKit, all from Debian: the site served on 127.0.0.1, keys typed into the
// page's terminal, and what the player sees read back from the terminal
// emulator's own buffer.
//
// To know where a play has got to, each page's terminal writes are also kept
// in order (window.written), as the transcript of a terminal session is; the
// checks of what is shown read the screen.
import { readFile } from "node:fs/promises";
import { createServer } from "node:http";
import { extname, join, normalize } from "node:path";
import puppeteer from "puppeteer-core";

import { launchWebKit } from "./webkit.mjs";

export const ENGINES = ["chromium", "firefox", "webkit"];
export const PHONE = { width: 390, height: 844 }; // CSS px, at three device pixels each

// ---- The site -------------------------------------------------------------------

const TYPES = {
  ".html": "text/html; charset=utf-8",
  ".js": "text/javascript; charset=utf-8",
  ".css": "text/css; charset=utf-8",
  ".wasm": "application/wasm",
  ".png": "image/png",
  ".webmanifest": "application/manifest+json",
  ".txt": "text/plain; charset=utf-8",
};

// What a spoiled site lacks: its game's WebAssembly, a script or a style sheet; or
// it has WebAssembly or a script that is not, or WebAssembly that comes
// slowly; or it is a newer build, whose service worker has another version.
const SPOILS = {
  missing: { file: "/huanglang.wasm", body: null },
  broken: { file: "/huanglang.wasm", body: Buffer.from("not WebAssembly") },
  "no script": { file: "/huanglang.js", body: null },
  "no terminal": { file: "/xterm.js", body: null },
  "broken widths": { file: "/widths.js", body: Buffer.from("this is not (a script") },
  "no page script": { file: "/game.js", body: null },
  "no terminal style": { file: "/xterm.css", body: null },
  slow: { file: "/huanglang.wasm", delay: 1500 },
  "new build": { file: "/sw.js", edit: (text) => text.replace(/const VERSION = "/, "$&next-") },
};

// Serves the site's folder, and the tests' own pages under /tests/. Offline,
// every request fails as with no network; spoiled, one file is missing or broken.
export async function serve(site) {
  const tests = new URL(".", import.meta.url).pathname;
  let offline = false;
  let spoiled = null;
  const server = createServer(async (request, response) => {
    if (offline) return request.socket.destroy();
    const path = normalize(decodeURIComponent(new URL(request.url, "http://here").pathname));
    if (spoiled?.file === path && spoiled.delay) await sleep(spoiled.delay);
    else if (spoiled?.file === path && spoiled.edit) {
      response.writeHead(200, { "content-type": TYPES[extname(path)] });
      return response.end(spoiled.edit(await readFile(join(site, path), "utf8")));
    } else if (spoiled?.file === path) {
      response.writeHead(spoiled.body === null ? 404 : 200, { "content-type": TYPES[extname(path)] });
      return response.end(spoiled.body ?? undefined);
    }
    const file = path.startsWith("/tests/")
      ? join(tests, path.slice(7))
      : join(site, path.endsWith("/") ? `${path}index.html` : path);
    try {
      const body = await readFile(file);
      response.writeHead(200, { "content-type": TYPES[extname(file)] ?? "application/octet-stream" });
      response.end(body);
    } catch {
      response.writeHead(404);
      response.end();
    }
  });
  await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
  return {
    url: `http://127.0.0.1:${server.address().port}/`,
    offline(on) {
      offline = on;
      if (on) server.closeAllConnections();
    },
    spoil(trouble) {
      spoiled = SPOILS[trouble] ?? null;
    },
    stop: () => new Promise((resolve) => server.close(resolve)),
  };
}

// ---- The browsers ---------------------------------------------------------------

// Without the networking flags Chromium keeps trying hosts this machine cannot reach.
const CHROMIUM_FLAGS = [
  "--no-sandbox",
  "--disable-gpu",
  "--disable-quic",
  "--no-first-run",
  "--disable-background-networking",
  "--disable-component-update",
  "--disable-sync",
];

// A phone's coarse pointer and touch, which Firefox takes from its preferences.
const FIREFOX_PHONE = {
  "ui.primaryPointerCapabilities": 1,
  "ui.allPointerCapabilities": 1,
  "dom.w3c_touch_events.enabled": 1,
};

// A browser of the engine, whose pages all answer the same few calls.
export async function launch(engine, { phone = false } = {}) {
  if (engine === "webkit") return launchWebKit();
  const browser =
    engine === "firefox"
      ? await puppeteer.launch({
          browser: "firefox",
          executablePath: "/usr/bin/firefox-esr",
          headless: true,
          extraPrefsFirefox: phone ? FIREFOX_PHONE : {},
        })
      : await puppeteer.launch({ executablePath: "/usr/bin/chromium", headless: true, args: CHROMIUM_FLAGS });
  return { newPage: async () => puppeteerPage(await browser.newPage()), close: () => browser.close() };
}

// A puppeteer page in the shape of the WebKit one (webkit.mjs).
function puppeteerPage(page) {
  const errors = [];
  page.on("pageerror", (error) => errors.push(error.message));
  page.on("dialog", (dialog) => dialog.accept()); // leaving a game in progress: yes
  return {
    raw: page,
    errors,
    beforeScripts: (...scripts) => Promise.all(scripts.map((script) => page.evaluateOnNewDocument(script))),
    goto: (url) => page.goto(url),
    setViewport: (viewport) => page.setViewport(viewport),
    evaluate: (fn, arg) => page.evaluate(fn, arg),
    type: (text) => page.keyboard.type(text),
    async press(key) {
      const [held, main] = key.includes("+") ? key.split("+") : [null, key];
      if (held) await page.keyboard.down(held);
      await page.keyboard.press(main);
      if (held) await page.keyboard.up(held);
    },
    click: (selector) => page.click(selector),
    doubleClick: (x, y) => page.mouse.click(x, y, { count: 2 }),
    tap: (x, y) => page.touchscreen.tap(x, y),
    // A finger drawn down (or up) the screen; what the terminal shows then.
    async swipe(x, from, to) {
      await page.touchscreen.touchStart(x, from);
      for (let step = 1; step <= 8; ++step) await page.touchscreen.touchMove(x, from + ((to - from) * step) / 8);
      await page.touchscreen.touchEnd();
      return page.evaluate(() => terminal.buffer.active.viewportY);
    },
    title: () => page.title(),
    close: () => page.close(),
  };
}

export function sleep(milliseconds) {
  return new Promise((resolve) => setTimeout(resolve, milliseconds));
}

// ---- One play --------------------------------------------------------------------

// Keeps every write to the page's terminal, when it came and when the terminal
// took it into its buffer (it parses writes a little later), and how much of
// the transcript is in the buffer; and the page's errors. Run before the
// page's own script where the engine allows, else as soon as the terminal is
// there (WebKit's WebDriver has no scripts that run first).
function keepTranscript() {
  window.written = "";
  window.parsed = 0;
  window.writeTimes = [];
  window.pageErrors = [];
  window.addEventListener("error", (event) => window.pageErrors.push(String(event.message)));
  window.addEventListener("unhandledrejection", (event) => window.pageErrors.push(String(event.reason)));
  const keep = (terminal) => {
    const write = terminal.write.bind(terminal);
    terminal.write = (data, callback) => {
      window.written += data;
      const times = [performance.now()]; // written, then taken into the buffer
      window.writeTimes.push(times);
      const end = window.written.length;
      return write(data, () => {
        times.push(performance.now());
        window.parsed = end;
        if (callback) callback();
      });
    };
  };
  if (window.terminal) return keep(window.terminal);
  let held;
  Object.defineProperty(window, "terminal", {
    configurable: true,
    get: () => held,
    set(terminal) {
      held = terminal;
      keep(terminal);
    },
  });
}

// The title menu on screen, in the terminal's own buffer.
export function menuShown() {
  const buffer = window.terminal?.buffer.active;
  for (let y = 0; buffer && y < buffer.length; ++y)
    if (buffer.getLine(y).translateToString(true) === "》a") return true;
  return false;
}

// A pattern for text as the game writes it set in rows: the spaces that end a
// row early, and the attributes put aside and back around them, may stand
// between two of its characters.
function setPattern(text) {
  const padding = "(?:(?:\\x1b\\[[0-9;]*m)* +(?:\\x1b\\[[0-9;]*m)*)?";
  return [...text].map((character) => character.replace(/[.*+?^${}()|[\]\\]/g, "\\$&")).join(padding);
}

export class Play {
  // A new page of the site, up to the title menu, in a browser of the engine.
  // Errors on the page fail the play. At a phone's size (PHONE), with touch.
  // A script to run before the page's own may be given too.
  static async open(browser, url, { viewport = { width: 1000, height: 800 }, phone = false, before = null } = {}) {
    const page = await browser.newPage();
    const play = new Play(page);
    const late = page.beforeScripts === undefined; // WebKit: the transcript from the menu on
    if (!late) await page.beforeScripts(keepTranscript, ...(before ? [before] : []));
    if (phone && late) {
      await page.goto(`${url}tests/blank.html`);
      await page.openInFrame(url, PHONE);
    } else {
      await page.setViewport(phone ? { ...PHONE, deviceScaleFactor: 3, isMobile: true, hasTouch: true } : viewport);
      await page.goto(url);
    }
    if ((await play.waitFor(menuShown, undefined, 20000)) === null) throw new Error("no title menu");
    if (late) await page.evaluate(keepTranscript);
    play.cursor = (await play.written()).length;
    return play;
  }

  constructor(page) {
    this.page = page;
    this.cursor = 0; // where the next expect starts looking in the transcript
  }

  // Everything that went wrong on the page: the engine's own reports, and the
  // page's error events.
  async errors() {
    return [...this.page.errors, ...(await this.page.evaluate(() => window.pageErrors))];
  }

  close() {
    return this.page.close();
  }

  // Waits until fn, run in the page with arg, gives something true, and gives it.
  async waitFor(fn, arg, timeout = 10000) {
    const until = Date.now() + timeout;
    for (;;) {
      const found = await this.page.evaluate(fn, arg);
      if (found) return found;
      if (Date.now() > until) return null;
      await sleep(10);
    }
  }

  // ---- Keys: typed into the terminal, as at a keyboard

  type(keys) {
    return this.page.type(keys);
  }

  press(key) {
    return this.page.press(key);
  }

  enter() {
    return this.press("Enter");
  }

  async choose(key) {
    await this.type(key);
    await this.enter();
  }

  // ---- Where the play has got to

  written() {
    return this.page.evaluate(() => window.written);
  }

  // Waits until text is written after the previous match and on screen, and
  // moves past it.
  async expect(text, timeout = 10000) {
    const found = await this.waitFor(
      ([source, from]) => {
        const pattern = new RegExp(source, "gu");
        pattern.lastIndex = from;
        const match = pattern.exec(window.written);
        const end = match === null ? -1 : match.index + match[0].length;
        return match !== null && window.parsed >= end && end + 1;
      },
      [setPattern(text), this.cursor],
      timeout,
    );
    if (found === null) throw new Error(`never written: ${JSON.stringify(text)}\nlast: ${await this.lastWords()}`);
    this.cursor = found - 1;
  }

  // As expect, pressing space once as soon as the paced text is coming in, as
  // a player hurries one text. Exactly one space: a stray one would answer the
  // next "press any key".
  async hurryTo(text, timeout = 30000, hurry = () => this.type(" ")) {
    const seen = (await this.written()).length;
    await this.waitFor((length) => window.written.length > length, seen, timeout);
    if (!new RegExp(setPattern(text), "u").test((await this.written()).slice(this.cursor))) await hurry();
    await this.expect(text, timeout);
  }

  async lastWords() {
    return JSON.stringify((await this.written()).slice(-200));
  }

  // ---- What the player sees

  // The rows of the screen as text, trailing blanks dropped.
  rows() {
    return this.page.evaluate(() => {
      const buffer = terminal.buffer.active;
      const rows = [];
      for (let y = 0; y < terminal.rows; ++y) rows.push(buffer.getLine(buffer.viewportY + y).translateToString(true));
      return rows;
    });
  }

  // Every line the terminal holds, scrolled off or not, with rows it wrapped joined.
  lines() {
    return this.page.evaluate(() => {
      const buffer = terminal.buffer.active;
      const lines = [];
      for (let y = 0; y < buffer.length; ++y) {
        const line = buffer.getLine(y);
        const text = line.translateToString(true);
        if (line.isWrapped && lines.length > 0) lines[lines.length - 1] += text;
        else lines.push(text);
      }
      return lines;
    });
  }

  cursorAt() {
    return this.page.evaluate(() => ({ row: terminal.buffer.active.cursorY, column: terminal.buffer.active.cursorX }));
  }

  // The line of the buffer the screen's first row shows.
  viewportTop() {
    return this.page.evaluate(() => terminal.buffer.active.viewportY);
  }

  // Where text stands in the buffer: its line, and the column of its first cell.
  find(text) {
    return this.page.evaluate((wanted) => {
      const buffer = terminal.buffer.active;
      for (let y = 0; y < buffer.length; ++y) {
        const line = buffer.getLine(y);
        let row = "";
        const columns = [];
        for (let x = 0; x < line.length; ++x) {
          const chars = line.getCell(x).getChars();
          for (let i = 0; i < chars.length; ++i) columns.push(x);
          row += chars;
        }
        const at = row.indexOf(wanted);
        if (at >= 0) return { line: y, column: columns[at] };
      }
      return null;
    }, text);
  }

  // How a cell of the buffer looks: its character, the columns it takes,
  // bold, underline, and its palette colour (-1: the default).
  cell(line, column) {
    return this.page.evaluate(
      ([y, x]) => {
        const cell = terminal.buffer.active.getLine(y).getCell(x);
        return {
          chars: cell.getChars(),
          width: cell.getWidth(),
          bold: cell.isBold() !== 0,
          underline: cell.isUnderline() !== 0,
          foreground: cell.isFgPalette() ? cell.getFgColor() : -1,
        };
      },
      [line, column],
    );
  }

  // Every character the terminal holds that is not as a Chinese text should
  // be: U+FFFD, or a wide character not given two columns.
  brokenCharacters() {
    return this.page.evaluate(() => {
      const buffer = terminal.buffer.active;
      const broken = [];
      for (let y = 0; y < buffer.length; ++y) {
        const line = buffer.getLine(y);
        for (let x = 0; x < line.length; ++x) {
          const cell = line.getCell(x);
          const chars = cell.getChars();
          const wide = /[\u3000-\u303f\u4e00-\u9fff\uff00-\uff60]/.test(chars);
          if (chars.includes("\ufffd") || (wide && cell.getWidth() !== 2)) broken.push(`${y}:${x} ${chars}`);
        }
      }
      return broken;
    });
  }

  // Whether an element is shown.
  shown(selector) {
    return this.page.evaluate((wanted) => {
      const element = document.querySelector(wanted);
      return element !== null && !element.hidden && element.getClientRects().length > 0;
    }, selector);
  }

  // The note the page shows when the game has ended, and its button.
  async waitForEndedNote() {
    const said = () => !document.getElementById("again").hidden && document.getElementById("said").textContent;
    if ((await this.waitFor(said, undefined, 5000)) !== "本局游戏已结束。")
      throw new Error("the page never said the game had ended");
  }
}
