  // ---- reading an answer of /api/parse ----
  // The answer's text is split without parsing the items' trees: the members of the top
  // object are parsed one by one, "classes" in pieces straight into the editor's marks, and
  // each item with its tree left as text, parsed when its statement is first shown.
  function* readAnswer(text) {
    const at = yield* splitAnswer(text);
    const result = {};
    for (const [key, [from, to]] of at.members) {
      if (key !== 'classes' && key !== 'items') result[key] = JSON.parse(text.slice(from, to));
    }
    if (result.error !== undefined) return result;
    const items = [];
    for (const [from, to, treeFrom, treeTo] of at.items) {
      const tree = treeFrom >= 0 && text.slice(treeFrom, treeTo) !== 'null';
      const item = JSON.parse(tree ? text.slice(from, treeFrom) + 'null' + text.slice(treeTo, to) : text.slice(from, to));
      if (tree) lazyTree(item, text, treeFrom, treeTo);
      items.push(item);
      if (items.length % 256 === 0) yield;
    }
    result.items = items;
    result.marks = yield* readMarks(text, at.members.get('classes'), items.concat([result]));
    return result;
  }
  function backslashesBefore(text, at) {
    let count = 0;
    while (text.charCodeAt(at - 1 - count) === 92) count++;
    return count;
  }
  // The end of the JSON string that starts at `from` (the index of its closing quote).
  function stringEnd(text, from) {
    let end = text.indexOf('"', from + 1);
    while (end > 0 && backslashesBefore(text, end) % 2) end = text.indexOf('"', end + 1);
    if (end < 0) throw new Error('the answer ends inside a text');
    return end;
  }
  // Where the members of the top object stand ([from, to) of each value, by key), and for
  // each element of "items" [from, to, treeFrom, treeTo] (-1, -1 without a "tree").
  function* splitAnswer(text) {
    const members = new Map();
    const items = [];
    let depth = 0, key = '', valueFrom = -1;
    let itemFrom = -1, treeFrom = -1, treeTo = -1, inTree = false;
    let pause = 65536;
    for (let i = 0; i < text.length;) {
      if (i >= pause) { pause = i + 65536; yield; }
      const c = text.charCodeAt(i);
      if (c === 34) {
        const end = stringEnd(text, i);
        if (text.charCodeAt(end + 1) === 58) {
          if (depth === 1) { key = text.slice(i + 1, end); valueFrom = end + 2; }
          else if (depth === 3 && key === 'items' && end - i === 5 && text.startsWith('tree', i + 1)) {
            treeFrom = end + 2;
            inTree = true;
          }
        }
        i = end + 1;
        continue;
      }
      if (c === 123 || c === 91) {
        if (depth === 2 && c === 123 && key === 'items') { itemFrom = i; treeFrom = -1; treeTo = -1; }
        depth++;
      } else if (c === 125 || c === 93) {
        depth--;
        if (depth === 2 && c === 125 && key === 'items') {
          if (inTree) { treeTo = i; inTree = false; }
          items.push([itemFrom, i + 1, treeFrom, treeTo]);
        } else if (depth === 0 && valueFrom >= 0) {
          members.set(key, [valueFrom, i]);
        }
      } else if (c === 44) {
        if (depth === 3 && inTree) { treeTo = i; inTree = false; }
        else if (depth === 1) members.set(key, [valueFrom, i]);
      }
      i++;
    }
    if (depth !== 0) throw new Error('the answer is cut short');
    return { members: members, items: items };
  }
  // The marks that colour the editor, sorted by start: every row of "classes" and every
  // error and warning of the holders given (the items, and the answer for the file's own); with the furthest end reached up to each one, so that the marks
  // over a range of lines are found by a binary search; and the lines on which errors and
  // warnings start.
  function* readMarks(text, range, items) {
    const names = [], nameIndex = new Map();
    const nameOf = (name) => {
      let index = nameIndex.get(name);
      if (index === undefined) { index = names.length; names.push(name); nameIndex.set(name, index); }
      return index;
    };
    let starts = new Int32Array(1024), ends = new Int32Array(1024), kinds = new Uint8Array(1024);
    let count = 0, sorted = true;
    const room = (more) => {
      if (count + more <= starts.length) return;
      const size = Math.max(2 * starts.length, count + more);
      const grown = [new Int32Array(size), new Int32Array(size), new Uint8Array(size)];
      grown[0].set(starts); grown[1].set(ends); grown[2].set(kinds);
      [starts, ends, kinds] = grown;
    };
    // Rows are parsed in pieces of about PIECE characters, cut between two rows.
    const PIECE = 262144;
    if (range) {
      let at = range[0] + 1;
      const stop = range[1] - 1;
      while (at < stop) {
        let cut = at + PIECE >= stop ? -1 : text.indexOf('],[', at + PIECE);
        cut = cut < 0 || cut >= stop ? stop : cut + 1;
        const rows = JSON.parse('[' + text.slice(at, cut) + ']');
        room(rows.length);
        for (const row of rows) {
          if (count && row[0] < starts[count - 1]) sorted = false;
          starts[count] = row[0]; ends[count] = row[1]; kinds[count] = nameOf(row[2]);
          count++;
        }
        at = cut + 1;
        yield;
      }
    }
    const errLines = new Set(), warnLines = new Set();
    const notes = [];
    for (const item of items) {
      for (const d of errs(item)) { notes.push([d.s, Math.max(d.e, d.s + 1), nameOf('err')]); errLines.add(d.line); }
      for (const d of warns(item)) { notes.push([d.s, Math.max(d.e, d.s + 1), nameOf('warn')]); warnLines.add(d.line); }
    }
    notes.sort((a, b) => a[0] - b[0]);
    let order = null;
    if (!sorted) {
      order = Array.from({ length: count }, (_, i) => i).sort((a, b) => starts[a] - starts[b] || a - b);
    }
    // Rows first among marks of one start, as they came.
    const total = count + notes.length;
    const marks = { names: names, count: total, starts: new Int32Array(total), ends: new Int32Array(total),
      kinds: new Uint8Array(total), reach: new Float64Array(total), errLines: errLines, warnLines: warnLines };
    let row = 0, note = 0, furthest = -Infinity;
    for (let i = 0; i < total; i++) {
      const r = row < count ? (order ? order[row] : row) : -1;
      if (r >= 0 && (note >= notes.length || starts[r] <= notes[note][0])) {
        marks.starts[i] = starts[r]; marks.ends[i] = ends[r]; marks.kinds[i] = kinds[r];
        row++;
      } else {
        const n = notes[note++];
        marks.starts[i] = n[0]; marks.ends[i] = n[1]; marks.kinds[i] = n[2];
      }
      furthest = Math.max(furthest, marks.ends[i]);
      marks.reach[i] = furthest;
      if ((i & 65535) === 65535) yield;
    }
    return marks;
  }

  // ---- trees, parsed when first shown ----
  // A tree of up to SMALL_TREE characters of text is parsed at once when it is read; a
  // larger one must be prepared first (prepareTree), which parses it in slices.
  const SMALL_TREE = 1 << 18;
  function lazyTree(item, text, from, to) {
    const lazy = { text: text, from: from, to: to, tree: undefined };
    Object.defineProperty(item, '_lazy', { value: lazy, enumerable: false });
    Object.defineProperty(item, 'tree', {
      configurable: true, enumerable: true,
      get() {
        if (lazy.tree === undefined) lazy.tree = JSON.parse(text.slice(from, to));
        return lazy.tree;
      },
    });
  }
  // Whether the statement's tree must be prepared before it is shown.
  function needsPreparing(item) {
    const lazy = item && item._lazy;
    if (!lazy || lazy.to - lazy.from <= SMALL_TREE) return false;
    return lazy.tree === undefined || !lazy.tree._ann;
  }
  // Parses and annotates the statement's tree in slices; false when `alive()` turned
  // false first.
  async function prepareTree(item, alive) {
    const lazy = item._lazy;
    if (lazy.tree === undefined) {
      const tree = await runSliced(parseSliced(lazy.text, lazy.from), alive);
      if (tree === DROPPED) return false;
      lazy.tree = tree;
    }
    if (lazy.tree && !lazy.tree._ann) return await runSliced(annotating(lazy.tree), alive) !== DROPPED;
    return true;
  }
  // The JSON value that starts at `from`, parsed with explicit stacks (trees can be a
  // million levels deep), yielding every few thousand values.
  function* parseSliced(text, from) {
    const containers = [], keys = [];
    let i = from, values = 0;
    // Keys of one character, as every key of a tree, are read without a search.
    const readKey = () => {
      if (text.charCodeAt(i + 2) === 34 && text.charCodeAt(i + 1) !== 92) {
        const key = text[i + 1];
        i += 4;
        return key;
      }
      const end = stringEnd(text, i);
      const key = readText(i, end);
      i = end + 2;
      return key;
    };
    const readText = (start, end) => {
      const raw = text.slice(start + 1, end);
      return raw.indexOf('\\') < 0 ? raw : JSON.parse(text.slice(start, end + 1));
    };
    for (;;) {
      let c = text.charCodeAt(i);
      let value;
      if (c === 123 || c === 91) {
        const close = c === 123 ? 125 : 93;
        i++;
        if (text.charCodeAt(i) === close) {
          value = c === 123 ? {} : [];
          i++;
        } else {
          containers.push(c === 123 ? {} : []);
          keys.push(c === 123 ? readKey() : null);
          continue;
        }
      } else if (c === 34) {
        const end = stringEnd(text, i);
        value = readText(i, end);
        i = end + 1;
      } else {
        // Whole numbers, as every offset of a tree, are read digit by digit.
        let end = i, number = 0;
        while ((c = text.charCodeAt(end)) >= 48 && c <= 57) { number = number * 10 + c - 48; end++; }
        if (end > i && (c === 44 || c === 125 || c === 93)) {
          value = number;
        } else {
          end = i;
          while (end < text.length && (c = text.charCodeAt(end)) !== 44 && c !== 125 && c !== 93) end++;
          const word = text.slice(i, end);
          value = word === 'true' ? true : (word === 'false' ? false : (word === 'null' ? null : Number(word)));
        }
        i = end;
      }
      // Places the value, and closes every container that ends after it.
      for (;;) {
        if (!containers.length) return value;
        const top = containers[containers.length - 1];
        const key = keys[keys.length - 1];
        if (key === null) top.push(value); else top[key] = value;
        c = text.charCodeAt(i++);
        if (c === 44) {
          if (key !== null) keys[keys.length - 1] = readKey();
          break;
        }
        containers.pop();
        keys.pop();
        value = top;
      }
      if (++values % 4096 === 0) yield;
    }
  }
