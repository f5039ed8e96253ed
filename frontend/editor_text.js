// The editor's text on the page: a document laid out as blocks of lines in an editable element,
// and the text read back from whatever that element holds after editing. No page here: app.js
// wires this to the editor element.
//
// The editor is an element with "white-space: pre-wrap" whose children are blocks of a few hundred
// lines each. A block holds its lines, each followed by a line feed: in pre-wrap the last line
// feed of a block starts no line of its own, so a block shows exactly its lines, and an empty line
// is a line feed alone. The page lays out only the blocks near the view (content-visibility), so
// a long document shows and takes keys at once, where one long text would be laid out whole at
// every key.
//
// Reading back follows what the page shows, whatever editing made of the blocks: each run of
// inline content (text, and <br> as a line feed) shows as its lines, less the empty line a final
// line feed would start; a block ends the run before it and starts a new one. The document is
// the runs' lines joined by line feeds.
(function (global) {
  "use strict";

  const LINES_PER_BLOCK = 200;

  // Elements that start a new line; any other element is inline.
  const BLOCK_NAMES = new Set([
    "ADDRESS", "ARTICLE", "ASIDE", "BLOCKQUOTE", "DD", "DIV", "DL", "DT", "FIELDSET", "FIGURE", "FOOTER",
    "FORM", "H1", "H2", "H3", "H4", "H5", "H6", "HEADER", "HR", "LI", "MAIN", "NAV", "OL", "P", "PRE",
    "SECTION", "TABLE", "TBODY", "TD", "TH", "THEAD", "TR", "UL",
  ]);

  const TEXT_NODE = 3;
  const ELEMENT_NODE = 1;

  function isBlock(node) {
    return node.nodeType === ELEMENT_NODE && BLOCK_NAMES.has(node.nodeName);
  }

  // The blocks that show `text`, in order: each { text, rows }, its text the block's lines with a
  // line feed after each (the last block's last line too), and rows a guess of the rows it shows
  // when a row holds `rowCharacters` characters.
  function splitBlocks(text, linesPerBlock = LINES_PER_BLOCK, rowCharacters = Infinity) {
    const rowsOf = (characters) => Math.max(1, Math.ceil(characters / rowCharacters));
    const blocks = [];
    let start = 0;
    let lineStart = 0;
    let lines = 0;
    let rows = 0;
    for (let feed = text.indexOf("\n"); feed >= 0; feed = text.indexOf("\n", feed + 1)) {
      rows += rowsOf(feed - lineStart);
      lineStart = feed + 1;
      if (++lines === linesPerBlock) {
        blocks.push({ text: text.slice(start, lineStart), rows });
        start = lineStart;
        lines = 0;
        rows = 0;
      }
    }
    rows += rowsOf(text.length - lineStart);
    blocks.push({ text: text.slice(start) + "\n", rows });
    return blocks;
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

  // The text `root` shows.
  function readText(root) {
    const parts = [];
    forEachRun(root, (run) => parts.push(linesOf(run)));
    return parts.join("\n");
  }

  // Whether `root` shows exactly `text`, compared run by run without joining them.
  function showsText(root, text) {
    let at = 0;
    let same = true;
    let runs = 0;
    forEachRun(root, (run) => {
      if (!same) return;
      if (runs++ > 0) same = text.charCodeAt(at++) === 10;
      const lines = linesOf(run);
      same = same && text.startsWith(lines, at);
      at += lines.length;
    });
    return same && at === text.length;
  }

  // The words and characters `root` shows, and its length in UTF-16 units, counting only the runs
  // the last count (`counted.runs`, null at first) did not see.
  function countShown(root, countText, counted = null) {
    const runs = new Map();
    const seen = counted ? counted.runs : runs;
    let words = 0;
    let characters = 0;
    let length = 0;
    let count = 0;
    forEachRun(root, (run) => {
      let counts = seen.get(run) || runs.get(run);
      if (!counts) {
        const lines = linesOf(run);
        counts = { ...countText(lines), length: lines.length };
      }
      runs.set(run, counts);
      words += counts.words;
      characters += counts.characters;
      length += counts.length;
      count++;
    });
    const feeds = Math.max(0, count - 1);
    return { words, characters: characters + feeds, length: length + feeds, runs };
  }

  global.VostraEditorText = Object.freeze({
    LINES_PER_BLOCK,
    splitBlocks,
    forEachRun,
    readText,
    showsText,
    countShown,
  });
})(window);
