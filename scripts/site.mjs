// Finishes the browser edition's site: the app's icons, drawn here; its
// manifest, in the page's colours as style.css has them; and the service
// worker, with the site's files and a version made from their contents, so
// that a new build replaces what a phone kept of the old one.
// Usage: node scripts/site.mjs WEB_FOLDER SITE_FOLDER   (the web build runs it)
import { createHash } from "node:crypto";
import { readdirSync, readFileSync, writeFileSync } from "node:fs";
import { join } from "node:path";
import { deflateSync } from "node:zlib";

const [web, site] = process.argv.slice(2);
if (!web || !site) {
  console.error("usage: node scripts/site.mjs WEB_FOLDER SITE_FOLDER");
  process.exit(2);
}

const style = readFileSync(join(web, "style.css"), "utf8");
const colour = (name) => new RegExp(`${name}:\\s*(#[0-9a-fA-F]{6})`).exec(style)[1];
const rgb = (hex) => [1, 3, 5].map((at) => parseInt(hex.slice(at, at + 2), 16));

// ---- The icon: yellow rooms inside rooms, seen from above, a lamp in the middle

const CRC_TABLE = Array.from({ length: 256 }, (_, n) => {
  let c = n;
  for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});

function crc32(bytes) {
  let c = 0xffffffff;
  for (const byte of bytes) c = CRC_TABLE[(c ^ byte) & 0xff] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}

function chunk(type, data) {
  const head = Buffer.alloc(8);
  head.writeUInt32BE(data.length, 0);
  head.write(type, 4, "ascii");
  const tail = Buffer.alloc(4);
  tail.writeUInt32BE(crc32(Buffer.concat([head.subarray(4), data])), 0);
  return Buffer.concat([head, data, tail]);
}

// An RGB picture, pixel(x, y) giving each colour, as a PNG file.
function png(size, pixel) {
  const rows = Buffer.alloc((size * 3 + 1) * size);
  for (let y = 0; y < size; ++y)
    for (let x = 0; x < size; ++x) rows.set(pixel(x / size, y / size), y * (size * 3 + 1) + 1 + x * 3);
  const header = Buffer.alloc(13);
  header.writeUInt32BE(size, 0);
  header.writeUInt32BE(size, 4);
  header.set([8, 2, 0, 0, 0], 8); // 8 bits a channel, RGB
  const signature = Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]);
  return Buffer.concat([
    signature,
    chunk("IHDR", header),
    chunk("IDAT", deflateSync(rows)),
    chunk("IEND", Buffer.alloc(0)),
  ]);
}

// Three walls, square around the middle, each with its doorway on another
// side than the next, and the light of one lamp at the heart of it.
function plan(x, y) {
  const dx = x - 1 / 2;
  const dy = y - 1 / 2;
  const walls = [
    { half: 0.4, door: (u, v) => v < 0 && Math.abs(u) < 0.06 },
    { half: 0.27, door: (u, v) => v > 0 && Math.abs(u) < 0.06 },
    { half: 0.14, door: (u) => u < 0 && Math.abs(dy) < 0.06 },
  ];
  for (const { half, door } of walls) {
    const onWall = Math.abs(Math.max(Math.abs(dx), Math.abs(dy)) - half) < 0.025;
    if (onWall && !door(dx, dy)) return rgb(colour("--background"));
  }
  return Math.hypot(dx, dy) < 0.05 ? [255, 250, 220] : rgb(colour("--key"));
}

const icons = [192, 512].map((size) => {
  const name = `icon-${size}.png`;
  writeFileSync(join(site, name), png(size, plan));
  return { src: name, sizes: `${size}x${size}`, type: "image/png" };
});

// ---- The manifest: installable, standalone, in the page's colours

const manifest = {
  name: "黄廊探索",
  short_name: "黄廊探索",
  lang: "zh-CN",
  start_url: ".",
  scope: ".",
  display: "standalone",
  background_color: colour("--background"),
  theme_color: colour("--background"),
  icons,
};
writeFileSync(join(site, "manifest.webmanifest"), `${JSON.stringify(manifest, null, 2)}\n`);

// ---- The service worker: every file of the site, and their version

const files = readdirSync(site)
  .filter((name) => name !== "sw.js")
  .sort();
const hash = createHash("sha256");
for (const name of files) hash.update(name).update(readFileSync(join(site, name)));
const worker = readFileSync(join(web, "sw.js"), "utf8")
  .replace(/const VERSION = .*;/, `const VERSION = "${hash.digest("hex").slice(0, 16)}";`)
  .replace(/const FILES = .*;/, `const FILES = ${JSON.stringify(["./", ...files])};`);
writeFileSync(join(site, "sw.js"), worker);
