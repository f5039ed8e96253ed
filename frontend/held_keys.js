// Keys typed while the editor cannot take them yet (a document is being read and shown, a paste
// waits for the clipboard): they are held, in order, and played once it can, as a desktop editor
// whose window is busy takes them when it is free. No page here: app.js attaches it to the page
// and tells it how to play a key.
(function (global) {
  "use strict";

  const MODIFIERS = new Set(["Shift", "Control", "Alt", "Meta", "AltGraph", "CapsLock", "Super", "Hyper"]);

  // `play(key)` does what a held key does (it may answer a promise: the next key waits for it);
  // a key is { key, code, ctrlKey, shiftKey, altKey, metaKey }. `idle()` is called once nothing
  // holds the keys any more and every key held has been played.
  function attach(target, { play, idle = () => {} }) {
    let holds = 0;
    let playing = false;
    const held = [];

    target.addEventListener(
      "keydown",
      (event) => {
        if (holds === 0 && !playing && held.length === 0) return;
        if (MODIFIERS.has(event.key)) return;
        event.preventDefault();
        event.stopPropagation();
        const { key, code, ctrlKey, shiftKey, altKey, metaKey } = event;
        held.push({ key, code, ctrlKey, shiftKey, altKey, metaKey });
      },
      true,
    );
    // Text that reaches the page without a key (an input method's) waits too: it is refused.
    target.addEventListener(
      "beforeinput",
      (event) => {
        if (holds > 0 && !playing) event.preventDefault();
      },
      true,
    );

    async function drain() {
      if (playing) return;
      playing = true;
      try {
        while (holds === 0 && held.length > 0) {
          try {
            await play(held.shift());
          } catch (error) {
            console.error(error);
          }
        }
      } finally {
        playing = false;
      }
      if (holds === 0 && held.length === 0) idle();
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

    return { hold, isHolding: () => holds > 0 || playing || held.length > 0 };
  }

  global.VostraHeldKeys = Object.freeze({ attach });
})(window);
