// The clipboard's text, exactly as the editor copies and pastes it. No page here: app.js uses it.
//
// The web view writes plain text with every no-break space made a space, and reads the clipboard's
// text only up to a NUL character, waiting with the page stopped while the program that holds the
// clipboard takes its time. So every copied text goes to the clipboard through the application
// ("vostra.clipboard.begin", "append", "finish": its UTF-8 in base64 chunks), one copy at a time:
// a newer copy ends an older one that is still on its way, which is no failure. The copy begins
// the moment it is asked for, before a long text is gathered: the application then knows when
// the user asked, and where another program copied since, the text does not land over that
// program's (no failure either); a copy that cannot begin yet (its key waits behind a paste)
// counts from a mark taken when it was asked for ("vostra.clipboard.mark"). A paste always reads
// the clipboard through the application ("vostra.clipboard.read.begin", "chunk", "finish"), in
// pieces whatever its length; where the application says the clipboard holds the copy the page
// names (its own last one, landed or still on its way), that text is pasted without reading it
// back, and without waiting for it to land.
(function (global) {
  "use strict";

  const Doc = global.VostraDocument;

  // `report(error)` tells a copy's failure.
  function attach(vexa, { report }) {
    // The newest copy's number, and its text with the application's transfer that carries it (a
    // promise of the number, null where the copy could not begin).
    let newest = 0;
    let lastCopied = null;

    // Marks the moment a copy that begins later is asked for: a promise of the mark, null where
    // there is none.
    function mark() {
      return vexa.invoke("vostra.clipboard.mark").then(
        (reply) => (Number.isSafeInteger(reply && reply.mark) ? reply.mark : null),
        () => null,
      );
    }

    // Puts the text `gather()` answers on the clipboard, and answers that text; the copy counts
    // from `marked` (what mark() gave) where there is one, else from now. An empty text leaves the
    // clipboard as it is.
    function copy(gather, marked = null) {
      const mine = ++newest;
      const begun = vexa.invoke("vostra.clipboard.begin", marked !== null ? { mark: marked } : undefined).then(
        (reply) => reply.transfer,
        (error) => {
          if (mine === newest) report(error);
          return null;
        },
      );
      const text = gather();
      if (text === "") return text;
      lastCopied = { text, begun };
      write(text, mine, begun);
      return text;
    }

    async function write(text, mine, begun) {
      const transfer = await begun;
      if (transfer === null) return;
      try {
        for (const chunk of Doc.appendChunks([text], "\n")) {
          if (mine !== newest) return;
          await vexa.invoke("vostra.clipboard.append", { transfer, data: Doc.encodeBase64(chunk) });
        }
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

    return { mark, copy, read };
  }

  global.VostraClipboard = Object.freeze({ attach });
})(window);
