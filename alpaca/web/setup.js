// The setup pages' script: reads the server's state twice a second into the
// hand box, fills the forms once, and sends what the user changes.
"use strict";

const $ = (id) => document.getElementById(id);
const page = document.body.dataset.page;
let filled = false;
let filterCount = -1;

async function call(method, what, form) {
  const options = { method };
  if (form) options.body = new URLSearchParams(form);
  try {
    const response = await fetch("/setup/v1/" + what, options);
    const text = await response.text();
    if (!response.ok) return { ok: false, message: text.trim() };
    const reply = JSON.parse(text);
    return { ok: reply.ErrorNumber === 0, message: reply.ErrorMessage, value: reply.Value };
  } catch (error) {
    return { ok: false, message: "The server does not answer: " + error.message };
  }
}

function say(id, text, good, transient = false) {
  const element = $(id);
  if (!element) return;
  element.textContent = text;
  element.className = "status " + (good ? "good" : "bad");
  element.dataset.transient = transient ? "1" : "";
}

function fillForms(state) {
  if (page === "server") $("serial-port").value = state.SerialPort;
  if (page === "focuser") {
    $("max-step").value = state.MaxStep;
    $("shift").value = state.Shift;
    $("step-size").value = state.StepSize;
    $("sensor").value = String(state.PreferredSensor);
  }
}

function fillFilterRows(filters) {
  const rows = $("filter-rows");
  if (!rows || filters.length === filterCount) return;
  filterCount = filters.length;
  rows.replaceChildren();
  filters.forEach((filter, slot) => {
    const row = rows.insertRow();
    row.insertCell().textContent = slot;
    const name = document.createElement("input");
    name.name = "Name" + slot; name.value = filter.Name; name.maxLength = 8; name.setAttribute("aria-label", "Name of filter " + slot);
    row.insertCell().append(name);
    const offset = document.createElement("input");
    offset.name = "Offset" + slot; offset.type = "number"; offset.step = "1"; offset.value = filter.Offset;
    offset.setAttribute("aria-label", "Focus offset of filter " + slot);
    row.insertCell().append(offset);
  });
  if (filters.length === 0) rows.insertRow().insertCell().textContent = "Connect to read the filters from the board.";
  $("filters-save").disabled = filters.length === 0;
}

function showHandBox(state) {
  $("link-dot").className = "dot" + (state.Connected ? " on" : "");
  const holders = `network clients: focuser ${state.FocuserClients}, filter wheel ${state.WheelClients}`;
  $("link-text").textContent = state.Connecting ? "Connecting…" : state.Connected ? "Connected · " + holders : "Not connected";
  // The hand box holds the link as a client of its own, beside any others.
  $("link-connect").disabled = state.HandBoxConnected || state.Connecting;
  $("link-disconnect").disabled = !state.HandBoxConnected;
  $("position").textContent = state.Connected && state.FocuserPresent ? state.Position : "–";
  $("moving").textContent = state.Moving ? "moving…" : "";
  const filter = state.Filters[state.Filter];
  $("filter").textContent = !state.Connected || !state.WheelPresent ? "–" : state.Turning ? "…" : filter ? filter.Name : "?";
  $("turning").textContent = state.Turning ? "turning…" : filter ? "slot " + state.Filter : "";
  const temperatures = $("temperatures");
  temperatures.replaceChildren(...state.Temperatures.map((degrees, sensor) => {
    const cell = document.createElement("div");
    cell.className = "cell";
    const label = document.createElement("div");
    label.className = "muted";
    label.textContent = "Sensor " + sensor + (sensor === state.PreferredSensor ? " (reported)" : "");
    const reading = document.createElement("div");
    reading.className = "readout";
    reading.textContent = degrees === null ? "–" : degrees.toFixed(2) + " °C";
    cell.append(label, reading);
    return cell;
  }));
  const turnTo = $("turn-to");
  if (turnTo.options.length !== state.Filters.length) {
    turnTo.replaceChildren(...state.Filters.map((f, slot) => new Option(slot + ": " + f.Name, slot)));
  }
  for (const id of ["move", "move-to"]) $(id).disabled = !state.Connected || !state.FocuserPresent || state.Moving || state.Turning;
  for (const id of ["turn", "turn-to"]) $(id).disabled = !state.Connected || !state.WheelPresent || state.Moving || state.Turning;
  const status = $("handbox-status");
  if (state.LastError) say("handbox-status", state.LastError, false);
  else if (status.dataset.transient && !state.Moving && !state.Turning && !state.Connecting) say("handbox-status", "", true);
}

async function refresh() {
  const state = await call("GET", "state");
  if (state.value) {
    if (!filled) { fillForms(state.value); filled = true; }
    if (page === "filterwheel") fillFilterRows(state.value.Filters);
    showHandBox(state.value);
  } else {
    say("handbox-status", state.message, false);
  }
  setTimeout(refresh, 500);
}

async function listDevices() {
  const body = $("devices");
  if (!body) return;
  const reply = await (await fetch("/management/v1/configureddevices")).json();
  for (const device of reply.Value) {
    const row = body.insertRow();
    for (const text of [device.DeviceName, device.DeviceNumber, device.UniqueID]) row.insertCell().textContent = text;
  }
}

function submitter(formId, what, statusId, done) {
  const form = $(formId);
  if (!form) return;
  form.addEventListener("submit", async (event) => {
    event.preventDefault();
    const result = await call("PUT", what, new FormData(form));
    say(statusId, result.ok ? done : result.message, result.ok);
    if (result.ok && formId === "filters-form") filterCount = -1;  // show what the board holds now
  });
}

submitter("port-form", "serialport", "port-status", "Saved: used at the next connect.");
submitter("focuser-form", "focuser", "focuser-status", "Saved.");
submitter("filters-form", "filters", "filters-status", "Written to the board.");

$("link-connect").addEventListener("click", async () => {
  const result = await call("PUT", "connect");
  say("handbox-status", result.ok ? "Connecting…" : result.message, result.ok, result.ok);
});
$("link-disconnect").addEventListener("click", async () => {
  const result = await call("PUT", "disconnect");
  say("handbox-status", result.ok ? "Disconnected." : result.message, result.ok);
});
$("move").addEventListener("click", async () => {
  const result = await call("PUT", "move", { Position: $("move-to").value });
  say("handbox-status", result.ok ? "Moving to " + $("move-to").value + "…" : result.message, result.ok, result.ok);
});
$("turn").addEventListener("click", async () => {
  const result = await call("PUT", "turn", { Position: $("turn-to").value });
  say("handbox-status", result.ok ? "Turning…" : result.message, result.ok, result.ok);
});

listDevices();
refresh();
