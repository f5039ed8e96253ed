// The editor's undo history. No page here: app.js attaches it to the editor element.
//
// The history is kept from what changes in the editor's nodes, whoever changed them: the web
// view's own editing (a key typed, a line break, a deletion) and the editor's own (a paste, a
// replacement over groups the web view has not laid out). A step is the list of changes made to
// the nodes, in order; undoing it puts back each change in reverse order, the very nodes that
// were taken out going back where they were, and redoing it makes them again. The web view's
// own history is not used: it cannot undo what the editor did, and an undo of it over nodes the
// editor changed would damage the text. Only what changes in the editor is seen: an edit puts an
// element in the editor before it moves nodes of the editor into it (filled outside, the element
// would come back empty at a redo, the nodes an undo took out of it lost).
//
// Which blocks are laid out in one flow (the class `joined`, see editor_layout.js) is part of the
// text: two blocks in one flow show no line break between them. So the history keeps every change
// of that class too, in the order it came with the nodes' changes: an undo gives back the nodes,
// their texts and their flows exactly as they were when the step began, and a redo as they were
// when it ended. The layout changes flows between edits too (as the caret moves, where that
// changes nothing that shows); those changes wait (`floating`) until the next edit, which takes
// them in first, or are taken back before an undo or a redo, so that every step is undone and
// redone over the very nodes and flows it was made over.
//
// Where a step ends (see `willEdit`): at the edit after a line break, after a pause in typing,
// where the selection moved away from where the last edit left it, and around every edit that is
// not typing (a paste, a cut, a replacement).
(function (global) {
  "use strict";

  const TYPING_PAUSE_MS = 1000;
  const JOINED = global.VostraEditorText.JOINED;

  // The kinds of edit that join the typing step before them. A character the keyboard has no key
  // of its own for (one beyond U+FFFF, say) is typed through the input method, and comes as the
  // text of a composition.
  const isTyping = (kind) =>
    kind === "insertText" || kind === "insertLineBreak" || kind === "insertParagraph" ||
    kind === "insertTab" || kind.startsWith("deleteContent") || kind.startsWith("deleteWord") ||
    kind === "insertCompositionText" || kind === "insertFromComposition" || kind === "deleteCompositionText" ||
    kind === "insertReplacingText";
  const isLineBreak = (kind) => kind === "insertLineBreak" || kind === "insertParagraph";

  // `selection()` answers the selection to keep ([anchor node, offset, focus node, offset] or
  // null); `restore(selection)` puts it back after an undo or a redo, once the nodes and their
  // flows are as they were.
  function attach(editor, { selection, restore, now = () => performance.now() }) {
    const undone = [];
    const done = [];
    // The step the next changes join, whether the next edit may join it, and when and how the
    // last edit ended.
    let current = null;
    let open = false;
    let lastKind = "";
    let lastTime = -Infinity;
    let lastSelection = null;
    let recording = true;
    // Changes of flow made since the last edit, undo or redo, in order: { element, was, now }.
    let floating = [];

    const observer = new MutationObserver((records) => keep(records));
    observer.observe(editor, {
      childList: true,
      subtree: true,
      characterData: true,
      characterDataOldValue: true,
      attributes: true,
      attributeFilter: ["class"],
      attributeOldValue: true,
    });

    const inFlow = (classes) => classes !== null && classes.split(" ").includes(JOINED);

    // Moves what changed since the last look into the current step (a change no edit announced
    // joins the step before it: the editor's own tidying after an edit).
    function collect() {
      keep(observer.takeRecords());
    }

    function keep(records) {
      if (!recording || records.length === 0) return;
      // Whether each class change changed the flow: what an element's class was after a change
      // is what the next change of it found, or what it is now.
      const after = new Map();
      const flowChanged = new Array(records.length).fill(false);
      for (let i = records.length - 1; i >= 0; i--) {
        const record = records[i];
        if (record.type !== "attributes") continue;
        const target = record.target;
        const now = after.has(target) ? after.get(target) : target.classList.contains(JOINED);
        const was = inFlow(record.oldValue);
        flowChanged[i] = was !== now;
        after.set(target, was);
      }
      records.forEach((record, i) => {
        if (record.type === "attributes") {
          if (flowChanged[i]) floating.push({ element: record.target, was: inFlow(record.oldValue), now: null });
          return;
        }
        const step = stepForChanges();
        for (const change of floating) step.changes.push(change);
        floating = [];
        if (record.type === "characterData") {
          const previous = step.changes[step.changes.length - 1];
          // Typing changes one text again and again: its first old value is all that is needed.
          if (previous && previous.text === record.target) return;
          step.changes.push({ text: record.target, old: record.oldValue, now: null });
        } else {
          step.changes.push({
            parent: record.target,
            added: Array.from(record.addedNodes),
            removed: Array.from(record.removedNodes),
            next: record.nextSibling,
          });
        }
      });
    }

    // The step a change of the nodes joins: a change no edit announced joins the step before it
    // (the editor's own tidying after an edit). A change made now cannot be redone over.
    function stepForChanges() {
      undone.length = 0;
      if (current === null) {
        if (done.length === 0) {
          current = { changes: [], before: null, after: null, kind: "other" };
          done.push(current);
        } else {
          current = done[done.length - 1];
        }
      }
      return current;
    }

    function sameSelection(a, b) {
      return a !== null && b !== null && a.every((part, i) => part === b[i]);
    }

    // Called before an edit of the kind given (an input type) is made: answers nothing, but ends
    // the step before it where a step ends.
    function willEdit(kind) {
      collect();
      const at = now();
      const joins =
        open && current !== null && isTyping(kind) && isTyping(lastKind) && !isLineBreak(lastKind) &&
        at - lastTime < TYPING_PAUSE_MS && sameSelection(selection(), lastSelection);
      if (!joins) {
        // A step that changed nothing (an edit the web view announced and did not make) is
        // replaced, not kept.
        if (current !== null && current.changes.length === 0 && done[done.length - 1] === current) done.pop();
        current = { changes: [], before: selection(), after: null, kind };
        done.push(current);
      }
      open = true;
    }

    // Called after an edit: what changed joins its step, and the selection it left is kept.
    function edited(kind) {
      collect();
      lastKind = kind;
      lastTime = now();
      lastSelection = selection();
      if (current !== null) current.after = lastSelection;
      // Any other edit is a step of its own: the next edit starts another.
      if (!isTyping(kind)) open = false;
    }

    // Makes `change()` (the editor's own edit, of the kind given) one step.
    function edit(kind, change) {
      willEdit(kind);
      try {
        change();
      } finally {
        edited(kind);
      }
    }

    // Makes the changes again (or takes them back, in reverse order).
    function apply(changes, backwards) {
      for (let i = backwards ? changes.length - 1 : 0; backwards ? i >= 0 : i < changes.length; i += backwards ? -1 : 1) {
        const change = changes[i];
        if (change.element !== undefined) {
          if (backwards) change.now = change.element.classList.contains(JOINED);
          change.element.classList.toggle(JOINED, backwards ? change.was : change.now);
          continue;
        }
        if (change.text !== undefined) {
          const value = backwards ? change.old : change.now;
          if (backwards) change.now = change.text.data;
          change.text.data = value;
          continue;
        }
        const [out, into] = backwards ? [change.added, change.removed] : [change.removed, change.added];
        for (const node of out) if (node.parentNode === change.parent) change.parent.removeChild(node);
        const next = change.next !== null && change.next.parentNode === change.parent ? change.next : null;
        for (const node of into) change.parent.insertBefore(node, next);
      }
    }

    // Takes back the last step, or brings back the last step taken back; answers whether there
    // was one. Nothing else changes when there is none.
    function move(from, to, backwards) {
      collect();
      while (from.length > 0 && from[from.length - 1].changes.length === 0) from.pop();
      if (from.length === 0) return false;
      const step = from.pop();
      recording = false;
      try {
        // The flows go back to where the last step left them, then the step is taken back or
        // made again over them.
        apply(floating.splice(0), true);
        apply(step.changes, backwards);
        observer.takeRecords();
      } finally {
        recording = true;
      }
      to.push(step);
      current = null;
      open = false;
      lastSelection = null;
      restore(backwards ? step.before : step.after);
      // Putting the selection back may change flows (kept, to be taken back before the next
      // move), never the nodes.
      const records = observer.takeRecords();
      keep(records.filter((record) => record.type === "attributes"));
      return true;
    }

    const undo = () => move(done, undone, true);
    const redo = () => move(undone, done, false);

    // Forgets every step (a document was shown in place of the text); `change()`, when given, is
    // made without being kept.
    function clear(change = null) {
      collect();
      recording = false;
      try {
        if (change !== null) change();
        observer.takeRecords();
      } finally {
        recording = true;
      }
      done.length = 0;
      undone.length = 0;
      floating = [];
      current = null;
      open = false;
      lastKind = "";
      lastSelection = null;
    }

    // Ends the typing step now (the caret moved, or typing paused): the next edit starts another.
    function endStep() {
      collect();
      open = false;
    }

    return {
      willEdit,
      edited,
      edit,
      undo,
      redo,
      clear,
      endStep,
      canUndo: () => done.length > 0,
      canRedo: () => undone.length > 0,
      steps: () => done.length,
    };
  }

  global.VostraEditorHistory = Object.freeze({ attach, TYPING_PAUSE_MS, isTyping });
})(window);
