// The browser edition played as a player plays it, in Chromium, Firefox ESR
// and WebKit: the title menu, whole stories, the explorer terminal, the touch
// keys, a phone, offline, and a site that cannot be loaded. Every play runs
// in Chromium; the others run the plays that differ by engine.
// Usage: node tests/web/play_test.mjs SITE_FOLDER
import assert from "node:assert/strict";
import { after, describe, test } from "node:test";

import { ENGINES, launch, menuShown, PHONE, Play, serve, sleep } from "./browser.mjs";
import { ANY_KEY, CLEAR, FORK, MANILA_PAGE_END, Walk } from "./walk.mjs";

const PROMPT = "请输入要查询的文档（不输入则退出终端）：";
const INDEX_ROWS = [
  "# 当前可用的文章：",
  "",
  "level-0",
  "level-1",
  "list",
  "manila-room-document",
  "object-1",
  "phenomenon-c-0",
  "red-rooms",
];
const EVERY_ENGINE = ENGINES;
const CHROMIUM = ["chromium"];

const site = process.argv[2];
if (!site) {
  console.error("usage: node tests/web/play_test.mjs SITE_FOLDER");
  process.exit(2);
}
const server = await serve(site);
after(() => server.stop());

// Chinese as it should stand, in every play: no U+FFFD, two columns a
// character, and no error on the page.
async function expectIntact(play) {
  assert.deepEqual(await play.brokenCharacters(), []);
  assert.deepEqual(await play.errors(), []);
}

// Whether closing the tab now would ask first.
function wouldAsk(play) {
  return play.page.evaluate(() => {
    const leaving = new Event("beforeunload", { cancelable: true });
    window.dispatchEvent(leaving);
    return leaving.defaultPrevented;
  });
}

const plays = [];
const play = (name, engines, body, options = {}) => plays.push({ name, engines, body, options });

play("the title menu: its rows, the letter replaced in place, C, and a new game", EVERY_ENGINE, async (p) => {
  const rows = await p.rows();
  assert.deepEqual(rows.slice(0, 5), [
    "== GAME MENU ==",
    "A       游戏",
    "B       浏览麦格终端再游戏",
    "C       离开",
    "》a",
  ]);
  assert.deepEqual(await p.cursorAt(), { row: 4, column: 3 }); // 》 takes two columns
  assert.equal(await p.page.title(), "黄廊探索");
  assert.equal(await p.shown("#again"), false);
  assert.equal(await wouldAsk(p), true, "a game in progress asks before the tab closes");

  await p.type("b");
  await p.expect("\bb");
  assert.equal((await p.rows())[4], "》b");
  await p.type("c");
  await p.expect("\bc");
  await p.page.setViewport({ width: 320, height: 200 }); // 400 % zoom: the notes and the button stay
  await p.enter();
  await p.waitForEndedNote();
  assert.ok(await p.shown("#again"));
  await p.page.setViewport({ width: 1000, height: 800 });
  assert.equal(await wouldAsk(p), false, "an ended game lets the tab go");
  const focused = () => document.activeElement.id || document.activeElement.textContent;
  await p.press("Tab"); // the game over, Tab leaves the terminal
  assert.equal(await p.page.evaluate(focused), "again");

  // A new game is a new instance: the window title comes from its own start.
  // A double click leaves the keys with the terminal.
  await p.page.evaluate(() => {
    document.title = "";
  });
  const again = await p.page.evaluate(() =>
    JSON.parse(JSON.stringify(document.getElementById("again").getBoundingClientRect())),
  );
  await p.page.doubleClick(again.x + again.width / 2, again.y + again.height / 2);
  await p.waitFor(() => window.terminal.buffer.active.getLine(4).translateToString(true) === "》a");
  assert.ok(await p.page.evaluate(() => document.activeElement === terminal.textarea));
  await p.type("b");
  await p.expect("\bb");
  assert.ok((await p.written()).endsWith("》a\bb"), "the second click pressed a key");
  assert.equal(await p.page.title(), "黄廊探索");
  assert.equal(await p.shown("#again"), false);
  await p.press("Escape"); // in a game, the key the status line names
  assert.equal(await p.page.evaluate(focused), "a");
  await expectIntact(p);
});

play("straight to the red room: a paced text hurried, the end screen with 395", EVERY_ENGINE, async (p) => {
  const walk = new Walk(p);
  await walk.toLevel0();
  await walk.choose("a");
  await walk.read(FORK);
  await walk.choose("b");
  await walk.read(ANY_KEY);
  await walk.anyKey();
  await walk.endsWith(395);
  assert.equal((await p.rows())[0], "你已完成本次游戏。分数：0；剩余体力：395。");
  await expectIntact(p);
});

play("the left way: the manila page, the stranger, the base, two explorations and the ceiling", CHROMIUM, async (p) => {
  const walk = new Walk(p);
  await walk.greetingTheStrangerToTheBase();
  const taken = await walk.explore(true);
  await walk.choose("c"); // back to the base, whose panel counts what was taken
  const body = 385 + 600 * taken;
  await walk.atBase(body);
  assert.ok((await p.lines()).includes(`体力：${body}`), `the panel shows ${body}`);
  assert.equal(await walk.explore(false), 0);
  await walk.choose("b"); // through the ceiling
  await walk.endsWith(body);
  await expectIntact(p);
});

play(
  "the explorer terminal: list, a page and its link, whole keys, a line that is only text",
  EVERY_ENGINE,
  async (p) => {
    await p.choose("b");
    await p.expect(PROMPT);
    // The index unhurried: every byte arrives in a write of its own.
    await p.choose("list");
    await p.expect("red-rooms\n");
    assert.deepEqual((await p.rows()).slice(0, INDEX_ROWS.length), INDEX_ROWS);
    const title = await p.cell(await p.viewportTop(), 2);
    assert.ok(title.bold && title.chars === "当" && title.width === 2, JSON.stringify(title));

    await p.type("x");
    await p.expect(PROMPT);
    await p.choose("level-0");
    await p.hurryTo("https://huanglang.example.org/archive/level-0\n");
    const red = await p.find("红色墙纸");
    assert.ok(red !== null, "the link to the red rooms is on the page");
    const link = await p.cell(red.line, red.column);
    assert.ok(link.bold && link.underline && link.foreground === 1, JSON.stringify(link));
    const after = await p.find("再往前走"); // the plain words after the link
    const plain = await p.cell(after.line, after.column);
    assert.ok(!plain.bold && !plain.underline && plain.foreground === -1, JSON.stringify(plain));

    await p.press("ArrowUp"); // a whole key, and nothing of it left at the prompt
    await p.expect(PROMPT);
    await p.choose("Level-0");
    await p.expect(CLEAR);
    await sleep(300);
    assert.ok(
      (await p.rows()).every((text) => text === ""),
      "a key that names no page shows a blank screen",
    );
    await p.type("黄"); // a character from an input method as the key
    await p.expect(PROMPT);

    // Only characters go into the line: C1 controls, which would clear the
    // screen and rename the page, are dropped; an emoji erases as two columns.
    await p.page.evaluate(() => window.terminal.paste("ab\u009b2J\u009d0;PWNED\u009c😀"));
    await p.press("Backspace");
    await p.waitFor(() => window.written.endsWith("\b \b\b \b"));
    const cursor = await p.cursorAt();
    assert.equal((await p.rows())[cursor.row].trimEnd(), `${PROMPT}ab2J0;PWNED`);
    assert.equal(await p.page.title(), "黄廊探索");
    // A line longer than the window can show stops growing; Ctrl-U then leaves
    // nothing of it on screen.
    await p.page.evaluate(() => window.terminal.paste("x".repeat(5000)));
    await p.press("Control+U");
    await p.type("list");
    await p.expect("list");
    const rows = await p.rows();
    assert.ok(
      rows.every((text) => !text.includes("x")),
      rows.join("\n"),
    );
    assert.equal(rows[(await p.cursorAt()).row].trimEnd(), `${PROMPT}list`);
    await p.press("Control+U");
    await p.enter();
    await p.expect(CLEAR + CLEAR + "“");
    await expectIntact(p);
  },
);

// What the page hands a screen reader to say, line by line, once `last` is
// the last of them: in Chromium from the accessibility tree, in Firefox (whose
// driver cannot read that tree) from the page.
async function heard(p, engine, last) {
  const said = (wanted) => document.querySelector("#spoken > :last-child")?.textContent.endsWith(wanted);
  if (last !== undefined) assert.ok(await p.waitFor(said, last), `never said: ${last}`);
  const texts = () => [...document.querySelectorAll("#spoken p")].map((text) => text.textContent);
  const root = await p.page.raw.$("#spoken");
  if (engine !== "chromium") return (await p.page.evaluate(texts)).flatMap((text) => text.split("\n"));
  const lines = (node) => (node.role === "StaticText" ? node.name.split("\n") : (node.children ?? []).flatMap(lines));
  return lines(await p.page.raw.accessibility.snapshot({ root, interestingOnly: false }));
}

play(
  "the screen reader: the rows, and each line said once, whole, as it is finished",
  ["chromium", "firefox"],
  async (p, engine) => {
    assert.equal(await p.shown(".xterm-accessibility-tree"), false);
    await p.page.click("#reader");
    const menu = ["读屏模式已开启。", "== GAME MENU ==", "A 游戏", "B 浏览麦格终端再游戏", "C 离开", "》a"];
    assert.deepEqual(await heard(p, engine, "》a"), menu);
    assert.equal(await p.page.evaluate(() => document.activeElement.getAttribute("aria-label")), "游戏输入");
    await p.type("b"); // the letter chosen; then the explorer terminal, whose typed key is not said again
    assert.deepEqual(await heard(p, engine, "b"), [...menu, "b"]);
    await p.enter();
    const front = (await heard(p, engine, PROMPT)).length;
    await p.page.evaluate(() => document.execCommand("insertText", false, "lis")); // a phone keyboard's word
    await p.choose("t");
    const index = INDEX_ROWS.filter((row) => row !== "");
    assert.deepEqual((await heard(p, engine, "red-rooms")).slice(front), index);
    await p.type("x");
    await heard(p, engine, PROMPT);
    await p.enter(); // the story: its first line said when it is finished, and not before
    await p.expect("“");
    const story = (await heard(p, engine)).length + 2;
    await p.page.click("#reader"); // off and on in the middle of the line: it is said whole, once
    await p.page.click("#reader");
    await p.expect("“在那里");
    await sleep(500);
    const first = await heard(p, engine);
    assert.deepEqual(first.slice(story - 2, story), ["读屏模式已关闭。", "读屏模式已开启。"]);
    assert.equal(first.length, story + 1);
    assert.match(first[story], /^“走路的时候.*六亿平方英里。$/);
    await p.hurryTo(ANY_KEY + "\n\n"); // the rest at once, line by line
    const lines = (await p.lines()).map((line) => line.replace(/\s+/g, " ").trim()).filter((line) => line !== "");
    assert.deepEqual((await heard(p, engine, ANY_KEY)).slice(story), lines.slice(lines.indexOf(first[story])));
    const rows = (last) => document.querySelector(".xterm-accessibility-tree").textContent.includes(last);
    assert.ok(await p.waitFor(rows, ANY_KEY), "the rows can be read back");
    const page = await p.page.evaluate(() => ({
      live: [...document.querySelectorAll("[aria-live]")].map((element) => element.id),
      english: document.body.textContent.includes("Too much output"),
    }));
    assert.deepEqual(page, { live: ["spoken"], english: false });
    // Reloaded, box and reader agree; Firefox keeps the box, and the lines cleared unseen go unsaid.
    await p.page.raw.reload();
    assert.ok(await p.waitFor(menuShown));
    const kept = engine === "firefox";
    const box = () => [document.getElementById("reader").checked, terminal.options.screenReaderMode];
    assert.deepEqual(await p.page.evaluate(box), [kept, kept]);
    if (kept) assert.deepEqual(await heard(p, engine, "》a"), menu);
  },
);

// A tab in the background gets its timers held back; when it comes back the
// text goes on at its pace from there, not in a burst of the bytes it is late with.
play("a tab held back picks its pace up again without a burst", CHROMIUM, async (p) => {
  await p.choose("a");
  await p.expect("“");
  await sleep(300);
  await p.page.evaluate(() => {
    const until = performance.now() + 1500; // the page's timers wait, as in a hidden tab
    while (performance.now() < until);
  });
  await sleep(600);
  const times = await p.page.evaluate(() => window.writeTimes.map(([at]) => at));
  const gaps = times.slice(1).map((at, i) => at - times[i]);
  const stall = gaps.findIndex((gap) => gap > 1000);
  assert.ok(stall >= 0, "the tab was held back");
  const next = times.slice(stall + 1);
  const burst = next.filter((at) => at - next[0] < 100).length;
  assert.ok(burst <= 7, `${burst} writes in the 100 ms after the tab came back`);
  await p.type(" ");
});

// ---- A phone ------------------------------------------------------------------------

// The layout at the window's present size: the font, the columns and rows,
// and whether the terminal and the keys stand inside what the player sees.
function layout() {
  const screen = terminal.element.querySelector(".xterm-screen").getBoundingClientRect();
  const keys = document.getElementById("keys").getBoundingClientRect();
  const notes = [...document.querySelectorAll("#said, #options label, #keys button")];
  return {
    font: terminal.options.fontSize,
    columns: terminal.cols,
    rows: terminal.rows,
    inside: screen.left >= 0 && screen.right <= window.innerWidth && keys.bottom <= window.innerHeight,
    smallestNote: Math.min(...notes.map((note) => parseFloat(getComputedStyle(note).fontSize))),
    keyRows: new Set(
      [...document.querySelectorAll("#keys button")].filter((key) => key.offsetParent).map((key) => key.offsetTop),
    ).size,
  };
}

// Whether the cursor's row is shown whole, in the terminal's box and the window.
function cursorRowSeen() {
  const buffer = terminal.buffer.active;
  const row = terminal.element.querySelector(".xterm-rows").children[buffer.baseY + buffer.cursorY - buffer.viewportY];
  const room = document.getElementById("terminal").getBoundingClientRect();
  const box = row?.getBoundingClientRect();
  return box !== undefined && box.top >= room.top && box.bottom <= Math.min(room.bottom, window.innerHeight);
}

// How many times the lines hold the prompt: one a line typed at it.
const prompts = async (p) => (await p.lines()).join("\n").split(PROMPT).length - 1;

// The nutrition table's rows, each on a row of its own, none wrapped.
function tableRows() {
  const buffer = terminal.buffer.active;
  for (let y = 0; y < buffer.length; ++y) {
    if (!buffer.getLine(y).translateToString(true).includes("每瓶含量")) continue;
    const rows = [];
    for (let row = y; row < y + 11; ++row)
      rows.push(buffer.getLine(row).isWrapped ? null : buffer.getLine(row).translateToString(true));
    return rows;
  }
  return null;
}

// The rows from the prompt's row to the cursor's, joined: the line being typed
// as the screen shows it.
function typedLine(prompt) {
  const buffer = terminal.buffer.active;
  let y = buffer.baseY + buffer.cursorY;
  while (y > 0 && buffer.getLine(y).isWrapped) --y;
  let text = "";
  for (let row = y; row <= buffer.baseY + buffer.cursorY; ++row) text += buffer.getLine(row).translateToString(true);
  return text.slice(text.lastIndexOf(prompt));
}

async function turn(p, engine, { width, height }) {
  if (engine === "webkit")
    await p.page.evaluate(
      ([w, h]) => Object.assign(frameElement.style, { width: `${w}px`, height: `${h}px` }),
      [width, height],
    );
  else await p.page.setViewport({ width, height, deviceScaleFactor: 3, isMobile: true, hasTouch: true });
  await sleep(300);
}

const tap = (p, engine) => (engine === "webkit" ? p.type(" ") : p.page.tap(100, 200));

play(
  "a phone: readable, every laid-out line whole, the keys, a tap, the keyboard key, a turn, offline",
  EVERY_ENGINE,
  async (p, engine) => {
    await turn(p, engine, { width: 360, height: 640 });
    const narrow = await p.page.evaluate(layout);
    // WebKitGTK rounds a Latin letter to 8 px at 15: 46 columns need 368 there.
    const readable = narrow.font >= 15 || engine === "webkit";
    assert.ok(readable && narrow.smallestNote >= 15 && narrow.keyRows === 1, JSON.stringify(narrow));
    await turn(p, engine, PHONE);
    const portrait = await p.page.evaluate(layout);
    assert.ok(portrait.font >= 15, `font ${portrait.font}`);
    assert.ok(portrait.columns >= 46 && portrait.columns < 80, `${portrait.columns} columns`);
    assert.ok(portrait.inside, "the terminal or the keys stand outside the screen");

    await p.page.click('#keys button[data-key="b"]');
    await p.page.click('#keys button[data-key="\\d "]');
    await p.expect(PROMPT);
    if (engine !== "webkit") {
      // The phone's keyboard opens by the 键盘 key only, and types keys exactly.
      assert.equal(await p.page.evaluate(() => terminal.textarea.inputMode), "none");
      await p.page.click("#keyboard");
      const input = await p.page.evaluate(() => [
        terminal.textarea.inputMode,
        terminal.textarea.getAttribute("autocapitalize"),
        document.activeElement === terminal.textarea,
      ]);
      assert.deepEqual(input, ["text", "off", true]);
    }
    await p.type("object-1");
    await p.page.click('#keys button[data-key="\\d "]');
    // The line sent, typing ends, and a tap on the text hurries the page.
    const pressed = () => p.page.evaluate(() => document.getElementById("keyboard").ariaPressed);
    assert.equal(await pressed(), "false");
    if (engine !== "webkit") {
      await p.page.click("#keyboard"); // and the phone closes its keyboard itself
      await turn(p, engine, { ...PHONE, height: 450 });
      await turn(p, engine, PHONE);
      assert.equal(await pressed(), "false");
    }
    await p.hurryTo("archive/object-1\n", 30000, () => tap(p, engine));
    const table = await p.waitFor(tableRows);
    assert.ok(
      table.every((row) => row !== null && row.length > 0),
      JSON.stringify(table),
    );

    // A key on the phone's keyboard that answers the wait ends typing.
    // Turned, and half a line typed: the line stays one line, equal to what
    // was typed, and so does the table.
    if (engine !== "webkit") await p.page.click("#keyboard");
    await p.type("x");
    await p.expect(PROMPT);
    assert.equal(await pressed(), "false");
    await p.type("manila-room-document");
    const before = await prompts(p);
    await turn(p, engine, { width: PHONE.height, height: PHONE.width });
    const landscape = await p.page.evaluate(layout);
    assert.ok(landscape.font >= 15 && landscape.inside, JSON.stringify(landscape));
    assert.equal(await prompts(p), before, "a stale prompt above the line");
    // The keyboard opened in landscape: little room, and the typed line in it.
    await turn(p, engine, { width: PHONE.height, height: PHONE.width - 200 });
    assert.ok(await p.page.evaluate(cursorRowSeen), JSON.stringify(await p.page.evaluate(layout)));
    await turn(p, engine, PHONE);
    assert.equal((await p.page.evaluate(layout)).rows, portrait.rows, "the rows grow again");
    const typed = async () => (await p.page.evaluate(typedLine, PROMPT)) === `${PROMPT}manila-room-document`;
    for (let tries = 0; tries < 100 && !(await typed()); ++tries) await sleep(30);
    assert.equal(await p.page.evaluate(typedLine, PROMPT), `${PROMPT}manila-room-document`);
    assert.equal(await prompts(p), before);
    assert.ok((await p.page.evaluate(tableRows)).every((row) => row !== null));
    await expectIntact(p);

    // A swipe down the text scrolls back and glides on; the paced text goes on
    // below without pulling the view down, until a tap hurries it.
    if (engine !== "webkit") {
      await p.page.click('#keys button[data-key="\\d "]');
      await p.waitFor(() => window.written.endsWith("\n"));
      const left = await p.page.swipe(100, 200, 400);
      await sleep(1500);
      const [glided, written] = [await p.viewportTop(), (await p.written()).length];
      await sleep(500);
      assert.ok(glided < left && (await p.viewportTop()) === glided, `${left} → ${glided}`);
      assert.ok((await p.written()).length > written, "the paced text stopped");
      await p.hurryTo(MANILA_PAGE_END, 30000, () => tap(p, engine));
      assert.ok(await p.page.evaluate(cursorRowSeen), "the view stayed back");
    }

    if (engine === "webkit") return;
    // After one visit, the game plays with no network.
    assert.ok(await p.waitFor(() => navigator.serviceWorker.controller !== null), "no service worker");
    server.offline(true);
    try {
      await p.page.goto(server.url);
      assert.notEqual(await p.waitFor(menuShown, undefined, 10000), null, "no title menu offline");
    } finally {
      server.offline(false);
    }
    // A new build's service worker takes the old one's place, and its cache the old cache's.
    const kept = () => caches.keys().then((names) => names.join());
    const old = await p.page.evaluate(kept);
    server.spoil("new build");
    try {
      await p.page.evaluate(() => navigator.serviceWorker.ready.then((worker) => worker.update()));
      const renewed = async () => (await p.page.evaluate(kept)) === old.replace("huanglang-", "huanglang-next-");
      for (let tries = 0; tries < 200 && !(await renewed()); ++tries) await sleep(25);
      assert.ok(await renewed(), `${old} → ${await p.page.evaluate(kept)}`);
    } finally {
      server.spoil(null);
    }
  },
  { phone: true },
);

// ---- A site that cannot be loaded ----------------------------------------------------

play("a game that cannot be loaded says so, and that it is loading while it loads", CHROMIUM, async (p) => {
  await p.page.raw.setBypassServiceWorker(true);
  const status = () => document.getElementById("said").textContent;
  for (const trouble of ["missing", "broken", "no script", "no terminal", "broken widths", "no page script"]) {
    server.spoil(trouble);
    try {
      await p.page.goto(server.url);
      const said = await p.waitFor(() => /未能载入/.test(document.getElementById("said").textContent));
      assert.ok(said, `${trouble}: ${await p.page.evaluate(status)}`);
    } finally {
      server.spoil(null);
    }
  }
  server.spoil("slow");
  try {
    await p.page.goto(server.url);
    assert.equal(await p.page.evaluate(status), "正在载入游戏……");
    assert.ok(await p.waitFor(menuShown, undefined, 10000));
    server.spoil("no terminal style"); // a plainer page, but the game plays: no failure claimed
    await p.page.goto(server.url);
    assert.ok(await p.waitFor(menuShown, undefined, 10000));
    assert.doesNotMatch(await p.page.evaluate(status), /未能载入/);
  } finally {
    server.spoil(null);
  }
});

// ---- Running them ------------------------------------------------------------------

for (const engine of ENGINES) {
  describe(engine, () => {
    const browsers = {};
    const browserFor = async (phone) => (browsers[phone] ??= await launch(engine, { phone }));
    after(() => Promise.all(Object.values(browsers).map((browser) => browser.close())));
    for (const { name, body, options } of plays.filter((each) => each.engines.includes(engine)))
      test(name, async () => {
        const opened = await Play.open(await browserFor(options.phone === true), server.url, options);
        try {
          await body(opened, engine);
        } finally {
          await opened.close();
        }
      });
  });
}
