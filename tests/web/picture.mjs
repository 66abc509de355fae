// The README's picture of the browser edition, taken with the tests' driver:
// the explorer terminal's Level 0 page read to its end, with the page's keys.
//   node tests/web/picture.mjs SITE_FOLDER OUT.png
import { launch, Play, serve, sleep } from "./browser.mjs";

const [site, out] = process.argv.slice(2);
if (!site || !out) {
  console.error("usage: node tests/web/picture.mjs SITE_FOLDER OUT.png");
  process.exit(2);
}
const server = await serve(site);
const browser = await launch();
try {
  const play = await Play.open(browser, server.url, { width: 960, height: 720 });
  await play.choose("b");
  await play.expect("（不输入则退出终端）：");
  await play.type("level-0");
  await play.enter();
  await play.hurryTo("/archive/level-0\n");
  await sleep(2000); // the scroll bar fades once the page has stopped scrolling
  await play.page.screenshot({ path: out });
  console.log(`picture: ${out}`);
} finally {
  await browser.close();
  server.stop();
}
