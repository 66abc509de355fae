// The README's pictures of the browser edition, taken with the tests' driver:
// at a desktop's size, the explorer terminal's Level 0 page read to its end,
// with the page's keys; at a phone's, Object 1's nutrition table.
//   node tests/web/picture.mjs SITE_FOLDER DESKTOP.png PHONE.png
import { launch, Play, serve, sleep } from "./browser.mjs";

const [site, desktop, phone] = process.argv.slice(2);
if (!site || !desktop || !phone) {
  console.error("usage: node tests/web/picture.mjs SITE_FOLDER DESKTOP.png PHONE.png");
  process.exit(2);
}

// The page, read to the end of the page named and scrolled back to a heading
// if one is named, and its picture.
async function picture(browser, options, key, end, out, heading = null) {
  const play = await Play.open(browser, server.url, options);
  await play.choose("b");
  await play.expect("（不输入则退出终端）：");
  await play.choose(key);
  await play.hurryTo(end);
  if (heading !== null) await terminalScrollsTo(play, heading);
  await sleep(2000); // the scroll bar fades once the page has stopped scrolling
  await play.page.raw.screenshot({ path: out });
  console.log(`picture: ${out}`);
  await play.close();
}

async function terminalScrollsTo(play, heading) {
  const at = await play.find(heading);
  await play.page.evaluate((line) => terminal.scrollToLine(line), at.line);
}

const server = await serve(site);
try {
  const big = await launch("chromium");
  await picture(big, { viewport: { width: 960, height: 720 } }, "level-0", "/archive/level-0\n", desktop);
  await big.close();
  const small = await launch("chromium", { phone: true });
  await picture(small, { phone: true }, "object-1", "/archive/object-1\n", phone, "## 营养成分表");
  await small.close();
} finally {
  await server.stop();
}
