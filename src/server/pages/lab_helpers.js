  const $ = (id) => document.getElementById(id);
  const KEY = 'veltrane.lab.';
  const MAX_FILE = 20 * 1024 * 1024;
  const MAX_STORED = 2000000;
  const LINE_PX = 20;
  const VIEWS = [['tree', 'Tree'], ['outline', 'Outline'], ['tokens', 'Tokens'],
    ['statements', 'Statements'], ['problems', 'Problems'], ['profile', 'Profile']];
  const SVGNS = 'http://www.w3.org/2000/svg';

  const S = {
    files: [], cur: 0, result: null, stmts: [], stmt: 0, pick: null, folds: new Set(),
    zoom: 1, ox: 20, oy: 20, seq: 0, timer: null, samples: [], view: 'tree', sort: null,
    layout: null, fresh: true, refit: false, rootKey: null, choice: 0, stale: new Set(), request: null,
  };

  // ---- small helpers ----
  function store(key, value) { try { localStorage.setItem(KEY + key, value); } catch (e) { /* ignored */ } }
  function load(key) { try { return localStorage.getItem(KEY + key); } catch (e) { return null; } }
  function esc(text) {
    return String(text).replace(/[&<>"']/g, (c) => ({ '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;', "'": '&#39;' })[c]);
  }
  function el(tag, cls, text) {
    const node = document.createElement(tag);
    if (cls) node.className = cls;
    if (text !== undefined && text !== null) node.textContent = String(text);
    return node;
  }
  function svg(tag, attrs) {
    const node = document.createElementNS(SVGNS, tag);
    for (const k in attrs) node.setAttribute(k, attrs[k]);
    return node;
  }
  // The length of `text` in UTF-8, a lone surrogate counted as U+FFFD (3 bytes). Only the
  // characters beyond ASCII are walked one by one.
  function utf8Length(text) {
    const wide = text.replace(/[\x00-\x7f]+/g, '');
    let bytes = text.length;
    let surrogates = false;
    for (let i = 0; i < wide.length; i++) {
      const c = wide.charCodeAt(i);
      bytes += c < 0x800 ? 1 : 2;
      if (c >= 0xd800 && c <= 0xdfff) surrogates = true;
    }
    // A pair is 4 bytes, not 3 + 3.
    if (surrogates) bytes -= 2 * (text.match(/[\ud800-\udbff][\udc00-\udfff]/g) || []).length;
    return bytes;
  }
  let toastTimer = null;
  // One message, or several shown together one line each (a list).
  function toast(text) {
    const t = $('toast');
    t.textContent = '';
    for (const line of Array.isArray(text) ? text : [text]) t.appendChild(el('div', '', line));
    t.classList.add('on');
    clearTimeout(toastTimer);
    toastTimer = setTimeout(() => t.classList.remove('on'), 2200);
  }
  function fmt2(x) { return (Math.round(x * 100) / 100).toFixed(2); }
  // "1 statement", "2 statements": a count with its noun in the singular or the plural.
  function counted(count, one, many) { return count + ' ' + (count === 1 ? one : many); }
  function keyOf(n) { return n.s + ':' + n.e + ':' + n.k; }
  function isToken(n) { return n.t !== undefined; }
  function label(n) { return isToken(n) ? n.t : n.k; }
  function errs(item) { return Array.isArray(item.errors) ? item.errors : []; }
  function warns(item) { return Array.isArray(item.warnings) ? item.warnings : []; }
  function cur() { return S.files[S.cur]; }
  function saveBlob(blob, name) {
    const a = document.createElement('a');
    a.href = URL.createObjectURL(blob);
    a.download = name;
    document.body.appendChild(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(a.href), 4000);
  }
  function saveText(text, name, type) { saveBlob(new Blob([text], { type: type }), name); }
  function csvField(value) {
    const text = value === undefined || value === null ? '' : String(value);
    return /[",\r\n]/.test(text) ? '"' + text.replace(/"/g, '""') + '"' : text;
  }
  function csv(header, rows) {
    let out = header.map(csvField).join(',') + '\r\n';
    for (const row of rows) out += row.map(csvField).join(',') + '\r\n';
    return out;
  }

  // ---- long work in slices ----
  // A long job is a generator that yields often; it runs in slices of at most SLICE_MS of
  // the main thread, so that keys and frames come between them, and it stops at the next
  // slice once `alive()` is false (its result is then DROPPED).
  const SLICE_MS = 12;
  const DROPPED = Symbol('dropped');
  const slices = { channel: new MessageChannel(), queue: [] };
  slices.channel.port1.onmessage = () => slices.queue.shift()();
  function nextSlice(step) {
    slices.queue.push(step);
    slices.channel.port2.postMessage(0);
  }
  function runSliced(job, alive) {
    return new Promise((resolve, reject) => {
      const step = () => {
        if (!alive()) { resolve(DROPPED); return; }
        const until = performance.now() + SLICE_MS;
        try {
          for (;;) {
            const next = job.next();
            if (next.done) { resolve(next.value); return; }
            if (performance.now() >= until) break;
          }
        } catch (e) {
          reject(e);
          return;
        }
        nextSlice(step);
      };
      step();
    });
  }
  function runNow(job) {
    for (;;) {
      const next = job.next();
      if (next.done) return next.value;
    }
  }
