// Page sets as a shop uses them, in headless Chromium as a desktop and as
// a touch phone: the product's name, no sample text, everything in the
// first screen, the picture clear of the controls and the help, the words
// for the device, autoplay rules and pace, loading when seen, the embed
// snippet and the sharper movie for zooming.
// usage: pages.mjs KALVANE_CLI FOLDER TITLE THEME/DESIGN...
import fs from "node:fs";
import path from "node:path";
import { devices } from "playwright-core";
import { parseSwf, swf } from "swf-parser";
import { launchChromium, serveFolder } from "./harness.mjs";

const [cli, folder, title, ...designs] = process.argv.slice(2);
let passed = 0;
let failed = 0;
function check(ok, what) {
  if (ok) passed++;
  else { failed++; console.error(`FAIL ${what}`); }
}

const browser = await launchChromium();

const profiles = {
  desktop: { viewport: { width: 1280, height: 720 } },
  phone: { ...devices["iPhone 12"], viewport: { width: 390, height: 844 }, defaultBrowserType: undefined },
};
delete profiles.phone.defaultBrowserType;

// Opens a page set's page; counts the requests of each file.
async function open(site, profile, options = {}) {
  const server = await serveFolder(cli, path.join(folder, site));
  const context = await browser.newContext({ ...profiles[profile], reducedMotion: options.reducedMotion || "no-preference" });
  const page = await context.newPage();
  const requests = {};
  const problems = [];
  page.on("request", (r) => {
    const file = new URL(r.url()).pathname.split("/").pop();
    requests[file] = (requests[file] || 0) + 1;
  });
  page.on("pageerror", (e) => problems.push(e.message));
  page.on("console", (m) => {
    if (m.type() === "error" && !m.text().startsWith("Failed to load resource")) problems.push(m.text());
  });
  // The browser's own guess at an icon is not the page's.
  page.on("response", (r) => {
    if (r.status() >= 400 && !r.url().endsWith("/favicon.ico")) problems.push(`${r.status()} ${r.url()}`);
  });
  await page.goto(server.url + (options.page || "velzoom.html"));
  const close = async () => { await context.close(); server.child.kill(); };
  return { page, requests, problems, close };
}

const root = "[data-velzoom]";
const data = (page, key) => page.$eval(root, (e, k) => e.dataset[k] || "", key);
const ready = (page, timeout = 20000) => page.waitForFunction(
  () => document.querySelector("[data-velzoom]").dataset.state === "ready", null, { timeout });

// Mouse words never reach a phone, nor touch words a desktop.
const mouseWords = /ドラッグ|クリック|ホイール|キー|drag|click|wheel|key/i;
const touchWords = /スワイプ|ピンチ|タップ|swipe|pinch|tap/i;

// Every design in both profiles: the name, the first screen, the words.
for (const design of designs) {
  const site = design.replace("/", "-");
  for (const profile of ["desktop", "phone"]) {
    const name = `${design} ${profile}`;
    const { page, problems, close } = await open(site, profile);
    await ready(page);
    const seen = await page.evaluate(() => {
      const box = (e) => { const r = e.getBoundingClientRect(); return { top: r.top, bottom: r.bottom, left: r.left, right: r.right }; };
      const viewer = document.querySelector("[data-velzoom]");
      return {
        title: document.title,
        heading: document.querySelector("h1").textContent,
        headingBox: box(document.querySelector("h1")),
        label: viewer.getAttribute("aria-label"),
        viewer: box(viewer),
        buttons: [...viewer.querySelectorAll(".vz-bar button")].map(box),
        picture: box(viewer.querySelector("canvas")),
        help: viewer.dataset.help === "shown" ? box(viewer.querySelector(".vz-help")) : null,
        sample: document.body.innerText.includes("ここに商品の説明") || !!document.querySelector("[data-vz-description]"),
        width: innerWidth, height: innerHeight, scrollWidth: document.documentElement.scrollWidth,
        words: document.body.innerText + " " + (viewer.getAttribute("aria-description") || "") + " " +
          (viewer.querySelector(".vz-help") || { textContent: "" }).textContent,
        hint: (document.querySelector("[data-vz-hint]") || { textContent: "" }).textContent,
      };
    });
    check(seen.title.includes(title) && !seen.title.includes("商品名"), `${name}: title "${seen.title}"`);
    check(seen.heading === title, `${name}: heading "${seen.heading}"`);
    check(seen.label === title, `${name}: accessible name "${seen.label}"`);
    const inside = (b) => b.top >= 0 && b.left >= 0 && b.bottom <= seen.height && b.right <= seen.width;
    check(inside(seen.viewer), `${name}: viewer ${JSON.stringify(seen.viewer)} outside ${seen.width}x${seen.height}`);
    check(inside(seen.headingBox), `${name}: heading outside the first screen`);
    check(seen.buttons.length >= 4 && seen.buttons.every(inside), `${name}: buttons ${JSON.stringify(seen.buttons)}`);
    check(seen.scrollWidth <= seen.width, `${name}: scrolls sideways (${seen.scrollWidth})`);
    check(!seen.sample, `${name}: the design's sample text, or its place, is published`);
    const clear = (b) => b.bottom <= seen.picture.top || b.top >= seen.picture.bottom ||
      b.right <= seen.picture.left || b.left >= seen.picture.right;
    check(seen.buttons.every(clear), `${name}: buttons over the picture ${JSON.stringify(seen.picture)}`);
    check(seen.help && clear(seen.help), `${name}: the help ${JSON.stringify(seen.help)} over the picture`);
    if (profile === "phone") {
      check(!mouseWords.test(seen.words), `${name}: mouse words on a phone: ${seen.words.match(mouseWords)}`);
      check(/スワイプ/.test(seen.hint) && /ピンチ/.test(seen.hint), `${name}: hint "${seen.hint}"`);
    } else {
      check(!touchWords.test(seen.words), `${name}: touch words on a desktop: ${seen.words.match(touchWords)}`);
      check(/ドラッグ/.test(seen.hint) && /ダブルクリック/.test(seen.hint) && /キー/.test(seen.hint),
        `${name}: hint "${seen.hint}"`);
    }
    check(problems.length === 0, `${name}: console errors: ${problems.join(" | ")}`);
    await close();
  }
}

// The poster is the data movie's first frame, byte for byte, and the
// sharper movie the same turn at twice the size.
{
  const site = path.join(folder, "simple-light");
  const movie = parseSwf(fs.readFileSync(path.join(site, "veldata.swf")));
  const large = parseSwf(fs.readFileSync(path.join(site, "veldata-2x.swf")));
  const bitmaps = (m) => m.tags.filter((t) => swf.TagType[t.type] === "DefineBitmap");
  const first = Buffer.from(bitmaps(movie)[0].data);
  check(first.equals(fs.readFileSync(path.join(site, "poster.jpg"))), "poster.jpg is the movie's first frame");
  check(bitmaps(large).length === bitmaps(movie).length, "the sharper movie has every frame");
  check(bitmaps(large)[0].width === 2 * bitmaps(movie)[0].width &&
    bitmaps(large)[0].height === 2 * bitmaps(movie)[0].height,
    `the sharper movie's frames are ${bitmaps(large)[0].width}x${bitmaps(large)[0].height}`);
  const embed = fs.readFileSync(path.join(site, "embed.html"), "utf8");
  check(/<iframe src="viewer.html"[^>]* allow="fullscreen"/.test(embed),
    `embed.html: ${embed}`);
}

// Autoplay: one turn at the design's pace, long enough to follow, that
// ends where it began.
{
  const { page, close } = await open("simple-light", "desktop");
  const now = () => page.evaluate(() => performance.now());
  await page.waitForFunction(() => document.querySelector("[data-velzoom]").dataset.playing === "1", null, { timeout: 20000 });
  const start = await now();
  await page.waitForFunction(() => document.querySelector("[data-velzoom]").dataset.playing === "0", null, { timeout: 30000 });
  const seconds = (await now() - start) / 1000;
  const pace = Number(await page.evaluate(() => window.turnSeconds));
  check(pace >= 4 && seconds > 0.8 * pace && seconds < 1.5 * pace,
    `spin once: a turn of ${seconds.toFixed(1)} s at the design's ${pace} s`);
  check(await data(page, "frame") === "0", "spin once: stops at the first frame again");
  await close();
}
// A touch stops a turn that would go on, for good; with resumeAfter it
// comes back once the visitor has left it alone.
for (const [site, resumes] of [["endless", false], ["resume", true]]) {
  const { page, close } = await open(site, "phone");
  await page.waitForFunction(() => document.querySelector("[data-velzoom]").dataset.playing === "1", null, { timeout: 20000 });
  const box = await page.$eval(`${root} canvas`, (c) => { const r = c.getBoundingClientRect(); return { x: r.x + r.width / 2, y: r.y + r.height / 2 }; });
  await page.touchscreen.tap(box.x, box.y);
  check(await data(page, "playing") === "0", `${site}: a touch stops the turn`);
  if (resumes) {
    await page.waitForFunction(() => document.querySelector("[data-velzoom]").dataset.playing === "1", null, { timeout: 5000 })
      .then(() => check(true, ""), () => check(false, `${site}: the turn did not come back`));
  }
  await close();
}
// stopOnTouch off: a drag only pauses the turn.
{
  const { page, close } = await open("pausing", "desktop");
  await page.waitForFunction(() => document.querySelector("[data-velzoom]").dataset.playing === "1", null, { timeout: 20000 });
  const box = await page.$eval(`${root} canvas`, (c) => { const r = c.getBoundingClientRect(); return { x: r.x + r.width / 2, y: r.y + r.height / 2 }; });
  await page.mouse.move(box.x, box.y);
  await page.mouse.down();
  check(await data(page, "playing") === "0", "pausing: held, the turn waits");
  await page.mouse.move(box.x - 60, box.y);
  await page.mouse.up();
  check(await data(page, "playing") === "1", "pausing: let go, the turn goes on");
  await close();
}
// Never under reduced motion, nor when the design says no.
for (const [site, motion] of [["endless", "reduce"], ["still", "no-preference"]]) {
  const { page, close } = await open(site, "desktop", { reducedMotion: motion });
  await ready(page);
  check(await data(page, "playing") !== "1", `${site} (${motion}): no turn of its own`);
  await close();
}

// Loading when seen: nothing of the movie while the viewer is far below,
// the poster and the movie once it comes near.
{
  const { page, requests, close } = await open("long", "desktop");
  await page.waitForLoadState("load");
  await page.evaluate(() => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r))));
  check(!requests["veldata.swf"], `long page: the movie was asked for far below the fold (${requests["veldata.swf"]})`);
  check(await data(page, "state") === "waiting", `long page: state ${await data(page, "state")}`);
  await page.evaluate(() => window.scrollTo(0, 3700));
  await ready(page);
  check(requests["veldata.swf"] === 1, `long page: the movie asked for ${requests["veldata.swf"]} times`);
  await close();
}
// On a click of the poster, which shows before.
{
  const { page, requests, close } = await open("click", "desktop");
  await page.waitForFunction(() => { const p = document.querySelector(".vz-poster"); return p && p.complete && p.naturalWidth > 0; });
  check(!requests["veldata.swf"], "click: no movie before the click");
  check(await page.$eval(".vz-poster", (p) => !p.hidden && p.getBoundingClientRect().height > 100), "click: the poster shows");
  await page.click(".vz-start");
  await ready(page);
  check(requests["veldata.swf"] === 1, "click: the movie after the click");
  check(await page.$eval(".vz-poster", (p) => p.hidden), "click: the first frame replaces the poster");
  await close();
}

// The snippet in a shop's page, on a desktop and on a phone: its frame
// holds the viewer alone, the picture as wide as the frame at the movie's
// shape with the strip under it, nothing cut; it plays and turns there.
fs.writeFileSync(path.join(folder, "simple-dark", "shop.html"),
  "<!doctype html><html lang=\"ja\"><head><meta charset=\"utf-8\"><link rel=\"icon\" href=\"data:,\">" +
  "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"></head>" +
  "<body style=\"margin:0;padding:16px\"><h1>Shop</h1>" +
  fs.readFileSync(path.join(folder, "simple-dark", "embed.html"), "utf8") + "</body></html>");
for (const profile of ["desktop", "phone"]) {
  const name = `embed ${profile}`;
  const { page, problems, close } = await open("simple-dark", profile, { page: "shop.html" });
  const frame = await (await page.waitForSelector("iframe")).contentFrame();
  await frame.waitForFunction(() => {
    const e = document.querySelector("[data-velzoom]");
    return e && e.dataset.state === "ready";
  }, null, { timeout: 20000 });
  const outer = await page.$eval("iframe", (f) => {
    const r = f.getBoundingClientRect();
    return { width: r.width, height: r.height, room: document.body.clientWidth - 32 };
  });
  const inFrame = await frame.evaluate(() => {
    const e = document.querySelector("[data-velzoom]");
    const box = (x) => { const r = x.getBoundingClientRect(); return { left: r.left, top: r.top, width: r.width, height: r.height }; };
    return {
      top: window.top !== window.self,
      frames: e.dataset.frames,
      fullscreen: !!document.querySelector(".vz-bar button[title=\"全画面\"]"),
      viewer: box(e), picture: box(e.querySelector("canvas")),
      width: innerWidth, height: innerHeight, scroll: document.documentElement.scrollHeight,
      other: !!document.querySelector("h1, .lead, [data-vz-hint]"),
    };
  });
  check(inFrame.top && inFrame.frames === "24", `${name}: plays in its frame ${JSON.stringify(inFrame)}`);
  check(inFrame.fullscreen, `${name}: full screen allowed in the frame`);
  check(!inFrame.other, `${name}: the frame holds more than the viewer`);
  check(Math.abs(outer.width - Math.min(outer.room, 960)) < 1, `${name}: frame ${outer.width} wide in ${outer.room}`);
  const v = inFrame.viewer, p = inFrame.picture;
  // the frame's height may fall between two pixels
  check(v.left === 0 && v.top === 0 && Math.abs(v.width - inFrame.width) < 1 &&
    Math.abs(v.height - inFrame.height) < 1 && inFrame.scroll <= inFrame.height + 1,
  `${name}: the viewer does not fill its frame ${JSON.stringify(inFrame)}`);
  check(Math.abs(p.width - inFrame.width) < 1 && Math.abs(p.height / p.width - 0.75) < 0.01,
    `${name}: picture ${p.width}x${p.height} in a frame ${inFrame.width}x${inFrame.height}`);
  await frame.$eval("[data-velzoom]", (e) => e.focus());
  const before = await frame.$eval("[data-velzoom]", (e) => e.dataset.frame);
  await page.keyboard.press("ArrowRight");
  const after = await frame.$eval("[data-velzoom]", (e) => e.dataset.frame);
  check(before !== after, `${name}: turns in its frame (${before} -> ${after})`);
  check(problems.length === 0, `${name}: console errors: ${problems.join(" | ")}`);
  await close();
}

// Zooming past 1.5 times loads the sharper movie once, shown at the same frame.
{
  const { page, requests, close } = await open("still", "desktop");
  await ready(page);
  await page.focus(root);
  for (let i = 0; i < 5; i++) await page.keyboard.press("ArrowRight");
  await page.keyboard.press("+");
  check(!requests["veldata-2x.swf"], "zoom 1.5: not yet the sharper movie");
  const small = await page.evaluate(() => document.querySelector("[data-velzoom]").velzoom.frames[5].size);
  await page.keyboard.press("+");
  await page.waitForFunction(() => document.querySelector("[data-velzoom]").dataset.large === "shown", null, { timeout: 20000 });
  await page.waitForFunction(() => { const e = document.querySelector("[data-velzoom]"); return e.dataset.drawn === e.dataset.frame; });
  check(await data(page, "frame") === "5", `zoom: keeps the frame (${await data(page, "frame")})`);
  const large = await page.evaluate(() => document.querySelector("[data-velzoom]").velzoom.frames[5].size);
  check(large > small, `zoom: frame 5 is now the sharper one (${small} -> ${large} bytes)`);
  await page.keyboard.press("Escape");
  await page.keyboard.press("+");
  await page.keyboard.press("+");
  check(requests["veldata-2x.swf"] === 1, `zoom: the sharper movie asked for ${requests["veldata-2x.swf"]} times`);
  await close();
}

// Full screen loads it too.
{
  const { page, requests, close } = await open("still", "desktop");
  await ready(page);
  await page.focus(root);
  for (let i = 0; i < 3; i++) await page.keyboard.press("ArrowRight");
  await page.click(`${root} .vz-bar button[title="全画面"]`);
  await page.waitForFunction(() => document.querySelector("[data-velzoom]").dataset.large === "shown", null, { timeout: 20000 });
  check(await page.evaluate(() => document.fullscreenElement === document.querySelector("[data-velzoom]")),
    "full screen: the viewer fills the screen");
  check(await data(page, "frame") === "3", `full screen: keeps the frame (${await data(page, "frame")})`);
  check(requests["veldata-2x.swf"] === 1, `full screen: the sharper movie asked for ${requests["veldata-2x.swf"]} times`);
  await close();
}

await browser.close();
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
