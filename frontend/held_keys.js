// Keys typed while the editor cannot take them yet (a command shows a dialog or asks a question, a
// document is being read and shown, a paste waits for the clipboard): they are held, in order, and
// played once it can, as a desktop editor whose window is busy takes them when it is free. A
// command given another way meanwhile (a toolbar button, a dropped file) waits among them in the
// same order. No page here: app.js attaches it to the page and tells it how to play a key.
(function (global) {
  "use strict";

  const MODIFIERS = new Set(["Shift", "Control", "Alt", "Meta", "AltGraph", "CapsLock", "Super", "Hyper"]);

  // The web view stamps a key or a pointer event with the display server's time of the key or the
  // move, converted to the page's clock with an error of its own that holds for the page's life
  // (measured: from under a second to a few seconds, input the program typed itself without a time
  // aside, which it stamps with the moment it handles it). So when input was made, by the page's
  // clock (performance.now()), is its stamp less the greatest lead of a stamp over the moment the
  // page began to handle its event: that of the input handled soonest after it was made, which is
  // some input of every session (a key typed at an idle page is handled within milliseconds).
  const STAMPED = ["keydown", "keyup", "pointerdown", "pointermove", "pointerup"];
  function inputClock(target) {
    let lead = -Infinity;
    for (const kind of STAMPED) {
      target.addEventListener(kind, (event) => (lead = Math.max(lead, event.timeStamp - performance.now())), {
        capture: true,
        passive: true,
      });
    }
    return (event) => event.timeStamp - (lead === -Infinity ? 0 : lead);
  }

  // `play(key)` does what a held key does (it may answer a promise: the next key waits for it);
  // a key is { key, code, ctrlKey, shiftKey, altKey, metaKey }. `idle()` is called once nothing
  // holds the keys any more and every key and command held has been played. `answers(event)`
  // tells whether a key goes to a question that a command asks meanwhile (a command played from
  // the keys held waits for its answer: the keys typed at the question answer it).
  // `note(key, typedAt)` is called as a key is held, with when it was typed (by the page's clock):
  // what it answers goes with the key to `play`, as its `noted`. `typedAt(event)` answers when an
  // input event was made; `keyTypedAt()` when the key being handled now was typed (now, where no
  // key is).
  function attach(target, { play, idle = () => {}, answers = () => false, note = () => undefined }) {
    // Before any other listener: the lead is measured as the page begins to handle an event.
    const typedAt = inputClock(target);
    // The key being handled now (in this task), when it was typed.
    let keyNow = null;
    target.addEventListener(
      "keydown",
      (event) => {
        keyNow = typedAt(event);
        setTimeout(() => (keyNow = null));
      },
      { capture: true, passive: true },
    );
    const keyTypedAt = () => (keyNow !== null ? keyNow : performance.now());
    let holds = 0;
    let playing = false;
    // Keys, and commands ({ command }), in the order they came.
    const held = [];
    const free = () => holds === 0 && !playing && held.length === 0;

    // Every key event held back is marked handled, modifier keys and releases too: the web view
    // hands one the page leaves unhandled back to the window, which sends it to whatever holds
    // the keyboard then (a dialog shown meanwhile), and then takes the next key it gets for that
    // one, so that key never reaches the page (the first letter typed after a dialog's answer was
    // lost so).
    target.addEventListener(
      "keyup",
      (event) => {
        if (!free() && !answers(event)) event.preventDefault();
      },
      true,
    );
    target.addEventListener(
      "keydown",
      (event) => {
        if (free() || answers(event)) return;
        event.preventDefault();
        if (MODIFIERS.has(event.key)) return;
        event.stopPropagation();
        const { key, code, ctrlKey, shiftKey, altKey, metaKey } = event;
        const kept = { key, code, ctrlKey, shiftKey, altKey, metaKey };
        held.push({ ...kept, noted: note(kept, typedAt(event)) });
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

    // The keys held for a command that shows a dialog, typed after the command's own key and before
    // the dialog showed, which go to the dialog instead: they are taken out, up to the first command
    // held among them (a toolbar button clicked meanwhile goes on after the command, with the keys
    // behind it). None while nothing holds them.
    function takeKeysAhead() {
      if (holds === 0) return [];
      const until = held.findIndex((entry) => entry.command);
      const taken = held.splice(0, until < 0 ? held.length : until);
      return taken.map(({ key, code, ctrlKey, shiftKey, altKey, metaKey }) => {
        return { key, code, ctrlKey, shiftKey, altKey, metaKey };
      });
    }

    return { hold, whenFree, takeKeysAhead, typedAt, keyTypedAt, isHolding: () => !free() };
  }

  global.VostraHeldKeys = Object.freeze({ attach });
})(window);
