// Plays the videos kalvane-cli wrote in headless Chromium's <video>: each
// loads at its size and length, its time advances while it plays, and its
// first picture matches the data movie's first frame (colours included).
// The animated WebP and GIF are shown by an <img>: every frame, looping for
// ever, the first matching the data movie's, and the picture moves on.
// usage: video.mjs FOLDER (spin.mp4, spin.webm, spin.webp, spin.gif, first.png)
import fs from "node:fs";
import path from "node:path";
import { launchChromium } from "./harness.mjs";

const [folder] = process.argv.slice(2);
let passed = 0;
let failed = 0;
function check(ok, what) {
  if (ok) passed++;
  else { failed++; console.error(`FAIL ${what}`); }
}

const browser = await launchChromium(["--autoplay-policy=no-user-gesture-required"]);
const types = { ".mp4": "video/mp4", ".webm": "video/webm", ".png": "image/png", ".html": "text/html",
  ".webp": "image/webp", ".gif": "image/gif" };
// A secure address: the image decoder is offered only there.
const origin = "https://videos.kalvane.test/";

// The folder served under an address of its own, so a canvas may read
// what a video or an image drew.
function serve(page) {
  return page.route(`${origin}**`, (route) => {
    const file = path.join(folder, new URL(route.request().url()).pathname.slice(1) || "index.html");
    if (!fs.existsSync(file)) return route.fulfill({ status: 404 });
    return route.fulfill({ status: 200, contentType: types[path.extname(file)], body: fs.readFileSync(file) });
  });
}

for (const [name, want] of [["spin.mp4", { w: 500, h: 376, seconds: 6 }],
  ["spin.webm", { w: 500, h: 376, seconds: 6 }]]) {
  const context = await browser.newContext();
  const page = await context.newPage();
  const problems = [];
  page.on("pageerror", (e) => problems.push(e.message));
  await serve(page);
  fs.writeFileSync(path.join(folder, "index.html"), "<!doctype html><body></body>");
  await page.goto(origin + "index.html");
  const mime = name.endsWith(".mp4") ? 'video/mp4; codecs="avc1.64001e"' : 'video/webm; codecs="vp9"';
  const loaded = await page.evaluate(async ({ name, mime }) => {
    const v = document.createElement("video");
    v.muted = true;
    v.preload = "auto";
    const can = v.canPlayType(mime);
    document.body.appendChild(v);
    const ready = new Promise((resolve) => {
      v.addEventListener("loadeddata", () => resolve(true), { once: true });
      v.addEventListener("error", () => resolve(false), { once: true });
    });
    v.src = name;
    if (!(await ready)) return { can, error: v.error && `${v.error.code} ${v.error.message}` };
    // The first picture against the data movie's first frame, both drawn
    // at a fifth of their size.
    const draw = (source) => {
      const c = document.createElement("canvas");
      c.width = 100;
      c.height = 75;
      const g = c.getContext("2d");
      g.drawImage(source, 0, 0, 100, 75);
      return g.getImageData(0, 0, 100, 75).data;
    };
    const still = new Image();
    still.src = "first.png";
    await still.decode();
    const a = draw(v), b = draw(still);
    let diff = 0;
    for (let i = 0; i < a.length; i += 4)
      for (let k = 0; k < 3; k++) diff += Math.abs(a[i + k] - b[i + k]);
    window.video = v;
    return { can, w: v.videoWidth, h: v.videoHeight, seconds: v.duration, diff: diff / (100 * 75 * 3) };
  }, { name, mime });
  check(loaded.can === "probably", `${name}: Chromium says it can play ${mime}: "${loaded.can}"`);
  check(!loaded.error, `${name}: did not load: ${loaded.error}`);
  if (!loaded.error) {
    check(loaded.w === want.w && loaded.h === want.h, `${name}: ${loaded.w} x ${loaded.h}`);
    check(Math.abs(loaded.seconds - want.seconds) < 0.05, `${name}: lasts ${loaded.seconds} s`);
    check(loaded.diff < 3, `${name}: first picture differs from the first frame by ${loaded.diff.toFixed(2)} a channel`);
    // Playing: the time moves on past the first turn's frames.
    await page.evaluate(() => window.video.play());
    const advanced = await page.waitForFunction(() => window.video.currentTime > 1, null, { timeout: 30000 })
      .then(() => true, () => false);
    const time = await page.evaluate(() => window.video.currentTime);
    check(advanced, `${name}: time stayed at ${time} while playing`);
    console.log(`${name}: ${loaded.w} x ${loaded.h}, ${loaded.seconds} s, first picture off by ` +
      `${loaded.diff.toFixed(2)} a channel, played to ${time.toFixed(2)} s`);
  }
  check(problems.length === 0, `${name}: page errors ${problems.join("; ")}`);
  await context.close();
}
for (const name of ["spin.webp", "spin.gif"]) {
  const context = await browser.newContext();
  const page = await context.newPage();
  const problems = [];
  page.on("pageerror", (e) => problems.push(e.message));
  await serve(page);
  await page.goto(origin + "index.html");
  const shown = await page.evaluate(async ({ name, type }) => {
    const draw = (source, w, h) => {
      const c = document.createElement("canvas");
      c.width = 100;
      c.height = 75;
      const g = c.getContext("2d");
      g.drawImage(source, 0, 0, w, h, 0, 0, 100, 75);
      return g.getImageData(0, 0, 100, 75).data;
    };
    const off = (a, b) => {
      let diff = 0;
      for (let i = 0; i < a.length; i += 4)
        for (let k = 0; k < 3; k++) diff += Math.abs(a[i + k] - b[i + k]);
      return diff / (100 * 75 * 3);
    };
    const bytes = await (await fetch(name)).arrayBuffer();
    const decoder = new ImageDecoder({ data: bytes, type });
    await decoder.tracks.ready;
    await decoder.completed;
    const track = decoder.tracks.selectedTrack;
    const first = (await decoder.decode({ frameIndex: 0 })).image;
    const still = new Image();
    still.src = "first.png";
    await still.decode();
    const firstOff = off(draw(first, first.displayWidth, first.displayHeight),
      draw(still, still.naturalWidth, still.naturalHeight));
    const img = new Image();
    img.src = name;
    document.body.appendChild(img);
    await img.decode();
    return { w: img.naturalWidth, h: img.naturalHeight, frames: track.frameCount,
      loops: track.repetitionCount, firstOff };
  }, { name, type: types[path.extname(name)] });
  check(shown.w === 500 && shown.h === 375, `${name}: ${shown.w} x ${shown.h}`);
  check(shown.frames === 24, `${name}: ${shown.frames} frames`);
  check(shown.loops === Infinity, `${name}: repeats ${shown.loops} times`);
  check(shown.firstOff < 3, `${name}: first picture differs by ${shown.firstOff.toFixed(2)} a channel`);
  // A canvas is given the first frame only: the page's own pictures tell
  // whether it moves on (for at most 30 s).
  const start = await page.locator("img").screenshot();
  let animated = false;
  for (const until = Date.now() + 30000; !animated && Date.now() < until;)
    animated = !start.equals(await page.locator("img").screenshot());
  check(animated, `${name}: the picture stayed on its first frame`);
  console.log(`${name}: ${shown.w} x ${shown.h}, ${shown.frames} frames, loops ${shown.loops}, ` +
    `first picture off by ${shown.firstOff.toFixed(2)} a channel, animated ${animated}`);
  check(problems.length === 0, `${name}: page errors ${problems.join("; ")}`);
  await context.close();
}
await browser.close();
console.log(`video: ${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
