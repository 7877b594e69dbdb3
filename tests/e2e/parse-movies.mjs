// Reads every movie in a folder with the independent swf-parser and checks
// it against manifest.json there. Exits non-zero on the first kind of
// failure it finds, after reporting all of them.
import fs from "node:fs";
import path from "node:path";
import { parseSwf, swf } from "swf-parser";

const folder = process.argv[2];
if (!folder) {
  console.error("usage: parse-movies.mjs FOLDER");
  process.exit(2);
}

let passed = 0;
let failed = 0;
function check(ok, what) {
  if (ok) {
    passed++;
  } else {
    failed++;
    console.error(`FAIL ${what}`);
  }
}

const name = (tag) => swf.TagType[tag.type];
const hex = (bytes) => Buffer.from(bytes).toString("hex");

// One JPEG stream: starts FF D8 once, ends FF D9 once.
function isSingleJpeg(data) {
  const h = hex(data.slice(0, 4));
  const t = hex(data.slice(-4));
  return h.startsWith("ffd8") && !h.startsWith("ffd8ffd8") && !h.startsWith("ffd9") &&
    t.endsWith("ffd9") && !t.endsWith("ffd9ffd9");
}

function checkPcLayout(file, movie, entry) {
  const n = entry.frames;
  const W = 20 * entry.width;
  const H = 20 * entry.height;
  const tags = movie.tags;
  check(tags.length === 4 * n, `${file}: ${tags.length} tags, expected ${4 * n}`);
  for (let i = 0; i < n; i++) {
    const bitmap = tags[2 * i];
    const shape = tags[2 * i + 1];
    check(name(bitmap) === "DefineBitmap" && bitmap.id === 2 * i + 1,
      `${file}: tag ${2 * i} is ${name(bitmap)} id ${bitmap.id}`);
    check(bitmap.mediaType === "image/jpeg", `${file}: bitmap ${bitmap.id} is ${bitmap.mediaType}`);
    check(name(shape) === "DefineShape" && shape.id === 2 * i + 2,
      `${file}: tag ${2 * i + 1} is ${name(shape)} id ${shape.id}`);
    const b = shape.bounds;
    check(b.xMin === 0 && b.xMax === W && b.yMin === 0 && b.yMax === H,
      `${file}: shape ${shape.id} bounds ${JSON.stringify(b)}`);
    const fills = shape.shape.initialStyles.fill;
    check(fills.length === 1 && swf.FillStyleType[fills[0].type] === "Bitmap" &&
      fills[0].bitmapId === bitmap.id && fills[0].repeating === false,
      `${file}: shape ${shape.id} fill ${JSON.stringify(fills)}`);
    const m = fills[0].matrix;
    const sx = Math.trunc((W / bitmap.width + 15 / 4096) * 65536);
    const sy = Math.trunc((H / bitmap.height + 15 / 4096) * 65536);
    check(m.scaleX.epsilons === sx && m.scaleY.epsilons === sy && m.translateX === -5 &&
      m.translateY === -5 && m.rotateSkew0.epsilons === 0,
      `${file}: shape ${shape.id} matrix ${JSON.stringify(m)}`);
    const deltas = shape.shape.records.filter((r) => r.delta).map((r) => [r.delta.x, r.delta.y]);
    check(JSON.stringify(deltas) === JSON.stringify([[W, 0], [0, H], [-W, 0], [0, -H]]),
      `${file}: shape ${shape.id} edges ${JSON.stringify(deltas)}`);
    const place = tags[2 * n + 2 * i];
    const show = tags[2 * n + 2 * i + 1];
    check(name(place) === "PlaceObject" && place.depth === 1 && place.characterId === 2 * i + 2 &&
      place.isUpdate === (i > 0), `${file}: frame ${i} placement ${JSON.stringify(place)}`);
    check(name(show) === "ShowFrame", `${file}: frame ${i} ends with ${name(show)}`);
  }
}

// The first luminance quantiser of a JPEG: the IJG tables scaled for a
// quality q start at floor((16 * scale + 50) / 100), scale from q.
function firstQuantiser(data) {
  for (let p = 2; p + 5 < data.length;) {
    if (data[p] !== 0xff) return -1;
    const marker = data[p + 1], length = (data[p + 2] << 8) | data[p + 3];
    if (marker === 0xdb) return data[p + 5];
    if (marker === 0xda) return -1;
    p += 2 + length;
  }
  return -1;
}
const ijgQuantiser = (q) => Math.floor((16 * (q < 50 ? 5000 / q : 200 - 2 * q) + 50) / 100);

// The mobile movie: every character a tag names is defined before it, and
// the sprite placed as loadRect_mc plays one frame of the slide movie each.
function checkMobile(file, movie, expect) {
  const defined = new Map();
  for (const t of movie.tags) if (t.id !== undefined) defined.set(t.id, t);
  const place = movie.tags.find((t) => name(t) === "PlaceObject" && t.name === "loadRect_mc");
  const sprite = place && defined.get(place.characterId);
  check(sprite && name(sprite) === "DefineSprite", `${file}: loadRect_mc is ${sprite && name(sprite)}`);
  if (!sprite) return;
  check(sprite.frameCount === expect.frames &&
    sprite.tags.filter((t) => name(t) === "ShowFrame").length === expect.frames,
    `${file}: the sprite has ${sprite.frameCount} frames, expected ${expect.frames}`);
  const shown = sprite.tags.filter((t) => name(t) === "PlaceObject" && t.characterId !== undefined);
  check(shown.length === expect.frames, `${file}: ${shown.length} placements in the sprite`);
  for (const p of shown) {
    const shape = defined.get(p.characterId);
    const fill = shape && shape.shape.initialStyles.fill[0];
    const bitmap = fill && defined.get(fill.bitmapId);
    check(shape && name(shape) === "DefineShape" && bitmap && name(bitmap) === "DefineBitmap" &&
      bitmap.width === expect.width && bitmap.height === expect.height,
      `${file}: placed ${p.characterId} is not a ${expect.width} x ${expect.height} picture`);
  }
  check(movie.header.frameRate.epsilons === 3 * 256, `${file}: rate ${movie.header.frameRate.epsilons / 256}`);
}

const manifest = fs.readdirSync(folder)
  .filter((f) => /^manifest.*\.json$/.test(f))
  .flatMap((f) => JSON.parse(fs.readFileSync(path.join(folder, f), "utf8")));
const files = fs.readdirSync(folder).filter((f) => f.endsWith(".swf")).sort();
check(files.length > 0, "no movies to read");
for (const entry of manifest) check(files.includes(entry.file), `${entry.file} was not written`);

for (const file of files) {
  let movie;
  try {
    movie = parseSwf(new Uint8Array(fs.readFileSync(path.join(folder, file))));
  } catch (e) {
    check(false, `${file}: the parser rejects it: ${e.message}`);
    continue;
  }
  const bitmaps = [];
  const walk = (tags) => tags.forEach((t) => {
    if (name(t) === "DefineBitmap") bitmaps.push(t);
    if (t.tags) walk(t.tags);
  });
  walk(movie.tags);
  for (const b of bitmaps) check(isSingleJpeg(b.data), `${file}: bitmap ${b.id} is not one JPEG stream`);

  const entry = manifest.find((e) => e.file === file);
  if (!entry) continue;
  const h = movie.header;
  check(h.swfVersion === 6, `${file}: version ${h.swfVersion}`);
  check(h.frameCount === entry.frames, `${file}: ${h.frameCount} frames, expected ${entry.frames}`);
  const fs_ = h.frameSize;
  check(fs_.xMin === 0 && fs_.xMax === 20 * entry.width && fs_.yMin === 0 &&
    fs_.yMax === 20 * entry.height, `${file}: stage ${JSON.stringify(fs_)}`);
  const shown = movie.tags.filter((t) => name(t) === "ShowFrame").length;
  check(shown === entry.frames, `${file}: ${shown} ShowFrame tags`);
  if (entry.tags.length) {
    const kinds = movie.tags.map(name);
    check(JSON.stringify(kinds) === JSON.stringify(entry.tags), `${file}: tags ${kinds.join(", ")}`);
  }
  if (entry.pcLayout) checkPcLayout(file, movie, entry);
  if (entry.mobile) checkMobile(file, movie, entry.mobile);
  if (entry.rate) check(h.frameRate.epsilons === entry.rate * 256, `${file}: rate ${h.frameRate.epsilons / 256}`);
  if (entry.quality) {
    const q = bitmaps.map((b) => firstQuantiser(b.data));
    check(q.every((v) => v === ijgQuantiser(entry.quality)),
      `${file}: quantisers ${q.join(", ")}, expected ${ijgQuantiser(entry.quality)} for quality ${entry.quality}`);
  }
  if (file === "sprite-named.swf") {
    const place = movie.tags.find((t) => name(t) === "PlaceObject");
    const sprite = movie.tags.find((t) => name(t) === "DefineSprite");
    check(place && place.name === "loadRect_mc" && sprite && place.characterId === sprite.id,
      `${file}: named placement ${JSON.stringify(place)}`);
    check(sprite && sprite.frameCount === 1 && sprite.tags.length === 2,
      `${file}: sprite ${JSON.stringify(sprite)}`);
  }
}

console.log(`${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
