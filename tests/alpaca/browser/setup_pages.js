// The setup pages as a person uses them, in chromium: the serial port, the
// hand box (connect, live readings, move, turn), the focuser's range and the
// filter table written to the board. Takes a screenshot of each page.
"use strict";
const { chromium } = require("playwright-core");

const args = Object.fromEntries(process.argv.slice(2).reduce((pairs, word, i, all) =>
  (word.startsWith("--") ? [...pairs, [word.slice(2), all[i + 1]]] : pairs), []));
const base = args.base;
let passed = 0, failed = 0;

function check(name, condition, detail = "") {
  if (condition) { passed++; console.log("ok   " + name); } else { failed++; console.log("FAIL " + name + " " + detail); }
}

// The whole run ends at a deadline, whatever hangs.
const deadline = setTimeout(() => { console.log("FAIL the browser run passed its deadline"); console.log(`${passed} passed, ${failed + 1} failed`); process.exit(1); }, 120000);

async function state(page) {
  return page.evaluate(async () => (await (await fetch("/setup/v1/state")).json()).Value);
}

async function until(page, probe, seconds = 10) {
  const end = Date.now() + seconds * 1000;
  for (;;) {
    const value = await probe(await state(page));
    if (value || Date.now() > end) return value;
    await page.waitForTimeout(100);
  }
}

async function main() {
  const browser = await chromium.launch({ executablePath: "/usr/bin/chromium", args: ["--no-sandbox"] });
  const elsewhere = [], errors = [];
  try {
    const page = await browser.newPage({ viewport: { width: 900, height: 1000 } });
    page.on("request", (request) => { if (!request.url().startsWith(base)) elsewhere.push(request.url()); });
    page.on("pageerror", (error) => errors.push(error.message));
    page.on("console", (message) => { if (message.type() === "error") errors.push(message.text()); });

    // --- The server page: the port, the devices, the hand box.
    await page.goto(base + "/setup");
    check("server page title", (await page.title()).includes("setup"));
    check("the saved port is shown", await page.inputValue("#serial-port") === args.serial);
    await page.fill("#serial-port", "COM7");
    await page.click("#port-form button");
    await page.waitForSelector("#port-status.good");
    check("a new port is saved", (await state(page)).SerialPort === "COM7");
    await page.fill("#serial-port", args.serial);
    await page.click("#port-form button");
    await page.waitForFunction(() => document.querySelector("#port-status").textContent.startsWith("Saved"));
    check("both devices listed with their UniqueIDs",
          (await page.locator("#devices tr").count()) === 2 &&
          /[0-9a-f-]{36}/.test(await page.locator("#devices").innerText()));

    await page.click("#link-connect");
    await page.waitForFunction(() => document.querySelector("#link-text").textContent === "Connected");
    await page.waitForFunction(() => document.querySelector("#temperatures").innerText.includes("-3.25"));
    const readings = await page.locator("#temperatures").innerText();
    check("the hand box shows both sensors live", readings.includes("18.50 °C") && readings.includes("-3.25 °C"), readings);
    check("the hand box shows position and filter",
          (await page.innerText("#position")) === "0" && (await page.innerText("#filter")) === "L");
    await page.screenshot({ path: args.shots + "/setup-server.png", fullPage: true });

    // --- The focuser page: range, shift, step length; a move from the hand box.
    await page.goto(base + "/setup/v1/focuser/0/setup");
    check("focuser form filled from the server", await page.inputValue("#max-step") === "30000" &&
          await page.inputValue("#step-size") === "10");
    await page.fill("#max-step", "40000");
    await page.click("#focuser-form button");
    await page.waitForSelector("#focuser-status.bad");
    check("a range the board cannot hold is refused, saying why",
          (await page.innerText("#focuser-status")).includes("-32768..32767"));
    await page.fill("#max-step", "2000");
    await page.fill("#shift", "100");
    await page.fill("#step-size", "4.5");
    await page.click("#focuser-form button");
    await page.waitForSelector("#focuser-status.good");
    const saved = await state(page);
    check("range, shift and step length saved", saved.MaxStep === 2000 && saved.Shift === 100 && saved.StepSize === 4.5);
    check("the position shows the shift", await until(page, async () => (await page.innerText("#position")) === "100"));
    await page.fill("#move-to", "600");
    await page.click("#move");
    check("move from the hand box", await until(page, (s) => !s.Moving && s.Position === 600));
    await page.waitForFunction(() => document.querySelector("#position").textContent === "600");
    await page.screenshot({ path: args.shots + "/setup-focuser.png", fullPage: true });

    // --- The filter wheel page: the table written to the board, a turn.
    await page.goto(base + "/setup/v1/filterwheel/0/setup");
    await page.waitForSelector("#filter-rows input");
    const names = await page.locator("#filter-rows input[name^=Name]").evaluateAll((inputs) => inputs.map((i) => i.value));
    check("the filter table comes from the board", names.join(" ") === "L R G B Ha", names.join(" "));
    await page.fill("input[name=Name1]", "Red");
    await page.fill("input[name=Offset1]", "15");
    await page.click("#filters-save");
    await page.waitForSelector("#filters-status.good");
    const written = (await state(page)).Filters[1];
    check("a renamed filter and its offset are written", written.Name === "Red" && written.Offset === 15);
    await page.reload();
    await page.waitForSelector("input[name=Name1]");
    check("the board keeps them across a reload", await page.inputValue("input[name=Name1]") === "Red");
    await page.selectOption("#turn-to", "3");
    await page.click("#turn");
    check("turn from the hand box", await until(page, (s) => !s.Turning && s.Filter === 3));
    await page.waitForFunction(() => document.querySelector("#filter").textContent === "B");
    await page.screenshot({ path: args.shots + "/setup-filterwheel.png", fullPage: true });

    check("nothing fetched from elsewhere", elsewhere.length === 0, elsewhere.join(" "));
    check("no script errors", errors.length === 0, errors.join(" | "));
  } finally {
    await browser.close();
  }
}

main().catch((error) => { failed++; console.log("FAIL " + error.message.split("\n")[0]); })
  .finally(() => { clearTimeout(deadline); console.log(`${passed} passed, ${failed} failed`); process.exit(failed ? 1 : 0); });
