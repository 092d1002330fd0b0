// Sizes and timings of the web page, printed (no pass or fail):
// - tavro.wasm raw and gzipped, the single-file page;
// - the C interface's calls natively and in WebAssembly, side by side
//   (the same benchmark program built both ways: BENCH_NATIVE, BENCH_WASM);
// - in each engine (browsers.mjs; WEB_ENGINES narrows the list), the site on
//   127.0.0.1: navigation to ready in a fresh browser context, with where the
//   time went (the page's first bytes, its scripts running, the module
//   fetched and compiled, the first drawing), and Convert to the After
//   picture on the samples (medians);
// - the largest process running pages (Linux: resident size) before, after a
//   1 GiB file is chosen and converted, in the larger view at 1:1, and after
//   it closes (Chromium collects garbage first; the others cannot be asked to).
import { spawnSync } from "node:child_process";
import { closeSync, mkdtempSync, openSync, readFileSync, rmSync, writeFileSync, ftruncateSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { gzipSync } from "node:zlib";
import { ENGINES, launch } from "./browsers.mjs";
import { serve } from "./serve.mjs";

const { SAMPLES, SITE, SINGLE, BENCH_NATIVE, BENCH_WASM } = process.env;
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
const folder = mkdtempSync(join(tmpdir(), "tavro-bench-"));
const large = join(folder, "large-tavro2.state");
writeFileSync(large, readFileSync(join(SAMPLES, "tavro2.state")));
const descriptor = openSync(large, "r+");
ftruncateSync(descriptor, 1 << 30);
closeSync(descriptor);
const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const LOADS = 15;

// Where a load's time went, in ms after navigation (the page's own marks and
// the browser's timings).
function timings() {
  const mark = (name) => performance.getEntriesByName(name)[0]?.startTime ?? NaN;
  const [navigation] = performance.getEntriesByType("navigation");
  const wasm = performance.getEntriesByType("resource").find((entry) => entry.name.endsWith("/tavro.wasm"));
  const paint = performance.getEntriesByType("paint").find((entry) => entry.name === "first-contentful-paint");
  return { firstByte: navigation.responseStart, interactive: navigation.domInteractive, start: mark("tavro-start"),
    wasm: wasm?.responseEnd ?? NaN, compiled: mark("tavro-compiled"), ready: mark("tavro-ready"),
    paint: paint?.startTime ?? NaN };
}

async function bench(engine) {
  const browser = await launch(engine, { downloads: join(folder, engine) });
  const loads = [];
  for (let i = 0; i < LOADS; ++i) {
    const tab = await browser.open(`${origin}/`);
    loads.push(await tab.run(timings));
    await tab.close();
  }
  const parts = Object.keys(loads[0]).map((name) => `${name} ${median(loads.map((load) => load[name])).toFixed(0)}`);
  const ready = loads.map((load) => load.ready);
  console.log(`\n${engine}: navigation to ready, a fresh context each: median ${median(ready).toFixed(0)} ms ` +
    `(${LOADS} loads, ${Math.min(...ready).toFixed(0)}–${Math.max(...ready).toFixed(0)})`);
  console.log(`  medians, ms after navigation: ${parts.join(", ")}`);

  const tab = await browser.open(`${origin}/`);
  for (const [source, pack] of [["tavro1.state", false], ["tavro1-big.state", false], ["tavro1-big.state", true]]) {
    await tab.choose("#source-input", join(SAMPLES, source));
    await tab.choose("#target-input", join(SAMPLES, "tavro2.state"));
    await tab.until((name) => document.getElementById("source-name").textContent.startsWith(name) &&
      document.getElementById("target-name").textContent.startsWith("tavro2"), source);
    await tab.run((checked) => { document.getElementById("pack").checked = checked; }, pack);
    const times = [];
    for (let i = 0; i < 15; ++i) {
      await tab.run(() => performance.clearMarks("tavro-after"));
      await tab.click("#convert");
      await tab.until(() => performance.getEntriesByName("tavro-after").length > 0);
      times.push(await tab.run(() => performance.getEntriesByName("tavro-after")[0].startTime -
        performance.getEntriesByName("tavro-convert").at(-1).startTime));
    }
    console.log(`  Convert to After picture, ${source}${pack ? " packed" : ""}: median ${median(times).toFixed(1)} ms`);
  }

  const collect = engine === "chromium" ? await tab.page.createCDPSession() : null;
  async function settled() {
    for (let i = 0; i < 2; ++i) {
      await collect?.send("HeapProfiler.collectGarbage");
      await pause(400);
    }
    return `${browser.memory().toFixed(0)} MiB`;
  }
  const memory = [`before ${await settled()}`];
  await tab.choose("#target-input", large);
  await tab.until(() => document.getElementById("target-name").textContent.startsWith("large"));
  await tab.click("#convert");
  await tab.until(() => !document.getElementById("report").hidden);
  memory.push(`a 1 GiB target chosen and converted ${await settled()}`);
  await tab.click("#before");
  await tab.click("#open-view");
  await tab.until(() => document.getElementById("view").open);
  await tab.key("0");
  await tab.until(() => document.getElementById("zoom-level").textContent === "1:1");
  memory.push(`larger view at 1:1 ${await settled()}`);
  await tab.key("Escape");
  await tab.until(() => !document.getElementById("view").open);
  memory.push(`closed ${await settled()}`);
  console.log(`  the largest page process, big sample: ${memory.join(", ")}`);
  await tab.close();
  await browser.close();
}

for (const engine of ENGINES) await bench(engine);
server.close();
rmSync(folder, { recursive: true, force: true });
process.exit(0);
