// The clipboard's text, exactly as the editor copies and pastes it. No page here: app.js uses it.
//
// The web view writes plain text with every no-break space made a space, and reads the clipboard's
// text only up to a NUL character, waiting with the page stopped while the program that holds the
// clipboard takes its time. So a copied text that holds either character goes to the clipboard
// through the application ("vostra.clipboard.begin", "append", "finish": its UTF-8 in base64
// chunks), one copy at a time: a newer copy ends an older one that is still on its way, which is
// no failure. A paste always reads the clipboard through the application
// ("vostra.clipboard.read.begin", "chunk", "finish"), in pieces whatever its length; where the
// application says the clipboard still holds the copy the page names (its own last one), that
// text is pasted without reading it back.
(function (global) {
  "use strict";

  const Doc = global.VostraDocument;

  // Whether the web view's own clipboard writing keeps `text` as it is.
  const webViewKeeps = (text) => !/[\u00a0\u0000]/.test(text);

  // `report(error)` tells a copy's failure.
  function attach(vexa, { report }) {
    // The newest copy's number, its text, and the application's transfer that holds it once it
    // is on the clipboard (null until then, and for a copy the web view wrote).
    let newest = 0;
    let lastCopied = null;
    // The copy through the application still on its way: a paste waits for it.
    let writing = Promise.resolve();

    // Puts `text` on the clipboard; `event` is the copy or cut event, when there is one.
    function copy(text, event) {
      const mine = ++newest;
      lastCopied = { text, transfer: null };
      if (event) {
        event.clipboardData.setData("text/plain", text);
        event.preventDefault();
        if (webViewKeeps(text)) return;
      }
      writing = write(text, mine);
    }

    async function write(text, mine) {
      try {
        const { transfer } = await vexa.invoke("vostra.clipboard.begin");
        for (const chunk of Doc.appendChunks([text], "\n")) {
          if (mine !== newest) return;
          await vexa.invoke("vostra.clipboard.append", { transfer, data: Doc.encodeBase64(chunk) });
        }
        if (mine !== newest) return;
        await vexa.invoke("vostra.clipboard.finish", { transfer });
        if (mine === newest) lastCopied.transfer = transfer;
      } catch (error) {
        // A copy that a newer one replaced was not meant to end.
        if (mine === newest) report(error);
      }
    }

    // The clipboard's text: { text, replaced }, `replaced` the bytes that were not UTF-8, each
    // read as U+FFFD.
    async function read() {
      await writing;
      const own = lastCopied !== null ? lastCopied.transfer : null;
      const opened = await vexa.invoke("vostra.clipboard.read.begin", own !== null ? { copy: own } : undefined);
      try {
        if (own !== null && opened && opened.copy === own) {
          return { text: lastCopied.text, replaced: 0 };
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

    return { copy, read };
  }

  global.VostraClipboard = Object.freeze({ attach });
})(window);
