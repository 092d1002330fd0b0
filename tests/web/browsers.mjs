// The three browser engines the page is tested in, behind one small interface:
// Chromium and Firefox ESR through puppeteer-core (Chromium over its DevTools
// protocol, Firefox over WebDriver BiDi), WebKitGTK's MiniBrowser through
// WebKitWebDriver (W3C WebDriver, plain HTTP) on a private X server.
//
//   const browser = await launch(engine, { locale, downloads });
//   const tab = await browser.open(url);   // waits until the page is ready
//   tab.choose(selector, path), tab.click(selector), tab.key(name),
//   tab.run(fn, ...args) (fn runs in the page; JSON in and out), tab.until(fn, arg),
//   tab.reload(), tab.screenshot(path), tab.problems() (page errors, console errors, policy
//   reports), tab.close(); browser.memory() (the largest process running
//   pages, MiB), browser.close()
//
// Every page opened gets listeners for errors and policy reports once it is
// ready; what comes before (a blocked icon, say) is caught from each engine's
// own console: puppeteer's console and pageerror events, the MiniBrowser's
// console written to its standard output.
import { spawn, spawnSync } from "node:child_process";
import { existsSync, mkdirSync, readFileSync, readdirSync, writeFileSync } from "node:fs";
import { createServer } from "node:net";
import { join } from "node:path";
import puppeteer from "puppeteer-core";

export const ENGINES = (process.env.WEB_ENGINES ?? "chromium firefox webkit").split(/\s+/).filter(Boolean);
const { CHROMIUM = "/usr/bin/chromium", FIREFOX = "/usr/bin/firefox-esr",
  MINIBROWSER = "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser", WEBKIT_DRIVER = "WebKitWebDriver" } = process.env;
const VIEWPORT = { width: 1100, height: 900 };
const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Installed in the page once it is ready: what goes wrong from then on, and
// every Blob the page hands out (the converted bytes, read without a download).
function listen() {
  window.tavroProblems = [];
  const note = (text) => window.tavroProblems.push(text);
  addEventListener("error", (event) => note(`error: ${event.message}`));
  addEventListener("unhandledrejection", (event) => note(`rejection: ${event.reason}`));
  document.addEventListener("securitypolicyviolation", (event) =>
    note(`policy: ${event.violatedDirective} ${event.blockedURI}`));
  window.tavroBlobs = new Map();
  const original = URL.createObjectURL.bind(URL);
  URL.createObjectURL = (blob) => {
    const url = original(blob);
    window.tavroBlobs.set(url, blob);
    return url;
  };
}

// The bytes of the Blob behind a link's href, as base64.
async function blobOf(selector) {
  const blob = window.tavroBlobs.get(document.querySelector(selector).href);
  const bytes = new Uint8Array(await blob.arrayBuffer());
  let text = "";
  for (let i = 0; i < bytes.length; i += 8192) text += String.fromCharCode(...bytes.subarray(i, i + 8192));
  return btoa(text);
}

const isReady = () => document.body?.dataset.ready === "true";

class Tab {
  // run(fn, ...args), key(name), choose(selector, path), click(selector) come from each engine.
  async ready() {
    await this.until(isReady);
    await this.run(listen);
  }

  async until(check, argument = null, timeout = 20000) {
    const end = Date.now() + timeout;
    while (!(await this.run(check, argument))) {
      if (Date.now() > end) throw new Error(`timed out waiting for ${check}`);
      await pause(20);
    }
  }

  text(selector) { return this.run((s) => document.querySelector(s).textContent, selector); }
  hidden(selector) { return this.run((s) => document.querySelector(s).hidden, selector); }
  async blob(selector) { return Buffer.from(await this.run(blobOf, selector), "base64"); }

  async problems() {
    const inPage = await this.run(() => window.tavroProblems ?? []).catch(() => []);
    return [...this.early, ...inPage];
  }
}

// The resident size of the largest process under `root` whose command line
// matches `kind` (the engine's processes that run pages), in MiB.
const PAGE_PROCESS = { chromium: /--type=renderer/, firefox: /-contentproc/, webkit: /WebKitWebProcess/ };
function largestUnder(root, kind) {
  const parents = new Map();
  for (const pid of readdirSync("/proc").filter((name) => /^\d+$/.test(name))) {
    try {
      parents.set(pid, readFileSync(`/proc/${pid}/stat`, "utf8").replace(/^.*\) /, "").split(" ")[1]);
    } catch {
      // gone meanwhile
    }
  }
  const under = (pid) => pid === String(root) || (parents.has(pid) && pid !== "1" && under(parents.get(pid)));
  let largest = 0;
  for (const pid of parents.keys()) {
    if (!under(pid)) continue;
    try {
      if (!kind.test(readFileSync(`/proc/${pid}/cmdline`, "utf8"))) continue;
      largest = Math.max(largest, Number(readFileSync(`/proc/${pid}/status`, "utf8").match(/VmRSS:\s+(\d+)/)[1]) / 1024);
    } catch {
      // gone meanwhile
    }
  }
  return largest;
}

// ---- Chromium and Firefox: puppeteer-core ----

class PuppeteerTab extends Tab {
  constructor(page, early) {
    super();
    this.page = page;
    this.early = early;
  }

  run(fn, ...args) { return this.page.evaluate(fn, ...args); }
  async choose(selector, path) { await (await this.page.$(selector)).uploadFile(path); }
  async click(selector) { await this.page.click(selector); }
  async key(name) { await this.page.keyboard.press(name); }
  async screenshot(path, fullPage = true) { await this.page.screenshot({ path, fullPage }); }
  async reload() {
    await this.page.reload();
    await this.ready();
  }
  async close() { await this.page.browserContext().close(); }
}

async function launchPuppeteer(engine, locale, downloads) {
  const languages = `${locale}, ${locale.split("-")[0]}`;
  const browser = await puppeteer.launch({
    browser: engine === "firefox" ? "firefox" : "chrome",
    executablePath: engine === "firefox" ? FIREFOX : CHROMIUM,
    headless: true,
    args: engine === "firefox" ? [] : ["--no-sandbox", `--lang=${locale}`, `--accept-lang=${languages}`],
    extraPrefsFirefox: { "browser.download.folderList": 2, "browser.download.dir": downloads,
      "browser.download.useDownloadDir": true, "browser.download.always_ask_before_handling_new_types": false,
      "intl.accept_languages": languages },
  });
  return {
    async open(url) {
      const context = await browser.createBrowserContext(engine === "firefox" ? {}
        : { downloadBehavior: { policy: "allow", downloadPath: downloads } });
      const page = await context.newPage();
      await page.setViewport(VIEWPORT);
      const early = [];
      page.on("pageerror", (error) => early.push(`page error: ${error.message}`));
      page.on("console", (message) => {
        if (message.type() === "error" || message.type() === "warn") early.push(`console: ${message.text()}`);
      });
      page.requests = [];
      page.on("request", (request) => page.requests.push(request.url()));
      await page.goto(url);
      const tab = new PuppeteerTab(page, early);
      await tab.ready();
      return tab;
    },
    memory: () => largestUnder(browser.process().pid, PAGE_PROCESS[engine]),
    close: () => browser.close(),
  };
}

// ---- WebKitGTK: WebKitWebDriver on a private X server ----

let display = null;

// A display number no one holds (a lock file in /tmp says who does), from 260 on.
async function startDisplay() {
  for (let number = 260; number < 300; ++number) {
    if (existsSync(`/tmp/.X${number}-lock`)) continue;
    const server = spawn("Xvfb", [`:${number}`, "-nolisten", "tcp", "-screen", "0", "1280x1024x24"],
      { stdio: "ignore" });
    await pause(500);
    if (server.exitCode === null) {
      // It goes with the tests' process, and keeps it from ending no longer.
      server.unref();
      process.on("exit", () => server.kill());
      return { number, server };
    }
  }
  throw new Error("no free X display");
}

async function freePort() {
  const server = createServer();
  await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
  const { port } = server.address();
  await new Promise((resolve) => server.close(resolve));
  return port;
}

const ELEMENT = "element-6066-11e4-a6e3-4a21aa2b4e51";
const KEYS = { Tab: "\uE004", Enter: "\uE007", Escape: "\uE00C", " ": "\uE00D", Space: "\uE00D" };

class WebDriverTab extends Tab {
  constructor(driver, session, output) {
    super();
    this.driver = driver;
    this.session = session;
    this.output = output;
    this.seen = output.length;
  }

  get early() {
    // The MiniBrowser's console lines since this tab opened.
    return this.output.slice(this.seen).filter((line) => /CONSOLE .*(ERROR|WARN)/.test(line));
  }

  async call(method, path, body) {
    const response = await fetch(`${this.driver}/session/${this.session}${path}`, {
      method, headers: { "content-type": "application/json" }, body: body && JSON.stringify(body) });
    const answer = await response.json();
    if (answer.value?.error) throw new Error(`${path}: ${answer.value.error}: ${answer.value.message}`);
    return answer.value;
  }

  // The function runs as an async one: its promise, resolved, is the answer.
  run(fn, ...args) {
    return this.call("POST", "/execute/async", { args, script:
      `const done = arguments[arguments.length - 1]; Promise.resolve((${fn})(...Array.from(arguments).slice(0, -1)))` +
      ".then(done, (failure) => done({ tavroFailure: String(failure) }));" }).then((value) => {
      if (value && value.tavroFailure) throw new Error(value.tavroFailure);
      return value;
    });
  }

  async element(selector) {
    const found = await this.call("POST", "/element", { using: "css selector", value: selector });
    return found[ELEMENT] ?? Object.values(found)[0];
  }

  async choose(selector, path) {
    await this.call("POST", `/element/${await this.element(selector)}/value`, { text: path });
  }

  async click(selector) { await this.call("POST", `/element/${await this.element(selector)}/click`, {}); }

  async key(name) {
    const value = KEYS[name] ?? name;
    await this.call("POST", "/actions", { actions: [{ type: "key", id: "keyboard",
      actions: [{ type: "keyDown", value }, { type: "keyUp", value }] }] });
  }

  async screenshot(path) { writeFileSync(path, Buffer.from(await this.call("GET", "/screenshot"), "base64")); }
  async reload() {
    await this.call("POST", "/refresh", {});
    await this.ready();
  }
  async close() { await this.call("DELETE", ""); }
}

async function launchWebKit(locale, downloads) {
  display ??= await startDisplay();
  const port = await freePort();
  // The browser's language follows LANG; its downloads go to the XDG folder.
  const home = join(downloads, ".home");
  mkdirSync(join(home, ".config"), { recursive: true });
  writeFileSync(join(home, ".config", "user-dirs.dirs"), `XDG_DOWNLOAD_DIR="${downloads}"\n`);
  // WebKitGTK takes the language from the C library's locale: one of our
  // own where the system has not generated it.
  const name = `${locale.replace("-", "_")}.UTF-8`, locales = join(home, "locales");
  if (!locale.startsWith("en")) {
    mkdirSync(locales, { recursive: true });
    spawnSync("localedef", ["-i", locale.replace("-", "_"), "-f", "UTF-8", join(locales, name)]);
  }
  const driverProcess = spawn(WEBKIT_DRIVER, [`--port=${port}`], { stdio: ["ignore", "pipe", "pipe"],
    env: { ...process.env, DISPLAY: `:${display.number}`, LANG: name, LC_ALL: name, LANGUAGE: locale.replace("-", "_"),
      LOCPATH: locales, HOME: home, XDG_CONFIG_HOME: join(home, ".config") } });
  process.on("exit", () => driverProcess.kill());
  const output = [];
  for (const stream of [driverProcess.stdout, driverProcess.stderr]) {
    stream.setEncoding("utf8");
    stream.on("data", (chunk) => output.push(...chunk.split("\n")));
  }
  const driver = `http://127.0.0.1:${port}`;
  for (let i = 0; ; ++i) {
    try {
      await fetch(`${driver}/status`);
      break;
    } catch (failure) {
      if (i > 100) throw failure;
      await pause(50);
    }
  }
  const tabs = [];
  return {
    async open(url) {
      const response = await fetch(`${driver}/session`, { method: "POST", body: JSON.stringify({ capabilities: {
        alwaysMatch: { "webkitgtk:browserOptions": { binary: MINIBROWSER,
          args: ["--automation", "--enable-write-console-messages-to-stdout=true"] } } } }) });
      const { sessionId } = (await response.json()).value;
      const tab = new WebDriverTab(driver, sessionId, output);
      tabs.push(tab);
      await tab.call("POST", "/window/rect", VIEWPORT);
      await tab.call("POST", "/url", { url });
      await tab.ready();
      return tab;
    },
    memory: () => largestUnder(driverProcess.pid, PAGE_PROCESS.webkit),
    async close() {
      for (const tab of tabs) await tab.close().catch(() => {});
      driverProcess.kill();
    },
  };
}

// What the MiniBrowser's console says while it loads `url` by itself: WebDriver
// reads no console, and listeners installed by a test come after the page's
// first requests.
export async function webkitConsole(url, seconds = 5) {
  display ??= await startDisplay();
  const browser = spawn(MINIBROWSER, ["--enable-write-console-messages-to-stdout=true", url],
    { stdio: ["ignore", "pipe", "pipe"], env: { ...process.env, DISPLAY: `:${display.number}` } });
  let output = "";
  for (const stream of [browser.stdout, browser.stderr]) {
    stream.setEncoding("utf8");
    stream.on("data", (chunk) => { output += chunk; });
  }
  await pause(seconds * 1000);
  browser.kill();
  return output.split("\n").filter((line) => line.startsWith("CONSOLE"));
}

// A browser of `engine` whose language is `locale` and whose downloads go to
// the folder `downloads`.
export function launch(engine, { locale = "en-US", downloads }) {
  mkdirSync(downloads, { recursive: true });
  return engine === "webkit" ? launchWebKit(locale, downloads) : launchPuppeteer(engine, locale, downloads);
}
