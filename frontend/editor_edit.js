// The editor's own editing of its text, where the web view's editing cannot do what a user asks
// over groups it has not laid out: selecting all of the text, reading the selected text, and
// replacing a selection, however far it reaches, by a text. No page here: app.js attaches it to
// the editor element and its layout (editor_layout.js).
//
// A replacement is made on groups: the groups from the one the selection starts in to the one it
// ends in are taken out and groups of the new text put in their place, so that the text between
// them, however long, is neither read nor laid out. The groups taken out start where a line
// starts and end after a line break (or at the end of the text): the new groups, each block of
// which ends with a line break, then show exactly the text around them as before.
(function (global) {
  "use strict";

  const Text = global.VostraEditorText;

  // `layout` is the editor's layout (see editor_layout.js); `newGroup(blocks, rows, lineHeight)`
  // makes the element of a group of blocks, as a document is shown; `metrics()` answers the
  // height of a line and how many characters a row of the editor holds ({ lineHeight,
  // rowCharacters }).
  function attach(editor, layout, { newGroup, metrics }) {
    const isGroup = (node) => node !== null && node.nodeType === 1 && node.classList.contains("group");
    const isSection = (node) => node !== null && node.nodeType === 1 && node.classList.contains("section");

    // The first (or last) block of a group, section or block; null when there is none.
    function endBlock(node, last) {
      while (node !== null && !layout.isBlock(node)) node = last ? node.lastElementChild : node.firstElementChild;
      return node;
    }

    // The block a place lies in, or else the block after it (before it, with `before`).
    function blockAt([node, offset], before) {
      const found = layout.blockOf(node);
      if (found !== null) return found;
      if (node.nodeType !== 1) return null;
      const children = node.childNodes;
      for (let i = before ? offset - 1 : offset; i >= 0 && i < children.length; i += before ? -1 : 1) {
        const block = children[i].nodeType === 1 ? endBlock(children[i], before) : null;
        if (block !== null) return block;
      }
      return null;
    }

    // The block where the run of lines that `block` is in starts to be read as if the text began
    // there: the first block after one that ends with a line break.
    function runStart(block) {
      for (let before = layout.neighbour(block, false); before !== null; before = layout.neighbour(block, false)) {
        if (Text.endsWithLineBreak(before)) break;
        block = before;
      }
      return block;
    }

    // The selection's ends in the order of the text: { start, end, backwards }, each [node,
    // offset]; null when the selection is not in the editor.
    function selectionEnds() {
      const selection = getSelection();
      if (selection.rangeCount === 0) return null;
      const range = selection.getRangeAt(0);
      if (!editor.contains(range.startContainer) || !editor.contains(range.endContainer)) return null;
      const start = [range.startContainer, range.startOffset];
      const end = [range.endContainer, range.endOffset];
      const backwards = !selection.isCollapsed && (selection.anchorNode !== range.startContainer ||
                                                   selection.anchorOffset !== range.startOffset);
      return { start, end, backwards };
    }

    // Whether a place is still one in the editor's text: its node is in the editor and its
    // offset within the node.
    function isPlace([node, offset]) {
      if (node === null || !editor.contains(node) || !Number.isInteger(offset) || offset < 0) return false;
      return offset <= (node.nodeType === Node.TEXT_NODE ? node.length : node.childNodes.length);
    }

    // Whether both ends of a selection (see selectionEnds) are still places in the editor's text.
    function holds(ends) {
      return isPlace(ends.start) && isPlace(ends.end);
    }

    // The text between two places of the editor, in the order of the text.
    function textBetween(start, end) {
      const from = blockAt(start, false) || blockAt(start, true);
      const walk = from !== null ? runStart(from) : editor.firstChild;
      if (walk === null) return "";
      return Text.measure(editor, walk, [start, end], [0, 1]).text;
    }

    // Selects the whole text.
    function selectAll() {
      layout.select(...layout.firstPosition(), ...layout.lastPosition());
    }

    // How many blocks lie between two blocks, counted no further than `limit`.
    function blocksBetween(first, last, limit) {
      let count = 1;
      for (let block = first; block !== last && block !== null && count <= limit; block = layout.neighbour(block, true)) {
        count++;
      }
      return count;
    }

    // Whether the web view's own editing would have to reach past what is laid out to replace
    // the selection: it reaches into another group, or over more blocks than a page of them.
    function reachesFar(ends, limit) {
      const first = blockAt(ends.start, false);
      const last = blockAt(ends.end, true);
      if (first === null || last === null) return true;
      if (first === last) return false;
      return first.parentNode !== last.parentNode || blocksBetween(first, last, limit) > limit;
    }

    // The elements of groups showing `text`, whose last line feed ends no line.
    function groupsOf(text) {
      const { lineHeight, rowCharacters } = metrics();
      const made = [];
      for (const { blocks, rows } of Text.blockGroups(text, rowCharacters)) made.push(newGroup(blocks, rows, lineHeight));
      return made;
    }

    // Puts `groups` in place of the groups from `first` to `last` (across sections).
    function replaceGroups(first, last, groups) {
      const section = first.parentNode;
      for (const group of groups) section.insertBefore(group, first);
      const lastSection = last.parentNode;
      const removeFrom = (node, through) => {
        while (node !== null) {
          const next = node.nextSibling;
          node.parentNode.removeChild(node);
          if (node === through) return true;
          node = next;
        }
        return false;
      };
      if (!removeFrom(first, last)) {
        for (let between = section.nextSibling; between !== null && between !== lastSection; ) {
          const next = between.nextSibling;
          editor.removeChild(between);
          between = next;
        }
        removeFrom(lastSection.firstChild, last);
        if (lastSection.firstChild === null) editor.removeChild(lastSection);
      }
      splitSection(section);
    }

    // Cuts a section that grew past twice its usual groups into sections of the usual size. Each
    // new section is put in the editor before the groups move into it: the history sees only
    // what changes in the editor, and a group moved into a section it has not seen yet would be
    // missing from that section when a redo puts it back.
    function splitSection(section) {
      const usual = Text.LAYOUT.sectionGroups;
      if (section.childElementCount <= 2 * usual) return;
      const moved = Array.from(section.children).slice(usual);
      let after = section;
      for (let i = 0; i < moved.length; i += usual) {
        const added = document.createElement("div");
        added.className = "section";
        editor.insertBefore(added, after.nextSibling);
        for (const group of moved.slice(i, i + usual)) added.appendChild(group);
        after = added;
      }
    }

    // The place `offset` characters into the text the groups show (each block's text read as it
    // is: its last line feed is that of the line it ends).
    function placeIn(groups, offset) {
      let lastText = null;
      for (const group of groups) {
        for (const block of group.children) {
          const text = block.firstChild;
          if (text === null) continue;
          if (offset < text.length) return [text, offset];
          offset -= text.length;
          lastText = text;
        }
      }
      return lastText !== null ? [lastText, Math.max(0, lastText.length - 1)] : [editor, 0];
    }

    // Where a place `offset` characters into a text is in `groups` once `text` took the place of
    // the text from `start` to `end` (offsets in the same text): a place in what was replaced goes
    // after `text`. A place not found (offset -1) is answered as it was.
    function carriedTo(groups, place, offset, start, end, text) {
      if (offset === undefined || offset < 0) return place;
      if (offset <= start) return placeIn(groups, offset);
      return placeIn(groups, offset >= end ? offset - end + start + text.length : start + text.length);
    }

    // Whether `node` lies in the groups from `first` to `last`.
    function isWithin(node, first, last) {
      const { DOCUMENT_POSITION_FOLLOWING: FOLLOWING, DOCUMENT_POSITION_PRECEDING: PRECEDING } = Node;
      const after = node === first || (first.compareDocumentPosition(node) & FOLLOWING) !== 0;
      return after && (last.contains(node) || (last.compareDocumentPosition(node) & PRECEDING) !== 0);
    }

    // Replaces the text between two places (in the order of the text) by `text`, and puts the
    // caret after it. Answers the places `carried` as they are in the text after it (one in the
    // text replaced goes after `text`), or null when it replaced nothing: places that are no
    // longer in the editor (an undo or another document took them away) replace nothing.
    function replace(start, end, text, carried = []) {
      if (!isPlace(start) || !isPlace(end)) return null;
      const first = blockAt(start, false) || blockAt(start, true);
      const last = blockAt(end, true) || blockAt(end, false);
      let firstGroup = first !== null ? first.parentNode : null;
      let lastGroup = last !== null ? last.parentNode : null;
      if (!isGroup(firstGroup) || !isGroup(lastGroup) || !isSection(firstGroup.parentNode) ||
          !isSection(lastGroup.parentNode)) {
        return replaceAll(start, end, text, carried);
      }
      // The groups taken out start where a line starts and end after a line break.
      for (let before = layout.neighbour(endBlock(firstGroup, false), false); before !== null && !Text.endsWithLineBreak(before);
           before = layout.neighbour(endBlock(firstGroup, false), false)) {
        firstGroup = before.parentNode;
      }
      for (let lastBlock = endBlock(lastGroup, true), after = layout.neighbour(lastBlock, true);
           after !== null && !Text.endsWithLineBreak(lastBlock);
           lastBlock = endBlock(lastGroup, true), after = layout.neighbour(lastBlock, true)) {
        lastGroup = after.parentNode;
      }
      const atEnd = layout.neighbour(endBlock(lastGroup, true), true) === null;
      const from = endBlock(firstGroup, false);
      // The places carried that the groups taken out hold are found in the text from `from` on.
      const taken = carried.filter(([node]) => isWithin(node, firstGroup, lastGroup));
      const places = [[from, 0], start, ...(taken.length > 0 ? [end, ...taken] : [])];
      const measured = Text.measure(editor, from, places, [0, 1]);
      const head = measured.text;
      const tail = Text.measure(editor, runStart(last), [end, [lastGroup, lastGroup.childNodes.length]], [0, 1]).text;
      const shown = head + text + tail;
      const groups = groupsOf(atEnd ? shown : shown.slice(0, -1));
      replaceGroups(firstGroup, lastGroup, groups);
      layout.select(...placeIn(groups, head.length + text.length));
      const [, startAt, endAt, ...at] = measured.offsets;
      return carried.map((place) => carriedTo(groups, place, at[taken.indexOf(place)], startAt, endAt, text));
    }

    // The same where the editor holds no groups to go by (editing emptied it): the whole text is
    // shown again. Both places are in the editor.
    function replaceAll(start, end, text, carried) {
      const from = editor.firstChild;
      const whole = from !== null ? Text.measure(editor, from, [start, end, ...carried]) : { offsets: [0, 0] };
      const all = from !== null ? Text.readText(editor) : "";
      const [a, b, ...at] = whole.offsets;
      const shown = all.slice(0, Math.min(a, b)) + text + all.slice(Math.max(a, b));
      const groups = groupsOf(shown);
      editor.replaceChildren();
      const section = editor.appendChild(document.createElement("div"));
      section.className = "section";
      for (const group of groups) section.appendChild(group);
      splitSection(section);
      layout.select(...placeIn(groups, Math.min(a, b) + text.length));
      return carried.map((place, i) => carriedTo(groups, place, at[i], Math.min(a, b), Math.max(a, b), text));
    }

    // Replaces the selection by `text` (nothing to delete it).
    function replaceSelection(text) {
      const ends = selectionEnds();
      return ends !== null && replace(ends.start, ends.end, text) !== null;
    }

    return { selectionEnds, holds, textBetween, selectAll, reachesFar, replace, replaceSelection };
  }

  global.VostraEditorEdit = Object.freeze({ attach });
})(window);
