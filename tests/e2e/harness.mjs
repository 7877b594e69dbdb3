// What the Chromium checks share: the browser as they start it, and
// kalvane-cli's local server.
import { spawn } from "node:child_process";
import { chromium } from "playwright-core";

// Headless Debian Chromium without its background traffic; `extra` adds
// switches of a check's own.
export function launchChromium(extra = []) {
  return chromium.launch({
    executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
    args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
      "--disable-background-networking", "--disable-component-update", "--disable-sync", ...extra],
  });
}

// Starts kalvane-cli with `args` and waits for the address it serves at.
export function runCli(cli, args) {
  return new Promise((resolve, reject) => {
    const child = spawn(cli, args);
    child.stdout.on("data", (data) => {
      const url = String(data).match(/http:\/\/127\.0\.0\.1:\d+\/\S*/);
      if (url) resolve({ child, url: url[0] });
    });
    child.on("exit", (code) => reject(new Error(`serve ended with ${code}`)));
  });
}

// The folder served; its address (what serve prints, less the page).
export function serveFolder(cli, folder) {
  return runCli(cli, ["serve", folder, "--port", "0"])
    .then((s) => ({ child: s.child, url: s.url.replace(/[^/]*$/, "") }));
}
