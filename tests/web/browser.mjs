// Drives the browser edition as a player would: the site served on 127.0.0.1,
// Debian's Chromium headless, keys typed into the page's terminal, and what the
// player sees read back from the terminal emulator's own buffer.
//
// To know where a play has got to, each page's terminal writes are also kept
// in order (window.written), as the transcript of a terminal session is; the
// checks of what is shown read the screen.
import { spawn } from "node:child_process";
import { createServer } from "node:net";
import { chromium } from "playwright-core";

// ---- The site and the browser ----------------------------------------------------

function freePort() {
  return new Promise((resolve, reject) => {
    const probe = createServer();
    probe.once("error", reject);
    probe.listen(0, "127.0.0.1", () => {
      const { port } = probe.address();
      probe.close(() => resolve(port));
    });
  });
}

// Serves the folder with Python's http.server; stop() ends it by its process id.
export async function serve(folder) {
  const port = await freePort();
  const server = spawn(
    "python3",
    ["-m", "http.server", String(port), "--bind", "127.0.0.1", "--directory", folder],
    { stdio: "ignore" },
  );
  const url = `http://127.0.0.1:${port}/`;
  for (let tries = 0; ; ++tries) {
    try {
      if ((await fetch(url)).ok) break;
    } catch (error) {
      if (tries > 100) throw new Error(`the site did not come up at ${url}: ${error}`);
    }
    await sleep(50);
  }
  return { url, stop: () => server.kill() };
}

// Without the networking flags Chromium keeps trying hosts this machine cannot reach.
export function launch() {
  return chromium.launch({
    executablePath: "/usr/bin/chromium",
    args: [
      "--no-sandbox",
      "--disable-gpu",
      "--disable-quic",
      "--no-first-run",
      "--disable-background-networking",
      "--disable-component-update",
      "--disable-sync",
    ],
  });
}

export function sleep(milliseconds) {
  return new Promise((resolve) => setTimeout(resolve, milliseconds));
}

// ---- One play --------------------------------------------------------------------

// Keeps every write to the page's terminal, when it came and when the terminal
// took it into its buffer (it parses writes a little later), and how much of
// the transcript is in the buffer.
function keepTranscript() {
  let held;
  window.written = "";
  window.parsed = 0;
  window.writeTimes = [];
  Object.defineProperty(window, "terminal", {
    configurable: true,
    get: () => held,
    set(terminal) {
      held = terminal;
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
    },
  });
}

export class Play {
  // A new page of the site, up to the title menu. Errors on the page fail the
  // play. A script to run before the page's own may be given too.
  static async open(browser, url, viewport = { width: 1000, height: 800 }, before = null) {
    const page = await browser.newPage({ viewport });
    await page.addInitScript(keepTranscript);
    if (before !== null) await page.addInitScript(before);
    const play = new Play(page);
    page.on("pageerror", (error) => play.errors.push(error.message));
    await page.goto(url);
    await play.expect("》a");
    return play;
  }

  constructor(page) {
    this.page = page;
    this.cursor = 0; // where the next expect starts looking in the transcript
    this.errors = [];
  }

  close() {
    return this.page.close();
  }

  // ---- Keys: typed into the terminal, as at a keyboard

  type(keys) {
    return this.page.keyboard.type(keys);
  }

  enter() {
    return this.page.keyboard.press("Enter");
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
    const handle = await this.page
      .waitForFunction(
        ([wanted, from]) => {
          const at = window.written.indexOf(wanted, from);
          return at >= 0 && window.parsed >= at + wanted.length && at + 1;
        },
        [text, this.cursor],
        { timeout, polling: 10 },
      )
      .catch(() => null);
    if (handle === null) throw new Error(`never written: ${JSON.stringify(text)}\nlast: ${await this.lastWords()}`);
    this.cursor = (await handle.jsonValue()) - 1 + text.length;
  }

  // As expect, pressing space once as soon as the paced text is coming in, as
  // a player hurries one text. Exactly one space: a stray one would answer the
  // next "press any key".
  async hurryTo(text, timeout = 30000) {
    const seen = (await this.written()).length;
    await this.page.waitForFunction((length) => window.written.length > length, seen, { timeout, polling: 5 });
    if ((await this.written()).indexOf(text, this.cursor) < 0) await this.type(" ");
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
      for (let y = 0; y < terminal.rows; ++y)
        rows.push(buffer.getLine(buffer.viewportY + y).translateToString(true));
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
          for (const _ of chars) columns.push(x);
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

  // The note the page shows when the game has ended.
  endedNoteShown() {
    return this.page.isVisible("#ended");
  }
}
