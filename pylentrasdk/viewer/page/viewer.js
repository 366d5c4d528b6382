// The viewer page: one tile per camera, built from the HTTP interface (docs/viewer.md). Every
// request carries the token in the cookie the server set with this page.
"use strict";

const STATUS_MS = 500;
const IMU_MS = 100;
const IMU_HISTORY = 50; // samples: five seconds
const AXIS_COLOURS = ["#ff6b6b", "#51cf66", "#4dabf7"];

// The address bar keeps no token (a screenshot or a shared screen must not show it).
if (location.search.includes("token=")) history.replaceState(null, "", "/");

async function api(path, options) {
  const response = await fetch(path, Object.assign({ credentials: "same-origin" }, options));
  let body = null;
  try { body = await response.json(); } catch (e) { body = null; }
  if (!response.ok) {
    const message = body && body.error ? body.error : response.status + " " + response.statusText;
    throw new Error(message);
  }
  return body;
}

class Tile {
  constructor(camera) {
    this.camera = camera;
    this.root = document.getElementById("tile").content.firstElementChild.cloneNode(true);
    this.root.id = "camera-" + camera.index;
    this.root.dataset.index = camera.index;
    this.find(".name").textContent = camera.name;
    const select = this.find(".format");
    for (const f of camera.formats) {
      const option = document.createElement("option");
      option.value = f.index;
      option.textContent = `${f.width} x ${f.height} ${f.fourcc} @${f.fps}`;
      select.append(option);
    }
    select.addEventListener("change", () => { this.updateSnapshot(); if (this.playing) this.start(); });
    this.find(".start").addEventListener("click", () => this.start());
    this.find(".stop").addEventListener("click", () => this.stop());
    this.playing = false;
    this.updateSnapshot();
    if (camera.error) this.showError(camera.error);
    if (!camera.formats.length) this.find(".start").disabled = true;
    document.getElementById("cameras").append(this.root);
    this.loadControls();
    if (camera.imu) this.startImu();
    setInterval(() => this.poll(), STATUS_MS);
  }

  find(selector) { return this.root.querySelector(selector); }
  get base() { return "/api/cameras/" + this.camera.index; }
  get format() { return this.find(".format").value; }

  updateSnapshot() {
    const link = this.find(".snapshot");
    link.href = `${this.base}/snapshot.png?format=${this.format}`;
    link.setAttribute("aria-disabled", this.camera.formats.length ? "false" : "true");
  }

  showError(text) {
    const box = this.find(".error");
    box.textContent = text || "";
    box.hidden = !text;
  }

  start() {
    this.showError(null);
    const old = this.find(".picture");
    // A new element: the old one's connection closes with it, so the server sees it leave.
    const img = old.cloneNode(false);
    img.src = `${this.base}/stream.mjpg?format=${this.format}&t=${Date.now()}`;
    img.addEventListener("error", () => this.poll());
    old.replaceWith(img);
    this.playing = true;
    this.find(".start").disabled = true;
    this.find(".stop").disabled = false;
  }

  stop() {
    const old = this.find(".picture");
    const img = old.cloneNode(false);
    img.removeAttribute("src");
    old.replaceWith(img);
    this.playing = false;
    this.find(".start").disabled = !this.camera.formats.length;
    this.find(".stop").disabled = true;
    this.find(".fps").textContent = "- fps";
  }

  async poll() {
    let status;
    try { status = await api(this.base + "/status"); } catch (e) { return; }
    if (status.error) {
      this.showError(status.error);
      if (this.playing && !status.streaming) this.stop();
    }
    if (this.playing) this.find(".fps").textContent = status.fps.toFixed(1) + " fps";
    this.find(".dropped").textContent = status.dropped + " dropped";
  }

  async loadControls() {
    let controls;
    try { controls = await api(this.base + "/controls"); } catch (e) { return; }
    const body = this.find(".controls tbody");
    body.textContent = "";
    for (const c of controls) body.append(this.controlRow(c));
  }

  controlRow(c) {
    const row = document.createElement("tr");
    row.dataset.control = c.name;
    if (c.read_only) row.classList.add("read-only");
    const label = document.createElement("td");
    label.className = "label";
    label.textContent = c.name;
    // A choice control is a list of its labels; any other control a slider over its range.
    const labels = Object.entries(c.labels || {});
    let slider;
    if (labels.length) {
      slider = document.createElement("select");
      for (const [value, text] of labels) {
        const option = document.createElement("option");
        option.value = value;
        option.textContent = text;
        slider.append(option);
      }
    } else {
      slider = document.createElement("input");
      slider.type = "range";
      slider.min = c.min; slider.max = c.max; slider.step = c.step || 1;
    }
    slider.value = c.value;
    slider.disabled = c.read_only;
    slider.setAttribute("aria-label", c.name);
    const shown = document.createElement("td");
    shown.className = "value";
    shown.textContent = c.value;
    const refused = document.createElement("td");
    refused.className = "refused";
    slider.addEventListener("input", () => { shown.textContent = slider.value; });
    slider.addEventListener("change", async () => {
      refused.textContent = "";
      try {
        const answer = await api(`${this.base}/controls/${encodeURIComponent(c.name)}`, {
          method: "PUT",
          headers: { "Content-Type": "application/json" },
          body: JSON.stringify({ value: Number(slider.value) }),
        });
        slider.value = answer.value; // the camera may round
        shown.textContent = answer.value;
      } catch (e) {
        refused.textContent = e.message;
      }
    });
    const cell = document.createElement("td");
    cell.append(slider);
    row.append(label, cell, shown);
    const second = document.createElement("tr");
    refused.colSpan = 3;
    second.append(refused);
    const group = document.createDocumentFragment();
    group.append(row, second);
    return group;
  }

  startImu() {
    this.find(".imu").hidden = false;
    this.history = { acc: [], gyro: [] };
    setInterval(async () => {
      let reading;
      try { reading = await api(this.base + "/imu"); } catch (e) { return; }
      for (const key of ["acc", "gyro"]) {
        const samples = this.history[key];
        samples.push(reading[key]);
        if (samples.length > IMU_HISTORY) samples.shift();
        plot(this.find("canvas." + key), samples);
      }
      this.find(".temperature").textContent = reading.temperature.toFixed(2);
    }, IMU_MS);
  }
}

// Three axes over the history, scaled to what the history holds.
function plot(canvas, samples) {
  const g = canvas.getContext("2d");
  const w = canvas.width, h = canvas.height;
  g.clearRect(0, 0, w, h);
  let low = Infinity, high = -Infinity;
  for (const s of samples) for (const v of s) { low = Math.min(low, v); high = Math.max(high, v); }
  if (high - low < 1e-3) { high += 0.5; low -= 0.5; }
  const y = (v) => h - 4 - ((v - low) / (high - low)) * (h - 8);
  g.strokeStyle = "#333"; g.beginPath(); g.moveTo(0, y(0)); g.lineTo(w, y(0)); g.stroke();
  for (let axis = 0; axis < 3; axis++) {
    g.strokeStyle = AXIS_COLOURS[axis];
    g.beginPath();
    samples.forEach((s, i) => {
      const x = (i / (IMU_HISTORY - 1)) * w;
      if (i === 0) g.moveTo(x, y(s[axis])); else g.lineTo(x, y(s[axis]));
    });
    g.stroke();
  }
}

async function main() {
  const summary = document.getElementById("summary");
  let cameras;
  try {
    cameras = await api("/api/cameras");
  } catch (e) {
    summary.textContent = "The cameras could not be listed: " + e.message;
    return;
  }
  summary.textContent = cameras.length === 1 ? "1 camera" : cameras.length + " cameras";
  for (const camera of cameras) new Tile(camera);
}

main();
