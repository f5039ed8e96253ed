// The editor's text on the page: a document laid out as blocks of lines in an editable element,
// and the text read back from whatever that element holds after editing. No page here: app.js
// wires this to the editor element.
//
// The editor is an element with "white-space: pre-wrap" holding the document in groups of
// blocks. A block holds a few lines, each followed by a line feed: in pre-wrap the last line feed
// of a block starts no line of its own, so a block shows exactly its lines, and an empty line is a
// line feed alone. A change lays out again only the block it is in. A group holds tens of KB of
// blocks and is laid out only when it comes near the view (content-visibility), so a long
// document shows and takes keys at once, where one long text would be laid out whole at every
// key. At every key the page looks at each group it skips, at a cost that grows with the
// group's siblings: the groups are not small, and they are held in sections of a few tens.
//
// Reading back follows what the page shows, whatever editing made of the blocks: each run of
// inline content (text, and <br> as a line feed) shows as its lines, less the empty line a final
// line feed would start; a block ends the run before it and starts a new one. The document is
// the runs' lines joined by line feeds.
(function (global) {
  "use strict";

  // The most lines and characters (UTF-16 units) a block takes more lines up to, the characters
  // a group takes more blocks up to, and the groups of a section.
  const LAYOUT = Object.freeze({ blockLines: 50, blockCharacters: 4096, groupCharacters: 32768, sectionGroups: 32 });

  // Elements that start a new line; any other element is inline.
  const BLOCK_NAMES = new Set([
    "ADDRESS", "ARTICLE", "ASIDE", "BLOCKQUOTE", "DD", "DIV", "DL", "DT", "FIELDSET", "FIGURE", "FOOTER",
    "FORM", "H1", "H2", "H3", "H4", "H5", "H6", "HEADER", "HR", "LI", "MAIN", "NAV", "OL", "P", "PRE",
    "SECTION", "TABLE", "TBODY", "TD", "TH", "THEAD", "TR", "UL",
  ]);

  const TEXT_NODE = 3;
  const ELEMENT_NODE = 1;

  // The class of an element that the editor lays out inline, in one flow of lines with its
  // neighbours (see editor_layout.js): it starts no line of its own.
  const JOINED = "joined";

  function isBlock(node) {
    return node.nodeType === ELEMENT_NODE && BLOCK_NAMES.has(node.nodeName) && !node.classList.contains(JOINED);
  }

  // The groups of blocks that show a text given as a string or in pieces (any iterable of them),
  // in order, each made when it is asked for: each { blocks, rows }, its blocks the texts of a few
  // lines with a line feed after each (the last line too), and rows a guess of the rows the group
  // shows when a row holds `rowCharacters` characters.
  function* blockGroups(text, rowCharacters = Infinity, layout = LAYOUT) {
    const rowsOf = (characters) => Math.max(1, Math.ceil(characters / rowCharacters));
    const groups = [];
    let group = { blocks: [], rows: 0 };
    let groupLength = 0;
    const endBlock = (block) => {
      group.blocks.push(block);
      groupLength += block.length;
      if (groupLength < layout.groupCharacters) return;
      groups.push(group);
      group = { blocks: [], rows: 0 };
      groupLength = 0;
    };
    // The current block's text from earlier pieces, and the current line's length so far.
    let head = [];
    let headLength = 0;
    let lines = 0;
    let lineLength = 0;
    for (const piece of typeof text === "string" ? [text] : text) {
      let start = 0;
      let lineStart = 0;
      for (let feed = piece.indexOf("\n"); feed >= 0; feed = piece.indexOf("\n", feed + 1)) {
        group.rows += rowsOf(lineLength + feed - lineStart);
        lineLength = 0;
        lineStart = feed + 1;
        if (++lines < layout.blockLines && headLength + lineStart - start < layout.blockCharacters) continue;
        const block = piece.slice(start, lineStart);
        endBlock(headLength > 0 ? head.join("") + block : block);
        head = [];
        headLength = 0;
        start = lineStart;
        lines = 0;
        if (groups.length > 0) yield groups.shift();
      }
      lineLength += piece.length - lineStart;
      if (start < piece.length) {
        head.push(piece.slice(start));
        headLength += piece.length - start;
      }
    }
    group.rows += rowsOf(lineLength);
    head.push("\n");
    endBlock(head.join(""));
    if (group.blocks.length > 0) groups.push(group);
    yield* groups;
  }

  // The same groups in a list.
  function splitBlocks(text, rowCharacters = Infinity, layout = LAYOUT) {
    return Array.from(blockGroups(text, rowCharacters, layout));
  }

  // Calls `visit(run)` for each run of inline content under `root` that shows at least one line,
  // in order: `run` is its text with a line feed for each <br>.
  function forEachRun(root, visit) {
    let run = "";
    const endRun = () => {
      if (run !== "") visit(run);
      run = "";
    };
    let node = root.firstChild;
    while (node !== null) {
      if (node.nodeType === TEXT_NODE) {
        run += node.data;
      } else if (node.nodeType === ELEMENT_NODE) {
        if (node.nodeName === "BR") {
          run += "\n";
        } else {
          if (isBlock(node)) endRun();
          if (node.firstChild !== null) {
            node = node.firstChild;
            continue;
          }
        }
      }
      // Leaves the node, and each parent whose last child it was.
      for (;;) {
        if (isBlock(node)) endRun();
        if (node.nextSibling !== null) {
          node = node.nextSibling;
          break;
        }
        node = node.parentNode;
        if (node === root || node === null) {
          node = null;
          break;
        }
      }
    }
    endRun();
  }

  // The lines a run shows, joined by line feeds.
  function linesOf(run) {
    return run.endsWith("\n") ? run.slice(0, -1) : run;
  }

  // The runs under `root`, in order.
  function runsOf(root) {
    const runs = [];
    forEachRun(root, (run) => runs.push(run));
    return runs;
  }

  // The text runs show in pieces: their lines, a line feed between runs.
  function piecesOf(runs) {
    const pieces = [];
    for (const run of runs) {
      if (pieces.length > 0) pieces.push("\n");
      pieces.push(linesOf(run));
    }
    return pieces;
  }

  // The text runs show.
  function textOf(runs) {
    return runs.map(linesOf).join("\n");
  }

  // The text `root` shows.
  function readText(root) {
    return textOf(runsOf(root));
  }

  // The length of the text runs show, in UTF-16 units.
  function lengthOf(runs) {
    let length = Math.max(0, runs.length - 1);
    for (const run of runs) length += run.endsWith("\n") ? run.length - 1 : run.length;
    return length;
  }

  // Where places lie in the text the editor shows, and the text between two of them, read from
  // `start` on (an element under `root`, the text read as if it began there; see runStart) to the
  // end of `root`, or only as far as the places ask. Each place is [node, offset] as a selection
  // gives it. The text is the one readText gives: a run's lines are followed by a line feed where
  // another run follows (a run that ends with one needs no other), and the text's last line feed
  // ends no line. A place between two runs (before a block, say) is the start of the line after
  // them. Answers { offsets, text }: the places' offsets from the start, in UTF-16 units, and the
  // text from the place `between[0]` to the place `between[1]` (indexes into `places`), when asked.
  function measure(root, start, places, between = null) {
    const offsets = places.map(() => -1);
    const textPlaces = new Map();
    const beforePlaces = new Map();
    const endPlaces = new Map();
    const add = (map, node, entry) => {
      if (!map.has(node)) map.set(node, []);
      map.get(node).push(entry);
    };
    places.forEach(([node, offset], index) => {
      if (node.nodeType === TEXT_NODE) return add(textPlaces, node, [index, offset]);
      let child = node.firstChild;
      for (let i = 0; i < offset && child !== null; i++) child = child.nextSibling;
      if (child !== null) add(beforePlaces, child, index);
      else add(endPlaces, node, index);
    });
    let length = 0;
    let last = "";
    let boundary = false;
    let pending = [];
    let unplaced = places.length;
    const place = (index, offset) => {
      offsets[index] = offset;
      unplaced--;
    };
    // The text is kept from the first place of `between` on (the one that comes first in the text).
    let keepFrom = -1;
    const kept = [];
    const keeps = (index) => between !== null && index === between[0] && keepFrom < 0;
    const mark = (index) => {
      if (keeps(index)) keepFrom = length;
      if (boundary) pending.push(index);
      else place(index, length);
    };
    const emit = (text) => {
      if (keepFrom >= 0) kept.push(text);
      length += text.length;
      last = text[text.length - 1];
    };
    const content = (text, node) => {
      const inside = node !== null ? textPlaces.get(node) : undefined;
      if (text === "") {
        if (inside) for (const [index] of inside) mark(index);
        return;
      }
      if (boundary) {
        boundary = false;
        if (length > 0 && last !== "\n") emit("\n");
        for (const index of pending) place(index, length);
        pending = [];
      }
      if (inside) {
        for (const [index, offset] of inside) {
          if (keeps(index)) keepFrom = length;
          place(index, length + Math.min(offset, text.length));
        }
      }
      emit(text);
    };
    const done = () => unplaced === 0 && (between === null || offsets[between[1]] >= 0);
    let node = start;
    let reachedEnd = false;
    walk: while (node !== null && !done()) {
      if (node.nodeType === ELEMENT_NODE && node.nodeName !== "BR" && isBlock(node)) boundary = true;
      for (const index of beforePlaces.get(node) || []) mark(index);
      if (node.nodeType === TEXT_NODE) {
        content(node.data, node);
      } else if (node.nodeType === ELEMENT_NODE) {
        if (node.nodeName === "BR") {
          content("\n", null);
        } else if (node.firstChild !== null) {
          node = node.firstChild;
          continue;
        }
      }
      // Leaves the node, and each parent whose last child it was.
      for (;;) {
        if (node.nodeType === ELEMENT_NODE) {
          for (const index of endPlaces.get(node) || []) mark(index);
          if (node.nodeName !== "BR" && isBlock(node)) boundary = true;
        }
        if (node === root || (node.nextSibling === null && node.parentNode === null)) {
          reachedEnd = true;
          break walk;
        }
        if (node.nextSibling !== null) {
          node = node.nextSibling;
          break;
        }
        node = node.parentNode;
      }
    }
    // At the end, the last line feed ends no line.
    const end = reachedEnd && last === "\n" ? length - 1 : length;
    for (const index of pending) place(index, length);
    for (let i = 0; i < offsets.length; i++) if (offsets[i] < 0 || offsets[i] > end) offsets[i] = end;
    if (between === null) return { offsets, text: null };
    const from = Math.min(offsets[between[0]], offsets[between[1]]);
    const to = Math.max(offsets[between[0]], offsets[between[1]]);
    const text = kept.join("");
    return { offsets, text: text.slice(from - keepFrom, to - keepFrom) };
  }

  // Whether a block's own text ends with a line break.
  function endsWithLineBreak(block) {
    let node = block.lastChild;
    while (node !== null) {
      if (node.nodeType === TEXT_NODE) {
        if (node.data !== "") return node.data.endsWith("\n");
      } else if (node.nodeName === "BR") {
        return true;
      } else if (node.nodeType === ELEMENT_NODE && node.lastChild !== null) {
        node = node.lastChild;
        continue;
      }
      while (node !== block && node.previousSibling === null) node = node.parentNode;
      if (node === block) return false;
      node = node.previousSibling;
    }
    return false;
  }

  // The words and characters `runs` show, and the length of their text in UTF-16 units, counting
  // only the runs the last count (`counted`, null at first) did not see.
  function countRuns(runs, countText, counted = null) {
    const seen = new Map();
    let words = 0;
    let characters = 0;
    for (const run of runs) {
      let counts = (counted && counted.seen.get(run)) || seen.get(run);
      if (!counts) counts = countText(linesOf(run));
      seen.set(run, counts);
      words += counts.words;
      characters += counts.characters;
    }
    const feeds = Math.max(0, runs.length - 1);
    return { words, characters: characters + feeds, length: lengthOf(runs), seen };
  }

  global.VostraEditorText = Object.freeze({
    LAYOUT,
    BLOCK_NAMES,
    JOINED,
    blockGroups,
    splitBlocks,
    runsOf,
    piecesOf,
    textOf,
    readText,
    measure,
    endsWithLineBreak,
    lengthOf,
    countRuns,
  });
})(window);
