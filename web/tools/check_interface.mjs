// Checks the tables of engine.js against the numbers of tavro_web.h: each
// table holds every constant of its header enum, under the constant's name
// in camel case (TW_CHUNKS_WITH_DATA: chunksWithData), with the same number.
// Writes STAMP when they agree; fails, naming each difference, when not.
//   node check_interface.mjs HEADER ENGINE_JS STAMP
import { readFileSync, writeFileSync } from "node:fs";

const [header, engine, stamp] = process.argv.slice(2);

// The header's enums, each as [name, number] pairs without the TW_ prefix.
const enums = [...readFileSync(header, "utf8").matchAll(/enum\s*\{([^}]*)\}/g)].map((found) =>
  [...found[1].replace(/\/\/.*$/gm, "").matchAll(/TW_(\w+)\s*=\s*(\d+)/g)].map(([, name, number]) => [name, Number(number)]));

// The engine's tables: NAME = { key: number, ... } or Object.freeze({ ... }).
const source = readFileSync(engine, "utf8");
function table(name) {
  const found = source.match(new RegExp(`const ${name} = (?:Object\\.freeze\\()?\\{([^}]*)\\}`));
  if (!found) throw new Error(`engine.js has no table ${name}`);
  return new Map([...found[1].matchAll(/(\w+):\s*(\d+)/g)].map(([, key, number]) => [key, Number(number)]));
}

const camel = (name) => name.toLowerCase().replace(/_(\w)/g, (_, letter) => letter.toUpperCase());

// Each table, the first constant of its enum, and the prefix its keys leave out.
const tables = [["FIELD", "CAUSE", ""], ["CAUSES", "FINE", ""], ["FILES", "SOURCE", ""], ["LOOKS", "LOOKS_TAVRO1", "LOOKS_"],
  ["LIST", "LOST_CHUNKS", ""]];
const differences = [];
for (const [name, first, prefix] of tables) {
  const constants = enums.find((pairs) => pairs[0]?.[0] === first);
  if (!constants) {
    differences.push(`tavro_web.h has no enum beginning with TW_${first}`);
    continue;
  }
  const keys = table(name), expected = new Map(constants.map(([constant, number]) =>
    [camel(constant.slice(prefix.length)), number]));
  for (const [key, number] of expected)
    if (keys.get(key) !== number) differences.push(`${name}.${key}: ${keys.get(key) ?? "missing"}, header ${number}`);
  for (const key of keys.keys()) if (!expected.has(key)) differences.push(`${name}.${key}: not in tavro_web.h`);
}
if (differences.length > 0) {
  console.error(`engine.js differs from tavro_web.h:\n  ${differences.join("\n  ")}`);
  process.exit(1);
}
writeFileSync(stamp, "");
