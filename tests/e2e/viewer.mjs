// Opens exported page sets in headless Chromium, served by kalvane-cli on
// 127.0.0.1, and checks what a visitor sees and does.
// usage: viewer.mjs KALVANE_CLI SITE_WITH_HELP SITE_WITHOUT_HELP
import fs from "node:fs";
import path from "node:path";
import zlib from "node:zlib";
import { launchChromium, runCli, serveFolder } from "./harness.mjs";

const [cli, withHelp, withoutHelp, cases, project] = process.argv.slice(2);
let passed = 0;
let failed = 0;
function check(ok, what) {
  if (ok) passed++;
  else { failed++; console.error(`FAIL ${what}`); }
}

const browser = await launchChromium();

async function open(url, options = {}) {
  const context = await browser.newContext({ reducedMotion: options.reducedMotion || "no-preference" });
  const page = await context.newPage();
  const problems = [];
  const hosts = new Set();
  page.on("console", (m) => { if (m.type() === "error") problems.push(m.text()); });
  page.on("pageerror", (e) => problems.push(e.message));
  page.on("request", (r) => hosts.add(new URL(r.url()).host || new URL(r.url()).protocol));
  await page.goto(url);
  return { page, problems, hosts, context };
}

const frameOf = (page) => page.$eval("[data-velzoom]", (e) => Number(e.dataset.frame));

async function site(folder, expect, name) {
  const help = expect.help;
  const server = await serveFolder(cli, folder);
  try {
    const { page, problems, hosts, context } = await open(server.url + "velzoom.html");
    const root = "[data-velzoom]";
    await page.waitForSelector(`${root}[data-drawn]`, { timeout: 20000 });
    check(true, `${name}: first frame drawn`);
    await page.waitForFunction(() => document.querySelector("[data-velzoom]").dataset.state === "ready",
      null, { timeout: 20000 });
    const frames = await page.$eval(root, (e) => Number(e.dataset.frames));
    check(frames === 24, `${name}: ${frames} frames, expected 24`);
    const helpState = await page.$eval(root, (e) => e.dataset.help || "none");
    check(help ? helpState === "shown" : helpState === "none",
      `${name}: help overlay ${helpState} with help ${help}`);
    const helpBoxes = await page.$$(".vz-help");
    check(help ? helpBoxes.length === 1 : helpBoxes.length === 0, `${name}: help box count`);
    // the intro turn ends by itself; wait for it
    await page.waitForFunction(() => document.querySelector("[data-velzoom]").dataset.playing !== "1",
      null, { timeout: 20000 });

    const box = await page.$eval(`${root} canvas`, (c) => {
      const r = c.getBoundingClientRect();
      return { x: r.x, y: r.y, w: r.width, h: r.height };
    });
    check(Math.abs(box.h / box.w - 0.75) < 0.02, `${name}: aspect ${box.h / box.w}`);
    // The hint lies off the picture, and the first drag turns the object
    // and puts the hint away.
    const y = box.y + box.h / 2;
    if (help) {
      const hint = await page.$eval(".vz-help", (e) => { const r = e.getBoundingClientRect(); return { top: r.top, bottom: r.bottom }; });
      check(hint.top >= box.y + box.h || hint.bottom <= box.y, `${name}: the hint ${JSON.stringify(hint)} over the picture`);
    }
    const before = await frameOf(page);
    await page.mouse.move(box.x + box.w * 0.7, y);
    await page.mouse.down();
    for (let i = 1; i <= 10; i++) await page.mouse.move(box.x + box.w * 0.7 - i * 15, y);
    await page.mouse.up();
    const dragged = await frameOf(page);
    check(dragged !== before, `${name}: the first drag turns (frame ${before} -> ${dragged})`);
    if (help) {
      check(await page.$eval(root, (e) => e.dataset.help) === "hidden", `${name}: the drag puts the hint away`);
      await page.click(`.vz-bar button[title="操作方法"]`);
      check(await page.$eval(root, (e) => e.dataset.help) === "shown", `${name}: ? shows the hint again`);
      await page.click(`.vz-bar button[title="縮小"]`);
      check(await page.$eval(root, (e) => e.dataset.help) === "hidden", `${name}: a button puts it away`);
      await page.click(`.vz-bar button[title="操作方法"]`);
      await page.click(".vz-help button");
      check(await page.$eval(root, (e) => e.dataset.help) === "hidden", `${name}: 閉じる puts it away`);
    }

    await page.focus(root);
    await page.keyboard.press("ArrowRight");
    const right = await frameOf(page);
    check(right === (dragged + 1) % 24, `${name}: ArrowRight ${dragged} -> ${right}`);
    await page.keyboard.press("ArrowLeft");
    await page.keyboard.press("ArrowLeft");
    check(await frameOf(page) === (dragged + 23) % 24, `${name}: ArrowLeft`);
    // the drawn frame follows the frame number
    await page.waitForFunction(() => {
      const e = document.querySelector("[data-velzoom]");
      return e.dataset.drawn === e.dataset.frame;
    }, null, { timeout: 5000 });

    const colours = await page.evaluate(() => {
      const e = document.querySelector("[data-velzoom]");
      const button = e.querySelector(".vz-bar button");
      return { bg: getComputedStyle(e).backgroundColor, accent: getComputedStyle(button).backgroundColor };
    });
    check(colours.bg === expect.bg && colours.accent === expect.accent,
      `${name}: colours ${JSON.stringify(colours)}`);

    const external = [...hosts].filter((h) => !h.startsWith("127.0.0.1"));
    check(external.length === 0, `${name}: requests left the machine: ${external.join(", ")}`);
    check(problems.length === 0, `${name}: console errors: ${problems.join(" | ")}`);
    await context.close();
  } finally {
    server.child.kill();
  }
}

// The colours come from the designs' rewritten velzoom.js lines (no "#").
await site(withHelp, { help: true, bg: "rgb(250, 248, 245)", accent: "rgb(138, 90, 43)" }, "shop/framed");
await site(withoutHelp, { help: false, bg: "rgb(22, 24, 29)", accent: "rgb(240, 180, 41)" }, "simple/dark");

// Movies from elsewhere: every frame decodes, in the placements' order.
const centre = (page) => page.evaluate(() => {
  const c = document.querySelector("[data-velzoom] canvas");
  const [r, g, b] = c.getContext("2d").getImageData(c.width >> 1, c.height >> 1, 1, 1).data;
  return r > 150 && g < 100 && b < 100 ? "red" : g > 150 && r < 100 && b < 100 ? "green"
    : b > 150 && r < 100 && g < 100 ? "blue" : `rgb(${r},${g},${b})`;
});
for (const [name, expected] of [["legacy", ["red", "green", "blue"]],
  ["compressed", ["red", "green", "blue"]], ["reordered", ["blue", "green", "red"]]]) {
  const server = await serveFolder(cli, path.join(cases, name));
  const { page, problems, context } = await open(server.url + "velzoom.html", { reducedMotion: "reduce" });
  await page.waitForFunction(() => document.querySelector("[data-velzoom]").dataset.state === "ready",
    null, { timeout: 20000 });
  const seen = [];
  await page.focus("[data-velzoom]");
  for (let i = 0; i < 3; i++) {
    await page.waitForFunction((f) => document.querySelector("[data-velzoom]").dataset.drawn === String(f), i);
    seen.push(await centre(page));
    await page.keyboard.press("ArrowRight");
  }
  check(JSON.stringify(seen) === JSON.stringify(expected), `${name}: frames ${seen.join(", ")}`);
  check(problems.length === 0, `${name}: console errors: ${problems.join(" | ")}`);
  await context.close();
  server.child.kill();
}

// Large frames: the decoded frames kept stay within the memory budget (48 MiB
// on a device that says it has 1 GB), while every frame can still be shown.
for (const deviceMemory of [1, undefined]) {
  const budget = (deviceMemory ? 48 : 384) * 1048576;
  const server = await serveFolder(cli, path.join(cases, "large"));
  const context = await browser.newContext({ reducedMotion: "reduce" });
  if (deviceMemory) {
    await context.addInitScript((gb) => Object.defineProperty(Navigator.prototype, "deviceMemory", { get: () => gb }),
      deviceMemory);
  }
  const page = await context.newPage();
  await page.goto(server.url + "velzoom.html");
  const state = () => page.$eval("[data-velzoom]", (e) => e.dataset.state);
  await page.waitForFunction(() => document.querySelector("[data-velzoom]").dataset.state === "ready",
    null, { timeout: 30000 });
  await page.focus("[data-velzoom]");
  let most = 0;
  for (let i = 0; i < 24; i++) {
    await page.waitForFunction((f) => document.querySelector("[data-velzoom]").dataset.drawn === String(f), i,
      { timeout: 10000 });
    most = Math.max(most, await page.$eval("[data-velzoom]", (e) => Number(e.dataset.cachedBytes)));
    await page.keyboard.press("ArrowRight");
  }
  check(most > 0 && most <= budget, `large, device memory ${deviceMemory}: ${most} decoded bytes held`);
  check(await state() === "ready", `large, device memory ${deviceMemory}: state ${await state()}`);
  await context.close();
  server.child.kill();
}

// The renderers' memory: each one's peak resident size since the peaks were
// last reset, read from the kernel (decoded pictures and inflated bytes
// live outside the JavaScript heap).
const processes = await browser.newBrowserCDPSession();
async function renderers() {
  const { processInfo } = await processes.send("SystemInfo.getProcessInfo");
  return processInfo.filter((p) => p.type === "renderer").map((p) => p.id);
}
async function resetPeaks() {
  for (const pid of await renderers()) {
    try { fs.writeFileSync(`/proc/${pid}/clear_refs`, "5"); } catch { /* ended meanwhile */ }
  }
}
async function highestPeak() {
  let most = 0;
  for (const pid of await renderers()) {
    try {
      const kb = fs.readFileSync(`/proc/${pid}/status`, "utf8").match(/VmHWM:\s*(\d+) kB/);
      if (kb) most = Math.max(most, Number(kb[1]) * 1024);
    } catch { /* ended meanwhile */ }
  }
  return most;
}
const MiB = 1048576;

// Damaged and hostile movies say so, quickly, instead of growing the page or
// looking finished: a first tag declaring 4 GB, a tag longer than the
// header's file length, a movie cut short, a frame no browser can decode;
// a small compressed movie that inflates to gigabytes, two million frames,
// thousands of pictures, tens of thousands of empty tags, and pictures of
// 16384 x 16384 pixels (JPEG, PNG and GIF). The page's
// renderer stays within a few hundred megabytes throughout (each of the
// hostile movies took gigabytes when trusted).
{
  const header = (sig, length) => {
    const h = Buffer.from([...Buffer.from(sig), 6, 0, 0, 0, 0]);
    h.writeUInt32LE(length, 4);
    return h;
  };
  // the stage rectangle (160 x 120, 15-bit fields), 12 fps, one frame
  const stage = Buffer.from([0x78, 0x00, 0x01, 0x90, 0x00, 0x00, 0x04, 0xb0, 0x00, 0x00, 0x0c, 0x01, 0x00]);
  const zeros = Buffer.alloc(64 * MiB);
  // a JPEG tag's long header with the given length, and no body to match
  const declared = (size) => {
    const b = Buffer.alloc(6);
    b.writeUInt16LE((21 << 6) | 63, 0);
    b.writeUInt32LE(size, 2);
    return b;
  };
  const tag = (code, body) => {
    const b = Buffer.alloc(6);
    b.writeUInt16LE((code << 6) | 63, 0);
    b.writeUInt32LE(body.length, 2);
    return Buffer.concat([b, body]);
  };
  const id = (n) => Buffer.from([n & 0xff, n >> 8]);
  const showFrame = Buffer.from([0x40, 0x00]);
  const end = Buffer.from([0, 0]);
  // a compressed movie with its true length
  const compressed = (...parts) => {
    const body = Buffer.concat([stage, ...parts]);
    return Buffer.concat([header("CWS", 8 + body.length), zlib.deflateSync(body)]);
  };
  const legacy = fs.readFileSync(path.join(cases, "legacy", "veldata.swf"));
  // the legacy movie's JPEG tags as [start of body, size]
  const jpegTags = [];
  for (let p = 8 + Math.ceil((5 + 4 * (legacy[8] >> 3)) / 8) + 4; p < legacy.length;) {
    let code = legacy.readUInt16LE(p) >> 6, size = legacy.readUInt16LE(p) & 63, body = p + 2;
    if (size === 63) { size = legacy.readUInt32LE(p + 2); body = p + 6; }
    if (code === 21) jpegTags.push([body, size]);
    p = body + size;
  }
  // the second JPEG's bytes replaced by noise
  const noisy = Buffer.from(legacy);
  for (let i = jpegTags[1][0] + 6; i < jpegTags[1][0] + jpegTags[1][1]; i++) noisy[i] = (i * 131) & 0xff;
  // the blue picture as it is, and placed on its own at depth 1
  const blue = legacy.subarray(jpegTags[2][0] + 2, jpegTags[2][0] + jpegTags[2][1]);
  const placeOne = tag(26, Buffer.from([0x02, 0x01, 0x00, 0x01, 0x00]));
  // A plain grey JPEG of 16384 x 16384 pixels: every block is "no change,
  // end of block", two bits with one-code tables, so it takes 1 MB and
  // deflates to almost nothing. Decoded it would take a gigabyte.
  const huge = Buffer.concat([
    Buffer.from([0xff, 0xd8, 0xff, 0xdb, 0x00, 0x43, 0x00]), Buffer.alloc(64, 1),
    Buffer.from([0xff, 0xc0, 0x00, 0x0b, 0x08, 0x40, 0x00, 0x40, 0x00, 0x01, 0x01, 0x11, 0x00]),
    Buffer.from([0xff, 0xc4, 0x00, 0x14, 0x00, 1, ...Array(15).fill(0), 0x00]),
    Buffer.from([0xff, 0xc4, 0x00, 0x14, 0x10, 1, ...Array(15).fill(0), 0x00]),
    Buffer.from([0xff, 0xda, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3f, 0x00]),
    Buffer.alloc((16384 / 8) * (16384 / 8) * 2 / 8), Buffer.from([0xff, 0xd9])]);
  // The same as a black one-bit PNG: 34 MB of rows, deflated to 33 KB.
  const hugePng = (() => {
    const chunk = (type, data) => {
      const b = Buffer.alloc(8 + data.length + 4);
      b.writeUInt32BE(data.length, 0);
      b.write(type, 4, "latin1");
      data.copy(b, 8);
      b.writeUInt32BE(zlib.crc32(b.subarray(4, 8 + data.length)), 8 + data.length);
      return b;
    };
    const ihdr = Buffer.alloc(13);
    ihdr.writeUInt32BE(16384, 0);
    ihdr.writeUInt32BE(16384, 4);
    ihdr[8] = 1;  // one bit a pixel, grey
    return Buffer.concat([Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]), chunk("IHDR", ihdr),
      chunk("IDAT", zlib.deflateSync(Buffer.alloc(16384 * (1 + 16384 / 8)))), chunk("IEND", Buffer.alloc(0))]);
  })();
  // And a GIF of one pixel on a screen of that size, which browsers decode
  // at the screen's size.
  const hugeGif = Buffer.from([...Buffer.from("GIF89a"), 0x00, 0x40, 0x00, 0x40, 0, 0, 0,
    0x2c, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0, 0x3b]);
  // Sixty tags of 60 MB of zeros behind a header declaring 4 GB: each tag
  // is deflated once, flushed to a byte boundary without history, and
  // repeated; the file is 3.5 MB. (The stream never ends: the point is
  // what happens before.)
  const padding = (() => {
    const flush = { finishFlush: zlib.constants.Z_FULL_FLUSH };
    const one = zlib.deflateRawSync(tag(87, Buffer.alloc(60 * MiB)), flush);
    return Buffer.concat([header("CWS", 0xfffffff0), Buffer.from([0x78, 0x9c]), zlib.deflateRawSync(stage, flush),
      ...Array(60).fill(one)]);
  })();
  const movies = {
    "declares-4gb": Buffer.concat([header("CWS", 0xffffffff),
      zlib.deflateSync(Buffer.concat([stage, declared(0xfffffff0), zeros]))]),
    "longer-than-file": Buffer.concat([header("CWS", 2000),
      zlib.deflateSync(Buffer.concat([stage, declared(32 * 1048576), zeros]))]),
    "cut-short": legacy.subarray(0, Math.floor(legacy.length * 0.7)),
    "undecodable-frame": noisy,
    "inflates-to-gigabytes": padding,
    "two-million-frames": compressed(tag(21, Buffer.concat([id(1), blue])), placeOne,
      Buffer.alloc(2 * 2000000).fill(showFrame), end),
    "thousands-of-pictures": compressed(...Array.from({ length: 5000 },
      (_, i) => Buffer.concat([tag(21, Buffer.concat([id(i + 1), blue])), showFrame])), end),
    // one frame among tags of a kind nobody reads, far more than frames need
    "seventy-thousand-tags": compressed(tag(21, Buffer.concat([id(1), blue])), placeOne, showFrame,
      Buffer.alloc(2 * 70000).fill(Buffer.from([0xc0, 0xff])), end),
    "huge-frame": compressed(tag(21, Buffer.concat([id(1), blue])), tag(21, Buffer.concat([id(2), huge])),
      showFrame, showFrame, end),
    "huge-png-frame": compressed(tag(21, Buffer.concat([id(1), hugePng])), showFrame, end),
    "huge-gif-frame": compressed(tag(21, Buffer.concat([id(1), hugeGif])), showFrame, end),
  };
  const expected = {
    "declares-4gb": /壊れています/, "longer-than-file": /壊れています/,
    "cut-short": /途中で終わっています/, "undecodable-frame": /2 枚目の画像を表示できません/,
    "inflates-to-gigabytes": /^データファイルが大きすぎるため表示できません$/,
    "seventy-thousand-tags": /^データファイルが大きすぎるため表示できません$/,
    "two-million-frames": /多すぎます（表示できるのは 1000 枚までです）/,
    "thousands-of-pictures": /多すぎます（表示できるのは 1000 枚までです）/,
    "huge-frame": /2 枚目の画像が大きすぎるため表示できません（16384×16384 ピクセル）/,
    "huge-gif-frame": /1 枚目の画像が大きすぎるため表示できません（16384×16384 ピクセル）/,
    "huge-png-frame": /1 枚目の画像が大きすぎるため表示できません（16384×16384 ピクセル）/,
  };
  for (const [name, bytes] of Object.entries(movies)) {
    const folder = path.join(cases, name);
    fs.mkdirSync(folder, { recursive: true });
    for (const f of ["velzoom.html", "velzoom.js", "style.css"]) fs.copyFileSync(path.join(cases, "legacy", f), path.join(folder, f));
    fs.writeFileSync(path.join(folder, "veldata.swf"), bytes);
    const server = await serveFolder(cli, folder);
    await resetPeaks();
    const { page, context } = await open(server.url + "velzoom.html", { reducedMotion: "reduce" });
    await page.waitForSelector(".vz-message:not([hidden])", { timeout: 15000 }).catch(() => {});
    const text = await page.$eval(".vz-message", (e) => (e.hidden ? "" : e.textContent));
    const state = await page.$eval("[data-velzoom]", (e) => e.dataset.state);
    check(expected[name].test(text) && state === "error", `${name}: says "${text}" (state ${state})`);
    // what the refused movie left behind, once the page has nothing left to do
    await page.evaluate(() => new Promise((r) => requestIdleCallback(r)));
    const cdp = await context.newCDPSession(page);
    await cdp.send("Performance.enable");
    const { metrics } = await cdp.send("Performance.getMetrics");
    const heap = metrics.find((m) => m.name === "JSHeapUsedSize").value;
    const peak = await highestPeak();
    console.log(`${name}: ${(bytes.length / 1024).toFixed(0)} KiB file, renderer peak ${(peak / MiB).toFixed(0)} MiB,` +
      ` JS heap ${(heap / MiB).toFixed(1)} MiB`);
    check(peak > 0 && peak < 400 * MiB, `${name}: renderer peak ${(peak / MiB).toFixed(0)} MiB`);
    check(heap < 32 * MiB, `${name}: JS heap ${(heap / MiB).toFixed(1)} MiB`);
    await context.close();
    server.child.kill();
  }
  // At the limit: a movie of 1000 pictures is shown.
  {
    const folder = path.join(cases, "a-thousand-frames");
    fs.mkdirSync(folder, { recursive: true });
    for (const f of ["velzoom.html", "velzoom.js", "style.css"]) fs.copyFileSync(path.join(cases, "legacy", f), path.join(folder, f));
    fs.writeFileSync(path.join(folder, "veldata.swf"), compressed(...Array.from({ length: 1000 },
      (_, i) => Buffer.concat([tag(21, Buffer.concat([id(i + 1), blue])), showFrame])), end));
    const server = await serveFolder(cli, folder);
    const { page, context } = await open(server.url + "velzoom.html", { reducedMotion: "reduce" });
    await page.waitForFunction(() => ["ready", "error"].includes(document.querySelector("[data-velzoom]").dataset.state),
      null, { timeout: 15000 }).catch(() => {});
    const seen = await page.$eval("[data-velzoom]", (e) => `${e.dataset.state}, ${e.dataset.frames} frames`);
    check(seen === "ready, 1000 frames", `a-thousand-frames: ${seen}`);
    await context.close();
    server.child.kill();
  }
}

// The HTML preview: tmp.swf next to tmp.html, served by the program.
{
  const preview = await runCli(cli, ["preview", project, "--width", "200"]);
  check(preview.url.endsWith("/tmp.html"), `preview serves tmp.html: ${preview.url}`);
  const { page, problems, hosts, context } = await open(preview.url, { reducedMotion: "reduce" });
  await page.waitForFunction(() => document.querySelector("[data-velzoom]").dataset.state === "ready",
    null, { timeout: 20000 });
  check(await page.$eval("[data-velzoom]", (e) => e.dataset.frames) === "24", "preview: 24 frames");
  check(problems.length === 0, `preview: console errors: ${problems.join(" | ")}`);
  check([...hosts].every((h) => h.startsWith("127.0.0.1")), "preview: nothing from elsewhere");
  await context.close();
  preview.child.kill();
}

// Opened straight from disk: the page says why it cannot work and what to do.
{
  const { page, context } = await open("file://" + path.resolve(withHelp, "velzoom.html"));
  await page.waitForSelector(".vz-message:not([hidden])", { timeout: 10000 });
  const text = await page.textContent(".vz-message");
  check(/Webサーバー/.test(text) && /web server/.test(text), `file page says what to do: ${text}`);
  await context.close();
}

// Reduced motion: no intro turn.
{
  const server = await serveFolder(cli, withHelp);
  const { page, context } = await open(server.url + "velzoom.html", { reducedMotion: "reduce" });
  await page.waitForFunction(() => document.querySelector("[data-velzoom]").dataset.state === "ready");
  const playing = await page.$eval("[data-velzoom]", (e) => e.dataset.playing || "0");
  check(playing === "0", `reduced motion: no intro (playing ${playing})`);
  await context.close();
  server.child.kill();
}

await browser.close();
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
