// The live page's one script: it listens to the program's event stream and shows each state it sends. Two seconds
// without a word from the program (a state or the heartbeat it sends each second) grey the page and say so; the
// stream is opened again until the program answers, and its first event, a whole state, makes the page current.
"use strict";

(() => {
    const kSilenceMs = 2000; // no event for this long: the connection is lost
    // While lost, the stream is opened anew at this pace (a new EventSource would wait its default three seconds
    // before it tried again by itself).
    const kReopenMs = 1000;
    const kUnitSilentMs = 1000; // the unit quiet for this long before the page says so
    const kCheckMs = 200;
    const kLargeWidth = 8; // the unit's display fields, in characters
    const kSmallWidth = 4;
    // Past this many seconds either way the program says to set the unit's clock ("Set PC Time"), and so does the
    // page, in the same words.
    const kClockWarnAbove = 0.5;
    // Parts a URL may choose with ?show=a,b,c; the overlay shows the unit's own parts unless it is told otherwise.
    const kParts = ["status", "lights", "countdown", "small", "number", "starter", "time", "lead", "next", "offset"];
    const kOverlayParts = ["lights", "countdown", "small", "number", "time", "lead"];

    const texts = JSON.parse(document.getElementById("texts").textContent);
    const root = document.documentElement;
    const body = document.body;
    const overlay = root.classList.contains("overlay");
    const byId = (id) => document.getElementById(id);
    const lampNames = { off: texts.lampOff, red: texts.lampRed, yellow: texts.lampYellow, green: texts.lampGreen };

    // ---- the parts chosen by the URL

    function chosenParts() {
        const query = new URLSearchParams(location.search).get("show");
        if (query === null) {
            return new Set(overlay ? kOverlayParts : kParts);
        }
        return new Set(query.split(/[\s,+]+/).filter((part) => kParts.includes(part)));
    }
    const chosen = chosenParts();
    for (const element of document.querySelectorAll("[data-part]")) {
        element.classList.toggle("unchosen", !chosen.has(element.dataset.part));
    }

    byId("label-number").textContent = texts.startNumber;
    byId("label-time").textContent = texts.startTime;
    byId("label-lead").textContent = texts.leadTime;
    byId("label-next").textContent = texts.nextStarters;
    byId("lost").textContent = texts.connectionLost;

    // ---- showing a state

    // A display field in the seven-segment face: a blank keeps a digit's width ("!" is the face's unlit digit),
    // and the unlit segments of every place stand behind it.
    function showDisplay(element, field, width, label) {
        const places = field.padStart(width, " ");
        element.querySelector(".digits").textContent = places.replace(/ /g, "!");
        element.querySelector(".ghost").textContent = Array.from(places, (c) => (c === ":" || c === "." ? c : "8")).join("");
        element.setAttribute("aria-label", `${label}: ${field.trim()}`);
    }

    function showLights(lights) {
        const lamps = byId("lights").querySelectorAll(".light");
        lamps.forEach((lamp, i) => {
            lamp.className = `lamp light ${lights[i] || "off"}`;
        });
        byId("lights").setAttribute("aria-label", `${texts.lights}: ${lights.map((l) => lampNames[l] || l).join(", ")}`);
    }

    function starterText(starter) {
        return [starter.club, starter.class].filter((text) => text).join(" \u00b7 ");
    }

    function showStarter(starter) {
        const element = byId("starter");
        element.replaceChildren();
        element.classList.toggle("absent", !starter);
        if (!starter) {
            return;
        }
        const name = document.createElement("div");
        name.className = "name starter-text";
        name.textContent = starter.name;
        const more = document.createElement("div");
        more.className = "starter-text";
        more.textContent = starterText(starter);
        element.append(name, more);
    }

    function showNext(starters) {
        const list = byId("next-list");
        list.replaceChildren();
        byId("next").classList.toggle("absent", starters.length === 0);
        for (const starter of starters.slice(0, 3)) {
            const item = document.createElement("li");
            for (const [kind, text] of [
                ["number", starter.startNumber],
                ["name starter-text", starter.name],
                ["planned", starter.plannedTime],
            ]) {
                if (text) {
                    const span = document.createElement("span");
                    span.className = kind;
                    span.textContent = text;
                    item.append(span);
                }
            }
            list.append(item);
        }
    }

    // The unit's clock minus this computer's: "Unit clock +0.25 s", and past half a second the program's warning,
    // "the unit's clock is 0.62 s behind this computer: Set PC Time".
    function showOffset(seconds) {
        const present = typeof seconds === "number" && Number.isFinite(seconds);
        const warn = present && Math.abs(seconds) > kClockWarnAbove;
        byId("offset").classList.toggle("absent", !present);
        byId("offset").classList.toggle("warn", warn);
        if (!present) {
            return;
        }
        const format = new Intl.NumberFormat(texts.language || undefined, {
            signDisplay: warn ? "never" : "always",
            minimumFractionDigits: 2,
            maximumFractionDigits: 2,
        });
        if (warn) {
            const words = seconds < 0 ? texts.clockBehind : texts.clockAhead;
            byId("offset-label").textContent = "";
            byId("offset-value").textContent = words.split("%1").join(format.format(seconds));
        } else {
            byId("offset-label").textContent = texts.clockOffset;
            byId("offset-value").textContent = `${format.format(seconds)} s`;
        }
    }

    let state = null;
    let unitQuietSince = null;

    function show(next) {
        state = next;
        showDisplay(byId("large"), String(next.large), kLargeWidth, texts.largeDisplay);
        showDisplay(byId("small"), String(next.small), kSmallWidth, texts.smallDisplay);
        showLights(next.lights || []);
        byId("start-number").textContent = String(next.startNumber).trim();
        byId("start-time").textContent = String(next.startTime).trim();
        byId("lead-time").textContent = String(next.leadTime).trim();
        showStarter(next.currentStarter || null);
        showNext(next.nextStarters || []);
        showOffset(next.clockOffsetSeconds);
        if (next.unitAnswers) {
            unitQuietSince = null;
        } else if (unitQuietSince === null) {
            unitQuietSince = performance.now();
        }
        body.classList.remove("waiting");
        refreshStatus();
        fit();
    }

    // ---- the connection

    let lastHeardAt = performance.now();
    let source = null;
    let openedAt = 0;

    function heard() {
        lastHeardAt = performance.now();
    }

    function open() {
        if (source) {
            source.close();
        }
        openedAt = performance.now();
        source = new EventSource("/events");
        source.addEventListener("state", (event) => {
            heard();
            try {
                show(JSON.parse(event.data));
            } catch (error) {
                // a state this page cannot read leaves the last one standing
            }
        });
        source.addEventListener("heartbeat", heard);
    }

    function refreshStatus() {
        const now = performance.now();
        const lost = now - lastHeardAt > kSilenceMs;
        const monitoring = Boolean(state && state.monitoring);
        const silent = monitoring && unitQuietSince !== null && now - unitQuietSince >= kUnitSilentMs;
        body.classList.toggle("lost", lost);
        body.classList.toggle("idle", !lost && state !== null && !monitoring);
        body.classList.toggle("silent", !lost && silent);
        let lamp = "off";
        let text = "";
        if (lost) {
            text = texts.connectionLost;
        } else if (state !== null && !monitoring) {
            text = texts.notMonitoring;
        } else if (state !== null) {
            lamp = state.unitAnswers ? "green" : "red";
            text = silent ? texts.unitSilent : texts.live;
        }
        byId("status-lamp").className = `lamp ${lamp}`;
        byId("status-text").textContent = text;
    }

    setInterval(() => {
        refreshStatus();
        const now = performance.now();
        // Silent: the program stopped, or the network went away without a word (the stream then looks open for
        // ever). Either way a new stream is the way back.
        if (now - lastHeardAt > kSilenceMs && now - openedAt > kReopenMs) {
            open();
        }
    }, kCheckMs);

    // ---- the overlay's size: the chosen parts, as large as the browser source holds

    // Every size of the overlay is in em of one size: measured at a probe size, the parts scale to the source's
    // width or height, whichever they meet first. Measured again with each state (a layout, no paint between), but
    // changed only when the parts' extent has.
    let fitted = "";
    function fit() {
        if (!overlay) {
            return;
        }
        const main = byId("live");
        const kProbe = 100;
        const before = main.style.getPropertyValue("--fit");
        main.style.setProperty("--fit", `${kProbe}px`);
        const box = main.getBoundingClientRect();
        const key = `${innerWidth}x${innerHeight}:${box.width.toFixed(0)}x${box.height.toFixed(0)}`;
        if (key === fitted) {
            main.style.setProperty("--fit", before);
            return;
        }
        fitted = key;
        const scale = Math.min((innerWidth * 0.98) / box.width, (innerHeight * 0.98) / box.height);
        main.style.setProperty("--fit", `${Math.max(1, kProbe * scale).toFixed(2)}px`);
    }
    addEventListener("resize", fit);
    document.fonts.ready.then(() => {
        fitted = "";
        fit();
    });

    showDisplay(byId("large"), "", kLargeWidth, texts.largeDisplay);
    showDisplay(byId("small"), "", kSmallWidth, texts.smallDisplay);
    showLights(["off", "off", "off"]);
    showStarter(null);
    showNext([]);
    showOffset(null);
    fit();
    open();
})();
