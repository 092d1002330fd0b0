// The C interface (through engine.js) against the native `tavro`: the same
// bytes for every conversion and the same pixels for every picture, on the
// samples and on random pairs. Needs TAVRO (the native program), SAMPLES
// (its sample folder) and SITE (the built site).
import { test } from "node:test";
import assert from "node:assert/strict";
import { execFileSync, spawnSync } from "node:child_process";
import { mkdtempSync, readFileSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { CAUSES, Engine, LOOKS, compileEngine } from "../../web/site/engine.js";
import { decodePng } from "./png.mjs";

const { TAVRO, SAMPLES, SITE } = process.env;
const folder = mkdtempSync(join(tmpdir(), "tavro-web-"));
const engine = await Engine.start(await compileEngine(readFileSync(join(SITE, "tavro.wasm"))));
const sample = (name) => new Uint8Array(readFileSync(join(SAMPLES, name)));
const HEAD = 107640;

function nativeConvert(source, target, pack, force = false) {
  writeFileSync(join(folder, "one.state"), source);
  writeFileSync(join(folder, "two.state"), target);
  const run = spawnSync(TAVRO, ["convert", ...(pack ? ["--pack"] : []), ...(force ? ["--force"] : []), join(folder, "one.state"),
    join(folder, "two.state")], { encoding: "utf8" });
  return { status: run.status, report: run.stdout, bytes: new Uint8Array(readFileSync(join(folder, "two.state"))) };
}

function nativeRender(state, game, plane, scale) {
  writeFileSync(join(folder, "state"), state);
  const run = spawnSync(TAVRO, ["render", "--game", String(game), "--plane", plane ? "bg" : "fg",
    "--scale", String(scale), join(folder, "state"), join(folder, "out.png")]);
  return run.status === 0 ? decodePng(readFileSync(join(folder, "out.png"))) : null;
}

// A deterministic generator, so that a failure can be repeated.
function randomBytes(seed, length) {
  const bytes = new Uint8Array(length);
  let x = seed >>> 0 || 1;
  for (let i = 0; i < length; ++i) {
    x ^= x << 13; x ^= x >>> 17; x ^= x << 5;
    bytes[i] = x & 255;
  }
  return bytes;
}

// A random state whose layout names few chunks (so that packing fits) or many.
function randomState(seed, length, chunks) {
  const state = randomBytes(seed, length);
  const layout = 0x2478 + 0xa400;
  for (let i = 0; i < 1024 && layout + i < length; ++i) state[layout + i] = state[layout + i] % 3 ? 0 : state[layout + i] % chunks;
  return state;
}

function sameFacts(answer, report) {
  const number = (label) => Number((report.match(new RegExp(`${label}:?\\s+([\\d,]+)`)) ?? [0, "0"])[1].replace(/,/g, ""));
  assert.equal(answer.cellsExpanded, number("Cells expanded"));
  if (answer.packed) assert.equal(answer.chunksUsed, number("Target chunks used"));
  else assert.equal(answer.chunksWithData, number("Source chunks with data"));
  assert.equal(answer.cellsLost, number("Warning"));
  if (answer.lostChunks.length) assert.match(report, new RegExp(`\\(?${answer.lostChunks.join(", ")}[).]`));
}

const pairs = [
  ...["tavro1.state", "tavro1-big.state"].map((name) => [name, sample(name), sample("tavro2.state")]),
  ...[1, 2, 3, 4, 5, 6, 7, 8].map((seed) => [`random ${seed}`,
    randomState(seed, HEAD + seed * 9000, seed % 2 ? 40 : 128),
    randomBytes(seed + 100, [HEAD, HEAD + 1, 180000, 250000][seed % 4])]),
];

// Random sources need not look like levels: both programs are told to convert anyway.
for (const [name, source, target] of pairs) {
  const force = name.startsWith("random");
  for (const pack of [false, true]) {
    test(`${name}${pack ? ", packed" : ""}: the bytes and the report of the native program`, async () => {
      const answer = await engine.convert(source, target, pack, force);
      const native = nativeConvert(source, target, pack, force);
      assert.equal(native.status, 0);
      assert.equal(answer.cause, CAUSES.fine);
      assert.equal(answer.packed, pack);
      assert.deepEqual(answer.bytes, native.bytes);
      sameFacts(answer, native.report);
    });
  }
}

test("a source too short is refused with its size and the least a state has", async () => {
  for (const length of [0, 1, HEAD - 1]) {
    const answer = await engine.convert(new Uint8Array(length), sample("tavro2.state"), false);
    assert.deepEqual(answer, { cause: CAUSES.tooShort, file: 0, count: length, limit: HEAD });
    assert.equal(nativeConvert(new Uint8Array(length), sample("tavro2.state"), false).status, 1);
  }
  for (const length of [0, 1000, HEAD - 1]) {
    const answer = await engine.convert(sample("tavro1.state"), new Uint8Array(length), false);
    assert.deepEqual(answer, { cause: CAUSES.tooShort, file: 1, count: length, limit: HEAD });
  }
});

test("a source with no Tavro 1 level, or a target that is no Tavro 2 state, is refused as the native program refuses it, unless forced", async () => {
  const one = sample("tavro1.state"), two = sample("tavro2.state"), text = new TextEncoder().encode("dear diary, ".repeat(20000));
  // The cause, the file, what it looks like, and the cause once the source is taken as it is (the target still judged).
  const { fine, notALevel, looksSwapped, notATarget } = CAUSES;
  for (const [source, target, cause, file, looks, taken] of [[new Uint8Array(HEAD), two, notALevel, 0, LOOKS.zeros, fine],
    [two, two, notALevel, 0, LOOKS.tavro2, fine], [two, one, looksSwapped, 0, LOOKS.tavro2, notATarget],
    [one, one, notATarget, 1, LOOKS.tavro1, notATarget], [one, text, notATarget, 1, LOOKS.text, notATarget],
    [two, text, notALevel, 0, LOOKS.tavro2, notATarget]]) {
    const answer = await engine.convert(source, target, false);
    assert.deepEqual([answer.cause, answer.file, answer.looks], [cause, file, looks]);
    assert.equal(nativeConvert(source, target, false).status, 1);
    assert.equal((await engine.convert(source, target, false, false, true)).cause, taken);
    const forced = await engine.convert(source, target, false, true);
    assert.equal(forced.cause, CAUSES.fine);
    assert.deepEqual(forced.bytes, nativeConvert(source, target, false, true).bytes);
  }
});

test("pictures: the pixels of `tavro render`, both games, both planes, several scales", async () => {
  const converted = (await engine.convert(sample("tavro1-big.state"), sample("tavro2.state"), true)).bytes;
  const states = [[1, sample("tavro1.state")], [1, sample("tavro1-big.state")], [2, converted],
    [1, randomState(3, 180000, 128)], [2, randomState(4, 150000, 255)]];
  for (const [index, [game, state]] of states.entries()) {
    for (const plane of [0, 1]) {
      for (const scale of index === 0 && plane === 0 ? [1, 3, 8] : [4]) {
        const picture = await engine.render(state, game, plane, scale);
        const native = nativeRender(state, game, plane, scale);
        if (!native) {
          assert.equal(picture.cause, plane ? CAUSES.emptyBackground : CAUSES.emptyForeground);
          continue;
        }
        assert.equal(picture.cause, CAUSES.fine);
        assert.deepEqual([picture.width, picture.height], [native.width, native.height]);
        assert.ok(Buffer.from(picture.pixels).equals(Buffer.from(native.pixels)), `game ${game} plane ${plane} 1:${scale}`);
      }
    }
  }
});

test("a preview is the picture of its box at its factor, within the room given", async () => {
  const state = sample("tavro1-big.state");
  for (const [width, height] of [[640, 360], [426, 120], [100, 100], [5000, 5000]]) {
    const preview = await engine.preview(state, 1, 0, width, height);
    assert.ok(preview.width <= width && preview.height <= height, `${width} x ${height}`);
    assert.deepEqual(preview.pixels, (await engine.render(state, 1, 0, preview.factor, preview.box)).pixels);
  }
  const framed = await engine.preview(state, 1, 0, 640, 360, { column: 60, row: 6, columns: 4, rows: 2 });
  assert.deepEqual([framed.box.column + framed.box.columns, framed.box.row + framed.box.rows, engine.cellPixels(1), engine.cellPixels(2)], [64, 8, 256, 128]);
  assert.deepEqual(await engine.afterFrame({ column: 3, row: 1, columns: 4, rows: 2 }, [0, 1, 60, 1, 0, 0, 0, 0, 2]), { cause: CAUSES.fine,  // as afterFrame in C++
    frame: { column: 4, row: 0, columns: 118, rows: 6 }, marks: [{ column: 120, row: 2, columns: 2, rows: 2 }, { column: 4, row: 0, columns: 2, rows: 2 }], hidden: 1 });
});

test("strips of one cell row put together make the whole picture", async () => {
  const state = sample("tavro1-big.state");
  for (const factor of [1, 4, 16]) {
    const whole = await engine.render(state, 1, 0, factor);
    const parts = [];
    for (let row = whole.box.row; row < whole.box.row + whole.box.rows; ++row)
      parts.push((await engine.render(state, 1, 0, factor, { ...whole.box, row, rows: 1 })).pixels);
    assert.ok(Buffer.concat(parts.map((p) => Buffer.from(p))).equals(Buffer.from(whole.pixels)), `1:${factor}`);
  }
});

test("a state too short to draw, and a plane with nothing in it, are refused", async () => {
  assert.deepEqual(await engine.preview(new Uint8Array(500), 1, 0, 640, 360),
    { cause: CAUSES.tooShort, file: 0, count: 500, limit: HEAD });
  const empty = new Uint8Array(HEAD);
  assert.deepEqual([(await engine.preview(empty, 2, 0, 640, 360)).cause, (await engine.render(empty, 1, 1, 2)).cause], [CAUSES.emptyForeground, CAUSES.emptyBackground]);
});
