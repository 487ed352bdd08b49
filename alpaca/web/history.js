// The focuser page's temperature and focus: one day of the log as a time
// chart (each sensor, and the focus on its own axis, with the filter changes
// marked), focus against the reported sensor with the server's fitted line,
// and the slope written to the board's compensation. The server does the
// reading and the fitting; this only draws. Uses call() and $ of setup.js.
"use strict";

(() => {
  const colours = ["#2c5fb3", "#d9822b", "#7a3fb3", "#138a8a"];
  const focusColour = "#b3261e";
  let shown = null;
  let charts = [];
  let refreshTimer = 0;

  const clock = (seconds) =>
    String(Math.floor(seconds / 3600)).padStart(2, "0") + ":" + String(Math.floor(seconds / 60) % 60).padStart(2, "0");
  const steps = (value) => value.toFixed(1) + " steps per degree";

  // A dashed line where the filter changes, with the new filter's name.
  const filterMarks = {
    id: "filterMarks",
    afterDatasetsDraw(chart, _args, options) {
      const { ctx, chartArea, scales } = chart;
      ctx.save();
      ctx.strokeStyle = "#8895a7";
      ctx.fillStyle = "#5b6575";
      ctx.setLineDash([4, 3]);
      ctx.font = "11px system-ui, sans-serif";
      for (const mark of options.marks || []) {
        const x = scales.x.getPixelForValue(mark.time);
        if (x < chartArea.left || x > chartArea.right) continue;
        ctx.beginPath(); ctx.moveTo(x, chartArea.top); ctx.lineTo(x, chartArea.bottom); ctx.stroke();
        ctx.fillText(mark.name || "no filter", x + 3, chartArea.top + 11);
      }
      ctx.restore();
    },
  };

  function filterChanges(log) {
    const marks = [];
    log.Filter.forEach((name, row) => {
      if (row === 0 || name !== log.Filter[row - 1]) marks.push({ time: log.Time[row], name });
    });
    return marks;
  }

  function timeChart(log) {
    const series = (values) => values.map((y, row) => ({ x: log.Time[row], y }));
    const datasets = log.Sensors.map((name, sensor) => ({
      label: name + (sensor === log.ReportedSensor ? " (reported), °C" : ", °C"),
      data: series(log.Temperatures[sensor]), yAxisID: "y", borderColor: colours[sensor % colours.length],
      backgroundColor: colours[sensor % colours.length], borderWidth: 1.5, pointRadius: 0,
    }));
    datasets.push({ label: "Focus, steps", data: series(log.Focus), yAxisID: "focus", stepped: true,
                    borderColor: focusColour, backgroundColor: focusColour, borderWidth: 1.5, pointRadius: 0 });
    return new Chart($("time-chart"), {
      type: "line",
      data: { datasets },
      plugins: [filterMarks],
      options: {
        animation: false, maintainAspectRatio: false, spanGaps: false, interaction: { mode: "nearest", axis: "x", intersect: false },
        scales: {
          x: { type: "linear", ticks: { callback: clock, stepSize: 3600 }, title: { display: true, text: "Local time" } },
          y: { position: "left", title: { display: true, text: "°C" } },
          focus: { position: "right", grid: { drawOnChartArea: false }, title: { display: true, text: "Focus position" } },
        },
        plugins: {
          filterMarks: { marks: filterChanges(log) },
          tooltip: { callbacks: { title: (items) => items.length ? clock(items[0].parsed.x) + "  " + (log.Filter[items[0].dataIndex] || "") : "" } },
        },
      },
    });
  }

  function fitChart(log) {
    const fit = log.Fit;
    const datasets = [{ label: "Focus positions", data: fit.Points.map(([x, y]) => ({ x, y })), pointRadius: 3,
                        borderColor: focusColour, backgroundColor: focusColour + "99" }];
    const fitted = fit.Positions >= 3 && fit.SpanDegrees > 0 && fit.Points.length > 1;
    if (fitted) {
      const degrees = fit.Points.map(([x]) => x);
      const ends = [Math.min(...degrees), Math.max(...degrees)];
      datasets.push({ type: "line", label: "Fitted line, " + steps(fit.StepsPerDegree), pointRadius: 0, borderWidth: 2,
                      borderColor: "#2c5fb3", data: ends.map((x) => ({ x, y: fit.Intercept + fit.StepsPerDegree * x })) });
    }
    return new Chart($("fit-chart"), {
      type: "scatter",
      data: { datasets },
      options: {
        animation: false, maintainAspectRatio: false,
        scales: {
          x: { title: { display: true, text: (log.Sensors[log.ReportedSensor] || "T" + log.ReportedSensor) + ", °C" } },
          y: { title: { display: true, text: "Focus position" } },
        },
      },
    });
  }

  function showSlope(log) {
    const fit = log.Fit;
    const fitted = fit.Positions >= 3 && fit.SpanDegrees > 0;
    $("fit-slope").textContent = fitted ? steps(fit.StepsPerDegree) : "–";
    $("fit-trust").textContent = log.Found
      ? fit.Positions + " distinct focus positions over " + fit.SpanDegrees.toFixed(1) + " °C" +
        (fitted ? "; half the points lie within " + fit.SpreadSteps.toFixed(1) + " steps of the line" : "")
      : "";
    $("board-slope").textContent = log.BoardStepsPerDegree === null ? "not connected" : steps(log.BoardStepsPerDegree);
    $("new-slope").textContent = fit.Refusal ? "–" : steps(fit.BoardValue);
    $("write-slope").disabled = Boolean(fit.Refusal) || log.BoardStepsPerDegree === null;
    if (fit.Refusal) say("slope-status", fit.Refusal, false);
    else if (log.BoardStepsPerDegree === null) say("slope-status", "Connect to write the slope to the board.", false);
    else if ($("slope-status").className.includes("bad")) say("slope-status", "", true);
  }

  function show(log) {
    shown = log;
    const days = log.Days.includes(log.Today) ? log.Days : [...log.Days, log.Today];
    const picker = $("log-day");
    if (picker.options.length !== days.length) picker.replaceChildren(...[...days].reverse().map((day) => new Option(day, day)));
    picker.value = log.Day;
    const download = $("log-download");
    download.hidden = !log.Found;
    download.href = "/setup/v1/temperaturelog/" + log.File;
    $("log-note").textContent = !log.Found ? "No log for this day yet."
      : log.SkippedLines ? log.SkippedLines + " damaged line" + (log.SkippedLines === 1 ? "" : "s") + " skipped." : "";
    charts.forEach((chart) => chart.destroy());
    charts = [timeChart(log), fitChart(log)];
    showSlope(log);
  }

  async function load(day) {
    clearTimeout(refreshTimer);
    const reply = await call("GET", "temperaturelog" + (day ? "?Day=" + encodeURIComponent(day) : ""));
    if (reply.value) show(reply.value);
    else say("slope-status", reply.message, false);
    // Today's log grows while the page is open.
    if (shown && shown.Day === shown.Today) refreshTimer = setTimeout(() => load(shown.Day), 15000);
  }

  $("log-day").addEventListener("change", () => load($("log-day").value));
  $("write-slope").addEventListener("click", async () => {
    const result = await call("PUT", "tempcomp", { Day: shown.Day });
    say("slope-status", result.ok ? "Written: the board's compensation now moves " + steps(result.value.StepsPerDegree) +
        " (it was " + steps(result.value.Before) + ")." : result.message, result.ok);
    await load(shown.Day);
  });
  load("");
})();
