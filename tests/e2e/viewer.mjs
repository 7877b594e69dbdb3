// Opens exported page sets in headless Chromium, served by kalvane-cli on
// 127.0.0.1, and checks what a visitor sees and does.
// usage: viewer.mjs KALVANE_CLI SITE_WITH_HELP SITE_WITHOUT_HELP
import { spawn } from "node:child_process";
import path from "node:path";
import { chromium } from "playwright-core";

const [cli, withHelp, withoutHelp, cases, project] = process.argv.slice(2);
let passed = 0;
let failed = 0;
function check(ok, what) {
  if (ok) passed++;
  else { failed++; console.error(`FAIL ${what}`); }
}

// The folder's address (what serve prints, less the page).
function serve(folder) {
  return run(["serve", folder, "--port", "0"])
    .then((s) => ({ child: s.child, url: s.url.replace(/[^/]*$/, "") }));
}

// Starts kalvane-cli and waits for the address it serves at.
function run(args) {
  return new Promise((resolve, reject) => {
    const child = spawn(cli, args);
    child.stdout.on("data", (data) => {
      const url = String(data).match(/http:\/\/127\.0\.0\.1:\d+\/\S*/);
      if (url) resolve({ child, url: url[0] });
    });
    child.on("exit", (code) => reject(new Error(`serve ended with ${code}`)));
  });
}

const browser = await chromium.launch({
  executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
  args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync"],
});

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
  const server = await serve(folder);
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
    if (help) await page.click(".vz-help button");
    // the intro turn ends by itself; wait for it
    await page.waitForFunction(() => document.querySelector("[data-velzoom]").dataset.playing !== "1",
      null, { timeout: 20000 });

    const box = await page.$eval(`${root} canvas`, (c) => {
      const r = c.getBoundingClientRect();
      return { x: r.x, y: r.y, w: r.width, h: r.height };
    });
    check(Math.abs(box.h / box.w - 0.75) < 0.02, `${name}: aspect ${box.h / box.w}`);
    const before = await frameOf(page);
    await page.mouse.move(box.x + box.w * 0.7, box.y + box.h / 2);
    await page.mouse.down();
    for (let i = 1; i <= 10; i++) await page.mouse.move(box.x + box.w * 0.7 - i * 15, box.y + box.h / 2);
    await page.mouse.up();
    const dragged = await frameOf(page);
    check(dragged !== before, `${name}: a drag turns (frame ${before} -> ${dragged})`);

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
  const server = await serve(path.join(cases, name));
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

// The HTML preview: tmp.swf next to tmp.html, served by the program.
{
  const preview = await run(["preview", project, "--width", "200"]);
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
  const server = await serve(withHelp);
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
