// The engine's C interface (tavro_web.h) for the page and for Node: bytes in,
// plain objects out. Every answer has a `cause` (CAUSES), 0 when fine.

export const CAUSES = Object.freeze({
  fine: 0, tooShort: 1, notALevel: 2, emptyForeground: 3, emptyBackground: 4, outOfMemory: 5, looksSwapped: 6, notATarget: 7, other: 99,
});
export const FILES = Object.freeze({ source: 0, target: 1 });
// What a file refused by the game check looks like.
export const LOOKS = Object.freeze({ tavro1: 0, tavro2: 1, picture: 2, text: 3, zeros: 4, noise: 5 });
export const GAMES = Object.freeze({ first: 1, second: 2 });
export const PLANES = Object.freeze({ foreground: 0, background: 1 });

const FIELD = {
  cause: 0, file: 1, count: 2, limit: 3, looks: 4,
  packed: 10, chunksWithData: 11, chunksNamed: 12, chunksUsed: 13, cellsExpanded: 14, cellsLost: 15, packedSlots: 16,
  width: 20, height: 21, factor: 22, boxColumn: 23, boxRow: 24, boxColumns: 25, boxRows: 26,
  hiddenMarks: 30,
};
const LIST = { lostChunks: 0, emptiedCells: 1, marks: 2 };

// The module imports only libc's error output; nothing is ever written there.
const wasiOutput = {
  wasi_snapshot_preview1: { fd_write: () => 52, fd_seek: () => 52, fd_close: () => 52 },
};

// `wasm`: the module's bytes, or a Response (compiled while it streams).
export async function compileEngine(wasm) {
  if (typeof Response !== "undefined" && wasm instanceof Response) return WebAssembly.compileStreaming(wasm);
  return WebAssembly.compile(wasm);
}

// One instance of the module. A trap (allocation failure) leaves an
// instance unusable: the next call makes a fresh one.
export class Engine {
  static async start(module) {
    const engine = new Engine(module);
    await engine.#renew();
    return engine;
  }

  #module;
  #api = null;

  constructor(module) { this.#module = module; }

  async #renew() {
    const instance = await WebAssembly.instantiate(this.#module, wasiOutput);
    instance.exports._initialize();
    this.#api = instance.exports;
  }

  // How many of the target's first bytes a conversion needs.
  get targetHeadBytes() { return this.#api.tw_target_head_bytes(); }

  // The converted target (the whole file: the target's bytes past its first
  // ones are kept) and the report's facts. `force` converts whatever the two
  // files look like; `forceSource` takes the source as it is, still judging the target.
  async convert(source, target, pack, force = false, forceSource = false) {
    const head = target.subarray(0, this.targetHeadBytes);
    const answer = await this.#call([source, head], ([s, t]) => this.#api.tw_convert(s, source.length, t, head.length,
      (pack ? 1 : 0) | (force ? 2 : 0) | (forceSource ? 4 : 0)), (result) => {
      const facts = {};
      for (const name of ["chunksWithData", "chunksNamed", "chunksUsed", "cellsExpanded", "cellsLost", "packedSlots"])
        facts[name] = this.#get(result, name);
      const data = this.#data(result);
      const bytes = new Uint8Array(Math.max(data.length, target.length));
      bytes.set(target);
      bytes.set(data);
      return {
        bytes, packed: this.#get(result, "packed") === 1, ...facts,
        lostChunks: this.#list(result, LIST.lostChunks), emptiedCells: this.#list(result, LIST.emptiedCells),
      };
    });
    return answer;
  }

  // The cells in use of a plane (0 foreground, 1 background) fitted within
  // maxWidth x maxHeight, taking in `frame` ({column, row, columns, rows}).
  async preview(state, game, plane, maxWidth, maxHeight, frame = null) {
    const f = frame ?? { column: 0, row: 0, columns: 0, rows: 0 };
    return this.#call([state], ([s]) => this.#api.tw_preview(s, state.length, game, plane, maxWidth, maxHeight,
      f.column, f.row, f.columns, f.rows), (result) => this.#picture(result));
  }

  // The cells of `box` (null: those in use) scaled down by `factor`.
  async render(state, game, plane, factor, box = null) {
    const b = box ?? { column: 0, row: 0, columns: 0, rows: 0 };
    return this.#call([state], ([s]) => this.#api.tw_render(s, state.length, game, plane, factor, b.column, b.row,
      b.columns, b.rows), (result) => this.#picture(result));
  }

  async #call(inputs, run, read) {
    const buffers = [];
    let result = 0;
    try {
      for (const input of inputs) {
        const pointer = this.#api.tw_allocate(input.length);
        if (pointer === 0) return { cause: CAUSES.outOfMemory, file: FILES.source };
        buffers.push(pointer);
        new Uint8Array(this.#api.memory.buffer, pointer, input.length).set(input);
      }
      result = run(buffers);
      const cause = this.#get(result, "cause");
      if (cause !== CAUSES.fine) {
        const refusal = { cause, file: this.#get(result, "file"), count: this.#get(result, "count"),
          limit: this.#get(result, "limit") };
        // What a file refused by the game check looks like.
        if ([CAUSES.notALevel, CAUSES.looksSwapped, CAUSES.notATarget].includes(cause)) refusal.looks = this.#get(result, "looks");
        return refusal;
      }
      return { cause, ...read(result) };
    } catch (failure) {
      if (!(failure instanceof WebAssembly.RuntimeError)) throw failure;
      buffers.length = 0;
      result = 0;
      await this.#renew();
      return { cause: CAUSES.outOfMemory, file: FILES.source };
    } finally {
      if (result !== 0) this.#api.tw_release(result);
      for (const pointer of buffers) this.#api.tw_free(pointer);
    }
  }

  // A layout cell's side in pixels in `game`.
  cellPixels(game) { return this.#api.tw_cell_pixels(game); }

  // The After picture's frame (null: none) for preview(): the first-game
  // cells the Before picture shows (`before`, null: none) in the second
  // game's cells, taking in a mark over every foreground cell of
  // `emptiedCells` (as convert() gives them); background ones are counted in `hidden`.
  async afterFrame(before, emptiedCells) {
    const b = before ?? { column: 0, row: 0, columns: 0, rows: 0 };
    const cells = new Uint8Array(Int32Array.from(emptiedCells).buffer);
    return this.#call([cells], ([c]) => this.#api.tw_after_frame(b.column, b.row, b.columns, b.rows, c,
      emptiedCells.length), (result) => {
      const box = this.#box(result), numbers = this.#list(result, LIST.marks), marks = [];
      for (let i = 0; i + 4 <= numbers.length; i += 4) {
        const [column, row, columns, rows] = numbers.slice(i, i + 4);
        marks.push({ column, row, columns, rows });
      }
      return { frame: box.columns > 0 ? box : null, marks, hidden: this.#get(result, "hiddenMarks") };
    });
  }

  #get(result, name) { return this.#api.tw_get(result, FIELD[name]); }

  #data(result) {
    const pointer = this.#api.tw_data(result);
    return new Uint8Array(this.#api.memory.buffer, pointer, this.#api.tw_data_size(result)).slice();
  }

  #list(result, which) {
    const pointer = this.#api.tw_list(result, which);
    return Array.from(new Int32Array(this.#api.memory.buffer, pointer, this.#api.tw_list_size(result, which)));
  }

  #picture(result) {
    return {
      width: this.#get(result, "width"), height: this.#get(result, "height"), factor: this.#get(result, "factor"),
      box: this.#box(result),
      pixels: new Uint8ClampedArray(this.#data(result).buffer),
    };
  }

  #box(result) {
    return { column: this.#get(result, "boxColumn"), row: this.#get(result, "boxRow"),
      columns: this.#get(result, "boxColumns"), rows: this.#get(result, "boxRows") };
  }
}
