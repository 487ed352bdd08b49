// The setup pages as a person uses them, in chromium: the serial port, the
// hand box (connect, live readings, move, turn), the focuser's range and the
// filter table written to the board, and the temperature and focus charts
// drawn from logs of known data with the slope written to the board. Takes a
// screenshot of each page.
"use strict";
const fs = require("fs");
const path = require("path");
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

// Logs of known data: a night whose temperature falls from 10 to 4 °C while
// the focus is set from 1000 to 1060 (-10 steps per degree), with three
// stray positions, a busy tick, a damaged and a cut line; a night at one
// position; and a file of garbage.
function writeLogs(folder) {
  fs.mkdirSync(folder, { recursive: true });
  const rows = ["Time,T0,T1,Focus,Filter"], count = 4320;
  const cell = (n) => String(n).padStart(2, "0");
  for (let i = 0; i < count; i++) {
    const seconds = 18 * 3600 + 5 * i, degrees = 10 - 6 * i / (count - 1);
    const focus = [700, 1900, 3100].includes(i) ? 1400 : 1000 + 10 * Math.round(10 - degrees);
    const t0 = i === 1234 ? "" : (degrees + 0.04 * Math.sin(i)).toFixed(2);
    rows.push(`${cell(Math.floor(seconds / 3600))}:${cell(Math.floor(seconds / 60) % 60)}:${cell(seconds % 60)},` +
              `${t0},${(degrees + 8).toFixed(2)},${focus},${i < count / 2 ? "L" : "Ha"}`);
  }
  rows.splice(50, 0, "garbage,,x");
  rows.splice(2000, 0, "21:30:0");
  const night = rows.join("\n") + "\n";
  fs.writeFileSync(path.join(folder, "term_log_2026-01-15.csv"), night);
  fs.writeFileSync(path.join(folder, "term_log_2026-01-16.csv"),
                   "Time,T0,Focus,Filter\n20:00:00,9.00,1200,L\n21:00:00,6.00,1200,L\n22:00:00,3.00,1200,L\n");
  fs.writeFileSync(path.join(folder, "term_log_2026-01-17.csv"), Buffer.from([0xff, 0x00, 0x2c, 0x0a, 0x80, 0x0a, 0x41]));
  return night;
}

// The bytes the driver sent in its last FWwriteEE of the whole block, and
// the block the board gave in its last FWreadEE before it, from the
// simulator's record.
function configBlocks(recordFile) {
  const lines = fs.readFileSync(recordFile, "utf8").trim().split("\n").map((line) => {
    const [, direction, ...bytes] = line.trim().split(/\s+/);
    return { sent: direction === ">>", bytes: bytes.map((b) => parseInt(b, 16)) };
  });
  const command = (word) => [...Buffer.from(word), 0, 144];
  const find = (bytes, pattern) => {
    for (let i = bytes.length - pattern.length; i >= 0; i--) if (pattern.every((b, k) => bytes[i + k] === b)) return i;
    return -1;
  };
  const sent = lines.filter((l) => l.sent).flatMap((l) => l.bytes);
  const at = find(sent, command("FWwriteEE"));
  const written = at < 0 ? [] : sent.slice(at + 11, at + 11 + 144);
  let read = [];
  lines.forEach((line, i) => {
    if (!line.sent || find(line.bytes, command("FWreadEE")) < 0) return;
    const reply = [];
    for (let k = i + 1; k < lines.length && !lines[k].sent; k++) reply.push(...lines[k].bytes);
    if (reply.length >= 144) read = reply.slice(0, 144);
  });
  return { written, read };
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
    await page.waitForFunction(() => document.querySelector("#link-text").textContent.startsWith("Connected"));
    await page.waitForFunction(() => document.querySelector("#temperatures").innerText.includes("-3.25"));
    const readings = await page.locator("#temperatures").innerText();
    check("the hand box shows both sensors live", readings.includes("18.50 °C") && readings.includes("-3.25 °C"), readings);
    check("the hand box shows position and filter",
          (await page.innerText("#position")) === "0" && (await page.innerText("#filter")) === "L");
    // A network client beside the hand box is counted, and leaves again.
    const client = { form: { Connected: "true", ClientID: "3" } };
    await page.request.put(base + "/api/v1/focuser/0/connected", client);
    await page.waitForFunction(() => document.querySelector("#link-text").textContent.includes("focuser 1,"));
    check("the hand box counts the network clients", true);
    await page.screenshot({ path: args.shots + "/setup-server.png", fullPage: true });
    client.form.Connected = "false";
    await page.request.put(base + "/api/v1/focuser/0/connected", client);

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

    // --- Temperature and focus, from the logs of known data.
    const night = writeLogs(args.logs);
    await page.reload();
    await page.waitForSelector("#log-day option[value='2026-01-15']", { state: "attached" });
    await page.selectOption("#log-day", "2026-01-15");
    await page.waitForFunction(() => /steps per degree/.test(document.querySelector("#fit-slope").textContent));
    const drawn = await page.evaluate(() => Object.values(Chart.instances).map((chart) =>
      ({ id: chart.canvas.id, sizes: chart.data.datasets.map((set) => set.data.length), shown: chart.getDatasetMeta(0).data.length })));
    const timeChart = drawn.find((c) => c.id === "time-chart"), fitChart = drawn.find((c) => c.id === "fit-chart");
    check("the time chart draws both sensors and the focus, a point per logged row",
          timeChart && timeChart.sizes.join() === "4320,4320,4320" && timeChart.shown === 4320, JSON.stringify(drawn));
    check("the scatter chart draws the focus points and the fitted line",
          fitChart && fitChart.sizes[0] >= 7 && fitChart.sizes[1] === 2, JSON.stringify(drawn));
    const slopeText = await page.innerText("#fit-slope");
    check("the shown slope is -10 steps per degree, within 0.5", /^-?\d+\.\d steps per degree$/.test(slopeText) &&
          Math.abs(parseFloat(slopeText) + 10) <= 0.5, slopeText);
    const trust = await page.innerText("#fit-trust");
    check("how far to trust it: positions, span and spread", /8 distinct focus positions over 5\.\d °C; half the points lie within [\d.]+ steps/.test(trust), trust);
    check("the damaged and cut lines are counted, not fatal", (await page.innerText("#log-note")) === "2 damaged lines skipped.");
    const downloaded = await page.evaluate(async () => (await fetch(document.querySelector("#log-download").href)).text());
    check("the download is the day's file exactly as written", downloaded === night);
    check("the board's present value is shown beside the new one",
          (await page.innerText("#board-slope")) === "-12.0 steps per degree" && (await page.innerText("#new-slope")) === "-10.0 steps per degree");
    await page.click("#write-slope");
    await page.waitForSelector("#slope-status.good");
    check("the board now holds the slope", (await state(page)).TempCompStepsPerDegree === -10 &&
          await page.innerText("#board-slope") === "-10.0 steps per degree");
    await page.screenshot({ path: args.shots + "/setup-temperature-focus.png", fullPage: true });
    let blocks = configBlocks(args.record);
    for (const end = Date.now() + 5000; blocks.written.length < 144 && Date.now() < end; blocks = configBlocks(args.record))
      await page.waitForTimeout(100);
    const changed = blocks.written.map((b, i) => (b === blocks.read[i] ? -1 : i)).filter((i) => i >= 0);
    console.log("# FWwriteEE block before: " + Buffer.from(blocks.read).toString("hex"));
    console.log("# FWwriteEE block after:  " + Buffer.from(blocks.written).toString("hex"));
    check("FWwriteEE carries -10 at 0x10 as a signed 16-bit value and changes nothing else",
          blocks.written.length === 144 && blocks.read.length === 144 && blocks.written[0x10] === 0xf6 &&
          blocks.written[0x11] === 0xff && changed.every((i) => i === 0x10 || i === 0x11), "changed " + changed.join());

    await page.selectOption("#log-day", "2026-01-16");
    await page.waitForSelector("#slope-status.bad");
    const refusal = await page.innerText("#slope-status");
    const refusedPut = await page.evaluate(async () => (await (await fetch("/setup/v1/tempcomp", { method: "PUT", body: new URLSearchParams({ Day: "2026-01-16" }) })).json()));
    check("a log at one focus position is refused, saying why, and nothing is written",
          refusal.includes("1 distinct focus position") && await page.isDisabled("#write-slope") &&
          refusedPut.ErrorNumber === 0x401 && (await state(page)).TempCompStepsPerDegree === -10, refusal);
    const day = (d) => page.evaluate(async (d) => (await (await fetch("/setup/v1/temperaturelog" + (d ? "?Day=" + d : ""))).json()), d);
    const [none, garbage] = [await day("2026-01-18"), await day("2026-01-17")];
    check("a day without a file and a file of garbage are answered, not failed",
          none.ErrorNumber === 0 && none.Value.Found === false && none.Value.Fit.Refusal.includes("no temperature log") &&
          garbage.ErrorNumber === 0 && garbage.Value.Found && garbage.Value.SkippedLines === 3 && garbage.Value.Time.length === 0,
          JSON.stringify([none.ErrorNumber, garbage.Value && garbage.Value.SkippedLines]));
    check("the server writes today's log while it holds the board",
          await until(page, async () => { const v = (await day("")).Value; return v.Days.includes(v.Today) && v.Time.length > 0; }, 15));

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
