// Shared by the result pages: read a parameter of the page's address and
// show it as plain text, never as markup.
"use strict";

function param(name) {
  const value = new URLSearchParams(window.location.search).get(name);
  return value === null ? "" : value;
}

function show(id, text) {
  const element = document.getElementById(id);
  if (element) {
    element.textContent = text;
  }
}

// A measured text as a number; NaN when it is none (empty, a dash...).
function measured(text) {
  const t = String(text).trim();
  return /^-?[0-9]+([.,][0-9]+)?$/.test(t) ? Number(t.replace(",", ".")) : NaN;
}

// kind: "ok", "warn", "bad" or "none"; lines: plain texts.
function verdict(kind, lines) {
  const box = document.getElementById("verdict");
  if (!box) {
    return;
  }
  box.className = "verdict " + kind;
  box.textContent = "";
  for (const line of lines) {
    const p = document.createElement("p");
    p.textContent = line;
    box.appendChild(p);
  }
}
