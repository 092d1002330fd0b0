// The page: two save states in, the converted one out, with the level's
// pictures. The engine does the work (engine.js); the words come from texts.js.
import { CAUSES, Engine, FILES, GAMES, compileEngine } from "./engine.js";
import { textsFor } from "./texts.js";

const t = textsFor(navigator.languages);
const $ = (id) => document.getElementById(id);
const PREVIEW_HEIGHT = 360, SMALLEST_MARK = 7, MARK = "rgb(255 40 0)";

// Resolved once the engine has started (a file chosen before then waits for it).
let engineStarted;
const engineReady = new Promise((resolve) => { engineStarted = resolve; });

const page = {
  module: null, engine: null,
  source: null, target: null,  // { name, size, bytes, file }: bytes are the first ones the engine reads
  result: null,                // the last conversion: { bytes (the converted first ones), packed, facts..., targetName, targetFile }
  pictures: { before: null, after: null },  // { preview, marks, hidden, name, game, state }
  side: "before",
  written: null,               // { handle, previous, written }: what Undo puts back
  downloadUrl: null,
};

function applyTexts() {
  document.documentElement.lang = t.lang;
  document.title = t.title;
  for (const element of document.querySelectorAll("[data-text]")) element.textContent = t[element.dataset.text];
  document.querySelector(".sides").setAttribute("aria-label", `${t.before} / ${t.after}`);
}

function say(text, failed = false, details = "") {
  $("status").textContent = text;
  $("status").classList.toggle("failed", failed);
  $("status").title = details;
}

function sayNext() {
  if (!page.source && !page.target) say(t.ready);
  else if (!page.source) say(t.nextSource);
  else if (!page.target) say(t.nextTarget);
  else say(t.readyToConvert);
}

const same = (a, b) => a.length === b.length && a.every((value, i) => value === b[i]);

// ---- choosing the files ----

// Each role's latest choice: a read that ends after a later choice is dropped.
const choices = { source: 0, target: 0 };
// A file up to this size is read whole when chosen (a download then carries
// its bytes as they were); a larger one is read again when it is saved.
const KEPT_WHOLE = 16 << 20;

// Only the first bytes the engine reads (a save state's least size) go to
// the engine, so a large file costs no lasting memory; the rest stays in the
// file, or for a small one in a copy.
async function readChoice(file) {
  const bytes = new Uint8Array(await file.slice(0, page.engine.targetHeadBytes).arrayBuffer());
  const kept = file.size <= KEPT_WHOLE ? new Blob([await file.arrayBuffer()]) : file;
  return { name: file.name, size: file.size, bytes, file: kept };
}

// The converted target whole: the converted first bytes, then the target's others.
const convertedTarget = (result) => new Blob([result.bytes, result.targetFile.slice(result.bytes.length)],
  { type: "application/octet-stream" });

async function choose(role, file) {
  const choice = ++choices[role];
  await engineReady;
  let chosen;
  try {
    chosen = await readChoice(file);
  } catch (failure) {
    if (choice !== choices[role]) return;
    page[role] = null;
    $(`${role}-name`).textContent = t.noFile;
    say(t.refused(t.fileName(role === "target" ? FILES.target : FILES.source), t.unreadable(failure.message)), true);
    return;
  }
  if (choice !== choices[role]) return;
  page[role] = chosen;
  $(`${role}-name`).textContent = t.chosen(file.name, file.size);
  forgetResult();
  page.force = false;
  offerForce(false);
  sayNext();
  if (role === "source") await showSource();
  await checkPair();
}

// ---- before converting: what the pair would give ----

function offerPack(shown) {
  $("pack-offer").hidden = !shown;
  $("pack-offer-hint").hidden = !shown;
}

function offerSwap(shown) {
  $("swap-files").hidden = !shown;
  $("swap-files-hint").hidden = !shown;
}

// With both files chosen, the conversion is made in memory and looked at
// before anything is offered for saving: cells the plain conversion would
// leave empty that packing carries are said, with Convert packed beside;
// a pair that reads as swapped is said, with Swap files.
async function checkPair() {
  offerPack(false);
  offerSwap(false);
  if (!page.source || !page.target) return;
  const pack = $("pack").checked;
  const answer = await page.engine.convert(page.source.bytes, page.target.bytes, pack, false);
  if (answer.cause === CAUSES.looksSwapped) {
    say(t.looksSwapped(page.source.name), true, t.cause(answer.cause, answer.count, answer.limit, answer.looks));
    offerSwap(true);
    return;
  }
  if (answer.cause !== CAUSES.fine || pack || answer.cellsLost === 0) return;
  const packed = await page.engine.convert(page.source.bytes, page.target.bytes, true, false);
  if (packed.cause !== CAUSES.fine || packed.cellsLost >= answer.cellsLost) return;
  say(t.wouldLose(answer.cellsLost));
  offerPack(true);
}

// Each file takes the other's role; the file inputs show it too.
async function swapFiles() {
  [page.source, page.target] = [page.target, page.source];
  for (const role of ["source", "target"]) {
    const input = $(`${role}-input`), { name, size, file } = page[role];
    const files = new DataTransfer();
    files.items.add(new File([file], name));
    input.files = files.files;
    $(`${role}-name`).textContent = t.chosen(name, size);
  }
  forgetResult();
  page.force = false;
  offerForce(false);
  sayNext();
  await showSource();
  await checkPair();
}

function connectFileChoice(role) {
  const input = $(`${role}-input`), zone = $(`${role}-drop`);
  input.addEventListener("change", () => input.files[0] && choose(role, input.files[0]));
  zone.addEventListener("dragover", (event) => {
    event.preventDefault();
    zone.classList.add("over");
  });
  zone.addEventListener("dragleave", () => zone.classList.remove("over"));
  zone.addEventListener("drop", (event) => {
    event.preventDefault();
    zone.classList.remove("over");
    const file = event.dataTransfer.files[0];
    if (file) choose(role, file);
  });
}

// ---- converting ----

function forgetResult() {
  page.result = null;
  page.written = null;
  page.pictures.after = null;
  $("report").hidden = true;
  if (page.downloadUrl) URL.revokeObjectURL(page.downloadUrl);
  page.downloadUrl = null;
  showSide("before");
}

// A source that holds no Tavro 1 level, or a target that is no Tavro 2 save
// state, is converted only when asked again ("Convert anyway", its hint
// naming the file in doubt); the answer holds until another file is chosen.
function offerForce(shown, file = FILES.source) {
  $("convert-anyway").hidden = !shown;
  $("convert-anyway-hint").hidden = !shown;
  const hint = $("convert-anyway-hint");
  hint.dataset.text = file === FILES.target ? "convertAnywayTargetHint" : "convertAnywayHint";
  hint.textContent = t[hint.dataset.text];
}

async function convert() {
  if (!page.source || !page.target) {
    sayNext();
    return;
  }
  performance.mark("tavro-convert");
  const pack = $("pack").checked;
  const answer = await page.engine.convert(page.source.bytes, page.target.bytes, pack, page.force === "all",
    page.force === "source");
  page.refused = answer.cause;
  const written = page.written;
  forgetResult();
  offerForce([CAUSES.notALevel, CAUSES.looksSwapped, CAUSES.notATarget].includes(answer.cause), answer.file);
  offerSwap(answer.cause === CAUSES.looksSwapped);
  if (answer.cause === CAUSES.looksSwapped) {
    say(t.looksSwapped(page.source.name), true, t.cause(answer.cause, answer.count, answer.limit, answer.looks));
    return;
  }
  if (answer.cause !== CAUSES.fine) {
    say(t.refused(t.fileName(answer.file), t.cause(answer.cause, answer.count, answer.limit, answer.looks)), true);
    return;
  }
  page.result = { ...answer, targetName: page.target.name, targetFile: page.target.file };
  page.written = written;
  showReport(page.result);
  // What was lost comes first: a lossy result is no plain success.
  say(answer.cellsLost > 0 ? t.convertedLossy(page.target.name, answer.cellsLost, answer.packed)
    : t.converted(page.target.name));
  await showConverted();
  performance.mark("tavro-after");
}

function showReport(result) {
  const lines = [];
  const list = result.lostChunks.join(", ");
  if (result.packed) {
    lines.push(t.namedChunks(result.chunksNamed), t.usedChunks(result.chunksUsed, result.packedSlots),
      t.expanded(result.cellsExpanded));
    lines.push(result.cellsLost ? t.lostPacked(result.cellsLost, result.packedSlots, list) : t.whole);
  } else {
    lines.push(t.sourceChunks(result.chunksWithData), t.expanded(result.cellsExpanded));
    lines.push(result.cellsLost ? t.lostFixed(result.cellsLost, list) : t.whole);
  }
  $("report-lines").replaceChildren(...lines.map((line, i) => {
    const item = document.createElement("li");
    item.textContent = line;
    if (i === lines.length - 1 && result.cellsLost) item.className = "warning";
    return item;
  }));
  offerPack(result.cellsLost > 0 && !result.packed);
  page.downloadUrl = URL.createObjectURL(convertedTarget(result));
  $("download").href = page.downloadUrl;
  $("download").download = result.targetName;
  $("download").textContent = t.download(result.targetName);
  $("download-name").textContent = t.downloadName(result.targetName);
  $("in-place").hidden = typeof window.showOpenFilePicker !== "function";
  $("undo").hidden = !page.written;
  $("report").hidden = false;
}

// ---- writing the chosen file in place (File System Access) ----

async function readHandle(handle) {
  return new Uint8Array(await (await handle.getFile()).arrayBuffer());
}

async function writeHandle(handle, bytes) {
  const writable = await handle.createWritable();
  await writable.write(bytes);
  await writable.close();
  return same(await readHandle(handle), bytes);
}

async function writeInPlace() {
  let handle;
  try {
    [handle] = await window.showOpenFilePicker({ id: "tavro-target" });
  } catch {
    return;  // the picker was closed
  }
  try {
    if (handle.requestPermission && (await handle.requestPermission({ mode: "readwrite" })) !== "granted") return;
    // Written back, the target is needed whole: read when it is written.
    const current = await readHandle(handle);
    const chosen = new Uint8Array(await page.result.targetFile.arrayBuffer());
    const converted = new Uint8Array(await convertedTarget(page.result).arrayBuffer());
    const ours = page.written && same(current, page.written.written);
    if (!same(current, chosen) && !ours) {
      say(t.notTheTarget(handle.name), true);
      return;
    }
    const previous = ours ? page.written.previous : current;
    if (!(await writeHandle(handle, converted))) {
      say(t.readBackFailed(handle.name), true);
    } else {
      say(t.written(handle.name));
    }
    page.written = { handle, previous, written: converted };
    $("undo").hidden = false;
  } catch (failure) {
    say(t.writeFailed(handle.name, failure.message), true);
  }
}

async function undo() {
  const { handle, previous, written } = page.written;
  try {
    if (!same(await readHandle(handle), written)) {
      say(t.undoRefused(handle.name), true);
      return;
    }
    if (!(await writeHandle(handle, previous))) {
      say(t.readBackFailed(handle.name), true);
      return;
    }
    page.written = null;
    $("undo").hidden = true;
    say(t.undone(handle.name));
  } catch (failure) {
    say(t.writeFailed(handle.name, failure.message), true);
  }
}

// ---- the pictures ----

function room() {
  const width = Math.max(64, $("surface").clientWidth - 16);
  return [Math.min(width, 1200), PREVIEW_HEIGHT];
}

async function showSource() {
  const { name, bytes } = page.source;
  const preview = await page.engine.preview(bytes, GAMES.first, 0, ...room());
  page.pictures.before = { preview, marks: [], hidden: 0, name, game: GAMES.first, cell: page.engine.cellPixels(GAMES.first),
    state: bytes, emptied: null };
  showSide("before");
}

// The converted level framed as the source was (in the second game's
// smaller cells), taking in every marked cell.
async function showConverted() {
  const before = page.pictures.before?.preview;
  const { frame, marks, hidden } = await page.engine.afterFrame(before && before.cause === CAUSES.fine ? before.box : null,
    page.result.emptiedCells);
  const preview = await page.engine.preview(page.result.bytes, GAMES.second, 0, ...room(), frame);
  page.pictures.after = { preview, marks, hidden, name: page.result.targetName, game: GAMES.second,
    cell: page.engine.cellPixels(GAMES.second), state: page.result.bytes, emptied: marks.length + hidden };
  showSide("after");
}

// Marks over the cells that arrived empty, in picture pixels.
function drawMarks(context, picture, factor, box) {
  const cell = picture.cell / factor;
  context.save();
  for (const mark of picture.marks) {
    let x = (mark.column - box.column) * cell, y = (mark.row - box.row) * cell;
    let w = mark.columns * cell, h = mark.rows * cell;
    if (w < SMALLEST_MARK) [x, y, w, h] = [x + w / 2 - SMALLEST_MARK / 2, y + h / 2 - SMALLEST_MARK / 2, SMALLEST_MARK, SMALLEST_MARK];
    [x, y, w, h] = [Math.round(x), Math.round(y), Math.round(w), Math.round(h)];
    context.save();
    context.beginPath();
    context.rect(x, y, w, h);
    context.clip();
    context.strokeStyle = "rgb(255 40 0 / 0.6)";
    context.lineWidth = 1;
    context.beginPath();
    for (let d = -h; d < w; d += 6) {
      context.moveTo(x + d, y + h);
      context.lineTo(x + d + h, y);
    }
    context.stroke();
    context.restore();
    context.strokeStyle = MARK;
    context.lineWidth = 2;
    context.strokeRect(x + 1, y + 1, w - 2, h - 2);
  }
  context.restore();
}

function showSide(side) {
  if (side === "after" && !page.pictures.after) side = "before";
  page.side = side;
  const picture = page.pictures[side];
  $("before").setAttribute("aria-pressed", String(side === "before"));
  $("after").setAttribute("aria-pressed", String(side === "after"));
  $("before").disabled = !page.pictures.before;
  $("after").disabled = !page.pictures.after;
  const canvas = $("picture"), message = $("picture-message");
  const preview = picture?.preview;
  const drawn = preview && preview.cause === CAUSES.fine;
  $("open-view").disabled = !drawn;
  canvas.hidden = !drawn;
  message.hidden = drawn;
  if (!picture) {
    message.textContent = t.pictureHint;
    $("caption").textContent = "";
    return;
  }
  if (!drawn) {
    message.textContent = t.noPicture(picture.name, t.cause(preview.cause, preview.count, preview.limit));
    $("caption").textContent = "";
    return;
  }
  canvas.width = preview.width;
  canvas.height = preview.height;
  const context = canvas.getContext("2d");
  context.putImageData(new ImageData(preview.pixels, preview.width, preview.height), 0, 0);
  drawMarks(context, picture, preview.factor, preview.box);
  const cell = picture.cell;
  const [w, h] = [preview.box.columns * cell, preview.box.rows * cell];
  let caption = t.caption(picture.name, w, h, preview.factor);
  if (picture.emptied) caption += t.emptied(picture.marks.length, picture.hidden);
  $("caption").textContent = caption;
  canvas.setAttribute("aria-label", t.describe(picture.name, w, h, preview.factor, picture.emptied));
}

// ---- the larger view: its own engine instance, dropped when it closes, so
// that the memory a large picture took goes with it ----

// Zoom steps: 0 is full size; below it the picture is drawn 2^-step times
// smaller, above it shown 2^step times larger (the pixels only enlarged).
const SMALLEST_STEP = -6, LARGEST_STEP = 3;
const view = { engine: null, picture: null, step: 0, drawnFactor: 0, drawing: 0 };
const factorOf = (step) => 2 ** Math.max(0, -step);
const enlargementOf = (step) => 2 ** Math.max(0, step);

async function openView() {
  const picture = page.pictures[page.side];
  if (!picture || picture.preview.cause !== CAUSES.fine) return;
  view.engine = await Engine.start(page.module);
  view.picture = picture;
  // At the page picture's scale or larger (1:4 for a picture at 1:7).
  view.step = -Math.floor(Math.log2(picture.preview.factor));
  view.drawnFactor = 0;
  $("view-title").textContent = t.viewTitle(picture.name, picture.game === GAMES.second);
  $("view").showModal();
  await drawView();
  $("view-area").focus();
}

function closeView() {
  view.engine = null;
  view.picture = null;
  $("view-picture").width = 0;
  $("view-picture").height = 0;
}

// Draws `box` of the picture's state scaled down by `factor` into `canvas`,
// one cell row at a time.
async function drawStrips(engine, picture, factor, canvas) {
  const box = picture.preview.box, cell = picture.cell;
  canvas.width = Math.ceil((box.columns * cell) / factor);
  canvas.height = Math.ceil((box.rows * cell) / factor);
  const context = canvas.getContext("2d");
  for (let row = 0; row < box.rows; ++row) {
    if (canvas.width === 0) return false;  // the view closed meanwhile
    const strip = await engine.render(picture.state, picture.game, 0, factor, { ...box, row: box.row + row, rows: 1 });
    if (strip.cause !== CAUSES.fine) return false;
    context.putImageData(new ImageData(strip.pixels, strip.width, strip.height), 0, Math.round((row * cell) / factor));
  }
  drawMarks(context, picture, factor, box);
  return true;
}

async function drawView() {
  const area = $("view-area"), canvas = $("view-picture");
  const centre = [(area.scrollLeft + area.clientWidth / 2) / Math.max(1, area.scrollWidth),
    (area.scrollTop + area.clientHeight / 2) / Math.max(1, area.scrollHeight)];
  const drawing = ++view.drawing;
  const factor = factorOf(view.step), enlargement = enlargementOf(view.step);
  if (factor !== view.drawnFactor) {
    view.drawnFactor = factor;
    await drawStrips(view.engine, view.picture, factor, canvas);
  }
  if (drawing !== view.drawing || !view.picture) return;
  canvas.style.width = `${canvas.width * enlargement}px`;
  canvas.style.height = `${canvas.height * enlargement}px`;
  $("zoom-level").textContent = t.zoomLevel(factor, enlargement);
  $("zoom-in").disabled = view.step >= LARGEST_STEP;
  $("zoom-out").disabled = view.step <= SMALLEST_STEP;
  const cell = view.picture.cell, box = view.picture.preview.box;
  canvas.setAttribute("aria-label", t.describe(view.picture.name, box.columns * cell, box.rows * cell, factor,
    view.picture.emptied));
  area.scrollLeft = centre[0] * area.scrollWidth - area.clientWidth / 2;
  area.scrollTop = centre[1] * area.scrollHeight - area.clientHeight / 2;
}

function zoom(step) {
  const next = Math.min(LARGEST_STEP, Math.max(SMALLEST_STEP, step));
  if (next === view.step || !view.engine) return;
  view.step = next;
  drawView();
}

// The whole picture at full size, drawn in a fresh instance that goes afterwards.
async function savePng() {
  const picture = view.picture, canvas = document.createElement("canvas");
  if (!(await drawStrips(await Engine.start(page.module), picture, 1, canvas))) return;
  const blob = await new Promise((resolve) => canvas.toBlob(resolve, "image/png"));
  canvas.width = canvas.height = 0;
  const link = document.createElement("a");
  link.href = URL.createObjectURL(blob);
  link.download = `${picture.name.replace(/\.[^.]*$/, "")}.png`;
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 10000);
}

function connectView() {
  const area = $("view-area");
  $("open-view").addEventListener("click", openView);
  $("picture").addEventListener("click", openView);
  $("close-view").addEventListener("click", () => $("view").close());
  $("view").addEventListener("close", closeView);
  $("zoom-in").addEventListener("click", () => zoom(view.step + 1));
  $("zoom-out").addEventListener("click", () => zoom(view.step - 1));
  $("actual-size").addEventListener("click", () => zoom(0));
  $("save-png").addEventListener("click", savePng);
  $("view").addEventListener("keydown", (event) => {
    if (event.target instanceof HTMLButtonElement) return;
    const change = { "+": 1, "=": 1, "-": -1, "−": -1 }[event.key];
    if (change) zoom(view.step + change);
    else if (event.key === "0") zoom(0);
  });
  area.addEventListener("wheel", (event) => {
    if (!event.ctrlKey) return;
    event.preventDefault();
    zoom(view.step + (event.deltaY < 0 ? 1 : -1));
  }, { passive: false });
  let drag = null;
  area.addEventListener("pointerdown", (event) => {
    drag = { x: event.clientX, y: event.clientY, left: area.scrollLeft, top: area.scrollTop };
    area.setPointerCapture(event.pointerId);
  });
  area.addEventListener("pointermove", (event) => {
    if (!drag) return;
    area.scrollLeft = drag.left - (event.clientX - drag.x);
    area.scrollTop = drag.top - (event.clientY - drag.y);
  });
  area.addEventListener("pointerup", () => { drag = null; });
}

// ---- start ----

// Served, the site's files are kept by its service worker and the page works
// offline; the single file, opened from disk, needs none.
function keepOffline() {
  if (typeof TAVRO_WASM_BASE64 === "string" || !window.isSecureContext || !("serviceWorker" in navigator)) return;
  navigator.serviceWorker.register(new URL("sw.js", import.meta.url)).catch(() => {});
}

async function loadModule() {
  // The single-file page carries the module inline; the site fetches it.
  if (typeof TAVRO_WASM_BASE64 === "string") {
    return compileEngine(Uint8Array.from(atob(TAVRO_WASM_BASE64), (c) => c.charCodeAt(0)));
  }
  return compileEngine(await (await fetch(new URL("tavro.wasm", import.meta.url))).arrayBuffer());
}

async function start() {
  performance.mark("tavro-start");
  const loading = loadModule();
  applyTexts();
  connectFileChoice("source");
  connectFileChoice("target");
  $("convert").addEventListener("click", () => convert());
  $("convert-anyway").addEventListener("click", async () => {
    // A source taken as it is still has the target judged, and offered in turn.
    page.force = page.refused === CAUSES.notALevel ? "source" : "all";
    await convert();
    if (page.result) $("download").focus();
  });
  $("pack-offer").addEventListener("click", async () => {
    $("pack").checked = true;
    await convert();
    // The offer is gone: the keyboard goes on from the download.
    if (page.result) $("download").focus();
  });
  $("swap-files").addEventListener("click", swapFiles);
  $("pack").addEventListener("change", () => {
    if (!page.result) sayNext();
    checkPair();
  });
  $("before").addEventListener("click", () => showSide("before"));
  $("after").addEventListener("click", () => showSide("after"));
  $("write").addEventListener("click", writeInPlace);
  $("undo").addEventListener("click", undo);
  connectView();
  try {
    page.module = await loading;
    performance.mark("tavro-compiled");
    page.engine = await Engine.start(page.module);
  } catch {
    say(t.engineFailed, true);
    return;
  }
  $("convert").disabled = false;
  engineStarted();
  sayNext();
  performance.mark("tavro-ready");
  document.body.dataset.ready = "true";
  keepOffline();
}

start();
