// Where the editor lays its text out, around the caret. No page here: app.js attaches it to the
// editor element.
//
// The editor holds a document as sections of groups of blocks of lines (see editor_text.js): a
// group away from the view is not laid out at all, and each block is a box of its own, so that a
// key lays out only its block. But the web view's editing treats the edge between two boxes as
// an edge of paragraphs of its own kind and goes wrong there (a line break deleted together with
// the one before it, an Up that takes the caret to the start of the text), and it cannot find
// its way through a group it has not laid out. So around the caret and the selection, as far as
// a key reaches (a page up or down, a word, the whole selection), the blocks are laid out inline,
// in one flow of lines as in a document that fits one block: the edges between them are open,
// and the groups that hold them are laid out whatever the view shows. An edge closes again once
// the caret is away and the block before it ends with a line break, where closing it changes
// nothing that shows.
//
// Only classes change, never the nodes (the editor's history keeps the classes that make flows
// with the nodes' changes: see editor_history.js). The one exception is text that editing leaves
// outside every block (typed where a block was removed): it is wrapped in a block of its own, in
// one flow with a neighbour exactly when it shared one with it before.
(function (global) {
  "use strict";

  const Text = global.VostraEditorText;
  const JOINED = Text.JOINED;
  const NEAR = "near-caret";
  // A selection over more blocks than this joins only the blocks around its two ends until it is
  // edited: joining a long text into one flow lays all of it out again at every change.
  const LONG_SELECTION_BLOCKS = 64;

  function attach(editor) {
    const isGroup = (node) => node.nodeType === 1 && node.classList.contains("group");
    const isBlock = (node) => node !== null && node.nodeType === 1 && node.parentNode !== null && isGroup(node.parentNode);

    // Blocks whose edge with the next block is open, the elements laid out inline because of
    // them, and the groups laid out because they hold the caret's blocks.
    let open = new Set();
    let wanted = new Set();
    let joined = [];
    let near = new Set();

    function blockOf(node) {
      for (; node !== null && node !== editor; node = node.parentNode) {
        if (isBlock(node)) return node;
      }
      return null;
    }

    // The first or last block in `node` (a section, a group or a block), or null.
    function endBlockIn(node, last) {
      while (node !== null && !isBlock(node)) node = last ? node.lastElementChild : node.firstElementChild;
      return node;
    }

    // The block after (or before) `block` in the text, across groups and sections.
    function neighbour(block, after) {
      const step = (node) => (after ? node.nextElementSibling : node.previousElementSibling);
      if (step(block) !== null) return step(block);
      for (let group = step(block.parentNode); ; group = step(group)) {
        if (group === null) {
          const section = step(block.parentNode.parentNode);
          if (section === null) return null;
          group = after ? section.firstElementChild : section.lastElementChild;
          if (group === null) return null;
        }
        const found = endBlockIn(group, !after);
        if (found !== null) return found;
      }
    }

    function lineCount(block) {
      const text = block.textContent;
      let lines = block.getElementsByTagName("br").length;
      for (let at = text.indexOf("\n"); at >= 0; at = text.indexOf("\n", at + 1)) lines++;
      return lines;
    }

    const lineHeight = () => parseFloat(getComputedStyle(editor).lineHeight) || 20;

    // The lines the view shows, and two more.
    function pageLines() {
      return Math.ceil(editor.clientHeight / lineHeight()) + 2;
    }

    // How far Page Up and Page Down go, in pixels and in whole lines: as the web view pages, four
    // fifths of the view.
    function pageStep() {
      const pixels = Math.max(Math.round(Math.min(editor.clientHeight, innerHeight) * 0.8), 1);
      return { pixels, lines: Math.max(1, Math.floor(pixels / lineHeight())) };
    }

    // The sibling after (or before) `node`, passing over empty texts; null where there is none.
    function sibling(node, after) {
      let next = after ? node.nextSibling : node.previousSibling;
      while (next !== null && next.nodeType === Node.TEXT_NODE && next.length === 0) {
        next = after ? next.nextSibling : next.previousSibling;
      }
      return next;
    }

    // Whether opening or closing the edge after `block` changes nothing that shows: the block
    // holds only inline content whose lines end with a line break, and nothing lies between it
    // and the next block. Only such an edge opens or closes; any other stays as it is (a block
    // that editing split off, say).
    function isSeamless(block) {
      const next = neighbour(block, true);
      if (next === null) return true;
      // Up to the parents the two share, each edge is the last (or the first) of its parent.
      for (let a = block, b = next; a.parentNode !== b.parentNode; a = a.parentNode, b = b.parentNode) {
        if (sibling(a, true) !== null || sibling(b, false) !== null) return false;
        if (a.parentNode.parentNode === b.parentNode.parentNode && sibling(a.parentNode, true) !== b.parentNode) return false;
      }
      if (block.parentNode === next.parentNode && sibling(block, true) !== next) return false;
      for (const element of block.getElementsByTagName("*")) if (Text.BLOCK_NAMES.has(element.nodeName)) return false;
      const last = leaf(block, true);
      return last === null || last.nodeName === "BR" || last.data.endsWith("\n");
    }

    // Opens the edges after the blocks of `keep` and closes the others, as far as that changes
    // nothing that shows, and lays the groups of `groups` out whatever the view shows.
    function apply(keep, groups) {
      const next = new Set();
      for (const block of keep) if (open.has(block) || isSeamless(block)) next.add(block);
      for (const block of open) {
        if (editor.contains(block) && !keep.has(block) && !isSeamless(block)) next.add(block);
      }
      const elements = new Set();
      for (const block of next) {
        const after = neighbour(block, true);
        if (after === null) continue;
        elements.add(block).add(after);
        // An edge between groups or sections lays out inline the groups (and sections) on both sides.
        for (let a = block.parentNode, b = after.parentNode; a !== b && a !== editor; a = a.parentNode, b = b.parentNode) {
          elements.add(a).add(b);
        }
      }
      // What an edit took out of the editor keeps its flows as they were: an undo brings it back
      // as it left.
      for (const element of joined) if (!elements.has(element) && editor.contains(element)) element.classList.remove(JOINED);
      for (const element of elements) element.classList.add(JOINED);
      joined = [...elements];
      open = next;
      for (const group of near) if (!groups.has(group) && editor.contains(group)) group.classList.remove(NEAR);
      for (const group of groups) group.classList.add(NEAR);
      near = groups;
    }

    // The blocks that the keys may reach from a selection between `first` and `last`: the
    // selection's own, and before and after it a page of lines and a word at the least.
    function reach(first, last, whole) {
      const keep = new Set();
      const groups = new Set();
      const lines = pageLines();
      const extend = (from, after) => {
        let block = from;
        for (let count = 0, word = false; count < lines || !word; ) {
          const step = neighbour(block, after);
          if (step === null) break;
          block = step;
          count += lineCount(block);
          word = word || /\S/.test(block.textContent);
        }
        return block;
      };
      const add = (from, to) => {
        for (let block = from; block !== null; block = neighbour(block, true)) {
          groups.add(block.parentNode);
          if (block === to) break;
          keep.add(block);
        }
      };
      if (whole) {
        add(extend(first, false), extend(first, true));
        add(extend(last, false), extend(last, true));
      } else {
        add(extend(first, false), extend(last, true));
      }
      return { keep, groups };
    }

    function sameSet(a, b) {
      if (a.size !== b.size) return false;
      for (const item of a) if (!b.has(item)) return false;
      return true;
    }

    // How many blocks lie from `first` to `last`, counting no further than `limit`.
    function blocksBetween(first, last, limit) {
      let count = 1;
      for (let block = first; block !== last && block !== null && count <= limit; block = neighbour(block, true)) count++;
      return count;
    }

    // Lays out inline what the keys may reach from `range`. A long selection joins only around
    // its ends. Answers whether the range lay in a group that was not laid out before.
    function follow(range) {
      const first = blockOf(range.startContainer.childNodes[range.startOffset] || range.startContainer) ||
                    blockOf(range.startContainer);
      const last = blockOf(range.endContainer);
      if (first === null || last === null) return;
      const long = first !== last && (isWhole(range) || blocksBetween(first, last, LONG_SELECTION_BLOCKS) > LONG_SELECTION_BLOCKS);
      // A long selection is replaced by the editor's own editing, which needs nothing laid out.
      const whole = long;
      showOnlyNear(long);
      const { keep, groups } = reach(first, last, whole);
      if (sameSet(keep, wanted) && sameSet(groups, near)) return;
      // A selection placed (by a script) in a group that was not laid out is not where it shows.
      const unseen = !near.has(first.parentNode) || !near.has(last.parentNode);
      wanted = keep;
      apply(keep, groups);
      // Laid out now, so that the key that follows finds the new flow.
      void editor.offsetHeight;
      return unseen;
    }

    // A selected group counts as one the user looks at, and the page lays it out whatever the view
    // shows: a long selection would have it lay out all of the text it reaches. While there is
    // one, only the groups near the view and around the caret are laid out (class FAR on the
    // editor: see styles.css); an observer of the view keeps the groups that come near it marked.
    const FAR = "far-selection";
    const IN_VIEW = "in-view";
    let viewWatch = null;
    function showOnlyNear(on) {
      if (on === (viewWatch !== null)) return;
      if (on) {
        const groups = Array.from(editor.getElementsByClassName("group"));
        // Marked at once, so that no frame leaves out what the view shows now. The editor is laid
        // out first: asked for the box of a group whose content it skips while its layout is not
        // up to date (groups an undo just put back, say), the web view lays out all of that
        // group's lines, and so all of the text.
        void editor.offsetHeight;
        const view = editor.getBoundingClientRect();
        for (const group of groups) {
          const box = group.getBoundingClientRect();
          if (box.bottom >= view.top - view.height && box.top <= view.bottom + view.height) group.classList.add(IN_VIEW);
        }
        viewWatch = new IntersectionObserver(
          (entries) => {
            for (const entry of entries) entry.target.classList.toggle(IN_VIEW, entry.isIntersecting);
          },
          { root: editor, rootMargin: "100% 0px" },
        );
        for (const group of groups) viewWatch.observe(group);
        editor.classList.add(FAR);
      } else {
        viewWatch.disconnect();
        viewWatch = null;
        editor.classList.remove(FAR);
        for (const group of Array.from(editor.getElementsByClassName(IN_VIEW))) group.classList.remove(IN_VIEW);
      }
    }

    function followSelection() {
      const selection = getSelection();
      if (selection.rangeCount === 0 || !editor.contains(selection.getRangeAt(0).commonAncestorContainer)) return;
      keepInBlock(selection);
      keepBeforeEnd(selection);
      if (follow(selection.getRangeAt(0))) {
        // Placed again now that its groups are laid out.
        selection.setBaseAndExtent(selection.anchorNode, selection.anchorOffset, selection.focusNode, selection.focusOffset);
      }
    }

    // A caret between blocks (where editing that removed them left it) goes into the block after
    // it, at the start of its first line, or else to the end of the block before: typed outside
    // every block, a character would start a line of its own.
    function keepInBlock(selection) {
      if (!selection.isCollapsed || blockOf(selection.anchorNode) !== null) return;
      const container = selection.anchorNode;
      if (container.nodeType !== Node.ELEMENT_NODE || !editor.contains(container)) return;
      const after = container.childNodes[selection.anchorOffset] || null;
      for (let node = after; node !== null; node = node.nextSibling) {
        const first = (node.nodeType === Node.TEXT_NODE && node.length > 0) || node.nodeName === "BR" ? node : leaf(node, false);
        if (first === null || blockOf(first) === null) continue;
        selection.collapse(...(first.nodeType === Node.TEXT_NODE ? [first, 0] : before(first)));
        return;
      }
      for (let node = after !== null ? after.previousSibling : container.lastChild; node !== null; node = node.previousSibling) {
        const last = (node.nodeType === Node.TEXT_NODE && node.length > 0) || node.nodeName === "BR" ? node : leaf(node, true);
        if (last === null || blockOf(last) === null) continue;
        if (last.nodeType !== Node.TEXT_NODE) selection.collapse(...before(last));
        else selection.collapse(last, last.data.endsWith("\n") ? last.length - 1 : last.length);
        return;
      }
    }

    // A caret after the text's last position (after the line feed that ends the last block, or
    // after the line break that holds an empty last line open) stands where no line shows, and
    // a character typed there would start a line of its own: it goes to the last position.
    function keepBeforeEnd(selection) {
      if (!selection.isCollapsed) return;
      const [node, offset] = lastPosition();
      const end = document.createRange();
      end.setStart(node, offset);
      if (end.comparePoint(selection.anchorNode, selection.anchorOffset) > 0) selection.collapse(node, offset);
    }

    // The first or last text or line break under `root`, or null.
    function leaf(root, last) {
      let node = last ? root.lastChild : root.firstChild;
      while (node !== null) {
        if ((node.nodeType === Node.TEXT_NODE && node.length > 0) || node.nodeName === "BR") return node;
        if (node.nodeType === Node.ELEMENT_NODE && node.firstChild !== null) {
          node = last ? node.lastChild : node.firstChild;
          continue;
        }
        while (node !== root && (last ? node.previousSibling : node.nextSibling) === null) node = node.parentNode;
        if (node === root) return null;
        node = last ? node.previousSibling : node.nextSibling;
      }
      return null;
    }

    const before = (node) => [node.parentNode, Array.prototype.indexOf.call(node.parentNode.childNodes, node)];

    // The place before the first character, and after the last: before a final line feed, which
    // ends a block without starting a line.
    function firstPosition() {
      const node = leaf(editor, false);
      if (node === null) return [editor, 0];
      return node.nodeType === Node.TEXT_NODE ? [node, 0] : before(node);
    }

    function lastPosition() {
      const node = leaf(editor, true);
      if (node === null) return [editor, editor.childNodes.length];
      if (node.nodeType !== Node.TEXT_NODE) return before(node);
      return [node, node.data.endsWith("\n") ? node.length - 1 : node.length];
    }

    function isWhole(range) {
      const [startNode, startOffset] = firstPosition();
      const [endNode, endOffset] = lastPosition();
      return range.comparePoint(startNode, startOffset) === 0 && range.comparePoint(endNode, endOffset) === 0 &&
             range.startContainer !== range.endContainer;
    }

    // Selects from the anchor to the focus, once what the selection reaches is laid out (a
    // selection placed in text that is not laid out is not where it shows).
    function select(anchorNode, anchorOffset, focusNode = anchorNode, focusOffset = anchorOffset) {
      const range = document.createRange();
      range.setStart(anchorNode, anchorOffset);
      range.setEnd(focusNode, focusOffset);
      if (range.collapsed && (anchorNode !== focusNode || anchorOffset !== focusOffset)) {
        range.setStart(focusNode, focusOffset);
        range.setEnd(anchorNode, anchorOffset);
      }
      follow(range);
      getSelection().setBaseAndExtent(anchorNode, anchorOffset, focusNode, focusOffset);
    }

    // Wraps text and line breaks that lie outside every block in a block of their own. Editing
    // leaves them where it edits: among the sections, or in the groups around the caret and their
    // sections.
    function adoptStrays() {
      const parents = [[editor, "section"]];
      const sections = new Set();
      for (const group of near) {
        if (group.parentNode === null || !editor.contains(group)) continue;
        if (!sections.has(group.parentNode)) parents.push([group.parentNode, "group"]);
        sections.add(group.parentNode);
      }
      for (const section of sections) for (const group of section.children) if (isGroup(group)) parents.push([group, null]);
      const selection = getSelection();
      const saved = selection.rangeCount > 0
        ? [selection.anchorNode, selection.anchorOffset, selection.focusNode, selection.focusOffset]
        : null;
      let wrapped = false;
      for (const [parent, kind] of parents) {
        const isPart = (node) => node.nodeType === Node.ELEMENT_NODE &&
          (kind === null ? node.nodeName === "DIV" : node.classList.contains(kind));
        for (let node = parent.firstChild; node !== null; ) {
          if (isPart(node) || (node.nodeType === Node.TEXT_NODE && node.length === 0)) {
            node = node.nextSibling;
            continue;
          }
          const previous = node.previousSibling !== null && isPart(node.previousSibling) ? node.previousSibling : null;
          const block = document.createElement("div");
          let top = block;
          for (const name of kind === null ? [] : kind === "group" ? ["group"] : ["group", "section"]) {
            const wrapper = document.createElement("div");
            wrapper.className = name;
            wrapper.appendChild(top);
            top = wrapper;
          }
          parent.insertBefore(top, node);
          while (node !== null && !isPart(node)) {
            const next = node.nextSibling;
            block.appendChild(node);
            node = next;
          }
          // It shared a flow with a neighbour that is laid out inline.
          if (previous !== null && previous.classList.contains(JOINED)) open.add(endBlockIn(previous, true));
          if (node !== null && node.classList.contains(JOINED)) open.add(block);
          wrapped = true;
        }
      }
      if (wrapped && saved !== null && saved[0].isConnected && saved[2].isConnected) {
        selection.setBaseAndExtent(...saved);
      }
      return wrapped;
    }

    // Takes in the flows and the groups laid out as the editor's elements now show them (an undo
    // or a redo puts back elements with their classes as they were): an edge is open where the
    // blocks on both sides, and the groups and sections between them, are in one flow.
    function resync() {
      joined = Array.from(editor.getElementsByClassName(JOINED));
      near = new Set(editor.getElementsByClassName(NEAR));
      open = new Set();
      wanted = new Set();
      for (const block of joined) {
        if (!isBlock(block)) continue;
        const after = neighbour(block, true);
        if (after === null || !after.classList.contains(JOINED)) continue;
        let inFlow = true;
        for (let a = block.parentNode, b = after.parentNode; a !== b && a !== editor; a = a.parentNode, b = b.parentNode) {
          inFlow = inFlow && a.classList.contains(JOINED) && b.classList.contains(JOINED);
        }
        if (inFlow) open.add(block);
      }
    }

    // Forgets the layout of a text that was replaced.
    function reset() {
      showOnlyNear(false);
      open = new Set();
      wanted = new Set();
      joined = [];
      near = new Set();
    }

    editor.addEventListener("keydown", () => followSelection(), true);
    editor.addEventListener("beforeinput", () => followSelection());
    // After an edit the edges are looked at again: an edit may have ended a block's last line
    // (so that its edge may open or close) or left text outside every block.
    editor.addEventListener("input", () => {
      adoptStrays();
      apply(wanted, near);
      followSelection();
    });
    document.addEventListener("selectionchange", () => followSelection());

    return { select, firstPosition, lastPosition, reset, resync, followSelection, blockOf, neighbour, isBlock, pageStep };
  }

  global.VostraEditorLayout = Object.freeze({ attach });
})(window);
