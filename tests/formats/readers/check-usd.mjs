// Loads a USD layer with TinyUSDZ, an independent USD library, and checks that it
// read the strands as the file wrote them: the curves' counts, every point,
// width and primvar, and the layer's custom data. TinyUSDZ writes back what it
// holds; its numbers and the file's must be the same single-precision floats.
//   TINYUSDZ=FOLDER node check-usd.mjs FILE.usda
// FOLDER holds TinyUSDZ's tinyusdz.js and tinyusdz.wasm, as scripts/fetch-test-readers.sh
// leaves them.
import { readFileSync } from 'fs';
import { join } from 'path';
import { pathToFileURL } from 'url';

// TinyUSDZ's module is built for browsers: let it believe it is in one and hand
// it its WebAssembly, which it would otherwise fetch.
process.type = 'renderer';
globalThis.window = globalThis;
const folder = process.env.TINYUSDZ;
const { default: initTinyUsdz } = await import(pathToFileURL(join(folder, 'tinyusdz.mjs')).href);
const native = await initTinyUsdz({ wasmBinary: readFileSync(join(folder, 'tinyusdz.wasm')) });

const path = process.argv[2];
const written = readFileSync(path, 'utf8');
const usd = new native.TinyUSDZLoaderNative();
if (!usd.loadAsLayerFromBinary(new Uint8Array(Buffer.from(written)), path)) {
  console.error(`TinyUSDZ refused ${path}: ${usd.error()}`);
  process.exit(1);
}
const read = usd.layerToString();

// The value of each attribute, and its interpolation, by its prim and its
// declaration: "strands.points", "mesh.points"; the layer's own before any prim.
function attributes(text) {
  const found = new Map();
  const declaration = /^\s*((?:uniform )?[A-Za-z0-9]+(?:\[\])?) ([A-Za-z:_]+) = (.*?)\s*(\()?$/gm;
  const prims = [...text.matchAll(/def [A-Za-z]+ "([A-Za-z0-9_]+)"/g)];
  const primAt = (index) => {
    let name = 'layer';
    for (const prim of prims) {
      if (prim.index < index) {
        name = prim[1];
      }
    }
    return name;
  };
  for (const m of text.matchAll(declaration)) {
    // Prim metadata such as "prepend apiSchemas = [...]" is no attribute.
    if (m[1] === 'prepend') {
      continue;
    }
    let interpolation = null;
    if (m[4]) {
      const rest = text.slice(m.index + m[0].length, m.index + m[0].length + 200);
      const i = rest.match(/interpolation = "([a-z]+)"/);
      interpolation = i ? i[1] : null;
    }
    found.set(`${primAt(m.index)}.${m[2]}`, { type: m[1], value: m[3], interpolation });
  }
  return found;
}

function numbers(value) {
  return (value.match(/-?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?|-?inf|nan/g) || []).map(Number);
}

const mine = attributes(written);
const theirs = attributes(read);
let problems = 0;
for (const [name, attribute] of mine) {
  const other = theirs.get(name);
  if (!other) {
    console.error(`${name}: TinyUSDZ did not read it`);
    ++problems;
    continue;
  }
  if (attribute.interpolation !== other.interpolation) {
    console.error(`${name}: interpolation ${attribute.interpolation}, read as ${other.interpolation}`);
    ++problems;
  }
  const a = numbers(attribute.value);
  const b = numbers(other.value);
  if (a.length !== b.length) {
    console.error(`${name}: ${a.length} numbers written, ${b.length} read`);
    ++problems;
    continue;
  }
  const floats = /float|point|texCoord|normal/.test(attribute.type);
  for (let i = 0; i < a.length; ++i) {
    const same = floats ? Math.fround(a[i]) === Math.fround(b[i]) : a[i] === b[i];
    if (!same) {
      console.error(`${name}[${i}]: ${a[i]} written, ${b[i]} read`);
      ++problems;
      break;
    }
  }
}
if (!/def BasisCurves "strands"/.test(read)) {
  console.error('TinyUSDZ found no BasisCurves prim /hair/strands');
  ++problems;
}
// Hair grown on a mesh holds the mesh beside the curves.
if (/def Mesh "mesh"/.test(written) && !/def Mesh "mesh"/.test(read)) {
  console.error('TinyUSDZ found no Mesh prim /hair/mesh');
  ++problems;
}
// The layer's unit and up axis, as stated and as read.
for (const key of ['metersPerUnit', 'upAxis']) {
  const stated = (text) => (text.match(new RegExp(`^    ${key} = (.*)$`, 'm')) || [null, null])[1];
  const mineValue = stated(written);
  const theirValue = stated(read);
  const same = key === 'metersPerUnit' ? Number(mineValue) === Number(theirValue) : mineValue === theirValue;
  if (mineValue === null || !same) {
    console.error(`${key}: ${mineValue} written, ${theirValue} read`);
    ++problems;
  }
}
const layerData = (text) => (text.match(/customLayerData = \{([^}]*)\}/) || ['', ''])[1].trim().split(/\s*\n\s*/).sort();
if (JSON.stringify(layerData(written)) !== JSON.stringify(layerData(read))) {
  console.error(`customLayerData differs: ${layerData(written)} against ${layerData(read)}`);
  ++problems;
}
const counts = numbers(mine.get('strands.curveVertexCounts')?.value || '');
console.log(`${path}: TinyUSDZ read ${counts.length} curves, ${counts.reduce((s, n) => s + n, 0)} points, ` +
            `${mine.size} attributes${problems ? `, ${problems} problems` : ' as written'}`);
process.exit(problems ? 1 : 0);
