// The viewer page: one tile per camera, built from the HTTP interface (docs/viewer.md). Every
// camera's picture starts when the page opens. The pictures of all cameras come over one
// WebSocket (/api/live): a browser opens at most six connections to one address, and a stream
// each would leave none for the page's other requests, a second tab or a seventh camera.
//
// The page is opened at /?token=TOKEN. It keeps the token in this tab's sessionStorage, takes it
// out of the address bar, and sends it with every request: in the Authorization header of its
// fetches, as the token parameter of the live connection's and the snapshot's addresses. No
// cookie holds it: a browser sends cookies to every port of the address, and with requests that
// other local pages make.
"use strict";

const STATUS_MS = 500;
const IMU_MS = 100;
const IMU_HISTORY = 50; // samples: five seconds
const AXIS_COLOURS = ["#ff6b6b", "#51cf66", "#4dabf7"];
const TOKEN_KEY = "lxviewer-token";
const HEAD_TEXT = new TextDecoder(); // each picture's line of JSON

const TOKEN = (() => {
  const given = new URLSearchParams(location.search).get("token");
  if (given !== null) {
    sessionStorage.setItem(TOKEN_KEY, given);
    // The address bar keeps no token (a screenshot or a shared screen must not show it).
    history.replaceState(null, "", location.pathname);
  }
  return sessionStorage.getItem(TOKEN_KEY);
})();

async function api(path, options) {
  const request = Object.assign({}, options || {});
  request.headers = Object.assign({ Authorization: "Bearer " + TOKEN }, request.headers || {});
  request.credentials = "omit";
  const response = await fetch(path, request);
  let body = null;
  try { body = await response.json(); } catch (e) { body = null; }
  if (!response.ok) {
    const message = body && body.error ? body.error : response.status + " " + response.statusText;
    throw new Error(message);
  }
  return body;
}

// The live connection: orders go out ({"watch": camera, "format": index}, {"stop": camera}),
// pictures and the cameras' failures come in and go to their tiles. It connects again after
// a loss, and the tiles that were playing ask for their pictures again.
class Live {
  constructor() {
    this.tiles = new Map();
    this.connect();
  }

  connect() {
    const address = `ws://${location.host}/api/live?token=${encodeURIComponent(TOKEN)}`;
    this.socket = new WebSocket(address);
    this.socket.binaryType = "arraybuffer";
    this.socket.addEventListener("open", () => {
      for (const tile of this.tiles.values()) if (tile.playing) this.watch(tile);
    });
    this.socket.addEventListener("message", (event) => this.received(event.data));
    this.socket.addEventListener("close", () => {
      for (const tile of this.tiles.values()) if (tile.playing) tile.waiting();
      setTimeout(() => this.connect(), 1000);
    });
  }

  send(order) {
    if (this.socket.readyState === WebSocket.OPEN) this.socket.send(JSON.stringify(order));
  }

  watch(tile) { this.send({ watch: tile.camera.index, format: Number(tile.format) }); }
  stop(tile) { this.send({ stop: tile.camera.index }); }

  received(data) {
    if (typeof data === "string") {
      const report = JSON.parse(data);
      const tile = this.tiles.get(report.camera);
      if (tile && report.ended) tile.failed(report.error);
      else if (tile && report.refused) tile.refused(report);
      return;
    }
    // A line of JSON, then the JPEG.
    const bytes = new Uint8Array(data);
    const end = bytes.indexOf(10);
    const head = JSON.parse(HEAD_TEXT.decode(bytes.subarray(0, end)));
    const tile = this.tiles.get(head.camera);
    if (tile) tile.show(head, bytes.subarray(end + 1));
  }
}

let live = null;

// A request's address with the token, for what the browser fetches itself (pictures, downloads).
function withToken(path) {
  return path + (path.includes("?") ? "&" : "?") + "token=" + encodeURIComponent(TOKEN);
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
    const record = this.find(".record");
    record.addEventListener("click", () => this.toggleRecording());
    // Without PyAV (or a folder to record into) the button stays off and says why.
    record.disabled = Boolean(camera.record_hint) || !camera.formats.length;
    if (camera.record_hint) record.title = camera.record_hint;
    this.recording = false;
    this.playing = false;
    this.url = null; // the object URL of the picture shown
    this.asked = null; // the format asked for, until its pictures come
    this.updateSnapshot();
    document.getElementById("cameras").append(this.root);
    live.tiles.set(camera.index, this);
    if (camera.error) {
      this.showError(camera.error);
    } else if (!camera.formats.length) {
      this.showError("the camera offers no format that carries frames");
    }
    this.stop();
    if (camera.formats.length && !camera.error) this.start();
    this.loadControls();
    if (camera.imu) this.startImu();
    setInterval(() => this.poll(), STATUS_MS);
  }

  find(selector) { return this.root.querySelector(selector); }
  get base() { return "/api/cameras/" + this.camera.index; }
  get format() { return this.find(".format").value; }

  updateSnapshot() {
    const link = this.find(".snapshot");
    link.href = withToken(`${this.base}/snapshot.png?format=${this.format}`);
    link.setAttribute("aria-disabled", this.camera.formats.length ? "false" : "true");
  }

  showError(text) {
    const box = this.find(".error");
    box.textContent = text || "";
    box.hidden = !text;
  }

  start() {
    this.showError(null);
    this.playing = true;
    this.find(".start").disabled = true;
    this.find(".stop").disabled = false;
    this.asked = Number(this.format); // until its pictures come, the list shows the choice
    live.watch(this);
  }

  stop() {
    if (this.playing) live.stop(this);
    this.playing = false;
    this.clearPicture();
    this.find(".start").disabled = !this.camera.formats.length;
    this.find(".stop").disabled = true;
    this.find(".fps").textContent = "- fps";
  }

  clearPicture() {
    const img = this.find(".picture");
    img.removeAttribute("src");
    if (this.url) URL.revokeObjectURL(this.url);
    this.url = null;
  }

  // A picture of the camera: shown, and the one before it let go.
  show(head, jpeg) {
    if (!this.playing) return;
    const earlier = this.url;
    this.url = URL.createObjectURL(new Blob([jpeg], { type: "image/jpeg" }));
    this.find(".picture").src = this.url;
    if (earlier) URL.revokeObjectURL(earlier);
    // Another tab may have switched the camera to another format: this tab shows it too.
    if (head.format === this.asked) this.asked = null;
    const select = this.find(".format");
    if (this.asked === null && head.format !== null && String(head.format) !== select.value) {
      select.value = head.format;
      this.updateSnapshot();
    }
  }

  // The connection was lost: the picture stays until it comes back.
  waiting() {
    this.find(".fps").textContent = "- fps";
  }

  // The camera could not start, or its stream ended: the tile stops and says why.
  failed(error) {
    this.playing = false;
    this.stop();
    this.showError(error || "the camera's picture could not be shown");
  }

  // A format the camera cannot take now (it records in another): the tile goes on in the
  // camera's format.
  refused(report) {
    this.showError(report.error);
    this.asked = null;
    if (report.format !== null) {
      this.find(".format").value = report.format;
      this.updateSnapshot();
      if (this.playing) live.watch(this);
    }
  }

  async toggleRecording() {
    const button = this.find(".record");
    button.disabled = true;
    this.showError(null);
    try {
      const path = this.recording ? "/record/stop" : `/record/start?format=${this.format}`;
      this.showRecording(await api(this.base + path, { method: "POST" }));
    } catch (e) {
      this.showError(e.message);
    } finally {
      button.disabled = false;
    }
  }

  // The newest recording's state: the button, and a line with its time, frames and file.
  showRecording(record) {
    this.recording = Boolean(record && record.recording);
    const button = this.find(".record");
    button.textContent = this.recording ? "Stop recording" : "Record";
    button.classList.toggle("on", this.recording);
    // A file holds one picture size: the format stays while the camera records.
    this.find(".format").disabled = this.recording;
    const line = this.find(".recording");
    line.hidden = !record;
    line.classList.toggle("on", this.recording);
    if (!record) return;
    const what = `${record.seconds.toFixed(1)} s, ${record.frames} frames, ${record.dropped} dropped`;
    line.querySelector(".state").textContent =
      (this.recording ? "\u25cf Recording " : "Recorded ") + what + (record.error ? ": " + record.error : "");
    line.querySelector(".file").textContent = record.path;
  }

  // The skew of this camera's frames to the first camera in Sync with it, if any.
  showSkew(skew) {
    const shown = this.find(".skew");
    shown.hidden = !skew;
    if (!skew) return;
    if (skew.to === this.camera.index) {
      shown.textContent = "in Sync: first of the group";
    } else if (skew.seconds === null) {
      shown.textContent = `skew to camera ${skew.to}: waiting`;
    } else {
      const ms = skew.seconds * 1000;
      shown.textContent = `skew ${ms >= 0 ? "+" : ""}${ms.toFixed(3)} ms to camera ${skew.to}` +
        (skew.clock === "line" ? "" : " (estimated)");
    }
  }

  async poll() {
    let status;
    try { status = await api(this.base + "/status"); } catch (e) { return; }
    if (this.playing) this.find(".fps").textContent = status.fps.toFixed(1) + " fps";
    this.find(".dropped").textContent = status.dropped + " dropped";
    this.showRecording(status.record);
    this.showSkew(status.skew);
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
    label.textContent = c.label;
    if (c.read_only) {
      const note = document.createElement("span");
      note.className = "note";
      note.textContent = " (read-only)";
      label.append(note);
    }
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
    slider.setAttribute("aria-label", c.label);
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
        plot(this.find(".plot." + key), samples);
      }
      this.find(".temperature").textContent = reading.temperature.toFixed(2);
    }, IMU_MS);
  }
}

// Gridlines at round values (1, 2 or 5 times a power of ten apart) that cover the samples.
function ticks(low, high) {
  if (high - low < 1e-3) { high += 0.5; low -= 0.5; }
  const rough = (high - low) / 4;
  const power = Math.pow(10, Math.floor(Math.log10(rough)));
  const step = [1, 2, 5, 10].map((m) => m * power).find((s) => s >= rough);
  // Counted in steps, not summed: far from zero a sum may stop growing.
  const first = Math.floor(low / step), last = Math.max(first + 1, Math.ceil(high / step));
  const values = [];
  for (let i = first; i <= last && values.length < 12; i++) values.push(i * step);
  return { values, step };
}

// Three axes over the history, on gridlines labelled in the plot's unit.
function plot(figure, samples) {
  const canvas = figure.querySelector("canvas");
  const g = canvas.getContext("2d");
  const w = canvas.width, h = canvas.height;
  g.clearRect(0, 0, w, h);
  let low = Infinity, high = -Infinity;
  for (const s of samples) for (const v of s) { low = Math.min(low, v); high = Math.max(high, v); }
  const { values, step } = ticks(low, high);
  const bottom = values[0], top = values[values.length - 1];
  const y = (v) => h - 4 - ((v - bottom) / (top - bottom)) * (h - 8);
  const scale = figure.querySelector(".scale");
  scale.textContent = "";
  const digits = Math.max(0, Math.ceil(-Math.log10(step)));
  for (const v of values) {
    g.strokeStyle = v === 0 ? "#555" : "#2a2e35";
    g.beginPath(); g.moveTo(0, y(v)); g.lineTo(w, y(v)); g.stroke();
    const label = document.createElement("span");
    label.textContent = v.toFixed(digits);
    label.style.top = (100 * y(v) / h) + "%";
    scale.append(label);
  }
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
  const reopen = "open the address that lxctl view printed: it carries the viewer's token";
  if (!TOKEN) {
    summary.textContent = "No token: " + reopen;
    return;
  }
  let cameras;
  try {
    cameras = await api("/api/cameras");
  } catch (e) {
    summary.textContent = "The cameras could not be listed: " + e.message + " (" + reopen + ")";
    return;
  }
  summary.textContent = cameras.length === 1 ? "1 camera" : cameras.length + " cameras";
  live = new Live();
  for (const camera of cameras) new Tile(camera);
}

main();
