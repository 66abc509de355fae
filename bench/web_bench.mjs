// Figures for the browser edition in headless Chromium; nothing here passes or
// fails. Usage: node bench/web_bench.mjs SITE_FOLDER
//   - the pace of 500 paced bytes of a page as the game hands them to the page
//     (a character whole, at its last byte's step), mean period a byte and
//     99th percentile gap past the pauses of the bytes held with it, beside a bare deadline loop of the
//     page's own script in the same run; at a desktop's size, and at a
//     phone's with the processor slowed four times;
//   - from a space pressed (or a finger lifted from a tap, on the phone) to
//     the last character of "object-1" on screen;
//   - from navigation to the title menu, on a server on this machine, and
//     on the phone from a reload with no network, out of what it kept;
//   - a paste of a megabyte at the explorer terminal's prompt: how long until
//     the game has taken every key, and the longest the page went without
//     running a timer of its own meanwhile;
//   - the sizes of the game's .wasm and .js, raw and gzipped.
import { readFileSync } from "node:fs";
import { join } from "node:path";
import { gzipSync } from "node:zlib";

import { launch, menuShown, Play, serve, sleep } from "../tests/web/browser.mjs";

const BYTES = 500;
const PERIOD = 20;

function gapsOf(times) {
  return times.slice(1).map((at, i) => at - times[i]);
}

function percentile(values, share) {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[Math.min(sorted.length - 1, Math.ceil(sorted.length * share) - 1)];
}

function pace(times) {
  const gaps = gapsOf(times);
  return { mean: (times.at(-1) - times[0]) / gaps.length, p99: percentile(gaps, 0.99) };
}

// The game writes a character whole at its last byte's step: the time over the
// bytes, and each gap less the pauses of the bytes that came with it.
function paceOfWrites(writes) {
  const bytes = writes.slice(1).reduce((sum, [, written]) => sum + written.length, 0);
  const gaps = writes.slice(1).map(([at, written], i) => at - writes[i][0] - PERIOD * (written.length - 1));
  return { mean: (writes.at(-1)[0] - writes[0][0]) / bytes, p99: percentile(gaps, 0.99) };
}

// The limit: a loop of the page's own script that sleeps to the same 20 ms
// deadlines the way the game's waits do (timers rounded up to whole
// milliseconds); given bytes, it writes them to the terminal too, one a
// deadline, so the terminal has the game's drawing to do: the pace this page
// allows without the game.
function deadlineLoop([bytes, period]) {
  const decoder = new TextDecoder();
  return new Promise((resolve) => {
    const times = [];
    let deadline = performance.now();
    const step = () => {
      times.push(performance.now());
      if (typeof bytes !== "number") {
        const text = decoder.decode(Uint8Array.of(bytes[times.length - 1]), { stream: true });
        if (text !== "") terminal.write(text);
      }
      if (times.length === (typeof bytes === "number" ? bytes : bytes.length)) return resolve(times);
      deadline += period;
      setTimeout(step, Math.max(0, Math.ceil(deadline - performance.now())));
    };
    step();
  });
}

// Keeps every write of the game itself, in bytes, and when it came: the game's
// console is wrapped as the page hands it over.
function keepGameWrites() {
  window.gameWrites = [];
  let create;
  Object.defineProperty(window, "createGame", {
    configurable: true,
    get: () => create,
    set(original) {
      create = (options) => {
        window.gameConsole = options.page;
        const write = options.page.write;
        options.page.write = (bytes) => {
          window.gameWrites.push([performance.now(), bytes]);
          return write(bytes);
        };
        return original(options);
      };
    },
  });
}

// At the prompt: typing, erasing and Chinese, a megabyte of it, pasted at once.
async function pasteAMegabyte(play) {
  return play.page.evaluate(async () => {
    const text = "abc\x7f文\x7fx".repeat(Math.ceil(1048576 / 9));
    let longest = 0;
    let last = performance.now();
    const ticker = setInterval(() => {
      longest = Math.max(longest, performance.now() - last);
      last = performance.now();
    }, 5);
    const start = performance.now();
    window.terminal.paste(text);
    const pasted = performance.now() - start;
    const taken = () => window.gameConsole.keysWaiting() === 0;
    while (!taken()) await new Promise((resolve) => setTimeout(resolve, 10));
    clearInterval(ticker);
    return { taken: performance.now() - start, longest, pasted };
  });
}

// The game's pace on object-1, the page left alone meanwhile (looking at it
// every frame would disturb its timers), and the page's own loops beside it;
// then the hurry, by key or by tap, to the page's last line on screen.
async function paceAndHurry(play, hurry) {
  await play.page.evaluate(() => {
    window.pressTimes = [];
    for (const kind of ["keydown", "pointerup"])
      document.addEventListener(kind, () => window.pressTimes.push(performance.now()), true);
  });
  await play.choose("b");
  await play.expect("（不输入则退出终端）：");
  await play.choose("object-1");
  await play.expect("\x1b[1m# Object 1");
  const first = await play.page.evaluate(() => window.gameWrites.length);
  await sleep(BYTES * PERIOD + 1000);
  const enough = ([from, bytes]) => window.gameWrites.slice(from).flatMap(([, written]) => [...written]).length > bytes;
  await play.waitFor(enough, [first, BYTES], 60000);
  const writes = await play.page.evaluate(
    ([from, bytes]) => window.gameWrites.slice(from, from + bytes + 1).map(([at, written]) => [at, [...written]]),
    [first, BYTES],
  );
  const paced = [];
  for (let bytes = 0; bytes <= BYTES; bytes += paced.at(-1)[1].length) paced.push(writes[paced.length]);
  await hurry();
  await play.expect("archive/object-1\n");
  const hurried = await play.page.evaluate(() => window.writeTimes.at(-1)[1] - window.pressTimes.at(-1));
  await play.type("x");
  await play.expect("（不输入则退出终端）：");
  return {
    game: paceOfWrites(paced),
    sleeping: pace(await play.page.evaluate(deadlineLoop, [BYTES + 1, PERIOD])),
    writing: pace(await play.page.evaluate(deadlineLoop, [paced.flatMap(([, written]) => written), PERIOD])),
    hurried,
  };
}

const kb = (bytes) => `${(bytes / 1024).toFixed(1)} KB`;
const ms = (value) => `${value.toFixed(3)} ms`;

function report(title, { game, sleeping, writing }) {
  console.log(title);
  console.log(`                       game        page's deadline loop: sleeping  writing the same bytes`);
  const row = (label, key) =>
    `  ${label.padEnd(20)} ${ms(game[key]).padStart(10)}  ${ms(sleeping[key]).padStart(24)}  ${ms(writing[key]).padStart(22)}`;
  console.log(`${row("mean byte period", "mean")}   (target within 0.1 % of 20 ms)`);
  console.log(`${row("99th percentile gap", "p99")}   (target within 2 ms of the loop)`);
}

const site = process.argv[2];
if (!site) {
  console.error("usage: node bench/web_bench.mjs SITE_FOLDER");
  process.exit(2);
}
const server = await serve(site);
try {
  const desktop = await launch("chromium");
  const play = await Play.open(desktop, server.url, { before: keepGameWrites });
  const menu = await play.page.evaluate(() => window.writeTimes.at(-1)[1]);
  const atDesktop = await paceAndHurry(play, () => play.type(" "));
  const paste = await pasteAMegabyte(play);
  await play.close();
  await desktop.close();

  const phone = await launch("chromium", { phone: true });
  const small = await Play.open(phone, server.url, { phone: true, before: keepGameWrites });
  await small.page.raw.emulateCPUThrottling(4);
  const onPhone = await paceAndHurry(small, () => small.page.tap(100, 200));
  await small.page.raw.emulateCPUThrottling(1);
  await small.waitFor(() => navigator.serviceWorker.controller !== null);
  server.offline(true);
  await small.page.goto(server.url);
  await small.waitFor(menuShown, undefined, 20000);
  const offline = await small.page.evaluate(() => window.writeTimes.at(-1)[1]);
  server.offline(false);
  await small.close();
  await phone.close();

  const sizes = ["huanglang.wasm", "huanglang.js"].map((name) => {
    const bytes = readFileSync(join(site, name));
    return { name, raw: bytes.length, gzipped: gzipSync(bytes, { level: 9 }).length };
  });
  report(`browser edition, headless Chromium, ${BYTES} paced bytes at ${PERIOD} ms`, atDesktop);
  console.log(`  space to the last character of object-1 on screen: ${ms(atDesktop.hurried)}   (target under 50 ms)`);
  console.log(`  navigation to the title menu: ${ms(menu)}   (target under 500 ms)`);
  console.log(
    `  a 1 MB paste at the prompt: every key taken in ${ms(paste.taken)} (the page's own paste ${ms(paste.pasted)}), its timers held back at most ${ms(paste.longest)}   (target: tens of ms)`,
  );
  report(`a phone's size (390 x 844 at 3x, touch), the processor slowed 4 times`, onPhone);
  console.log(`  a tap to the last character of object-1 on screen: ${ms(onPhone.hurried)}   (target under 50 ms)`);
  console.log(`  a reload with no network to the title menu: ${ms(offline)}   (target under 500 ms)`);
  for (const { name, raw, gzipped } of sizes)
    console.log(`  ${name.padEnd(15)} ${kb(raw).padStart(9)} raw  ${kb(gzipped).padStart(9)} gzipped`);
  const total = sizes.reduce((sum, { gzipped }) => sum + gzipped, 0);
  console.log(`  wasm + js gzipped: ${kb(total)}   (target under 250 KB)`);
} finally {
  await server.stop();
}
