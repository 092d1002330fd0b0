// Decodes the PNGs `tavro render` writes (8-bit RGBA or palette, not
// interlaced) into RGBA pixels.
import { inflateSync } from "node:zlib";

export function decodePng(file) {
  let width = 0, height = 0, type = 0, palette = null, alpha = null;
  const data = [];
  for (let at = 8; at < file.length;) {
    const length = file.readUInt32BE(at), kind = file.toString("latin1", at + 4, at + 8);
    const body = file.subarray(at + 8, at + 8 + length);
    if (kind === "IHDR") [width, height, type] = [body.readUInt32BE(0), body.readUInt32BE(4), body[9]];
    if (kind === "PLTE") palette = body;
    if (kind === "tRNS") alpha = body;
    if (kind === "IDAT") data.push(body);
    at += 12 + length;
  }
  const channels = type === 6 ? 4 : 1, stride = width * channels, raw = inflateSync(Buffer.concat(data));
  const rows = new Uint8Array(stride * height);
  for (let y = 0; y < height; ++y) {
    const filter = raw[y * (stride + 1)], line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let x = 0; x < stride; ++x) {
      const a = x >= channels ? rows[y * stride + x - channels] : 0, b = y > 0 ? rows[(y - 1) * stride + x] : 0;
      const c = x >= channels && y > 0 ? rows[(y - 1) * stride + x - channels] : 0;
      const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
      const predicted = [0, a, b, (a + b) >> 1, pa <= pb && pa <= pc ? a : pb <= pc ? b : c][filter];
      rows[y * stride + x] = (line[x] + predicted) & 255;
    }
  }
  if (type === 6) return { width, height, pixels: rows };
  const pixels = new Uint8Array(width * height * 4);
  rows.forEach((index, i) => {
    pixels.set([palette[index * 3], palette[index * 3 + 1], palette[index * 3 + 2],
      alpha && index < alpha.length ? alpha[index] : 255], i * 4);
  });
  return { width, height, pixels };
}
