// The remote lab's page: the live plot, the readouts, the run list and, for
// the driver, the set-up, START and STOP. It talks only to the documented
// API: GET /api/state and /api/runs, POST /api/command, and the live socket
// /api/live. The code goes as ?code= for the page and the socket, and as
// Authorization: Bearer for commands.
"use strict";
(function () {
  const TEXTS = {
    en: {
      title: "Tervalo remote lab",
      language: "Language",
      code: "Access code",
      connect: "Connect",
      offline: "Not connected",
      connecting: "Connecting…",
      online: "Live",
      driver: "Driving",
      queue: "Queue",
      slotLeft: "Slot time left",
      view20: "Last 20 s",
      viewAll: "Whole run",
      time: "Time (s)",
      refShort: "Reference r",
      outShort: "Output Y",
      errShort: "Error E",
      actShort: "Actuator U",
      lastRun: "Figures of the last run",
      control: "Control",
      request: "Request control",
      release: "Release control",
      takeControl: "Take control",
      endSlot: "End the slot",
      mode: "Mode",
      modeOpen: "open loop",
      modeKit: "kit",
      modeSim: "simulation",
      controller: "Controller",
      fuzzy: "fuzzy",
      errorDivisor: "Error divisor",
      outputDivisor: "Output divisor",
      actuator: "Actuator",
      reference: "Reference (rpm)",
      apply: "Apply",
      start: "START",
      stop: "STOP",
      experiment: "Experiment file",
      upload: "Open experiment",
      notices: "Notices",
      runs: "Stored runs",
      colStart: "Start",
      colMode: "Mode",
      colController: "Controller",
      colReference: "Reference",
      colNote: "Note",
      download: "CSV",
      noRuns: "No stored runs yet.",
      nobody: "nobody",
      thePc: "the lab PC",
      empty: "empty",
      running: "running",
      stopped: "stopped",
      youDrive: "You drive. Your slot ends in {0}.",
      youDriveNoSlot: "You drive.",
      yourPlace: "Your place in the queue: {0}",
      viewerOnly: "With a viewer code you can watch only.",
      mayRequest: "Request control to drive the lab.",
      pcHolds: "The person at the lab PC has taken control.",
      you: "{0} ({1})",
      roleViewer: "viewer",
      roleStudent: "student",
      roleInstructor: "instructor",
      needCode: "Enter the access code you were given.",
      badCode: "The code is not known.",
      badOrigin: "This page may not open the live data.",
      lost: "The live connection was lost; connecting again…",
      refused: "Refused: {0}",
      fileTooLarge: "The file is over 15 KiB.",
      noFile: "Choose an experiment file first.",
      notNumber: "{0}: not a number",
      riseTime: "Rise time",
      overshoot: "Overshoot",
      settlingTime: "Settling time",
      iae: "IAE",
      noFigures: "No figures yet.",
      seconds: "s",
      minutesSeconds: "{0}:{1}",
    },
    tr: {
      title: "Tervalo uzaktan laboratuvar",
      language: "Dil",
      code: "Erişim kodu",
      connect: "Bağlan",
      offline: "Bağlı değil",
      connecting: "Bağlanıyor…",
      online: "Canlı",
      driver: "Kontrol eden",
      queue: "Sıra",
      slotLeft: "Kalan süre",
      view20: "Son 20 s",
      viewAll: "Tüm çalışma",
      time: "Zaman (s)",
      refShort: "Referans r",
      outShort: "Çıkış Y",
      errShort: "Hata E",
      actShort: "Kontrol işareti U",
      lastRun: "Son çalışmanın ölçütleri",
      control: "Kontrol",
      request: "Kontrol iste",
      release: "Kontrolü bırak",
      takeControl: "Kontrolü al",
      endSlot: "Süreyi bitir",
      mode: "Çalışma kipi",
      modeOpen: "açık çevrim",
      modeKit: "deney seti",
      modeSim: "benzetim",
      controller: "Denetleyici",
      fuzzy: "bulanık",
      errorDivisor: "Hata böleni",
      outputDivisor: "Çıkış böleni",
      actuator: "Kontrol işareti",
      reference: "Referans (dev/dk)",
      apply: "Uygula",
      start: "BAŞLAT",
      stop: "DURDUR",
      experiment: "Deney dosyası",
      upload: "Deney dosyasını aç",
      notices: "Bildirimler",
      runs: "Kayıtlı çalışmalar",
      colStart: "Başlangıç",
      colMode: "Kip",
      colController: "Denetleyici",
      colReference: "Referans",
      colNote: "Not",
      download: "CSV",
      noRuns: "Henüz kayıtlı çalışma yok.",
      nobody: "kimse",
      thePc: "laboratuvar bilgisayarı",
      empty: "boş",
      running: "çalışıyor",
      stopped: "durdu",
      youDrive: "Kontrol sizde. Sürenizin bitmesine {0} kaldı.",
      youDriveNoSlot: "Kontrol sizde.",
      yourPlace: "Sıradaki yeriniz: {0}",
      viewerOnly: "İzleyici koduyla yalnızca izleyebilirsiniz.",
      mayRequest: "Laboratuvarı kullanmak için kontrol isteyin.",
      pcHolds: "Laboratuvar bilgisayarındaki kişi kontrolü aldı.",
      you: "{0} ({1})",
      roleViewer: "izleyici",
      roleStudent: "öğrenci",
      roleInstructor: "eğitmen",
      needCode: "Size verilen erişim kodunu girin.",
      badCode: "Bu kod tanınmıyor.",
      badOrigin: "Bu sayfa canlı verileri açamaz.",
      lost: "Canlı bağlantı koptu; yeniden bağlanılıyor…",
      refused: "Reddedildi: {0}",
      fileTooLarge: "Dosya 15 KiB'tan büyük.",
      noFile: "Önce bir deney dosyası seçin.",
      notNumber: "{0}: sayı değil",
      riseTime: "Yükselme süresi",
      overshoot: "Aşım",
      settlingTime: "Yerleşme süresi",
      iae: "IAE",
      noFigures: "Henüz ölçüt yok.",
      seconds: "s",
      minutesSeconds: "{0}:{1}",
    },
  };
  const MODE_KEYS = { open: "modeOpen", kit: "modeKit", simulation: "modeSim" };
  const GAINS = ["kp", "ki", "kd"];
  const MAX_POINTS = 200000;
  const $ = (id) => document.getElementById(id);

  let lang = pickLanguage();
  let code = new URLSearchParams(location.search).get("code") || "";
  let socket = null;
  let retry = null;
  let state = null;
  let slotLeft = null, slotAt = 0;
  let runs = [];
  let view20 = true;
  let data = [[], [], [], [], []];
  let lastCycle = -1;
  let plot = null;
  let drawPending = false;
  const dirty = new Set();

  function pickLanguage() {
    const saved = localStorage.getItem("tervalo-lang");
    if (saved && TEXTS[saved]) return saved;
    for (const l of navigator.languages || [navigator.language || "en"]) {
      const base = String(l).toLowerCase().slice(0, 2);
      if (TEXTS[base]) return base;
    }
    return "en";
  }

  function t(key, ...args) {
    const s = (TEXTS[lang] && TEXTS[lang][key]) || TEXTS.en[key] || key;
    return s.replace(/\{(\d)\}/g, (_, i) => String(args[Number(i)]));
  }

  function translate() {
    document.documentElement.lang = lang;
    document.title = t("title");
    $("lang").value = lang;
    for (const el of document.querySelectorAll("[data-t]")) el.textContent = t(el.dataset.t);
    if (plot) {
      // the series' names are the plot's own: a new plot in the new language
      plot.destroy();
      makePlot();
      draw();
    }
    showLink(socket && socket.readyState === WebSocket.OPEN ? "on" : socket ? "wait" : "off");
    render();
    renderRuns();
  }

  // ---- notices --------------------------------------------------------------

  function notice(text, kind) {
    const li = document.createElement("li");
    const at = document.createElement("time");
    at.textContent = new Date().toLocaleTimeString(lang === "tr" ? "tr-TR" : "en-GB");
    li.append(at, " ", text);
    if (kind) li.className = kind;
    const list = $("notices");
    list.prepend(li);
    while (list.children.length > 30) list.lastChild.remove();
  }

  // ---- the connection -------------------------------------------------------

  function showLink(s) {
    const el = $("link");
    el.dataset.state = s;
    el.textContent = t(s === "on" ? "online" : s === "wait" ? "connecting" : "offline");
  }

  function connect() {
    if (retry) clearTimeout(retry);
    retry = null;
    if (socket) {
      socket.onclose = null;
      socket.close();
      socket = null;
    }
    const url = new URL(location.href);
    if (code) url.searchParams.set("code", code);
    else url.searchParams.delete("code");
    history.replaceState(null, "", url.pathname + url.search);
    const ws = new URL("/api/live", location.href);
    ws.protocol = location.protocol === "https:" ? "wss:" : "ws:";
    if (code) ws.searchParams.set("code", code);
    showLink("wait");
    socket = new WebSocket(ws.href);
    socket.onopen = () => showLink("on");
    socket.onmessage = (ev) => {
      let m;
      try {
        m = JSON.parse(ev.data);
      } catch (e) {
        return;
      }
      if (m.type === "sample") onSample(m);
      else if (m.type === "state") onState(m);
      else if (m.type === "notice") notice(String(m.text || ""));
    };
    socket.onclose = (ev) => {
      socket = null;
      showLink("off");
      if (ev.code === 4401) {
        notice(code ? t("badCode") : t("needCode"), "error");
        state = null;
        render();
        return;
      }
      if (ev.code === 4403) {
        notice(t("badOrigin"), "error");
        return;
      }
      notice(t("lost"), "error");
      retry = setTimeout(connect, 2000);
    };
  }

  async function command(action, args) {
    const body = Object.assign({ action: action }, args || {});
    let reply;
    try {
      reply = await fetch("/api/command", {
        method: "POST",
        headers: { "Content-Type": "application/json", Authorization: "Bearer " + code },
        body: JSON.stringify(body),
      });
    } catch (e) {
      notice(t("refused", String(e)), "error");
      return false;
    }
    let answer = {};
    try {
      answer = await reply.json();
    } catch (e) {
      answer = {};
    }
    if (!reply.ok || !answer.ok) {
      notice(t("refused", answer.error || reply.status + " " + reply.statusText), "error");
      return false;
    }
    return true;
  }

  async function loadRuns() {
    try {
      const r = await fetch("/api/runs?code=" + encodeURIComponent(code));
      if (!r.ok) return;
      const list = await r.json();
      if (Array.isArray(list)) runs = list;
    } catch (e) {
      return;
    }
    renderRuns();
  }

  // ---- the live data --------------------------------------------------------

  function onSample(m) {
    if (m.cycle <= lastCycle) clearPlot();
    lastCycle = m.cycle;
    if (data[0].length >= MAX_POINTS) for (const a of data) a.splice(0, MAX_POINTS / 10);
    data[0].push(m.time);
    data[1].push(m.reference);
    data[2].push(m.output);
    data[3].push(m.error);
    data[4].push(m.actuator);
    $("time").textContent = fixed(m.time, 2);
    $("reference-now").textContent = fixed(m.reference, 0);
    $("output").textContent = fixed(m.output, 0);
    $("error").textContent = fixed(m.error, 0);
    $("actuator-now").textContent = fixed(m.actuator, 0);
    schedule();
  }

  function fixed(v, digits) {
    return typeof v === "number" && isFinite(v) ? v.toFixed(digits) : "–";
  }

  function clearPlot() {
    data = [[], [], [], [], []];
    lastCycle = -1;
    schedule();
  }

  function onState(s) {
    const wasRunning = state && state.running;
    if (s.running && !wasRunning && state) clearPlot();
    if (!state || (wasRunning && !s.running)) setTimeout(loadRuns, state ? 300 : 0);
    state = s;
    slotLeft = typeof s.slotEndsIn === "number" ? s.slotEndsIn : null;
    slotAt = performance.now();
    render();
  }

  // ---- the plot -------------------------------------------------------------

  function plotSize() {
    const box = $("plot").parentElement;
    const pad = parseFloat(getComputedStyle(box).paddingLeft) + parseFloat(getComputedStyle(box).paddingRight);
    const width = Math.max(200, Math.floor(box.clientWidth - pad));
    const height = window.innerWidth < 700 ? 240 : Math.min(380, Math.max(260, window.innerHeight * 0.42));
    return { width: width, height: Math.round(height) };
  }

  function makePlot() {
    const size = plotSize();
    const line = (label, stroke, scale) => ({ label: label, stroke: stroke, width: 2, scale: scale, points: { show: false } });
    plot = new uPlot(
      {
        width: size.width,
        height: size.height,
        legend: { live: false },
        cursor: { drag: { x: false, y: false } },
        scales: { x: { time: false }, rpm: {}, u: {} },
        series: [
          { label: "t" },
          line(t("refShort"), "#6b7280", "rpm"),
          line(t("outShort"), "#1d4ed8", "rpm"),
          line(t("errShort"), "#dc2626", "rpm"),
          line(t("actShort"), "#059669", "u"),
        ],
        axes: [
          { label: "s" },
          { scale: "rpm", label: "rpm" },
          { scale: "u", side: 1, grid: { show: false } },
        ],
      },
      data,
      $("plot")
    );
  }

  function schedule() {
    if (drawPending) return;
    drawPending = true;
    setTimeout(draw, 100);
  }

  function draw() {
    drawPending = false;
    if (!plot) return;
    if (!view20 || data[0].length === 0) {
      plot.setData(data);
      return;
    }
    plot.setData(data, false);
    const last = data[0][data[0].length - 1];
    const min = Math.max(data[0][0], last - 20);
    plot.setScale("x", { min: min, max: min + 20 });
  }

  function setView(twenty) {
    view20 = twenty;
    $("view-20").classList.toggle("on", twenty);
    $("view-all").classList.toggle("on", !twenty);
    $("view-20").setAttribute("aria-pressed", String(twenty));
    $("view-all").setAttribute("aria-pressed", String(!twenty));
    draw();
  }

  // ---- the set-up and the queue ---------------------------------------------

  function me() {
    return (state && state.you) || null;
  }

  function minutes(s) {
    const whole = Math.max(0, Math.ceil(s));
    return t("minutesSeconds", Math.floor(whole / 60), String(whole % 60).padStart(2, "0"));
  }

  function slotText() {
    if (slotLeft === null) return null;
    return minutes(slotLeft - (performance.now() - slotAt) / 1000);
  }

  function render() {
    const s = state;
    const you = me();
    const driving = !!(you && you.driving);
    const role = you ? you.role : "viewer";
    const roleText = t("role" + role.charAt(0).toUpperCase() + role.slice(1));
    $("who").textContent = !you ? "" : role === "viewer" ? roleText : t("you", you.name, roleText);
    $("driver").textContent = !s ? "–" : s.heldByPc ? t("thePc") : s.driver || t("nobody");
    $("queue").textContent = !s ? "–" : s.queue && s.queue.length ? s.queue.join(", ") : t("empty");
    const left = slotText();
    $("slot").textContent = left === null ? "–" : left;
    const run = $("run-state");
    run.textContent = !s ? "" : s.running ? t("running") : t("stopped");
    run.classList.toggle("running", !!(s && s.running));

    let place = "";
    if (s && s.heldByPc) place = t("pcHolds");
    else if (driving) place = left === null ? t("youDriveNoSlot") : t("youDrive", left);
    else if (you && you.place > 0) place = t("yourPlace", you.place);
    else if (s && role === "viewer") place = t("viewerOnly");
    else if (s) place = t("mayRequest");
    $("place").textContent = place;

    const connected = !!s;
    const mayDrive = connected && role !== "viewer";
    $("request-control").disabled = !mayDrive || driving || (you && you.place > 0) || s.heldByPc;
    $("release-control").disabled = !mayDrive || !(driving || (you && you.place > 0));
    for (const id of ["take-control", "end-slot"]) {
      $(id).hidden = role !== "instructor";
      $(id).disabled = role !== "instructor";
    }
    const setup = $("setup");
    for (const el of setup.querySelectorAll("input, select, button")) el.disabled = !driving;
    $("start").disabled = !driving || s.running;
    $("stop").disabled = !(driving || role === "instructor");
    if (!s) {
      // nothing to show of a lab not heard from yet
      for (const id of GAINS.concat(["error-divisor", "output-divisor", "actuator"])) $("row-" + id).hidden = true;
      return;
    }

    const modes = s.modes || [];
    for (const o of $("mode").options) o.disabled = o.value !== s.mode && !modes.includes(o.value);
    setValue("mode", s.mode);
    setValue("controller", s.controller || "");
    const ranges = s.ranges || {};
    for (const g of GAINS) {
      const r = ranges[g];
      $("row-" + g).hidden = !r;
      if (!r) continue;
      $(g).min = r[0];
      $(g).max = r[1];
      $("range-" + g).textContent = r[0] + "…" + r[1];
      setValue(g, s.gains && typeof s.gains[g] === "number" ? String(s.gains[g]) : "");
    }
    const fuzzy = s.controller === "fuzzy";
    const open = s.mode === "open";
    showRange("error-divisor", ranges.error, fuzzy, s.divisors && s.divisors.error);
    showRange("output-divisor", ranges.output, fuzzy, s.divisors && s.divisors.output);
    showRange("actuator", ranges.actuator, open, s.actuator);
    showRange("reference", ranges.reference, true, s.reference);
    $("controller").disabled = !driving || open;
  }

  function showRange(id, range, shown, value) {
    const row = $("row-" + id);
    if (row) row.hidden = !shown;
    if (range) {
      $(id).min = range[0];
      $(id).max = range[1];
      $("range-" + id).textContent = range[0] + "…" + range[1];
    }
    if (typeof value === "number") setValue(id, String(value));
  }

  // The lab's value, unless the user is typing a new one.
  function setValue(id, value) {
    const el = $(id);
    if (dirty.has(id) || document.activeElement === el) return;
    el.value = value;
  }

  function renderRuns() {
    const body = $("runs");
    body.replaceChildren();
    if (!runs.length) {
      const tr = document.createElement("tr");
      const td = document.createElement("td");
      td.colSpan = 6;
      td.textContent = t("noRuns");
      tr.append(td);
      body.append(tr);
    }
    for (const r of runs) {
      const tr = document.createElement("tr");
      const cell = (text) => {
        const td = document.createElement("td");
        td.textContent = text;
        tr.append(td);
      };
      const when = r.start ? new Date(r.start) : null;
      cell(when && !isNaN(when) ? when.toLocaleString(lang === "tr" ? "tr-TR" : "en-GB") : "–");
      cell(MODE_KEYS[r.mode] ? t(MODE_KEYS[r.mode]) : r.mode || "–");
      cell(r.controller === "fuzzy" ? t("fuzzy") : r.controller || "–");
      cell(typeof r.reference === "number" ? String(r.reference) : "–");
      cell(r.note || "");
      const td = document.createElement("td");
      if (/^[0-9a-fA-F-]{36}$/.test(String(r.uuid))) {
        const a = document.createElement("a");
        a.href = "/api/runs/" + r.uuid + ".csv?code=" + encodeURIComponent(code);
        a.download = r.uuid + ".csv";
        a.textContent = t("download");
        a.className = "csv";
        td.append(a);
      }
      tr.append(td);
      tr.dataset.uuid = String(r.uuid);
      body.append(tr);
    }
    renderFigures();
  }

  function renderFigures() {
    const dl = $("figures");
    dl.replaceChildren();
    const f = runs.length ? runs[0].figures : null;
    const items = [
      ["riseTime", " s", 3],
      ["overshoot", " %", 1],
      ["settlingTime", " s", 3],
      ["iae", "", 1],
    ];
    let any = false;
    for (const [key, unit, digits] of items) {
      const v = f ? f[key] : null;
      const dt = document.createElement("dt");
      dt.textContent = t(key);
      const dd = document.createElement("dd");
      if (typeof v === "number" && isFinite(v)) {
        dd.textContent = v.toFixed(digits) + unit;
        any = true;
      } else {
        dd.textContent = "–";
      }
      dl.append(dt, dd);
    }
    dl.classList.toggle("none", !any);
  }

  // ---- what the driver does -------------------------------------------------

  function readNumber(id, label) {
    const raw = $(id).value.trim();
    const v = Number(raw);
    if (raw === "" || !isFinite(v)) {
      notice(t("notNumber", label), "error");
      return null;
    }
    return v;
  }

  async function apply() {
    if (!state) return;
    const gains = {};
    for (const g of GAINS) {
      if (!(state.ranges || {})[g]) continue;
      const v = readNumber(g, g);
      if (v === null) return;
      gains[g] = Math.round(v * 1000) / 1000;
    }
    const reference = readNumber("reference", t("reference"));
    if (reference === null) return;
    if (Object.keys(gains).length && !(await command("gains", gains))) return;
    if (state.controller === "fuzzy") {
      const e = readNumber("error-divisor", t("errorDivisor"));
      const o = readNumber("output-divisor", t("outputDivisor"));
      if (e === null || o === null || !(await command("divisors", { error: e, output: o }))) return;
    }
    if (state.mode === "open") {
      const u = readNumber("actuator", t("actuator"));
      if (u === null || !(await command("actuator", { value: u }))) return;
    }
    if (!(await command("reference", { rpm: reference }))) return;
    dirty.clear();
  }

  function upload() {
    const file = $("experiment").files[0];
    if (!file) {
      notice(t("noFile"), "error");
      return;
    }
    if (file.size > 15 * 1024) {
      notice(t("fileTooLarge"), "error");
      return;
    }
    const reader = new FileReader();
    reader.onload = () => command("experiment", { file: String(reader.result) });
    reader.readAsText(file);
  }

  // ---- wiring ---------------------------------------------------------------

  $("code").value = code;
  $("code-form").addEventListener("submit", (ev) => {
    ev.preventDefault();
    code = $("code").value.trim();
    state = null;
    connect();
  });
  $("lang").addEventListener("change", () => {
    lang = TEXTS[$("lang").value] ? $("lang").value : "en";
    localStorage.setItem("tervalo-lang", lang);
    translate();
  });
  $("view-20").addEventListener("click", () => setView(true));
  $("view-all").addEventListener("click", () => setView(false));
  $("request-control").addEventListener("click", () => command("request-control"));
  $("release-control").addEventListener("click", () => command("release-control"));
  $("take-control").addEventListener("click", () => command("take-control"));
  $("end-slot").addEventListener("click", () => command("end-slot"));
  $("mode").addEventListener("change", () => command("select", { mode: $("mode").value }));
  $("controller").addEventListener("change", () => {
    for (const g of GAINS) dirty.delete(g);
    command("select", { controller: $("controller").value });
  });
  // a field the user has gone into keeps what they type, whatever the lab
  // says meanwhile, until it is applied
  for (const id of GAINS.concat(["reference", "error-divisor", "output-divisor", "actuator"]))
    for (const ev of ["focus", "input"]) $(id).addEventListener(ev, () => dirty.add(id));
  $("apply").addEventListener("click", apply);
  $("start").addEventListener("click", () => command("start"));
  $("stop").addEventListener("click", () => command("stop"));
  $("upload").addEventListener("click", upload);
  setInterval(() => {
    if (slotLeft !== null) render();
  }, 1000);
  let resizeTimer = null;
  const resized = () => {
    clearTimeout(resizeTimer);
    resizeTimer = setTimeout(() => {
      if (!plot) return;
      const size = plotSize();
      if (size.width !== plot.width || size.height !== plot.height) plot.setSize(size);
    }, 100);
  };
  window.addEventListener("resize", resized);
  if (window.ResizeObserver) new ResizeObserver(resized).observe($("plot").parentElement);

  makePlot();
  translate();
  connect(); // open viewing needs no code; a lab that wants one closes with 4401
})();
