// The page in Chromium (headless, driven by playwright-core): what only
// Chromium has or only its driver reaches (the request log, files dropped,
// the file choosers opened by keys, Save as PNG, the in-place write, the
// service worker offline), each checked against the native `tavro`; what
// every engine does is in engines.test.mjs. Needs TAVRO, SAMPLES and SITE as
// the interface tests do, and CHROMIUM.
import { after, before, test } from "node:test";
import assert from "node:assert/strict";
import { spawnSync } from "node:child_process";
import { appendFileSync, cpSync, mkdtempSync, readFileSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { chromium } from "playwright-core";
import { decodePng } from "./png.mjs";
import { serve } from "./serve.mjs";

const { TAVRO, SAMPLES, SITE, CHROMIUM = "/usr/bin/chromium" } = process.env;
const folder = mkdtempSync(join(tmpdir(), "tavro-page-"));
const sample = (name) => join(SAMPLES, name);
let browser, server, origin;
before(async () => {
  ({ server, origin } = await serve(SITE));
  browser = await chromium.launch({ executablePath: CHROMIUM, args: ["--no-sandbox"] });
});
after(async () => {
  await browser?.close();
  server?.close();
});

function nativeConvert(source, target, pack) {
  const copy = join(folder, `native-${Math.random()}.state`);
  writeFileSync(copy, readFileSync(target));
  const run = spawnSync(TAVRO, ["convert", ...(pack ? ["--pack"] : []), source, copy]);
  assert.equal(run.status, 0);
  return readFileSync(copy);
}

// A fresh page, ready, recording every request it makes and every error or
// policy report; done() closes it once nothing went wrong.
async function open(url = `${origin}/`, locale = "en-US") {
  const context = await browser.newContext({ locale, acceptDownloads: true });
  const page = await context.newPage();
  page.requests = [];
  page.problems = [];
  page.on("request", (request) => page.requests.push(request.url()));
  page.on("pageerror", (error) => page.problems.push(`page error: ${error.message}`));
  page.on("console", (message) => ["error", "warning"].includes(message.type()) &&
    page.problems.push(`console: ${message.text()}`));
  await page.goto(url);
  await page.waitForSelector("body[data-ready]");
  return page;
}

async function done(page) {
  assert.deepEqual(page.problems, []);
  await page.context().close();
}

// Waits until `check` (run in the page) is true. Playwright's own waiting
// evaluates strings, which the page's Content-Security-Policy forbids.
async function until(page, check, argument) {
  const end = Date.now() + 20000;
  while (!(await page.evaluate(check, argument))) {
    assert.ok(Date.now() < end, `timed out waiting for ${check}`);
    await new Promise((resolve) => setTimeout(resolve, 20));
  }
}

async function convert(page, source, target = sample("tavro2.state")) {
  await page.setInputFiles("#source-input", source);
  await page.setInputFiles("#target-input", target);
  await page.click("#convert");
}

async function download(page) {
  const [file] = await Promise.all([page.waitForEvent("download"), page.click("#download")]);
  return { name: file.suggestedFilename(), bytes: readFileSync(await file.path()) };
}

test("both files, Convert: the download is the native program's result, under the target's name", async () => {
  const page = await open();
  await convert(page, sample("tavro1.state"));
  await page.waitForSelector("#report:not([hidden])");
  const { name, bytes } = await download(page);
  assert.equal(name, "tavro2.state");
  assert.ok(bytes.equals(nativeConvert(sample("tavro1.state"), sample("tavro2.state"), false)));
  assert.match(await page.textContent("#report"), /Cells expanded: 124\s*3 cells name chunks 64 and above.*Chunks left out: 65, 70, 127\./s);
  assert.equal(await page.getAttribute("#after", "aria-pressed"), "true");
  assert.match(await page.getAttribute("#picture", "aria-label"), /^The level in tavro2\.state: .* 3 cells arrived empty; they are marked in red\.$/);
  for (const url of page.requests) assert.ok(url.startsWith(origin) || url.startsWith("blob:"), url);
  assert.deepEqual(page.requests.filter((url) => url.startsWith(origin)).map((url) => url.slice(origin.length)).sort(),
    ["/", "/engine.js", "/icon.svg", "/page.js", "/style.css", "/tavro.wasm", "/texts.js"]);
  await done(page);
});

test("cells that would arrive empty are said before converting, with Convert packed; a lossy result leads with them", async () => {
  const page = await open();
  await page.setInputFiles("#source-input", sample("tavro1-big.state"));
  await page.setInputFiles("#target-input", sample("tavro2.state"));
  await page.waitForSelector("#pack-offer:not([hidden])");
  assert.equal(await page.textContent("#status"), "⚠ 19 cells would arrive empty: Convert packed carries the whole level, Convert leaves them empty.");
  assert.equal(await page.isHidden("#report"), true);  // nothing to save yet
  await page.click("#convert");
  await page.waitForSelector("#report:not([hidden])");
  assert.equal(await page.textContent("#status"), "⚠ 19 cells arrived empty. Converted: save the result as tavro2.state, or press Convert packed to carry the whole level.");
  assert.equal(await page.isVisible("#pack-offer"), true);
  assert.match(await page.textContent("#report"), /19 cells name chunks 64 and above.*Chunks left out: 64, 65,.* 82\./s);
  assert.match(await page.textContent("#caption"), /⚠ 19 cells arrived empty/);
  assert.ok((await download(page)).bytes.equals(nativeConvert(sample("tavro1-big.state"), sample("tavro2.state"), false)));
  await page.click("#pack-offer");
  await page.waitForSelector("#pack-offer[hidden]", { state: "attached" });
  assert.equal(await page.isChecked("#pack"), true);
  await until(page, () => document.activeElement.id === "download");
  assert.match(await page.textContent("#report"), /Target chunks used: \d+ of 255.*Every cell arrived whole/s);
  assert.equal(await page.textContent("#status"), "Converted. Save the result as tavro2.state.");
  assert.doesNotMatch(await page.textContent("#caption"), /⚠/);
  assert.ok((await download(page)).bytes.equals(nativeConvert(sample("tavro1-big.state"), sample("tavro2.state"), true)));
  await done(page);
});

test("a swapped pair is said in a sentence, the counts in its tooltip; Swap files takes each in the other's role", async () => {
  const page = await open();
  await page.setInputFiles("#source-input", sample("tavro2.state"));
  await page.setInputFiles("#target-input", sample("tavro1.state"));
  await page.waitForSelector("#swap-files:not([hidden])");
  assert.equal(await page.textContent("#status"), "tavro2.state looks like a Tavro 2 save state, not a Tavro 1 one: are the two files swapped? Press Swap files.");
  assert.match(await page.getAttribute("#status", "title"), /^does not hold a Tavro 1 level, and the Tavro 2 save state does/);
  await page.click("#swap-files");
  await page.waitForSelector("#swap-files[hidden]", { state: "attached" });
  assert.equal(await page.textContent("#source-name"), "tavro1.state · 180,000 bytes");
  assert.deepEqual(await page.evaluate(() => ["source-input", "target-input"].map((id) => document.getElementById(id).files[0].name)),
    ["tavro1.state", "tavro2.state"]);
  assert.match(await page.textContent("#status"), /^⚠ 3 cells would arrive empty/);
  await page.click("#convert");
  const { name, bytes } = await download(page);
  assert.equal(name, "tavro2.state");
  assert.ok(bytes.equals(nativeConvert(sample("tavro1.state"), sample("tavro2.state"), false)));
  await page.context().close();
});

test("files dropped on the two zones are chosen", async () => {
  const page = await open();
  for (const [zone, file] of [["#source-drop", "tavro1.state"], ["#target-drop", "tavro2.state"]]) {
    const transfer = await page.evaluateHandle(([name, content]) => {
      const data = new DataTransfer();
      data.items.add(new File([Uint8Array.from(atob(content), (c) => c.charCodeAt(0))], name));
      return data;
    }, [file, readFileSync(sample(file)).toString("base64")]);
    await page.dispatchEvent(zone, "dragover", { dataTransfer: transfer });
    await page.dispatchEvent(zone, "drop", { dataTransfer: transfer });
  }
  await until(page, () => document.getElementById("status").textContent.startsWith("⚠ 3 cells would arrive empty"));
  assert.equal(await page.textContent("#source-name"), "tavro1.state · 180,000 bytes");
  assert.match(await page.getAttribute("#picture", "aria-label"), /^The level in tavro1\.state: [\d,]+ by [\d,]+ pixels/);
  await page.click("#convert");
  assert.ok((await download(page)).bytes.equals(nativeConvert(sample("tavro1.state"), sample("tavro2.state"), false)));
  await done(page);
});

test("by keyboard alone: the file choosers, Convert and the download in the tab order", async () => {
  const page = await open();
  // Listening from the start: choosers opened by a key press are caught.
  const choosers = [];
  page.on("filechooser", (chooser) => choosers.push(chooser));
  const order = [];
  for (let i = 0; i < 4; ++i) {
    await page.keyboard.press("Tab");
    order.push(await page.evaluate(() => document.activeElement.id));
  }
  assert.deepEqual(order, ["source-input", "target-input", "pack", "convert"]);
  for (const [id, file] of [["#source-input", "tavro1.state"], ["#target-input", "tavro2.state"]]) {
    await page.focus(id);
    await page.keyboard.press("Space");
    while (!choosers.length) await new Promise((resolve) => setTimeout(resolve, 20));
    await choosers.shift().setFiles(sample(file));
  }
  await page.focus("#pack");
  await page.keyboard.press("Space");
  await page.keyboard.press("Tab");
  await page.keyboard.press("Enter");
  await page.waitForSelector("#report:not([hidden])");
  await page.focus("#download");
  const [file] = await Promise.all([page.waitForEvent("download"), page.keyboard.press("Enter")]);
  assert.ok(readFileSync(await file.path()).equals(nativeConvert(sample("tavro1.state"), sample("tavro2.state"), true)));
  // The larger view: opened at the page picture's scale or larger, centred; zoomed and closed from the keyboard.
  await page.focus("#open-view");
  await page.keyboard.press("Enter");
  await page.waitForSelector("#view[open]");
  const width = () => page.evaluate(() => document.getElementById("view-picture").width);
  await until(page, () => document.getElementById("zoom-level").textContent !== "");
  const shown = Number((await page.textContent("#caption")).match(/1:(\d+)/)[1]), opened = Number((await page.textContent("#zoom-level")).split(":")[1]);
  assert.ok(opened <= shown && opened * 2 > shown, `1:${opened} for a picture at 1:${shown}`);
  // Centred whether it is larger than the view (scrolled to its middle) or smaller.
  const offCentre = () => page.evaluate(() => {
    const area = document.getElementById("view-area"), canvas = document.getElementById("view-picture").getBoundingClientRect(), box = area.getBoundingClientRect();
    return area.scrollWidth > area.clientWidth ? area.scrollLeft - (area.scrollWidth - area.clientWidth) / 2 : canvas.left + canvas.width / 2 - (box.left + box.width / 2);
  });
  assert.ok(Math.abs(await offCentre()) <= 2, `the picture's middle is ${await offCentre()} px from the view's`);
  await page.keyboard.press("-");
  await page.keyboard.press("-");
  await until(page, (z) => document.getElementById("zoom-level").textContent === `1:${z}`, opened * 4);
  assert.ok(Math.abs(await offCentre()) <= 2, `the smaller picture's middle is ${await offCentre()} px from the view's`);
  await page.keyboard.press("+");
  await page.keyboard.press("+");
  await until(page, (z) => document.getElementById("zoom-level").textContent === `1:${z}`, opened);
  const before = await width();
  await page.keyboard.press("+");
  await until(page, (w) => document.getElementById("view-picture").width === w * 2, before);
  await page.keyboard.press("0");
  await until(page, () => document.getElementById("zoom-level").textContent === "1:1");
  await page.keyboard.press("+");
  await until(page, () => document.getElementById("zoom-level").textContent === "2:1");
  const full = await width();
  assert.equal(await page.evaluate(() => document.getElementById("view-picture").style.width), `${full * 2}px`);
  await page.keyboard.press("Escape");
  await page.waitForSelector("#view:not([open])", { state: "attached" });
  await until(page, () => document.getElementById("view-picture").width === 0);
  await done(page);
});

test("Save as PNG in the larger view: the pixels of `tavro render` at full size", async () => {
  const page = await open();
  await page.setInputFiles("#source-input", sample("tavro1-big.state"));
  await page.click("#open-view");
  await page.waitForSelector("#view[open]");
  const [file] = await Promise.all([page.waitForEvent("download"), page.click("#save-png")]);
  assert.equal(file.suggestedFilename(), "tavro1-big.png");
  const saved = decodePng(readFileSync(await file.path()));
  const png = join(folder, "native.png");
  assert.equal(spawnSync(TAVRO, ["render", "--game", "1", sample("tavro1-big.state"), png]).status, 0);
  const native = decodePng(readFileSync(png));
  assert.deepEqual([saved.width, saved.height], [native.width, native.height]);
  assert.ok(Buffer.from(saved.pixels).equals(Buffer.from(native.pixels)));
  await done(page);
});

test("in place: the chosen file patched, read back, and put back by Undo; another file is refused", async () => {
  const page = await open();
  const target = readFileSync(sample("tavro2.state"));
  // The browser's picker cannot be driven: it hands out a file of the
  // origin-private file system instead, which has the same writable handle.
  const place = async (bytes) => page.evaluate(async (content) => {
    const root = await navigator.storage.getDirectory();
    const handle = await root.getFileHandle("two.state", { create: true });
    const writable = await handle.createWritable();
    await writable.write(Uint8Array.from(atob(content), (c) => c.charCodeAt(0)));
    await writable.close();
    window.showOpenFilePicker = async () => [handle];
  }, bytes.toString("base64"));
  const held = async () => Buffer.from(await page.evaluate(async () => {
    const root = await navigator.storage.getDirectory();
    const file = await (await root.getFileHandle("two.state")).getFile();
    const bytes = new Uint8Array(await file.arrayBuffer());
    let text = "";
    for (let i = 0; i < bytes.length; i += 8192) text += String.fromCharCode(...bytes.subarray(i, i + 8192));
    return btoa(text);
  }), "base64");
  await place(target);
  await page.evaluate(() => document.getElementById("pack").click());
  await convert(page, sample("tavro1-big.state"));
  await page.waitForSelector("#in-place:not([hidden])");
  await page.click("#write");
  await page.waitForSelector("#undo:not([hidden])");
  assert.equal(await page.textContent("#status"), "two.state now holds the converted level (read back and checked).");
  assert.ok((await held()).equals(nativeConvert(sample("tavro1-big.state"), sample("tavro2.state"), true)));
  await page.click("#undo");
  await page.waitForSelector("#undo[hidden]", { state: "attached" });
  assert.match(await page.textContent("#status"), /^Undone: two\.state holds its previous contents again\.$/);
  assert.ok((await held()).equals(target));

  const other = Buffer.from(target);
  other[0] ^= 1;
  await place(other);
  await page.click("#write");
  await page.waitForSelector("#status.failed");
  assert.match(await page.textContent("#status"), /does not hold the bytes of the chosen Tavro 2 save state; nothing was written/);
  assert.ok((await held()).equals(other));
  await done(page);
});

test("installable; offline once its worker holds the site, a reload still converts; a new build's files replace the old", async () => {
  // A copy of the site, so that a new build of it can be made here; offline
  // is its server stopped (the browser's offline switch does not reach the worker).
  const site = join(folder, "site");
  cpSync(SITE, site, { recursive: true });
  let copy = await serve(site);
  const port = copy.server.address().port;
  const offline = () => {
    copy.server.close();
    copy.server.closeAllConnections();
  };
  const page = await open(`${copy.origin}/`);
  const cdp = await page.context().newCDPSession(page);
  const manifest = JSON.parse((await cdp.send("Page.getAppManifest")).data);
  assert.equal(manifest.display, "standalone");
  assert.deepEqual(manifest.icons.map((icon) => icon.src), ["icon.svg"]);
  // A test's browser context is a private one, which installs nothing; nothing else may stand in the way.
  const { installabilityErrors } = await cdp.send("Page.getInstallabilityErrors");
  assert.deepEqual(installabilityErrors.map((error) => error.errorId).filter((id) => id !== "in-incognito"), []);
  await until(page, () => navigator.serviceWorker.controller !== null);
  const caches = () => page.evaluate(() => caches.keys());
  const [first] = await caches();

  offline();
  await page.reload();
  await page.waitForSelector("body[data-ready]");
  await convert(page, sample("tavro1-big.state"));
  await page.waitForSelector("#report:not([hidden])");
  assert.ok((await download(page)).bytes.equals(nativeConvert(sample("tavro1-big.state"), sample("tavro2.state"), false)));

  // Another build: a file changed, the worker written again with its list.
  copy = await serve(site, port);
  appendFileSync(join(site, "style.css"), "/* another build */\n");
  const files = JSON.parse(readFileSync(join(site, "sw.js"), "utf8").match(/const FILES = (\[.*\]);/)[1]).slice(1);
  const tools = join(import.meta.dirname, "..", "..", "web");
  assert.equal(spawnSync("node", [join(tools, "tools", "service_worker.mjs"), join(tools, "site", "sw.js"), site,
    join(site, "sw.js"), ...files]).status, 0);
  await page.reload();
  await until(page, async (old) => {
    const names = await caches.keys();
    return names.length === 1 && names[0] !== old;
  }, first);
  offline();
  await page.reload();
  await page.waitForSelector("body[data-ready]");
  assert.match(await page.evaluate(async () => (await fetch("style.css")).text()), /another build/);
  await done(page);
});
