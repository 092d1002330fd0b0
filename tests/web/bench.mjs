// Sizes and timings of the web page, printed (no pass or fail):
// - tavro.wasm raw and gzipped, the single-file page;
// - the C interface's calls natively and in WebAssembly, side by side
//   (the same benchmark program built both ways: BENCH_NATIVE, BENCH_WASM);
// - in headless Chromium on 127.0.0.1: navigation to ready, and Convert to the
//   After picture on the samples (medians);
// - the renderer's memory (Linux: the largest renderer's resident size, after
//   collecting garbage) before, during and after the larger view at 1:1.
import { spawnSync } from "node:child_process";
import { readFileSync, readdirSync } from "node:fs";
import { join } from "node:path";
import { gzipSync } from "node:zlib";
import { chromium } from "playwright-core";
import { serve } from "./serve.mjs";

const { SAMPLES, SITE, SINGLE, BENCH_NATIVE, BENCH_WASM, CHROMIUM = "/usr/bin/chromium" } = process.env;
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const kb = (bytes) => `${(bytes / 1024).toFixed(1)} KiB`;

const wasm = readFileSync(join(SITE, "tavro.wasm"));
console.log(`tavro.wasm ${kb(wasm.length)}, gzipped ${kb(gzipSync(wasm, { level: 9 }).length)}; ` +
  `single-file page ${kb(readFileSync(SINGLE).length)}`);

// Several rounds, alternating, so that the machine's other load falls on both
// alike; the smallest median of each call is kept.
function calls(command, args) {
  const run = spawnSync(command[0], [...command.slice(1), ...args], { encoding: "utf8" });
  return Object.fromEntries(run.stdout.trim().split("\n").map((line) => {
    const [, name, micros] = line.match(/^(.*?)\s+([\d.]+)$/);
    return [name, Number(micros)];
  }));
}
for (const source of ["tavro1.state", "tavro1-big.state"]) {
  const args = [join(SAMPLES, source), join(SAMPLES, "tavro2.state"), "31"];
  const best = { native: {}, wasm: {} };
  for (let round = 0; round < 3; ++round) {
    for (const [kind, command] of [["native", [BENCH_NATIVE]],
      ["wasm", ["node", "--no-warnings", join(import.meta.dirname, "wasi_run.mjs"), BENCH_WASM]]]) {
      for (const [name, micros] of Object.entries(calls(command, args)))
        best[kind][name] = Math.min(best[kind][name] ?? Infinity, micros);
    }
  }
  console.log(`\n${source}: median µs            native       wasm   wasm/native`);
  for (const name of Object.keys(best.native)) {
    const [n, w] = [best.native[name], best.wasm[name]];
    console.log(`  ${name.padEnd(28)} ${n.toFixed(0).padStart(8)} ${w.toFixed(0).padStart(10)} ${(w / n).toFixed(2).padStart(10)}`);
  }
}

const { server, origin } = await serve(SITE);
const browser = await chromium.launch({ executablePath: CHROMIUM, args: ["--no-sandbox"] });
const ready = [];
for (let i = 0; i < 21; ++i) {
  const context = await browser.newContext();
  const page = await context.newPage();
  await page.goto(`${origin}/`);
  await page.waitForSelector("body[data-ready]");
  ready.push(await page.evaluate(() => performance.getEntriesByName("tavro-ready")[0].startTime));
  await context.close();
}
console.log(`\nnavigation to ready, a fresh browser context each: median ${median(ready).toFixed(0)} ms (${ready.length} loads, ` +
  `${Math.min(...ready).toFixed(0)}–${Math.max(...ready).toFixed(0)})`);

const page = await browser.newPage({ viewport: { width: 1000, height: 900 } });
const reloads = [];
for (let i = 0; i < 21; ++i) {
  await page.goto(`${origin}/`);
  await page.waitForSelector("body[data-ready]");
  reloads.push(await page.evaluate(() => performance.getEntriesByName("tavro-ready")[0].startTime));
}
console.log(`navigation to ready, the same tab loading the page again: median ${median(reloads).toFixed(0)} ms`);
for (const [source, pack] of [["tavro1.state", false], ["tavro1-big.state", false], ["tavro1-big.state", true]]) {
  await page.setInputFiles("#source-input", join(SAMPLES, source));
  await page.setInputFiles("#target-input", join(SAMPLES, "tavro2.state"));
  await page.setChecked("#pack", pack);
  const times = [];
  for (let i = 0; i < 15; ++i) {
    await page.evaluate(() => performance.clearMarks());
    await page.click("#convert");
    while (!(await page.evaluate(() => performance.getEntriesByName("tavro-after").length)));
    times.push(await page.evaluate(() => performance.getEntriesByName("tavro-after")[0].startTime -
      performance.getEntriesByName("tavro-convert")[0].startTime));
  }
  console.log(`Convert to After picture, ${source}${pack ? " packed" : ""}: median ${median(times).toFixed(1)} ms`);
}

function rendererMiB() {
  let largest = 0;
  for (const pid of readdirSync("/proc").filter((name) => /^\d+$/.test(name))) {
    try {
      if (!readFileSync(`/proc/${pid}/cmdline`, "utf8").includes("--type=renderer")) continue;
      largest = Math.max(largest, Number(readFileSync(`/proc/${pid}/status`, "utf8").match(/VmRSS:\s+(\d+)/)[1]) / 1024);
    } catch {
      // gone meanwhile
    }
  }
  return largest;
}
const cdp = await page.context().newCDPSession(page);
async function settled() {
  for (let i = 0; i < 2; ++i) {
    await cdp.send("HeapProfiler.collectGarbage");
    await page.waitForTimeout(400);
  }
  return `${rendererMiB().toFixed(0)} MiB`;
}
const memory = [`before ${await settled()}`];
await page.click("#before");
await page.click("#open-view");
await page.waitForSelector("#view[open]");
await page.keyboard.press("0");
while (!(await page.evaluate(() => document.getElementById("zoom-level").textContent === "1:1")));
memory.push(`larger view at 1:1 ${await settled()}`);
await page.keyboard.press("Escape");
memory.push(`closed ${await settled()}`);
console.log(`renderer memory, big sample: ${memory.join(", ")}`);
await browser.close();
server.close();
