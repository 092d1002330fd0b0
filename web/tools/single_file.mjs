// Writes the site as one HTML file that works opened from disk: the style,
// the scripts (as one module) and the WebAssembly module (base64) inline,
// and a Content-Security-Policy that allows exactly those inline parts.
//   node single_file.mjs SITE_DIR OUTPUT.html
import { createHash } from "node:crypto";
import { readFileSync, writeFileSync } from "node:fs";
import { join } from "node:path";

const [site, output] = process.argv.slice(2);
const read = (name) => readFileSync(join(site, name), "utf8");

// The modules become one script: their imports go, their exports become
// plain declarations (the modules share no top-level names).
const unmodule = (text) =>
  text.replace(/^import .* from "\.\/[a-z]+\.js";\n/gm, "").replace(/^export (?=const|function|async|class)/gm, "");
const wasm = readFileSync(join(site, "tavro.wasm")).toString("base64");
const script = [`const TAVRO_WASM_BASE64 = "${wasm}";`, ...["engine.js", "texts.js", "page.js"].map((name) =>
  unmodule(read(name)))].join("\n");
const style = read("style.css");
const hash = (text) => `'sha256-${createHash("sha256").update(text).digest("base64")}'`;

// The icon inline too; a page from disk is not installed, so no manifest.
const icon = `data:image/svg+xml;base64,${readFileSync(join(site, "icon.svg")).toString("base64")}`;

const html = read("index.html");
const policy = `default-src 'none'; script-src ${hash(script)} 'wasm-unsafe-eval'; style-src ${hash(style)}; ` +
  "img-src data:; base-uri 'none'; form-action 'none'";
const replaced = html
  .replace(/content="default-src[^"]*"/, () => `content="${policy}"`)
  .replace('href="icon.svg"', () => `href="${icon}"`)
  .replace(/<link rel="manifest"[^>]*>\n/, "")
  .replace('<link rel="stylesheet" href="style.css">', () => `<style>${style}</style>`)
  .replace(/<link rel="(preload|modulepreload)"[^>]*>\n/g, "")
  .replace('<script type="module" src="page.js"></script>', () => `<script type="module">${script}</script>`);
for (const part of ["<style>", "<script type=\"module\">", "sha256-", "data:image/svg+xml"]) {
  if (!replaced.includes(part)) throw new Error(`index.html has changed: no ${part} in the single file`);
}
if (replaced.includes('rel="manifest"')) throw new Error("index.html has changed: the manifest's link stays");
writeFileSync(output, replaced);
