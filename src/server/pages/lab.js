  // ---- the editor's text, read once per change, and its line starts (UTF-16 columns) ----
  let editorText = '';
  let editorBytes = -1;
  let lineStarts = [0];
  function takeEditorText() {
    editorText = $('editor').value;
    editorBytes = -1;
    lineStarts = [0];
    for (let i = editorText.indexOf('\n'); i >= 0; i = editorText.indexOf('\n', i + 1)) lineStarts.push(i + 1);
    return editorText;
  }
  function editorUtf8Length() {
    if (editorBytes < 0) editorBytes = utf8Length(editorText);
    return editorBytes;
  }
  function lineColOf(offset) {
    let lo = 0, hi = lineStarts.length - 1;
    while (lo < hi) {
      const mid = (lo + hi + 1) >> 1;
      if (lineStarts[mid] <= offset) lo = mid; else hi = mid - 1;
    }
    return [lo + 1, offset - lineStarts[lo] + 1];
  }

  // ---- files ----
  // Edits are saved once typing pauses, and at once when the page is hidden or closed.
  const SAVE_PAUSE_MS = 500;
  let saveTimer = null;
  function saveFilesSoon() {
    clearTimeout(saveTimer);
    saveTimer = setTimeout(saveFiles, SAVE_PAUSE_MS);
  }
  function saveIfPending() {
    if (saveTimer !== null) saveFiles();
  }
  // A text of MAX_STORED characters or more is stored as "". When the browser's storage
  // cannot hold the rest, the largest texts are stored as "" too, largest first, until it
  // fits: the small files and their edits are always kept. A text not kept is marked
  // "unkept", and stays so after a reload until the file is opened or typed into again.
  function saveFiles() {
    clearTimeout(saveTimer);
    saveTimer = null;
    const unkept = (name) => ({ name: name, text: '', unkept: true });
    const list = S.files.map((f) => (f.unkept || f.text.length >= MAX_STORED ? unkept(f.name) : { name: f.name, text: f.text }));
    const largestFirst = list.map((entry, i) => i).filter((i) => list[i].text)
      .sort((a, b) => list[b].text.length - list[a].text.length);
    let kept = writeFiles(list);
    for (const i of largestFirst) {
      if (kept) break;
      list[i] = unkept(list[i].name);
      kept = writeFiles(list);
    }
    // Storage that refuses everything (a private window) is ignored.
    if (kept) showUnkept(list.filter((entry) => entry.unkept).map((entry) => entry.name));
    store('cur', String(S.cur));
  }
  function writeFiles(list) {
    try {
      localStorage.setItem(KEY + 'files', JSON.stringify(list));
      return true;
    } catch (e) {
      return false;
    }
  }
  // The footer says how many open files are not kept, once each time that set changes.
  let unkeptNames = '';
  function showUnkept(names) {
    if (names.join('\n') === unkeptNames) return;
    unkeptNames = names.join('\n');
    const note = $('unkept');
    note.textContent = names.length === 1
      ? '1 large file is not kept in this browser; reopen it after a reload'
      : names.length + ' large files are not kept in this browser; reopen them after a reload';
    note.hidden = names.length === 0;
  }
  function addFile(name, text) {
    const at = S.files.findIndex((f) => f.name === name);
    if (at >= 0) { S.files[at].text = text; S.files[at].unkept = false; saveFiles(); return at; }
    S.files.push({ name: name, text: text, status: '' });
    saveFiles();
    return S.files.length - 1;
  }
  function chooseFile(index) {
    S.cur = Math.max(0, Math.min(index, S.files.length - 1));
    S.stmt = 0; S.pick = null; S.folds = new Set(); S.fresh = true;
    const f = cur();
    const editor = $('editor');
    editor.value = f ? f.text : '';
    // The text area turns CR LF and lone CR into LF: keep what it holds.
    const text = takeEditorText();
    if (f) f.text = text;
    // Each file keeps its caret while the page is open; a file seen first starts at its top.
    const caret = f && f.caret ? f.caret : [0, 0];
    editor.setSelectionRange(Math.min(caret[0], editor.value.length), Math.min(caret[1], editor.value.length));
    editor.scrollTop = 0;
    editor.scrollLeft = 0;
    showUnkeptNote();
    updateCaret();
    store('cur', String(S.cur));
    drawTabs();
    paintEditor();
    parseNow();
  }
  // A file whose text was not kept shows a note in place of its text.
  function showUnkeptNote() {
    const f = cur();
    const note = $('unkeptnote');
    note.hidden = !(f && f.unkept);
    note.textContent = f && f.unkept ? f.name + ': not kept in this browser; reopen it' : '';
  }
  // Every tab closed since the page opened, newest first, each with its text and its place.
  const closedTabs = [];
  function closeFile(index) {
    const c = S.cur;
    closedTabs.unshift({ file: S.files[index], index: index });
    showReopen();
    S.files.splice(index, 1);
    let next = (index <= c && c > 0) ? c - 1 : c;
    next = Math.min(next, S.files.length - 1);
    saveFiles();
    chooseFile(Math.max(next, 0));
  }
  // The footer offers one closed tab by its name, and several as a list, newest first.
  function showReopen() {
    const count = closedTabs.length;
    $('reopenbox').hidden = count === 0;
    $('reopen').textContent = count === 1 ? 'Reopen ' + closedTabs[0].file.name : 'Reopen a closed tab (' + count + ') ▴';
    $('reopenmenu').hidden = true;
  }
  // The first line of a text that is not blank, cut to a few words, to tell closed tabs apart.
  function firstLine(file) {
    if (file.unkept) return 'not kept in this browser';
    const found = /\S[^\n]*/.exec(file.text);
    if (!found) return 'empty';
    const line = found[0].trimEnd();
    return line.length > 60 ? line.slice(0, 60) + '…' : line;
  }
  function offerClosed(ev) {
    ev.stopPropagation();
    const menu = $('reopenmenu');
    if (closedTabs.length === 1) { reopenFile(0); return; }
    if (!menu.hidden) { menu.hidden = true; return; }
    menu.textContent = '';
    closedTabs.forEach((entry, i) => {
      const b = el('button', '', entry.file.name);
      b.title = entry.file.name;
      b.appendChild(el('small', '', firstLine(entry.file)));
      b.addEventListener('click', () => reopenFile(i));
      menu.appendChild(b);
    });
    menu.hidden = false;
  }
  // A closed tab comes back where it was; a name taken since gets a number.
  function reopenFile(which) {
    const [entry] = closedTabs.splice(which, 1);
    if (!entry) return;
    showReopen();
    const file = entry.file;
    const index = Math.min(entry.index, S.files.length);
    const taken = (name) => S.files.some((f) => f.name === name);
    const dot = file.name.lastIndexOf('.');
    const [stem, suffix] = dot > 0 ? [file.name.slice(0, dot), file.name.slice(dot)] : [file.name, ''];
    for (let n = 2; taken(file.name); n++) file.name = stem + ' (' + n + ')' + suffix;
    S.files.splice(index, 0, file);
    saveFiles();
    chooseFile(index);
  }
  function newFile() {
    let n = 1;
    while (S.files.some((f) => f.name === 'untitled-' + n + '.sql')) n++;
    const at = addFile('untitled-' + n + '.sql', '');
    chooseFile(at);
    $('editor').focus();
  }
  function sampleFileName(title) {
    return title.replace(/[^A-Za-z0-9]+/g, '_').toLowerCase() + '.sql';
  }
  async function openFiles(list) {
    let added = 0, last = -1;
    const messages = [];
    for (const file of Array.from(list)) {
      if (file.size > MAX_FILE) { messages.push(file.name + ': over 20 MiB, use veltrane report'); continue; }
      const text = await file.text();
      last = addFile(file.name, text);
      added++;
    }
    if (last >= 0) chooseFile(last);
    messages.push('Opened ' + added + (added === 1 ? ' file' : ' files'));
    toast(messages);
  }
  function drawTabs() {
    const tabs = $('tabs');
    tabs.textContent = '';
    S.files.forEach((f, i) => {
      const tab = el('div', 'tab' + (i === S.cur ? ' cur' : ''));
      tab.appendChild(el('span', 'dot' + (f.status ? ' ' + f.status : '')));
      tab.appendChild(el('span', 'name', f.name));
      tab.title = f.name;
      if (S.files.length > 1) {
        const x = el('span', 'x', '×');
        x.title = 'Close';
        x.addEventListener('click', (ev) => { ev.stopPropagation(); closeFile(i); });
        tab.appendChild(x);
      }
      tab.addEventListener('click', () => { if (i !== S.cur) chooseFile(i); });
      tabs.appendChild(tab);
    });
  }

  // ---- parsing ----
  const NOT_ANSWERING = 'the Lab server is not answering; start it again with veltrane lab';
  // The text of a failed answer: the "error" of a JSON error ({"error": "out of memory"}),
  // else the text itself.
  function answerError(text) {
    try {
      const value = JSON.parse(text);
      if (value && typeof value.error === 'string') return value.error;
    } catch (e) { /* plain text */ }
    return text;
  }
  // With "Parse as I type" on, an edit makes every earlier parse old at once: its answer,
  // or what is left of taking it in, is dropped.
  function schedule() {
    clearTimeout(S.timer);
    if ($('auto').checked) {
      dropParse();
      S.timer = setTimeout(parseNow, 280);
    }
  }
  // Makes every parse so far old, and stops the request of the latest.
  function dropParse() {
    S.seq++;
    if (S.request) S.request.abort();
    S.request = null;
  }
  // The body of a parse request, {"name", "source", "version"} in UTF-8, made in slices:
  // the source is written as JSON and encoded a piece at a time.
  function* requestBody(name, source, version) {
    const PIECE = 262144;
    const encoder = new TextEncoder();
    const parts = [encoder.encode('{"name":' + JSON.stringify(name) + ',"source":"')];
    for (let at = 0; at < source.length;) {
      let end = Math.min(source.length, at + PIECE);
      // A surrogate pair is never cut in two.
      const last = source.charCodeAt(end - 1);
      if (end < source.length && last >= 0xd800 && last <= 0xdbff) end++;
      parts.push(encoder.encode(JSON.stringify(source.slice(at, end)).slice(1, -1)));
      at = end;
      yield;
    }
    parts.push(encoder.encode('","version":' + JSON.stringify(version) + '}'));
    return new Blob(parts, { type: 'application/json' });
  }
  async function parseNow() {
    clearTimeout(S.timer);
    const f = cur();
    if (!f) return;
    dropParse();
    const seq = S.seq;
    const alive = () => seq === S.seq;
    const request = new AbortController();
    S.request = request;
    const started = performance.now();
    let result;
    try {
      let answer, text;
      const body = await runSliced(requestBody(f.name, f.text, $('version').value), alive);
      if (body === DROPPED) return;
      try {
        answer = await fetch('/api/parse', {
          method: 'POST', headers: { 'Content-Type': 'application/json' }, body: body, signal: request.signal,
        });
        text = await answer.text();
      } catch (e) {
        if (!alive()) return;
        throw new Error(NOT_ANSWERING);
      }
      if (!answer.ok) throw new Error(answerError(text));
      if (!alive()) return;
      result = await runSliced(readAnswer(text), alive);
      if (result === DROPPED) return;
      if (result.error !== undefined) throw new Error(String(result.error));
    } catch (e) {
      if (alive()) $('summary').textContent = 'Could not parse: ' + (e && e.message ? e.message : String(e));
      return;
    }
    result.roundtrip = performance.now() - started;
    if (S.request === request) S.request = null;
    await applyResult(result, alive);
  }
  // The result becomes current once the chosen statement's tree is ready.
  async function applyResult(result, alive) {
    const stmts = (result.items || []).filter((item) => item.kind !== 'sqlplus');
    let index = S.stmt < stmts.length ? S.stmt : 0;
    while (needsPreparing(stmts[index])) {
      if (!await prepareTree(stmts[index], alive)) return;
      if (S.stmt !== index && S.stmt < stmts.length) index = S.stmt;
    }
    if (!alive()) return;
    S.result = result;
    S.stmts = stmts;
    const counts = result.counts || {};
    const file = S.files.find((f) => f.name === result.name);
    if (file) file.status = counts.errors ? 'bad' : (counts.warnings ? 'warn' : '');
    if (S.stmt >= S.stmts.length) { S.stmt = 0; S.pick = null; S.fresh = true; }
    if (S.fresh) {
      enterStatement();
    } else {
      // The same statement, edited: a large one stays folded.
      const item = currentStatement();
      if (item && item.tree && keyOf(item.tree) !== S.rootKey) foldLarge(item.tree);
    }
    const chosen = currentStatement();
    S.rootKey = chosen && chosen.tree ? keyOf(chosen.tree) : null;
    drawTabs();
    paintEditor();
    // The views are drawn in a task of their own, after the editor's colours.
    await new Promise(nextSlice);
    if (S.result !== result) return;
    drawAll();
    const parsing = S.stmts.reduce((sum, item) => sum + (item.micros || 0), 0) / 1000;
    $('summary').textContent = counted(counts.statements || 0, 'statement', 'statements') + ' · ' +
      (counts.with_errors || 0) + ' with errors · ' + counted(counts.warnings || 0, 'warning', 'warnings') +
      ' · ' + counted(counts.sqlplus || 0, 'SQL*Plus command', 'SQL*Plus commands') +
      ' · parsed in ' + fmt2(parsing) + ' ms';
    $('ver').textContent = 'Oracle ' + result.version;
  }

  // ---- the editor ----
  function resultMatches() {
    const f = cur();
    // A text has at least as many UTF-8 bytes as UTF-16 units: a key typed is told apart
    // without counting the bytes.
    return !!(S.result && f && S.result.name === f.name && S.result.bytes >= editorText.length &&
      S.result.bytes === editorUtf8Length());
  }
  // The marks that overlap [from, to), cut to it.
  function marksWithin(from, to, withResult) {
    const found = [];
    if (withResult) {
      const { names, count, starts, ends, kinds, reach } = S.result.marks;
      let lo = 0, hi = count;
      while (lo < hi) {
        const mid = (lo + hi) >> 1;
        if (reach[mid] > from) hi = mid; else lo = mid + 1;
      }
      for (let i = lo; i < count && starts[i] < to; i++) {
        if (ends[i] > from) found.push([Math.max(starts[i], from), Math.min(ends[i], to), names[kinds[i]]]);
      }
      if (S.pick && S.pick.s < to && S.pick.e > from) found.push([Math.max(S.pick.s, from), Math.min(S.pick.e, to), 'sel']);
    }
    return found;
  }
  // The coloured copy and the gutter hold only the lines in view and PAINT_MARGIN lines
  // above and below, moved into place as the text area scrolls. The copy is one element
  // per line, and an edit writes again only the lines whose markup changed.
  const PAINT_MARGIN = 30;
  const painted = { first: 0, last: 0, lines: [], gutterLines: '', gutterResult: null };
  // The markup of lines [first, last) of the text: escaped pieces, each inside one element
  // with the classes of every mark that covers it whole.
  function lineMarkup(first, last, matches) {
    const text = editorText;
    const from = lineStarts[first];
    const to = last < lineStarts.length ? lineStarts[last] - 1 : text.length;
    const events = [];
    for (const m of marksWithin(from, to, matches)) {
      if (m[1] <= m[0]) continue;
      events.push([m[0], 1, m[2]], [m[1], -1, m[2]]);
    }
    events.sort((a, b) => a[0] - b[0]);
    const active = new Map();
    const lines = [''];
    let at = from;
    const flush = (upTo) => {
      if (upTo <= at) return;
      const cls = [];
      for (const [name, count] of active) if (count > 0) cls.push(name);
      const open = cls.length ? '<span class="' + cls.join(' ') + '">' : '';
      const close = cls.length ? '</span>' : '';
      text.slice(at, upTo).split('\n').forEach((piece, i) => {
        if (i > 0) lines.push('');
        if (piece) lines[lines.length - 1] += open + esc(piece) + close;
      });
      at = upTo;
    };
    for (const ev of events) {
      flush(ev[0]);
      active.set(ev[2], (active.get(ev[2]) || 0) + ev[1]);
    }
    flush(to);
    return lines;
  }
  function paintEditor() {
    const editor = $('editor');
    const lineCount = lineStarts.length;
    const top = Math.floor(editor.scrollTop / LINE_PX);
    const first = Math.max(0, top - PAINT_MARGIN);
    const last = Math.min(lineCount, top + Math.ceil(editor.clientHeight / LINE_PX) + 1 + PAINT_MARGIN);
    const matches = resultMatches();
    const lines = lineMarkup(first, last, matches);
    const mirror = $('mirror');
    if (first !== painted.first || lines.length !== painted.lines.length || !mirror.firstChild) {
      // As wide as the text, so that the copy scrolls sideways as far as the text area.
      mirror.innerHTML = '<div style="width:' + editor.scrollWidth + 'px">' +
        lines.map((line) => '<div>' + line + '</div>').join('') + '</div>';
    } else {
      const rows = mirror.firstChild.children;
      lines.forEach((line, i) => { if (line !== painted.lines[i]) rows[i].innerHTML = line; });
      mirror.firstChild.style.width = editor.scrollWidth + 'px';
    }
    painted.first = first;
    painted.last = last;
    painted.lines = lines;
    paintGutter(first, last, matches);
    alignCopies();
  }
  // The gutter is drawn again only when its lines or their marks change.
  function paintGutter(first, last, matches) {
    const lines = first + ',' + last + ',' + lineStarts.length;
    const result = matches ? S.result : null;
    if (lines === painted.gutterLines && result === painted.gutterResult) return;
    painted.gutterLines = lines;
    painted.gutterResult = result;
    const { errLines, warnLines } = matches ? S.result.marks : { errLines: new Set(), warnLines: new Set() };
    const numbers = el('div');
    for (let i = first + 1; i <= last; i++) {
      numbers.appendChild(el('div', errLines.has(i) ? 'err' : (warnLines.has(i) ? 'warn' : ''), i));
    }
    numbers.appendChild(el('div', '', '\u00a0'));
    const gutter = $('gutter');
    // Wide enough for the number of the last line.
    gutter.style.width = 'max(48px, calc(' + String(lineStarts.length).length + 'ch + 10px))';
    gutter.textContent = '';
    gutter.appendChild(numbers);
  }
  function alignCopies() {
    const editor = $('editor');
    const shift = 'translateY(' + (painted.first * LINE_PX - editor.scrollTop) + 'px)';
    $('mirror').firstChild.style.transform = shift;
    $('mirror').scrollLeft = editor.scrollLeft;
    $('gutter').firstChild.style.transform = shift;
  }
  // Scrolling paints again only when lines in view were not painted.
  function syncScroll() {
    const editor = $('editor');
    const top = Math.floor(editor.scrollTop / LINE_PX);
    const bottom = Math.min(lineStarts.length, top + Math.ceil(editor.clientHeight / LINE_PX) + 1);
    if (top < painted.first || bottom > painted.last) paintEditor();
    else alignCopies();
  }
  function updateCaret() {
    const editor = $('editor');
    const [line, col] = lineColOf(editor.selectionStart);
    const f = cur();
    if (f) f.caret = [editor.selectionStart, editor.selectionEnd];
    $('caret').textContent = 'Ln ' + line + ', Col ' + col;
  }
  function onEdit() {
    const f = cur();
    if (!f) return;
    f.text = takeEditorText();
    if (f.unkept && f.text) {
      f.unkept = false;
      showUnkeptNote();
    }
    paintEditor();
    saveFilesSoon();
    updateCaret();
    schedule();
  }
  // Puts the line of `offset` four lines from the top; the caller paints the editor next.
  function scrollToOffset(offset) {
    const [line] = lineColOf(offset);
    $('editor').scrollTop = Math.max(0, (line - 4) * LINE_PX);
  }
  function onEditorClick() {
    updateCaret();
    if (!resultMatches()) return;
    const caret = $('editor').selectionStart;
    const index = S.stmts.findIndex((item) => item.s <= caret && caret <= item.e);
    if (index < 0) return;
    if (index !== S.stmt) chooseStatement(index, { scroll: false, then: () => pickAt(index, caret) });
    else pickAt(index, caret);
  }
  function pickAt(index, caret) {
    const root = S.stmts[index].tree;
    if (!root) return;
    let node = root, last = root;
    while (node) {
      last = node;
      let next = null;
      for (const child of node.c || []) if (child.s <= caret && caret <= child.e) { next = child; break; }
      node = next;
    }
    pick(last, false);
  }

  // ---- statements, selection and folds ----
  function annotate(root) {
    if (root && !root._ann) runNow(annotating(root));
  }
  // Parents, depths and the number of nodes and tokens below each node, with explicit stacks.
  function* annotating(root) {
    root._d = 0;
    const order = [];
    const stack = [root];
    while (stack.length) {
      const n = stack.pop();
      order.push(n);
      for (const child of n.c || []) { child._d = n._d + 1; child._p = n; stack.push(child); }
      if (order.length % 8192 === 0) yield;
    }
    for (let i = order.length - 1; i >= 0; i--) {
      const n = order[i];
      let below = 0;
      for (const child of n.c || []) below += 1 + (child._n || 0);
      n._n = below;
      if (i % 8192 === 0) yield;
    }
    root._ann = true;
  }
  function currentStatement() { return S.stmts[S.stmt]; }
  function foldBelow(root, depth) {
    annotate(root);
    const stack = [root];
    while (stack.length) {
      const n = stack.pop();
      if (n.c && n.c.length && n._d >= depth) S.folds.add(keyOf(n));
      else for (const child of n.c || []) stack.push(child);
    }
  }
  // A tree of more than 900 nodes and tokens is folded below depth 6; one of more than
  // LARGE_TREE below the deepest depth that leaves at most TREE_BOXES boxes to draw (at
  // least depth 1).
  const LARGE_TREE = 5000;
  const TREE_BOXES = 500;
  function foldLarge(root) {
    annotate(root);
    if (root._n + 1 > 900) foldBelow(root, root._n + 1 > LARGE_TREE ? readableDepth(root) : 6);
  }
  function readableDepth(root) {
    const perDepth = [0, 0, 0, 0, 0, 0, 0];
    const stack = [root];
    while (stack.length) {
      const n = stack.pop();
      perDepth[n._d]++;
      if (n._d < 6) for (const child of n.c || []) stack.push(child);
    }
    let depth = 1, boxes = perDepth[0] + perDepth[1];
    while (depth < 6 && boxes + perDepth[depth + 1] <= TREE_BOXES) boxes += perDepth[++depth];
    return depth;
  }
  // A statement drawn afresh: no folds, but a large one folded.
  function enterStatement() {
    S.folds = new Set();
    S.fresh = true;
    const item = currentStatement();
    if (item && item.tree) foldLarge(item.tree);
    return item;
  }
  // Chooses a statement, by default bringing its first line into view as a selection does;
  // `then`, when given, runs once it is chosen. A large tree is prepared first, unless
  // another statement is chosen or another result arrives meanwhile.
  function chooseStatement(index, { show = false, scroll = true, then = null } = {}) {
    const choice = ++S.choice;
    const wanted = S.stmts[index];
    if (needsPreparing(wanted)) {
      const stmts = S.stmts;
      prepareTree(wanted, () => choice === S.choice && stmts === S.stmts).then((ready) => {
        if (ready && choice === S.choice) chooseStatement(index, { show: show, scroll: scroll, then: then });
      });
      return;
    }
    S.stmt = index;
    S.pick = null;
    const item = enterStatement();
    if (item && item.tree) S.pick = { s: item.tree.s, e: item.tree.e, key: keyOf(item.tree) };
    if (show) showView('tree');
    if (item && scroll) scrollToOffset(item.s);
    paintEditor();
    drawAll();
    if (then) then();
  }
  function pick(node, scroll) {
    S.pick = { s: node.s, e: node.e, key: keyOf(node) };
    if (scroll) scrollToOffset(node.s);
    paintEditor();
    drawTree();
    drawOutline();
  }
  function pickRange(s, e) {
    S.pick = { s: s, e: e, key: null };
    scrollToOffset(s);
    paintEditor();
    const editor = $('editor');
    editor.setSelectionRange(s, e);
    drawTree();
    drawOutline();
  }
  // Folding or unfolding one node keeps that node where it was on the screen. A node with
  // more than TREE_BOXES nodes and tokens below it opens one level: its children stay folded.
  function toggleFold(node) {
    const k = keyOf(node);
    const box = S.layout ? S.layout.boxes.find((b) => b.n === node) : null;
    const keep = box ? { n: node, sx: S.ox + box.x * S.zoom } : null;
    if (!S.folds.has(k)) {
      S.folds.add(k);
    } else {
      S.folds.delete(k);
      if (node._n > TREE_BOXES) for (const child of node.c) if (child.c && child.c.length) S.folds.add(keyOf(child));
    }
    drawTree(keep);
    drawOutline();
  }
  // Folds that reshape the whole drawing fit it again, as "Centre" does.
  function refold(change) {
    change();
    S.refit = true;
    drawTree();
    drawOutline();
  }

  // ---- views ----
  // A view is drawn when it is shown and what it shows changed since it was last drawn.
  function showView(name) {
    S.view = name;
    store('view', name);
    for (const [id] of VIEWS) {
      $('view-' + id).classList.toggle('cur', id === name);
      $('vb-' + id).classList.toggle('cur', id === name);
    }
    if (S.stale.has(name)) drawView(name);
  }
  function drawView(name) {
    S.stale.delete(name);
    if (name === 'tree') drawTree();
    if (name === 'outline') drawOutline();
    if (name === 'tokens') drawTokens();
    if (name === 'statements') drawStatements();
    if (name === 'problems') drawProblems();
    if (name === 'profile') drawProfile();
  }
  function drawViewButtons() {
    const nav = $('views');
    for (const [id, title] of VIEWS) {
      const b = el('button', '', title);
      b.id = 'vb-' + id;
      const count = el('span', 'count');
      count.id = 'vc-' + id;
      b.appendChild(count);
      b.addEventListener('click', () => showView(id));
      nav.appendChild(b);
    }
  }
  function drawCounts() {
    const stCount = $('vc-statements');
    stCount.textContent = S.result ? String(S.stmts.length) : '';
    const pc = $('vc-problems');
    const counts = (S.result && S.result.counts) || {};
    const total = (counts.errors || 0) + (counts.warnings || 0);
    pc.textContent = total ? String(total) : '';
    pc.className = 'count' + (counts.errors ? ' bad' : '');
  }
  function drawAll() {
    drawCounts();
    drawStatementSelect();
    for (const [id] of VIEWS) S.stale.add(id);
    drawView(S.view);
  }
  // The statement selector lists every statement when there are at most WHOLE_SELECT;
  // of a longer list, the SELECT_WINDOW around the chosen one (the Statements view lists
  // them all): a selector of thousands of entries slows every layout of the page.
  const WHOLE_SELECT = 1000;
  const SELECT_WINDOW = 400;
  const selector = { stmts: null, from: 0, to: 0 };
  function drawStatementSelect() {
    const sel = $('stmtsel');
    const shown = S.stmts.length <= WHOLE_SELECT ? S.stmts.length : SELECT_WINDOW;
    const from = Math.max(0, Math.min(S.stmt - shown / 2, S.stmts.length - shown));
    const to = Math.min(S.stmts.length, from + shown);
    const same = selector.stmts === S.stmts && S.stmt >= selector.from && S.stmt < selector.to;
    if (!same) {
      const options = document.createDocumentFragment();
      for (let i = from; i < to; i++) {
        const item = S.stmts[i];
        const o = el('option', '', (i + 1) + '. line ' + item.line + ': ' + item.statement + (errs(item).length ? ' ⚠' : ''));
        o.value = String(i);
        options.appendChild(o);
      }
      sel.textContent = '';
      sel.appendChild(options);
      Object.assign(selector, { stmts: S.stmts, from: from, to: to });
    }
    sel.value = String(S.stmt);
  }

  // Tree layout: leaves left to right, parents centred over their children, with explicit stacks.
  function boxWidth(n, kinds) {
    let chars;
    if (isToken(n)) chars = kinds ? Math.max(n.t.length, 0.8 * n.k.length) : n.t.length;
    else chars = (S.folds.has(keyOf(n)) ? n.k + ' …' + n._n : n.k).length;
    return Math.max(36, 7 * chars + 18);
  }
  function layoutTree(root) {
    const kinds = $('kinds').checked;
    const boxes = [];
    let cursor = 0;
    const stack = [{ n: root, i: 0, kids: [], d: 0 }];
    while (stack.length) {
      const f = stack[stack.length - 1];
      const open = !isToken(f.n) && f.n.c && f.n.c.length && !S.folds.has(keyOf(f.n));
      if (open && f.i < f.n.c.length) {
        stack.push({ n: f.n.c[f.i++], i: 0, kids: [], d: f.d + 1 });
        continue;
      }
      stack.pop();
      const box = { n: f.n, d: f.d, w: boxWidth(f.n, kinds), kids: f.kids, x: 0, mod: 0 };
      if (!f.kids.length) {
        box.x = cursor + box.w / 2;
        cursor += box.w + 14;
      } else {
        const first = boxes[f.kids[0]], last = boxes[f.kids[f.kids.length - 1]];
        box.x = (first.x + last.x) / 2;
        const spanLeft = first.x - first.w / 2, spanRight = last.x + last.w / 2;
        const span = spanRight - spanLeft;
        if (box.w > span) {
          const shift = (box.w - span) / 2;
          box.x += shift;
          box.mod = shift;
          cursor = Math.max(cursor + shift, box.x + box.w / 2 + 14);
        }
      }
      boxes.push(box);
      if (stack.length) stack[stack.length - 1].kids.push(boxes.length - 1);
    }
    // Apply the shifts of every ancestor, from the root down.
    const rootIndex = boxes.length - 1;
    const down = [[rootIndex, 0]];
    let width = 0, depth = 0;
    while (down.length) {
      const [index, acc] = down.pop();
      const box = boxes[index];
      box.x += acc;
      width = Math.max(width, box.x + box.w / 2);
      depth = Math.max(depth, box.d);
      for (const k of box.kids) down.push([k, acc + box.mod]);
    }
    return { boxes: boxes, root: boxes[rootIndex], width: width, height: depth * 54 + 24 };
  }
  function errorStarts(item) { return errs(item).map((d) => d.s); }
  function isRed(n, starts) {
    if (isToken(n)) return false;
    for (const p of starts) {
      if (n.s <= p && p < Math.max(n.e, n.s + 1)) {
        let inChild = false;
        for (const c of n.c || []) if (c.s <= p && p < c.e) { inChild = true; break; }
        if (!inChild) return true;
      }
    }
    return false;
  }
  function applyTransform() {
    $('treeg').setAttribute('transform', 'translate(' + S.ox + ',' + S.oy + ') scale(' + S.zoom + ')');
  }
  function fit(whole) {
    if (!S.layout) return;
    const box = $('treebox');
    const W = box.clientWidth || 600, H = box.clientHeight || 400;
    const tw = S.layout.width, th = S.layout.height;
    const ratio = Math.min((W - 40) / (tw + 40), (H - 50) / (th + 30));
    if (whole) {
      S.zoom = Math.max(0.05, Math.min(1.2, ratio));
      S.ox = (W - tw * S.zoom) / 2;
      S.oy = 26;
    } else {
      S.zoom = Math.max(0.7, Math.min(1.2, ratio));
      S.ox = tw * S.zoom <= W ? (W - tw * S.zoom) / 2 : W / 2 - S.layout.root.x * S.zoom;
      S.oy = 30;
    }
    applyTransform();
  }
  // Whether some of the drawing lies inside the tree pane at the current zoom and offsets.
  function drawingInView() {
    const box = $('treebox');
    const W = box.clientWidth, H = box.clientHeight;
    if (!S.layout || !W || !H) return true;
    const left = S.ox, right = S.ox + S.layout.width * S.zoom;
    const top = S.oy, bottom = S.oy + S.layout.height * S.zoom;
    return right > 0 && left < W && bottom > 0 && top < H;
  }
  // `keep`, when given, is a node and the screen x it is to keep after the layout changed.
  function drawTree(keep) {
    if (S.view !== 'tree') { S.stale.add('tree'); return; }
    const g = $('treeg');
    g.textContent = '';
    const item = currentStatement();
    const legend = $('legend');
    if (!item || !item.tree) {
      S.layout = null;
      legend.textContent = 'Nothing to draw: no statement here.';
      return;
    }
    const root = item.tree;
    annotate(root);
    const layout = layoutTree(root);
    S.layout = layout;
    const starts = errorStarts(item);
    const kinds = $('kinds').checked;
    const edges = svg('g', {});
    const nodes = svg('g', {});
    layout.boxes.forEach((box, index) => {
      const y = box.d * 54;
      for (const k of box.kids) {
        const child = layout.boxes[k];
        const cy = child.d * 54;
        const mid = (y + 24 + cy) / 2;
        edges.appendChild(svg('path', {
          class: 'edge',
          d: 'M' + box.x + ',' + (y + 24) + ' C' + box.x + ',' + mid + ' ' + child.x + ',' + mid + ' ' + child.x + ',' + cy,
        }));
      }
      const n = box.n;
      const folded = S.folds.has(keyOf(n));
      let cls = 'node' + (isToken(n) ? ' tok' : '') + (folded ? ' folded' : '');
      if (isRed(n, starts)) cls += ' bad';
      if (S.pick && S.pick.key === keyOf(n)) cls += ' picked';
      const group = svg('g', { class: cls, 'data-box': index });
      if (isToken(n)) {
        group.appendChild(svg('rect', { class: 'hit', x: box.x - box.w / 2, y: y, width: box.w, height: 24, rx: 6 }));
      } else {
        group.appendChild(svg('rect', { class: 'box', x: box.x - box.w / 2, y: y, width: box.w, height: 24, rx: 6 }));
      }
      const text = svg('text', { x: box.x, y: y + 12 });
      text.textContent = folded ? n.k + ' …' + n._n : label(n);
      group.appendChild(text);
      if (isToken(n) && kinds) {
        const kind = svg('text', { class: 'kind', x: box.x, y: y + 28 });
        kind.textContent = n.k;
        group.appendChild(kind);
      }
      nodes.appendChild(group);
    });
    g.appendChild(edges);
    g.appendChild(nodes);
    if (keep && keep.n) {
      const kept = layout.boxes.find((b) => b.n === keep.n);
      if (kept) S.ox = keep.sx - kept.x * S.zoom;
    }
    if (S.fresh || S.refit || !drawingInView()) {
      S.fresh = false;
      S.refit = false;
      fit(false);
    } else {
      applyTransform();
    }
    const count = errs(item).length;
    legend.textContent = item.statement + ' · line ' + item.line + ' · ' + item.nodes + ' nodes and tokens' +
      (count === 1 ? ' · 1 error' : (count > 1 ? ' · ' + count + ' errors' : ''));
  }
  function setupTreePointer() {
    const box = $('treebox');
    let drag = null;
    // One listener for every node: the box index a node's group carries.
    const nodeOf = (ev) => {
      const group = ev.target.closest ? ev.target.closest('g[data-box]') : null;
      const found = group && S.layout ? S.layout.boxes[Number(group.getAttribute('data-box'))] : null;
      return found ? found.n : null;
    };
    // The first click draws the tree again, so the second click of a double-click lands
    // on a new node: it is told by the click's count.
    $('treeg').addEventListener('click', (ev) => {
      const n = nodeOf(ev);
      if (!n) return;
      ev.stopPropagation();
      if (ev.detail !== 2) pick(n, true);
      else if (!isToken(n) && n.c && n.c.length) toggleFold(n);
    });
    box.addEventListener('wheel', (ev) => {
      ev.preventDefault();
      const rect = box.getBoundingClientRect();
      const px = ev.clientX - rect.left, py = ev.clientY - rect.top;
      const factor = ev.deltaY < 0 ? 1.12 : 1 / 1.12;
      const zoom = Math.max(0.1, Math.min(3, S.zoom * factor));
      S.ox = px - (px - S.ox) * (zoom / S.zoom);
      S.oy = py - (py - S.oy) * (zoom / S.zoom);
      S.zoom = zoom;
      applyTransform();
    }, { passive: false });
    box.addEventListener('mousedown', (ev) => { drag = { x: ev.clientX, y: ev.clientY, ox: S.ox, oy: S.oy }; });
    window.addEventListener('mousemove', (ev) => {
      if (!drag) return;
      S.ox = drag.ox + ev.clientX - drag.x;
      S.oy = drag.oy + ev.clientY - drag.y;
      applyTransform();
    });
    window.addEventListener('mouseup', () => { drag = null; });
  }

  // Outline: one row per node and token, folds shared with the tree. Up to WHOLE_OUTLINE
  // rows are drawn whole; more are drawn only where they are seen, as the list scrolls.
  const WHOLE_OUTLINE = 2000;
  const ROW_MARGIN = 40;
  function drawOutline() {
    if (S.view !== 'outline') { S.stale.add('outline'); return; }
    const box = $('outline');
    const scrolled = box.scrollTop;
    box.textContent = '';
    box.onscroll = null;
    const item = currentStatement();
    if (!item || !item.tree) { box.appendChild(el('div', 'empty', 'Nothing to show: no statement here.')); $('found').textContent = ''; return; }
    annotate(item.tree);
    const needle = $('find').value.toLowerCase();
    const matches = (n) => n.k.toLowerCase().includes(needle) || (isToken(n) && n.t.toLowerCase().includes(needle));
    const rows = [];
    let found = 0;
    const stack = [item.tree];
    while (stack.length) {
      const n = stack.pop();
      rows.push(n);
      if (needle && matches(n)) found++;
      if (!isToken(n) && n.c && n.c.length && !S.folds.has(keyOf(n))) for (let i = n.c.length - 1; i >= 0; i--) stack.push(n.c[i]);
    }
    $('found').textContent = needle ? found + ' found' : '';
    const row = (n) => {
      const line = el('div', 'orow');
      line.style.paddingLeft = (8 + n._d * 14) + 'px';
      const hasKids = !isToken(n) && n.c && n.c.length;
      const folded = hasKids && S.folds.has(keyOf(n));
      const mark = el('span', 'fold', hasKids ? (folded ? '▸' : '▾') : '');
      if (hasKids) mark.addEventListener('click', (ev) => { ev.stopPropagation(); toggleFold(n); });
      line.appendChild(mark);
      if (isToken(n)) {
        line.appendChild(el('span', '', JSON.stringify(n.t)));
        line.appendChild(el('span', 'tk', n.k));
      } else {
        line.appendChild(el('span', '', n.k));
      }
      const [at, col] = lineColOf(n.s);
      line.appendChild(el('span', 'at', at + ':' + col));
      if (S.pick && S.pick.key === keyOf(n)) line.classList.add('picked');
      if (needle && matches(n)) line.classList.add('found');
      line.addEventListener('click', () => pick(n, true));
      return line;
    };
    if (rows.length <= WHOLE_OUTLINE) {
      const frag = document.createDocumentFragment();
      for (const n of rows) frag.appendChild(row(n));
      box.appendChild(frag);
      return;
    }
    const list = el('div', 'orows');
    box.appendChild(list);
    list.appendChild(row(rows[0]));
    const rowPx = list.firstChild.getBoundingClientRect().height || 20;
    // The room as it will be, so that the scroll is kept.
    list.style.height = Math.min(rows.length * rowPx, MAX_ROOM_PX) + 'px';
    box.scrollTop = scrolled;
    drawWindow(box, rowPx, rows.length, 0, (from, to) => {
      const frag = document.createDocumentFragment();
      for (let i = from; i < to; i++) frag.appendChild(row(rows[i]));
      list.textContent = '';
      list.appendChild(frag);
    }, (top, room) => {
      list.style.paddingTop = top + 'px';
      list.style.height = room + 'px';
    });
  }
  // A list drawn where it is seen stands in a room of at most MAX_ROOM_PX pixels: browsers
  // cut taller boxes short (Chromium at about 33 million pixels), which would leave the last
  // rows of a long list out of reach. A longer list is squeezed into that room: the view
  // moves through its rows faster than the scroll bar through the room, and the end of the
  // room shows the last row.
  const MAX_ROOM_PX = 8000000;
  // Draws rows of a list of `count` rows of `rowPx` pixels in the scrolled `box`, whose top
  // `headPx` pixels a sticky heading covers: those in view and ROW_MARGIN rows on each side,
  // again whenever rows in view were not drawn. `draw(from, to)` makes rows [from, to);
  // `place(top, room)` puts the first row drawn `top` pixels down a room `room` pixels high.
  function drawWindow(box, rowPx, count, headPx, draw, place) {
    const total = count * rowPx;
    const room = Math.min(total, MAX_ROOM_PX);
    let drawn = null;
    const fill = () => {
      const view = Math.max(rowPx, box.clientHeight - headPx);
      const range = Math.max(0, room - view);
      const scrolled = Math.max(0, Math.min(box.scrollTop, range));
      // The top of the view among the rows; unless the list is squeezed, the scroll itself.
      const viewTop = room < total && range > 0 ? Math.min(total - view, scrolled * (total - view) / range) : scrolled;
      // A row stands in the room at its place among the rows plus `shift`.
      const shift = scrolled - viewTop;
      const first = Math.floor(viewTop / rowPx);
      const end = Math.min(count, Math.ceil((viewTop + view) / rowPx) + 1);
      const fits = (from, to) => from * rowPx + shift >= 0 && to * rowPx + shift <= room + 0.5;
      if (!drawn || first < drawn[0] || end > drawn[1] || !fits(drawn[0], drawn[1])) {
        // No more rows are drawn above the view than the room above it holds, nor below.
        const from = Math.max(0, first - ROW_MARGIN, Math.ceil(-shift / rowPx));
        const to = Math.max(from, Math.min(count, end + ROW_MARGIN, Math.floor((room + 0.5 - shift) / rowPx)));
        drawn = [from, to];
        draw(from, to);
      }
      place(drawn[0] * rowPx + shift, room);
    };
    box.onscroll = fill;
    fill();
  }
  // The tree as JSON indented by one space, like JSON.stringify(tree, null, 1), written with
  // an explicit stack: the built-in printer recurses once per level of a deep tree.
  function treeJsonText(tree) {
    const out = [];
    const pad = (depth) => '\n' + ' '.repeat(depth);
    // Entries: a value to write at a depth, or a closing text.
    const stack = [{ v: tree, d: 0 }];
    while (stack.length) {
      const top = stack.pop();
      if (top.text !== undefined) { out.push(top.text); continue; }
      const v = top.v, d = top.d;
      if (Array.isArray(v)) {
        if (!v.length) { out.push('[]'); continue; }
        out.push('[');
        stack.push({ text: pad(d) + ']' });
        for (let i = v.length - 1; i >= 0; i--) {
          stack.push({ v: v[i], d: d + 1 });
          stack.push({ text: (i ? ',' : '') + pad(d + 1) });
        }
      } else if (v !== null && typeof v === 'object') {
        const keys = Object.keys(v).filter((k) => k[0] !== '_');
        if (!keys.length) { out.push('{}'); continue; }
        out.push('{');
        stack.push({ text: pad(d) + '}' });
        for (let i = keys.length - 1; i >= 0; i--) {
          stack.push({ v: v[keys[i]], d: d + 1 });
          stack.push({ text: (i ? ',' : '') + pad(d + 1) + JSON.stringify(keys[i]) + ': ' });
        }
      } else {
        out.push(JSON.stringify(v));
      }
    }
    return out.join('');
  }
  function downloadTreeJson() {
    const item = currentStatement();
    if (!item || !item.tree) return;
    saveText(treeJsonText(item.tree), 'tree-line' + item.line + '.json', 'application/json');
  }

  // Tokens: the leaves of the statement's tree.
  function statementTokens(item) {
    const out = [];
    if (!item || !item.tree) return out;
    const stack = [item.tree];
    while (stack.length) {
      const n = stack.pop();
      if (isToken(n)) { out.push(n); continue; }
      const kids = n.c || [];
      for (let i = kids.length - 1; i >= 0; i--) stack.push(kids[i]);
    }
    return out;
  }
  function tokenRow(t) {
    const [line, col] = lineColOf(t.s);
    return { line: line, col: col, kind: t.k, text: t.t, node: t };
  }
  function tokenRows(tokens) {
    return tokens.map(tokenRow);
  }
  function table(headers, rows, onRow, sortable) {
    const t = el('table');
    const head = el('thead');
    const tr = el('tr');
    headers.forEach((h, i) => {
      let title = h;
      if (sortable && S.sort && S.sort.col === i) title += S.sort.dir > 0 ? ' ▲' : ' ▼';
      const th = el('th', '', title);
      if (sortable) th.addEventListener('click', () => sortable(i));
      tr.appendChild(th);
    });
    head.appendChild(tr);
    t.appendChild(head);
    const body = el('tbody');
    for (const row of rows) body.appendChild(tableRow(row, onRow));
    t.appendChild(body);
    return t;
  }
  function tableRow(row, onRow) {
    const r = el('tr');
    for (const cell of row.cells) r.appendChild(el('td', cell.cls || '', cell.text));
    r.addEventListener('click', () => onRow(row));
    return r;
  }
  // A table of up to WHOLE_TABLE rows is drawn whole. A longer one draws only the rows
  // where they are seen, between two empty rows that stand for the others: its columns
  // keep the widths of its first rows, and its rows stay on one line.
  const WHOLE_TABLE = 500;
  // Empties a view's box; one that holds rows drawn where they are seen keeps how far it
  // was scrolled for the rows drawn next.
  function emptyView(box) {
    box.scrolledTo = box.onscroll ? box.scrollTop : 0;
    box.textContent = '';
  }
  // `rows` is an array of rows, or anything with a `length` and an `at(i)` that makes row i
  // when asked: a long table makes only the rows it draws.
  function drawTable(box, headers, rows, onRow, sortable) {
    const scrolled = box.scrolledTo || 0;
    box.onscroll = null;
    const count = rows.length;
    if (count <= WHOLE_TABLE) {
      box.appendChild(table(headers, Array.from({ length: count }, (_, i) => rows.at(i)), onRow, sortable));
      return;
    }
    // The columns are measured on the first rows and, for each column of numbers, on the row
    // whose number is longest, so that no number is cut.
    const measured = Array.from({ length: 2 * ROW_MARGIN }, (_, i) => rows.at(i));
    const numbers = [];
    measured[0].cells.forEach((first, column) => { if (/\bright\b/.test(first.cls || '')) numbers.push(column); });
    const widest = numbers.map(() => measured[0]);
    const wider = (row, than, column) => String(row.cells[column].text).length > String(than.cells[column].text).length;
    for (let i = 1; i < count && numbers.length; i++) {
      const row = rows.at(i);
      numbers.forEach((column, k) => { if (wider(row, widest[k], column)) widest[k] = row; });
    }
    measured.push(...widest);
    const t = table(headers, measured, onRow, sortable);
    t.classList.add('windowed');
    const pad = () => {
      const tr = el('tr', 'pad');
      const td = el('td');
      td.colSpan = headers.length;
      tr.appendChild(td);
      return tr;
    };
    const above = pad();
    t.tHead.appendChild(above);
    const below = pad();
    t.createTFoot().appendChild(below);
    box.appendChild(t);
    const widths = Array.from(t.tHead.rows[0].cells, (th) => th.getBoundingClientRect().width);
    const columns = el('colgroup');
    for (const width of widths) {
      const col = el('col');
      col.style.width = width + 'px';
      columns.appendChild(col);
    }
    t.insertBefore(columns, t.firstChild);
    t.style.tableLayout = 'fixed';
    const body = t.tBodies[0];
    const rowPx = body.rows[0].getBoundingClientRect().height || 20;
    const headPx = t.tHead.rows[0].getBoundingClientRect().height;
    let drawnCount = body.rows.length;
    const place = (top, room) => {
      above.firstChild.style.height = top + 'px';
      below.firstChild.style.height = Math.max(0, room - top - drawnCount * rowPx) + 'px';
    };
    // The room as it will be, so that the scroll is kept.
    place(0, Math.min(count * rowPx, MAX_ROOM_PX));
    box.scrollTop = scrolled;
    drawWindow(box, rowPx, count, headPx, (from, to) => {
      const frag = document.createDocumentFragment();
      for (let i = from; i < to; i++) frag.appendChild(tableRow(rows.at(i), onRow));
      body.textContent = '';
      body.appendChild(frag);
      drawnCount = to - from;
    }, place);
  }
  function drawTokens() {
    const box = $('tokens');
    emptyView(box);
    const item = currentStatement();
    const tokens = statementTokens(item);
    $('tokhead').textContent = counted(tokens.length, 'token', 'tokens') + ' in statement ' + (item ? S.stmt + 1 : 0) +
      ' (whitespace and comments are kept by the lexer, left out here)';
    // Every token, its row made when it is drawn.
    const shown = {
      length: tokens.length,
      at: (i) => {
        const r = tokenRow(tokens[i]);
        return {
          node: r.node,
          cells: [{ text: r.line, cls: 'right' }, { text: r.col, cls: 'right' }, { text: r.kind }, { text: r.text, cls: 'mono' }],
        };
      },
    };
    drawTable(box, ['Line', 'Col', 'Kind', 'Text'], shown, (row) => pick(row.node, true));
  }

  // Statements table.
  function statementRows() {
    return S.stmts.map((item, i) => ({
      index: i,
      values: [i + 1, item.line, item.kind, item.statement, errs(item).length, warns(item).length,
        (item.tables || []).join(' '), item.nodes, item.micros],
    }));
  }
  function drawStatements() {
    const box = $('statements');
    emptyView(box);
    const needle = $('filter').value.toLowerCase();
    let rows = statementRows().filter((r) => !needle || r.values.join(' ').toLowerCase().includes(needle));
    if (S.sort) {
      const { col, dir } = S.sort;
      rows = rows.slice().sort((a, b) => {
        const x = a.values[col], y = b.values[col];
        const c = (typeof x === 'number' && typeof y === 'number') ? x - y : String(x).localeCompare(String(y));
        return c * dir;
      });
    }
    const numeric = [0, 1, 4, 5, 7, 8];
    const shown = rows.map((r) => ({
      index: r.index,
      cells: r.values.map((v, i) => ({ text: v, cls: numeric.includes(i) ? 'right' : (i === 6 ? 'mono' : '') })),
    }));
    drawTable(box, ['#', 'Line', 'Kind', 'Statement', 'Errors', 'Warnings', 'Tables', 'Nodes', 'µs'], shown,
      (row) => chooseStatement(row.index, { show: true }),
      (col) => {
        S.sort = S.sort && S.sort.col === col ? { col: col, dir: -S.sort.dir } : { col: col, dir: 1 };
        drawStatements();
      });
    S.shownStatements = rows;
  }
  function statementsExport() {
    const rows = S.shownStatements || statementRows();
    return rows.map((r) => r.values);
  }

  // Problems table.
  function problemRows() {
    const withWarnings = $('showwarn').checked;
    const rows = [];
    // The file's own errors belong to no statement.
    for (const d of errs(S.result || {})) rows.push({ sev: 'error', d: d, index: -1, item: null });
    S.stmts.forEach((item, i) => {
      for (const d of errs(item)) rows.push({ sev: 'error', d: d, index: i, item: item });
      if (withWarnings) for (const d of warns(item)) rows.push({ sev: 'warning', d: d, index: i, item: item });
    });
    rows.sort((a, b) => a.d.line - b.d.line || a.d.col - b.d.col);
    return rows;
  }
  function drawProblems() {
    const box = $('problems');
    emptyView(box);
    const rows = problemRows();
    if (!rows.length) {
      box.appendChild(el('div', 'empty', $('showwarn').checked
        ? 'No problems: every statement parsed without warnings.'
        : 'No problems: every statement parsed.'));
      return;
    }
    const shown = rows.map((r) => ({
      r: r,
      cells: [{ text: r.sev, cls: 'sev-' + r.sev }, { text: r.d.line, cls: 'right' }, { text: r.d.col, cls: 'right' },
        { text: r.d.message }, { text: r.item ? r.item.statement : '' }],
    }));
    drawTable(box, ['Severity', 'Line', 'Col', 'Message', 'Statement'], shown, (row) => {
      const d = row.r.d;
      const select = () => pickRange(d.s, Math.max(d.e, d.s + 1));
      if (row.r.index >= 0 && row.r.index !== S.stmt) chooseStatement(row.r.index, { then: select });
      else select();
    });
  }

  // Profile.
  function drawProfile() {
    const box = $('profile');
    box.textContent = '';
    if (!S.result) return;
    const counts = S.result.counts || {};
    const parsingMs = S.stmts.reduce((sum, item) => sum + (item.micros || 0), 0) / 1000;
    const seconds = parsingMs / 1000;
    let throughput = '–';
    if (seconds > 0) {
      const mbs = S.result.bytes / 1e6 / seconds;
      throughput = mbs >= 1 ? mbs.toFixed(0) : mbs.toFixed(2);
    }
    const cards = el('div', 'cards');
    const card = (value, text, cls) => {
      const c = el('div', 'card' + (cls ? ' ' + cls : ''));
      c.appendChild(el('b', '', value));
      c.appendChild(el('span', '', text));
      cards.appendChild(c);
    };
    card(S.stmts.length, 'statements and units');
    card(counts.with_errors || 0, 'with errors', counts.with_errors ? 'bad' : 'good');
    card(fmt2(parsingMs) + ' ms', 'parsing (the parser itself)');
    card(fmt2((S.result.micros || 0) / 1000) + ' ms', 'whole file: split, parse, trees');
    card(throughput + ' MB/s', 'parser throughput');
    card(Math.round(S.result.roundtrip || 0) + ' ms', 'round trip in the browser');
    box.appendChild(cards);
    box.appendChild(el('h3', '', 'Slowest statements (click to open)'));
    const slow = S.stmts.map((item, i) => ({ item: item, i: i }))
      .sort((a, b) => (b.item.micros || 0) - (a.item.micros || 0)).slice(0, 25);
    const top = slow.length ? (slow[0].item.micros || 0) : 0;
    for (const s of slow) {
      const row = el('div', 'barrow');
      row.appendChild(el('span', 'lbl', 'line ' + s.item.line));
      const track = el('div', 'track');
      const fill = el('div', 'fill');
      fill.style.width = (top > 0 ? Math.max(1, 100 * (s.item.micros || 0) / top) : 1) + '%';
      track.appendChild(fill);
      track.appendChild(el('div', 'txt', (s.item.micros || 0) + ' µs · ' + s.item.statement));
      row.appendChild(track);
      row.addEventListener('click', () => chooseStatement(s.i, { show: true }));
      box.appendChild(row);
    }
    box.appendChild(el('h3', '', 'By kind'));
    const kinds = new Map();
    for (const item of S.stmts) {
      const k = kinds.get(item.statement) || { count: 0, micros: 0, bytes: 0 };
      k.count++; k.micros += item.micros || 0; k.bytes += item.bytes || 0;
      kinds.set(item.statement, k);
    }
    const rows = Array.from(kinds.entries()).sort((a, b) => b[1].micros - a[1].micros).map(([name, k]) => ({
      cells: [{ text: name }, { text: k.count, cls: 'right' }, { text: Math.round(k.micros * 10) / 10, cls: 'right' },
        { text: (k.micros / k.count).toFixed(1), cls: 'right' }, { text: k.bytes, cls: 'right' }],
    }));
    drawTable(box, ['Statement', 'Count', 'Total µs', 'Average µs', 'Bytes'], rows, () => {});
  }

  // ---- downloads ----
  const DOWNLOADS = [
    ['Report (HTML)', 'one page you can open anywhere and share; all open files', 'report.html'],
    ['Everything (ZIP)', 'report.html, the CSV files and report.json', 'report.zip'],
    ['statements.csv', 'one row per statement or PL/SQL unit', 'statements.csv'],
    ['problems.csv', 'every error and warning, with its source line', 'problems.csv'],
    ['tables.csv', 'every table or view each statement names', 'tables.csv'],
    ['objects.csv', 'what the scripts create', 'objects.csv'],
    ['files.csv', 'per file totals', 'files.csv'],
    ['report.json', 'all of it', 'report.json'],
    ['This tree (JSON)', "the selected statement's syntax tree", 'tree-json'],
    ['This tree (SVG)', 'the drawing, as it is folded now', 'tree-svg'],
  ];
  async function downloadReport(file) {
    toast('Building the report…');
    const files = S.files.map((f) => ({ name: f.name, text: f.text }));
    const title = files.length === 1 ? 'Veltrane report: ' + files[0].name : 'Veltrane report: ' + files.length + ' files';
    let answer, blob;
    try {
      answer = await fetch('/api/report', {
        method: 'POST', headers: { 'Content-Type': 'application/json' },
        body: JSON.stringify({ files: files, version: $('version').value, file: file, title: title }),
      });
      blob = await answer.blob();
    } catch (e) {
      toast('Could not build it: ' + NOT_ANSWERING);
      return;
    }
    if (!answer.ok) { toast('Could not build it: ' + answerError(await blob.text())); return; }
    saveBlob(blob, file === 'report.zip' ? 'veltrane-report.zip' : file);
  }
  function downloadSvg() {
    if (!S.layout) return;
    const w = S.layout.width, h = S.layout.height;
    const copy = $('treesvg').cloneNode(true);
    copy.removeAttribute('id');
    copy.setAttribute('xmlns', SVGNS);
    copy.setAttribute('viewBox', '-20 -30 ' + (w + 40) + ' ' + (h + 40));
    copy.setAttribute('width', String(w + 40));
    copy.setAttribute('height', String(h + 40));
    const g = copy.querySelector('g');
    if (g) g.removeAttribute('transform');
    // The page's style rules, with every colour variable replaced by its current value.
    const style = getComputedStyle(document.documentElement);
    let rules = '';
    for (const sheet of Array.from(document.styleSheets)) {
      for (const rule of Array.from(sheet.cssRules)) {
        if (rule.selectorText && rule.selectorText.indexOf('svg') === 0) rules += rule.cssText + '\n';
      }
    }
    rules = rules.replace(/var\((--[a-z0-9-]+)\)/g, (m, name) => style.getPropertyValue(name).trim());
    const styleNode = document.createElementNS(SVGNS, 'style');
    styleNode.textContent = rules;
    copy.insertBefore(styleNode, copy.firstChild);
    saveText(new XMLSerializer().serializeToString(copy), 'tree.svg', 'image/svg+xml');
  }
  function setupDownloads() {
    const menu = $('dlmenu');
    for (const [title, note, file] of DOWNLOADS) {
      const b = el('button', '', title);
      b.appendChild(el('small', '', note));
      b.addEventListener('click', () => {
        menu.hidden = true;
        if (file === 'tree-json') downloadTreeJson();
        else if (file === 'tree-svg') downloadSvg();
        else downloadReport(file);
      });
      menu.appendChild(b);
    }
    $('dl').addEventListener('click', (ev) => { ev.stopPropagation(); menu.hidden = !menu.hidden; });
    document.addEventListener('click', (ev) => { if (!menu.contains(ev.target)) menu.hidden = true; });
  }

  // ---- divider ----
  function setupDivider() {
    const divider = $('divider');
    let dragging = false;
    divider.addEventListener('mousedown', (ev) => { dragging = true; ev.preventDefault(); });
    window.addEventListener('mousemove', (ev) => {
      if (!dragging) return;
      const rect = $('panes').getBoundingClientRect();
      const pct = Math.max(20, Math.min(80, 100 * (ev.clientX - rect.left) / rect.width));
      $('left').style.width = pct.toFixed(1) + '%';
    });
    window.addEventListener('mouseup', () => {
      if (!dragging) return;
      dragging = false;
      store('left', $('left').style.width);
      drawTree();
    });
  }

  // ---- wiring ----
  function setup() {
    drawViewButtons();
    setupDownloads();
    setupDivider();
    setupTreePointer();
    const editor = $('editor');
    editor.addEventListener('input', onEdit);
    editor.addEventListener('scroll', syncScroll);
    editor.addEventListener('click', onEditorClick);
    editor.addEventListener('keyup', updateCaret);
    editor.addEventListener('keydown', (ev) => {
      if (ev.key === 'Enter' && (ev.ctrlKey || ev.metaKey)) { ev.preventDefault(); parseNow(); }
    });
    document.addEventListener('keydown', (ev) => {
      if (ev.key === 'Enter' && (ev.ctrlKey || ev.metaKey) && ev.target !== editor) { ev.preventDefault(); parseNow(); }
    });
    $('version').addEventListener('change', () => { store('version', $('version').value); parseNow(); });
    $('auto').addEventListener('change', () => { store('auto', $('auto').checked ? '1' : '0'); });
    $('parse').addEventListener('click', parseNow);
    $('new').addEventListener('click', newFile);
    $('reopen').addEventListener('click', offerClosed);
    document.addEventListener('click', (ev) => { if (!$('reopenmenu').contains(ev.target)) $('reopenmenu').hidden = true; });
    $('open').addEventListener('click', () => $('picker').click());
    $('picker').addEventListener('change', () => { const list = $('picker').files; openFiles(list).then(() => { $('picker').value = ''; }); });
    $('sample').addEventListener('change', () => {
      const i = Number($('sample').value);
      const sample = S.samples[i];
      $('sample').value = '';
      if (!sample) return;
      chooseFile(addFile(sampleFileName(sample.name), sample.text));
    });
    $('stmtsel').addEventListener('change', () => chooseStatement(Number($('stmtsel').value)));
    $('centre').addEventListener('click', () => fit(false));
    $('whole').addEventListener('click', () => fit(true));
    $('unfold').addEventListener('click', () => refold(() => { S.folds = new Set(); }));
    $('fold3').addEventListener('click', () => {
      const item = currentStatement();
      if (item && item.tree) refold(() => foldBelow(item.tree, 3));
    });
    $('kinds').addEventListener('change', drawTree);
    $('find').addEventListener('input', drawOutline);
    $('outjson').addEventListener('click', downloadTreeJson);
    $('filter').addEventListener('input', drawStatements);
    $('showwarn').addEventListener('change', drawProblems);
    $('tokcsv').addEventListener('click', () => {
      const rows = tokenRows(statementTokens(currentStatement())).map((r) => [r.line, r.col, r.kind, r.text]);
      saveText(csv(['line', 'col', 'kind', 'text'], rows), 'tokens.csv', 'text/csv');
    });
    $('tokjson').addEventListener('click', () => {
      const rows = tokenRows(statementTokens(currentStatement()))
        .map((r) => ({ line: r.line, col: r.col, kind: r.kind, text: r.text }));
      saveText(JSON.stringify(rows, null, 1), 'tokens.json', 'application/json');
    });
    const stKeys = ['n', 'line', 'kind', 'statement', 'errors', 'warnings', 'tables', 'nodes', 'micros'];
    $('stcsv').addEventListener('click', () => saveText(csv(stKeys, statementsExport()), 'statements.csv', 'text/csv'));
    $('stjson').addEventListener('click', () => {
      const rows = statementsExport().map((v) => Object.fromEntries(stKeys.map((k, i) => [k, v[i]])));
      saveText(JSON.stringify(rows, null, 1), 'statements.json', 'application/json');
    });
    const prKeys = ['severity', 'line', 'col', 'message', 'statement'];
    const prValues = () => problemRows().map((r) => [r.sev, r.d.line, r.d.col, r.d.message, r.item.statement]);
    $('prcsv').addEventListener('click', () => saveText(csv(prKeys, prValues()), 'problems.csv', 'text/csv'));
    $('prjson').addEventListener('click', () => {
      const rows = prValues().map((v) => Object.fromEntries(prKeys.map((k, i) => [k, v[i]])));
      saveText(JSON.stringify(rows, null, 1), 'problems.json', 'application/json');
    });
    const left = $('left');
    left.addEventListener('dragover', (ev) => { ev.preventDefault(); left.classList.add('dragging'); });
    left.addEventListener('dragleave', (ev) => { if (!left.contains(ev.relatedTarget)) left.classList.remove('dragging'); });
    left.addEventListener('drop', (ev) => {
      ev.preventDefault();
      left.classList.remove('dragging');
      if (ev.dataTransfer && ev.dataTransfer.files) openFiles(ev.dataTransfer.files);
    });
    window.addEventListener('resize', () => { syncScroll(); drawTree(); });
    window.addEventListener('pagehide', saveIfPending);
    document.addEventListener('visibilitychange', () => { if (document.visibilityState === 'hidden') saveIfPending(); });
  }

  async function start() {
    setup();
    try {
      const answer = await fetch('/api/samples');
      if (answer.ok) S.samples = await answer.json();
    } catch (e) { S.samples = []; }
    if (!Array.isArray(S.samples)) S.samples = [];
    S.samples.forEach((sample, i) => {
      const o = el('option', '', sample.name);
      o.value = String(i);
      $('sample').appendChild(o);
    });
    const version = load('version');
    if (version && Array.from($('version').options).some((o) => o.value === version)) $('version').value = version;
    $('auto').checked = load('auto') !== '0';
    const leftWidth = load('left');
    if (leftWidth && /^[0-9.]+%$/.test(leftWidth)) $('left').style.width = leftWidth;
    let stored = [];
    try { stored = JSON.parse(load('files') || '[]'); } catch (e) { stored = []; }
    if (!Array.isArray(stored)) stored = [];
    for (const f of stored) {
      if (f && typeof f.name === 'string' && typeof f.text === 'string') {
        S.files.push({ name: f.name, text: f.text, status: '', unkept: f.unkept === true && f.text === '' });
      }
    }
    const view = load('view');
    S.view = VIEWS.some(([id]) => id === view) ? view : 'tree';
    for (const [id] of VIEWS) {
      $('view-' + id).classList.toggle('cur', id === S.view);
      $('vb-' + id).classList.toggle('cur', id === S.view);
    }
    if (S.files.length) {
      const index = parseInt(load('cur') || '0', 10);
      chooseFile(Number.isFinite(index) && index >= 0 ? Math.min(index, S.files.length - 1) : 0);
    } else {
      const sample = S.samples[4] || S.samples[S.samples.length - 1];
      if (sample) chooseFile(addFile(sampleFileName(sample.name), sample.text));
      else chooseFile(addFile('untitled-1.sql', ''));
    }
  }
  start();
