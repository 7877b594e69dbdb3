// Plays the mobile movie and the PC data movie in Ruffle, a Flash player,
// in headless Chromium, and checks what it shows: every frame, in order,
// each matching its photo.
// usage: flash-player.mjs KALVANE_CLI FOLDER (made by flash-player-test.sh)
import { spawn } from "node:child_process";
import fs from "node:fs";
import path from "node:path";
import { chromium } from "playwright-core";

const [cli, folder] = process.argv.slice(2);
const photos = 4;
let passed = 0;
let failed = 0;
function check(ok, what) {
  if (ok) passed++;
  else { failed++; console.error(`FAIL ${what}`); }
}

fs.writeFileSync(path.join(folder, "player.html"), `<!doctype html>
<meta charset="utf-8">
<style>body{margin:0;background:#000}</style>
<div id="stage"></div>
<script>
  window.RufflePlayer = { config: { autoplay: "on", unmuteOverlay: "hidden", splashScreen: false,
    letterbox: "off", contextMenu: "off", warnOnUnsupportedContent: false, openUrlMode: "deny",
    showSwfDownload: false, preferredRenderer: "canvas", logLevel: "error", polyfills: false,
    frameRate: 3 } };
</script>
<script src="ruffle/ruffle.js"></script>
<script>
  const params = new URLSearchParams(location.search);
  const player = window.RufflePlayer.newest().createPlayer();
  player.style.width = params.get("w") + "px";
  player.style.height = params.get("h") + "px";
  player.style.display = "block";
  document.getElementById("stage").appendChild(player);
  (player.ruffle ? player.ruffle() : player).load(params.get("movie"))
    .then(() => { document.body.dataset.loaded = "1"; },
          (e) => { document.body.dataset.failed = String(e); });
</script>
`);

// Serves the folder and gives its address.
function serve() {
  return new Promise((resolve, reject) => {
    const child = spawn(cli, ["serve", folder, "--port", "0"]);
    child.stdout.on("data", (data) => {
      const url = String(data).match(/http:\/\/127\.0\.0\.1:\d+\//);
      if (url) resolve({ child, url: url[0] });
    });
    child.on("exit", (code) => reject(new Error(`serve ended with ${code}`)));
  });
}

const server = await serve();
const browser = await chromium.launch({
  executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
  args: ["--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
    "--disable-component-update", "--disable-sync"],
});

// Mean difference (0..255) between a screenshot's picture area and the
// part `box` (fractions left, top, width, height) of each photo scaled to
// it, worked out by the browser's own decoders.
async function compare(page, shot, w, h, box) {
  return page.evaluate(async ([png, w, h, count, box]) => {
    const pixels = async (src, part) => {
      const image = new Image();
      image.src = src;
      await image.decode();
      const c = document.createElement("canvas");
      c.width = w; c.height = h;
      const ctx = c.getContext("2d");
      const [l, t, bw, bh] = part;
      ctx.drawImage(image, l * image.naturalWidth, t * image.naturalHeight,
        bw * image.naturalWidth, bh * image.naturalHeight, 0, 0, w, h);
      return ctx.getImageData(0, 0, w, h).data;
    };
    const seen = await pixels("data:image/png;base64," + png, [0, 0, 1, 1]);
    const out = [];
    for (let i = 0; i < count; i++) {
      const photo = await pixels(`photos/${i}.jpg`, box);
      let sum = 0;
      for (let p = 0; p < seen.length; p += 4) {
        sum += Math.abs(seen[p] - photo[p]) + Math.abs(seen[p + 1] - photo[p + 1]) +
          Math.abs(seen[p + 2] - photo[p + 2]);
      }
      out.push(sum / (w * h * 3));
    }
    return out;
  }, [shot.toString("base64"), w, h, photos, box]);
}

async function play(movie, stageW, stageH, pictureW, pictureH, box = [0, 0, 1, 1]) {
  const page = await browser.newPage({ viewport: { width: stageW, height: stageH } });
  const problems = [];
  page.on("pageerror", (e) => problems.push(e.message));
  await page.goto(`${server.url}player.html?movie=${movie}&w=${stageW}&h=${stageH}`);
  await page.waitForFunction(() => document.body.dataset.loaded || document.body.dataset.failed,
    null, { timeout: 30000 });
  const failure = await page.evaluate(() => document.body.dataset.failed);
  check(!failure, `${movie}: Ruffle cannot load it: ${failure}`);
  if (failure) return;

  // Screens until every photo has shown twice over (the movie loops) or
  // the time is up; each new picture is matched to a photo.
  const shown = [];
  const deadline = Date.now() + 30000;
  let last = "";
  while (Date.now() < deadline && shown.length < 2 * photos + 1) {
    const shot = await page.screenshot({ clip: { x: 0, y: 0, width: pictureW, height: pictureH } });
    const key = shot.toString("base64");
    if (key === last) continue;
    last = key;
    const errors = await compare(page, shot, pictureW, pictureH, box);
    const best = errors.indexOf(Math.min(...errors));
    const runnerUp = Math.min(...errors.filter((_, i) => i !== best));
    if (errors[best] > 40) continue;  // before the first frame is drawn
    check(errors[best] < 8 && runnerUp > 1.6 * errors[best],
      `${movie}: a picture matches photo ${best} only by ${errors.map((e) => e.toFixed(1)).join(" / ")}`);
    if (shown[shown.length - 1] !== best) shown.push(best);
  }
  check(new Set(shown).size === photos, `${movie}: photos shown ${shown.join(", ")}`);
  // A busy machine may screen too late for a frame (the player is slowed
  // to 3 frames a second, so it rarely does): a skipped frame is a step of
  // two, but a step back is a fault.
  const inOrder = shown.every((p, i) => i === 0 || [1, 2].includes((p - shown[i - 1] + photos) % photos));
  check(inOrder, `${movie}: out of order: ${shown.join(", ")}`);
  check(problems.length === 0, `${movie}: page errors: ${problems.join(" | ")}`);
  await page.close();
}

try {
  // The mobile stage has the frames' size: 160 x 120 for the whole 4:3
  // photo, 160 x 300 for the tall box, whose lower part must show too.
  await play("mobile.swf", 160, 120, 160, 120);
  await play("mobile-tall.swf", 160, 300, 160, 300, [0.3, 0, 0.4, 1]);
  await play("pc.swf", 320, 240, 320, 240);
} finally {
  await browser.close();
  server.child.kill();
}
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
