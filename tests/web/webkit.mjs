// WebKit (WebKitGTK's MiniBrowser) driven over classic WebDriver by
// WebKitWebDriver, under a virtual X display: the few things the plays ask of a
// page, in the same shape as puppeteer's. MiniBrowser keeps its window at 447
// CSS px or more, so a phone's size is an iframe of that size in a page of
// the tests; the page object then works inside the frame.
import { spawn } from "node:child_process";
import { createServer } from "node:net";

const MINIBROWSER = "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser";
const KEYS = { Enter: "\uE007", Backspace: "\uE003", ArrowUp: "\uE013", Control: "\uE009", Tab: "\uE004" };
KEYS.Escape = "\uE00C";

export function freePort() {
  return new Promise((resolve, reject) => {
    const probe = createServer();
    probe.once("error", reject);
    probe.listen(0, "127.0.0.1", () => {
      const { port } = probe.address();
      probe.close(() => resolve(port));
    });
  });
}

const sleep = (milliseconds) => new Promise((resolve) => setTimeout(resolve, milliseconds));

// Starts a program and its end, so that whatever happens it goes away with us.
function started(command, args, environment) {
  const child = spawn(command, args, { stdio: "ignore", env: { ...process.env, ...environment } });
  process.once("exit", () => child.kill());
  return child;
}

async function displayNumber() {
  for (let number = 90; number < 130; ++number) {
    const server = started("Xvfb", [`:${number}`, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"]);
    await sleep(300);
    if (server.exitCode === null) return { number, server };
  }
  throw new Error("no free X display for WebKit");
}

export async function launchWebKit() {
  const { number, server: display } = await displayNumber();
  const port = await freePort();
  const driver = started("WebKitWebDriver", [`--port=${port}`], { DISPLAY: `:${number}` });
  const base = `http://127.0.0.1:${port}`;
  const call = async (method, path, body) => {
    const response = await fetch(base + path, { method, body: body && JSON.stringify(body) });
    const { value } = await response.json();
    if (value?.error) throw new Error(`WebDriver ${path}: ${value.error}: ${value.message}`);
    return value;
  };
  for (let tries = 0; ; ++tries) {
    try {
      await call("GET", "/status");
      break;
    } catch (error) {
      if (tries > 100) throw error;
      await sleep(50);
    }
  }
  return {
    async newPage() {
      const options = { binary: MINIBROWSER, args: ["--automation"] };
      const { sessionId } = await call("POST", "/session", {
        capabilities: { alwaysMatch: { "webkitgtk:browserOptions": options } },
      });
      return new WebDriverPage((method, path, body) => call(method, `/session/${sessionId}${path}`, body));
    },
    async close() {
      driver.kill();
      display.kill();
    },
  };
}

// A function and its argument as a script WebDriver runs in the page.
function script(fn, arg) {
  return { script: `return (${fn}).apply(null, arguments)`, args: arg === undefined ? [] : [arg] };
}

class WebDriverPage {
  constructor(call) {
    this.call = call;
    this.errors = []; // the page's own error listener fills these (see Play)
  }

  goto(url) {
    return this.call("POST", "/url", { url });
  }

  async setViewport({ width, height }) {
    await this.call("POST", "/window/rect", { width, height });
  }

  evaluate(fn, arg) {
    return this.call("POST", "/execute/sync", script(fn, arg));
  }

  // The page's frame at this size becomes the page these calls act in.
  async openInFrame(url, { width, height }) {
    await this.evaluate(
      ([src, w, h]) => {
        document.body.style.margin = "0";
        const frame = document.createElement("iframe");
        frame.style.cssText = `width: ${w}px; height: ${h}px; border: 0`;
        frame.src = src;
        document.body.append(frame);
      },
      [url, width, height],
    );
    const frame = await this.call("POST", "/element", { using: "css selector", value: "iframe" });
    await this.call("POST", "/frame", { id: frame });
  }

  keys(actions) {
    return this.call("POST", "/actions", { actions: [{ type: "key", id: "keys", actions }] });
  }

  type(text) {
    return this.keys(
      [...text].flatMap((value) => [
        { type: "keyDown", value },
        { type: "keyUp", value },
      ]),
    );
  }

  press(key) {
    const [held, main] = key.includes("+") ? key.split("+") : [null, key];
    const value = KEYS[main] ?? main.toLowerCase();
    const down = held ? [{ type: "keyDown", value: KEYS[held] }] : [];
    const up = held ? [{ type: "keyUp", value: KEYS[held] }] : [];
    return this.keys([...down, { type: "keyDown", value }, { type: "keyUp", value }, ...up]);
  }

  async click(selector) {
    const element = await this.call("POST", "/element", { using: "css selector", value: selector });
    await this.call("POST", `/element/${Object.values(element)[0]}/click`, {});
  }

  doubleClick(x, y) {
    const click = [
      { type: "pointerDown", button: 0 },
      { type: "pointerUp", button: 0 },
    ];
    const actions = [{ type: "pointerMove", x: Math.round(x), y: Math.round(y) }, ...click, ...click];
    return this.call("POST", "/actions", { actions: [{ type: "pointer", id: "mouse", actions }] });
  }

  title() {
    return this.evaluate(() => document.title);
  }

  async close() {
    await this.call("DELETE", "");
  }
}
