// Writes the site's service worker from its template: the list of the site's
// files and a version made from their contents, so that every build whose
// files differ names a cache of its own.
//   node service_worker.mjs TEMPLATE SITE_DIR OUTPUT FILE...
import { createHash } from "node:crypto";
import { readFileSync, writeFileSync } from "node:fs";
import { join } from "node:path";

const [template, site, output, ...files] = process.argv.slice(2);
const hash = createHash("sha256");
for (const name of files) hash.update(name).update("\0").update(readFileSync(join(site, name)));
const version = hash.digest("hex").slice(0, 16);
const text = readFileSync(template, "utf8");
const written = text.replace("@VERSION@", version).replace('"@FILES@"', ["./", ...files].map((name) =>
  JSON.stringify(name)).join(", "));
if (written === text) throw new Error("the service worker's template has no @VERSION@");
writeFileSync(output, written);
