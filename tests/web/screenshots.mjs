// The page's pictures in docs/: English, Brazilian Portuguese, a lossy
// conversion with its marks, and the larger view. OUT is the folder.
import { join } from "node:path";
import { chromium } from "playwright-core";
import { serve } from "./serve.mjs";

const { SAMPLES, SITE, OUT, CHROMIUM = "/usr/bin/chromium" } = process.env;
const { server, origin } = await serve(SITE);
const browser = await chromium.launch({ executablePath: CHROMIUM, args: ["--no-sandbox"] });

async function converted(locale, source, pack) {
  const page = await browser.newPage({ locale, viewport: { width: 960, height: 900 }, colorScheme: "light" });
  await page.goto(`${origin}/`);
  await page.waitForSelector("body[data-ready]");
  await page.setInputFiles("#source-input", join(SAMPLES, source));
  await page.setInputFiles("#target-input", join(SAMPLES, "tavro2.state"));
  await page.setChecked("#pack", pack);
  await page.click("#convert");
  await page.waitForSelector("#report:not([hidden])");
  await page.waitForTimeout(200);
  return page;
}

await (await converted("en-US", "tavro1-big.state", true)).screenshot({ path: join(OUT, "web-page.png"), fullPage: true });
await (await converted("pt-BR", "tavro1.state", false)).screenshot({ path: join(OUT, "web-page-pt.png"), fullPage: true });
const lossy = await converted("en-US", "tavro1-big.state", false);
await lossy.screenshot({ path: join(OUT, "web-lossy.png"), fullPage: true });
await lossy.click("#open-view");
await lossy.waitForSelector("#view[open]");
await lossy.click("#zoom-in");
await lossy.waitForTimeout(500);
await lossy.screenshot({ path: join(OUT, "web-view.png") });
await browser.close();
server.close();

// The same lossy conversion and its larger view in Firefox and WebKit
// (browsers.mjs), 1,100 px wide: docs/web-firefox*.png, docs/web-webkit*.png.
const { launch } = await import("./browsers.mjs");
const { mkdtempSync, rmSync } = await import("node:fs");
const downloads = mkdtempSync(join((await import("node:os")).tmpdir(), "tavro-shots-"));
const { server: again, origin: site } = await serve(SITE);
for (const engine of ["firefox", "webkit"]) {
  const other = await launch(engine, { downloads: join(downloads, engine) });
  const tab = await other.open(`${site}/`);
  await tab.choose("#source-input", join(SAMPLES, "tavro1-big.state"));
  await tab.choose("#target-input", join(SAMPLES, "tavro2.state"));
  await tab.until(() => /^(Ready|⚠)/.test(document.getElementById("status").textContent));
  await tab.click("#convert");
  await tab.until(() => !document.getElementById("report").hidden);
  await tab.screenshot(join(OUT, `web-${engine}.png`));
  await tab.click("#open-view");
  await tab.until(() => document.getElementById("view").open && document.getElementById("zoom-level").textContent);
  await tab.click("#zoom-in");
  await new Promise((resolve) => setTimeout(resolve, 500));
  await tab.screenshot(join(OUT, `web-${engine}-view.png`), false);
  await tab.close();
  await other.close();
}
again.close();
rmSync(downloads, { recursive: true, force: true });
process.exit(0);
