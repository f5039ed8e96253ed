// The clipboard's text, exactly as the editor copies and pastes it. No page here: app.js uses it.
//
// The web view writes plain text with every no-break space made a space, and reads the clipboard's
// text only up to a NUL character, waiting with the page stopped while the program that holds the
// clipboard takes its time. So every copied text goes to the clipboard through the application
// ("vostra.clipboard.begin", "append", "finish": its UTF-8 in base64 chunks), one copy at a time:
// a newer copy ends an older one that is still on its way, which is no failure. A copy counts
// from the moment it is asked for: the clipboard is marked then ("vostra.clipboard.mark", or the
// mark a held key took when it was typed), the text is gathered, and the copy begins with that
// mark, so that where another program copied since, the text does not land over that program's
// (no failure either). Only a text that can be copied begins: an empty one, or one whose UTF-8
// is larger than the application takes, leaves the clipboard as it is (and an older copy on its
// way goes on). A paste always reads the clipboard through the application
// ("vostra.clipboard.read.begin", "chunk", "finish"), in pieces whatever its length; where the
// application says the clipboard holds the copy the page names (its own last one, landed or
// still on its way), that text is pasted without reading it back, and without waiting for it to
// land.
(function (global) {
  "use strict";

  const Doc = global.VostraDocument;

  // The most UTF-8 one copy carries: the application refuses a longer text.
  const TEXT_LIMIT = 48 * 1024 * 1024;

  // Whether the UTF-8 of `text` (each lone surrogate written as U+FFFD, three bytes) fits the
  // limit, counted without encoding it. Every UTF-16 unit takes one to three bytes, a surrogate
  // pair four.
  function fitsLimit(text) {
    if (text.length > TEXT_LIMIT) return false;
    if (text.length * 3 <= TEXT_LIMIT) return true;
    let bytes = 0;
    for (let i = 0; i < text.length; i++) {
      const unit = text.charCodeAt(i);
      if (unit < 0x80) {
        bytes += 1;
      } else if (unit < 0x800) {
        bytes += 2;
      } else if (unit >= 0xd800 && unit <= 0xdbff && text.charCodeAt(i + 1) >= 0xdc00 && text.charCodeAt(i + 1) <= 0xdfff) {
        bytes += 4;
        i++;
      } else {
        bytes += 3;
      }
    }
    return bytes <= TEXT_LIMIT;
  }

  function tooLarge() {
    return new Doc.DocumentError(
      "selection_too_large",
      "The selected text is larger than 48 MiB, the most Vostra Studio copies or cuts; the clipboard and the text are as they were",
    );
  }

  // `report(error)` tells a copy's failure.
  function attach(vexa, { report }) {
    // The newest copy's number, and its text with the application's transfer that carries it (a
    // promise of the number, null where the copy could not begin).
    let newest = 0;
    let lastCopied = null;
    // The newest copy's transfer to the application, until it has ended (its text sent, or failed).
    let writing = Promise.resolve();

    // Marks the moment a copy is asked for (`typedAt`, by the page's clock: when its key was typed,
    // which the page may get late; now where not given): a promise of the mark, null where there is
    // none.
    function mark(typedAt = performance.now()) {
      const age = Math.max(0, Math.round(performance.now() - typedAt));
      return vexa.invoke("vostra.clipboard.mark", { age }).then(
        (reply) => (Number.isSafeInteger(reply && reply.mark) ? reply.mark : null),
        () => null,
      );
    }

    // Puts the text `gather()` answers on the clipboard, counted from `marked` (what mark() gave)
    // where there is one, else from `typedAt` (see mark). Answers { copied, refused }: `copied` whether the text
    // goes to the clipboard, `refused` the error that says why a text cannot be copied (null
    // otherwise). An empty text is not copied, and not refused.
    function copy(gather, marked = null, typedAt = performance.now()) {
      const marking = marked !== null ? Promise.resolve(marked) : mark(typedAt);
      const text = gather();
      if (text === "") return { copied: false, refused: null };
      if (!fitsLimit(text)) return { copied: false, refused: tooLarge() };
      const mine = ++newest;
      // A copy that a newer one replaced before its mark came begins nothing (the newer one may
      // have begun already).
      const begun = marking
        .then((at) => (mine === newest ? vexa.invoke("vostra.clipboard.begin", at !== null ? { mark: at } : undefined) : null))
        .then(
          (reply) => (reply !== null ? reply.transfer : null),
          (error) => {
            if (mine === newest) report(error);
            return null;
          },
        );
      lastCopied = { text, begun };
      writing = write(text, mine, begun);
      return { copied: true, refused: null };
    }

    // The text goes in chunks, a few on their way at once, as a save's do.
    async function write(text, mine, begun) {
      const transfer = await begun;
      if (transfer === null) return;
      try {
        const append = (chunk) => vexa.invoke("vostra.clipboard.append", { transfer, data: Doc.encodeBase64(chunk) });
        await Doc.sendChunks(Doc.appendChunks([text], "\n"), append, () => mine !== newest);
        if (mine !== newest) return;
        await vexa.invoke("vostra.clipboard.finish", { transfer });
      } catch (error) {
        // A copy that a newer one replaced was not meant to end.
        if (mine === newest) report(error);
      }
    }

    // The clipboard's text: { text, replaced }, `replaced` the bytes that were not UTF-8, each
    // read as U+FFFD.
    async function read() {
      // The newest copy's begin is answered at once, whatever its text still has to go.
      const copied = lastCopied;
      const own = copied !== null ? await copied.begun : null;
      const opened = await vexa.invoke("vostra.clipboard.read.begin", own !== null ? { copy: own } : undefined);
      try {
        if (own !== null && opened && opened.copy === own) {
          return { text: copied.text, replaced: 0 };
        }
        const size = opened && opened.bytes;
        if (!Number.isSafeInteger(size) || size < 0) {
          throw new Doc.DocumentError("invalid_reply", "The application did not tell the clipboard text's size");
        }
        const bytes = new Uint8Array(size);
        let done = 0;
        for (;;) {
          const chunk = await vexa.invoke("vostra.clipboard.read.chunk");
          if (typeof chunk !== "string") throw new Doc.DocumentError("invalid_reply", "The application sent no text");
          if (chunk.length === 0) break;
          const written = Doc.decodeBase64Into(chunk, bytes.subarray(done));
          if (written === null) throw new Doc.DocumentError("invalid_reply", "The application sent more text than it told");
          done += written;
        }
        if (done !== size) throw new Doc.DocumentError("invalid_reply", "The application sent less text than it told");
        return { text: new TextDecoder().decode(bytes), replaced: opened.replaced || 0 };
      } finally {
        await vexa.invoke("vostra.clipboard.read.finish").catch(() => {});
      }
    }

    // Resolves once the newest copy's text has gone to the application (or failed): a dialog, which
    // holds back whatever the page sends while it shows, waits for it.
    function sent() {
      return writing;
    }

    return { mark, copy, read, sent };
  }

  global.VostraClipboard = Object.freeze({ attach });
})(window);
