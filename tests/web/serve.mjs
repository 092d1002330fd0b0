// The site served on 127.0.0.1 (a free port) for the page tests and the benchmark.
import { readFileSync } from "node:fs";
import { createServer } from "node:http";
import { extname, join } from "node:path";

const TYPES = { ".html": "text/html", ".js": "text/javascript", ".css": "text/css", ".wasm": "application/wasm",
  ".svg": "image/svg+xml", ".webmanifest": "application/manifest+json" };

// `port` 0: any free one.
export async function serve(site, port = 0) {
  const server = createServer((request, response) => {
    const name = request.url === "/" ? "index.html" : request.url.slice(1);
    try {
      const body = readFileSync(join(site, name.replace(/[^a-z.]/g, "")));
      response.writeHead(200, { "content-type": TYPES[extname(name)] ?? "application/octet-stream" }).end(body);
    } catch {
      response.writeHead(404).end();
    }
  });
  await new Promise((resolve) => server.listen(port, "127.0.0.1", resolve));
  return { server, origin: `http://127.0.0.1:${server.address().port}` };
}
