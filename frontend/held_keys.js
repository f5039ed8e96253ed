// Keys typed while the editor cannot take them yet (a command shows a dialog or asks a question, a
// document is being read and shown, a paste waits for the clipboard): they are held, in order, and
// played once it can, as a desktop editor whose window is busy takes them when it is free. A
// command given another way meanwhile (a toolbar button, a dropped file) waits among them in the
// same order. No page here: app.js attaches it to the page and tells it how to play a key.
(function (global) {
  "use strict";

  const MODIFIERS = new Set(["Shift", "Control", "Alt", "Meta", "AltGraph", "CapsLock", "Super", "Hyper"]);

  // `play(key)` does what a held key does (it may answer a promise: the next key waits for it);
  // a key is { key, code, ctrlKey, shiftKey, altKey, metaKey }. `idle()` is called once nothing
  // holds the keys any more and every key and command held has been played. `answers(event)`
  // tells whether a key goes to a question that a command asks meanwhile (a command played from
  // the keys held waits for its answer: the keys typed at the question answer it).
  // `note(key)` is called as a key is held: what it answers goes with the key to `play`, as its
  // `noted`.
  function attach(target, { play, idle = () => {}, answers = () => false, note = () => undefined }) {
    let holds = 0;
    let playing = false;
    // Keys, and commands ({ command }), in the order they came.
    const held = [];
    const free = () => holds === 0 && !playing && held.length === 0;

    target.addEventListener(
      "keydown",
      (event) => {
        if (free() || answers(event)) return;
        if (MODIFIERS.has(event.key)) return;
        event.preventDefault();
        event.stopPropagation();
        const { key, code, ctrlKey, shiftKey, altKey, metaKey } = event;
        const kept = { key, code, ctrlKey, shiftKey, altKey, metaKey };
        held.push({ ...kept, noted: note(kept) });
      },
      true,
    );
    // An undo or a redo that reaches the page without a key (the window's Edit menu asks the web
    // view for its own) waits as its key does. Text that reaches the page without a key (an input
    // method's) waits too: it is refused.
    target.addEventListener(
      "beforeinput",
      (event) => {
        const history = event.inputType === "historyUndo" || event.inputType === "historyRedo";
        if (history && !free()) {
          event.preventDefault();
          event.stopImmediatePropagation();
          const shiftKey = event.inputType === "historyRedo";
          const undoKey = { key: shiftKey ? "Z" : "z", code: "KeyZ", ctrlKey: true, shiftKey };
          held.push({ ...undoKey, altKey: false, metaKey: false });
        } else if (holds > 0 && !playing) {
          event.preventDefault();
        }
      },
      true,
    );

    async function drain() {
      if (playing) return;
      playing = true;
      try {
        while (holds === 0 && held.length > 0) {
          const next = held.shift();
          try {
            await (next.command ? next.command() : play(next));
          } catch (error) {
            console.error(error);
          }
        }
      } finally {
        playing = false;
      }
      if (free()) idle();
    }

    // Holds the keys typed from now on until the answered function is called.
    function hold() {
      holds++;
      let released = false;
      return () => {
        if (released) return;
        released = true;
        holds--;
        if (holds === 0) drain();
      };
    }

    // Runs `command` now when nothing is held, or else after the keys and commands held before it.
    function whenFree(command) {
      if (free()) return command();
      held.push({ command });
      return undefined;
    }

    return { hold, whenFree, isHolding: () => !free() };
  }

  global.VostraHeldKeys = Object.freeze({ attach });
})(window);
