// The browser edition played in headless Chromium, as a player plays it: the
// title menu, whole stories, the explorer terminal, the touch keys and the
// screen reader switch. Usage: node tests/web/play_test.mjs SITE_FOLDER
import assert from "node:assert/strict";

import { launch, Play, serve, sleep } from "./browser.mjs";
import { ANY_KEY, CLEAR, FORK, Walk } from "./walk.mjs";

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

const tests = [];
const test = (name, body) => tests.push({ name, body });

// Chinese as it should stand, in every test: no U+FFFD, two columns a character.
async function expectIntactChinese(play) {
  assert.deepEqual(await play.brokenCharacters(), []);
  assert.deepEqual(play.errors, []);
}

test("the title menu: its rows, the letter replaced in place, and C ends the game", async (play) => {
  const rows = await play.rows();
  assert.deepEqual(rows.slice(0, 5), ["== GAME MENU ==", "A       游戏", "B       浏览麦格终端再游戏", "C       离开", "》a"]);
  assert.deepEqual(await play.cursorAt(), { row: 4, column: 3 }); // 》 takes two columns
  assert.equal(await play.page.title(), "黄廊探索");
  assert.equal(await play.endedNoteShown(), false);

  await play.type("b");
  await play.expect("\bb");
  assert.equal((await play.rows())[4], "》b");
  await play.type("c");
  await play.expect("\bc");
  await play.enter();
  await play.page.waitForSelector("#ended", { state: "visible", timeout: 5000 });
  assert.match(await play.page.textContent("#ended"), /本局游戏已结束/);

  // A new game is a new instance: the window title comes from its own start.
  await play.page.evaluate(() => {
    document.title = "";
  });
  await play.page.click("#again");
  await play.page.waitForFunction(() => window.terminal.buffer.active.getLine(4).translateToString(true) === "》a");
  assert.equal(await play.page.title(), "黄廊探索");
  assert.equal(await play.endedNoteShown(), false);
  await expectIntactChinese(play);
});

test("straight to the red room: the end screen with 395", async (play) => {
  const walk = new Walk(play);
  await walk.toLevel0();
  await walk.choose("a");
  await walk.read(FORK);
  await walk.choose("b");
  await walk.read(ANY_KEY);
  await walk.anyKey();
  await walk.endsWith(395);
  assert.equal((await play.rows())[0], "你已完成本次游戏。分数：0；剩余体力：395。");
  await expectIntactChinese(play);
});

test("the left way: the manila page, the stranger, the base, two explorations and the ceiling", async (play) => {
  const walk = new Walk(play);
  await walk.greetingTheStrangerToTheBase();
  const taken = await walk.explore(true);
  await walk.choose("c"); // back to the base, whose panel counts what was taken
  const body = 385 + 600 * taken;
  await walk.atBase(body);
  const lines = await play.lines();
  assert.ok(lines.includes(`体力：${body}`), `the panel shows ${body}`);
  assert.equal(await walk.explore(false), 0);
  await walk.choose("b"); // through the ceiling
  await walk.endsWith(body);
  await expectIntactChinese(play);
});

test("the explorer terminal: list, a page, a key that names nothing, an empty line", async (play) => {
  await play.choose("b");
  await play.expect(PROMPT);
  // The index unhurried: every byte arrives in a write of its own.
  await play.type("list");
  await play.enter();
  await play.expect("red-rooms\n");
  assert.deepEqual((await play.rows()).slice(0, INDEX_ROWS.length), INDEX_ROWS);
  const title = await play.cell(await play.viewportTop(), 2);
  assert.ok(title.bold && title.chars === "当" && title.width === 2, JSON.stringify(title));

  await play.type("x");
  await play.expect(PROMPT);
  await play.type("level-0");
  await play.enter();
  await play.hurryTo("https://huanglang.example.org/archive/level-0\n");
  const red = await play.find("红色墙纸");
  assert.ok(red !== null, "the link to the red rooms is on the page");
  const link = await play.cell(red.line, red.column);
  assert.ok(link.bold && link.underline && link.foreground === 1, JSON.stringify(link));
  const after = await play.find("的征兆"); // the plain words after the link
  const plain = await play.cell(after.line, after.column);
  assert.ok(!plain.bold && !plain.underline && plain.foreground === -1, JSON.stringify(plain));

  await play.page.keyboard.press("ArrowUp"); // a whole key, and nothing of it left at the prompt
  await play.expect(PROMPT);
  await play.type("Level-0");
  await play.enter();
  await play.expect(CLEAR);
  await sleep(300);
  assert.ok((await play.rows()).every((text) => text === ""), "a key that names no page shows a blank screen");
  await play.page.keyboard.insertText("黄"); // a character from an input method as the key
  await play.expect(PROMPT);

  // Only characters go into the line: C1 controls, which would clear the
  // screen and rename the page, are dropped; an emoji erases as two columns.
  await play.type("ab\u009b2J\u009d0;PWNED\u009c😀");
  await play.page.keyboard.press("Backspace");
  await play.page.waitForFunction(() => window.written.endsWith("\b \b\b \b"));
  assert.equal((await play.rows())[(await play.cursorAt()).row].trimEnd(), PROMPT + "ab2J0;PWNED");
  assert.equal(await play.page.title(), "黄廊探索");
  // A line longer than the window can show stops growing; Ctrl-U then leaves
  // nothing of it on screen.
  await play.page.evaluate(() => window.terminal.paste("x".repeat(5000)));
  await play.page.keyboard.press("Control+U");
  await play.type("list");
  await play.expect("list");
  const rows = await play.rows();
  assert.ok(rows.every((text) => !text.includes("x")), rows.join("\n"));
  assert.equal(rows[(await play.cursorAt()).row].trimEnd(), PROMPT + "list");
  await play.page.keyboard.press("Control+U");
  await play.enter();
  await play.expect(CLEAR + CLEAR + "“");
  await expectIntactChinese(play);
});

test("the touch keys play a choice", async (play) => {
  await play.page.getByRole("button", { name: "b", exact: true }).click();
  await play.expect("\bb");
  await play.page.getByRole("button", { name: "回车" }).click();
  await play.expect(PROMPT);
  const rows = await play.rows();
  assert.ok(rows.includes(PROMPT), "the explorer terminal opened");
});

test("the screen reader switch exposes the text, and is off at first", async (play) => {
  assert.equal(await play.page.$(".xterm-accessibility-tree"), null);
  await play.page.check("#reader");
  await play.page.waitForFunction(() =>
    document.querySelector(".xterm-accessibility-tree")?.textContent.includes("== GAME MENU =="),
  );
  const tree = await play.page.locator("body").ariaSnapshot();
  assert.match(tree, /== GAME MENU ==/);
  assert.match(tree, /浏览麦格终端再游戏/);
  await play.choose("c");
  await play.page.waitForSelector("#ended", { state: "visible", timeout: 5000 });
});

// A tab in the background gets its timers held back; when it comes back the
// text goes on at its pace from there, not in a burst of the bytes it is late with.
test("a tab held back picks its pace up again without a burst", async (play) => {
  await play.choose("a");
  await play.expect("“");
  await sleep(300);
  await play.page.evaluate(() => {
    const until = performance.now() + 1500; // the page's timers wait, as in a hidden tab
    while (performance.now() < until);
  });
  await sleep(600);
  const times = await play.page.evaluate(() => window.writeTimes.map(([at]) => at));
  const gaps = times.slice(1).map((at, i) => at - times[i]);
  const stall = gaps.findIndex((gap) => gap > 1000);
  assert.ok(stall >= 0, "the tab was held back");
  const after = times.slice(stall + 1);
  const burst = after.filter((at) => at - after[0] < 100).length;
  assert.ok(burst <= 7, `${burst} writes in the 100 ms after the tab came back`);
  await play.type(" ");
});

// ---- Running them ------------------------------------------------------------------

const site = process.argv[2];
if (!site) {
  console.error("usage: node tests/web/play_test.mjs SITE_FOLDER");
  process.exit(2);
}
const server = await serve(site);
const browser = await launch();
let passed = 0;
let failed = 0;
try {
  for (const { name, body } of tests) {
    const started = Date.now();
    let play = null;
    try {
      play = await Play.open(browser, server.url);
      await body(play);
      ++passed;
      console.log(`ok      ${name} (${Date.now() - started} ms)`);
    } catch (error) {
      ++failed;
      console.log(`FAILED  ${name}\n        ${String(error.stack || error).replaceAll("\n", "\n        ")}`);
    } finally {
      if (play !== null) await play.close();
    }
  }
} finally {
  await browser.close();
  server.stop();
}
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed === 0 ? 0 : 1);
