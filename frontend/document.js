// Documents of Vostra Studio: ".vrs" files holding UTF-8 text, written and read through the
// application's file commands in base64 chunks. No DOM here: app.js wires this to the page.
(function (global) {
  "use strict";

  // The most base64 text one "vostra.file.append" takes, and the bytes it stands for.
  const APPEND_CHARACTERS = 98304;
  const APPEND_BYTES = (APPEND_CHARACTERS / 4) * 3;
  const BASE64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const BASE64_VALUES = new Map(Array.from(BASE64, (character, value) => [character, value]));

  // A failure of the editor itself, shown like a bridge error: a code and a message.
  class DocumentError extends Error {
    constructor(code, message) {
      super(message);
      this.name = "DocumentError";
      this.code = code;
    }
  }

  // UTF-8 bytes of a string; a lone surrogate becomes U+FFFD, as TextEncoder does.
  function encodeUtf8(text) {
    const bytes = [];
    for (let i = 0; i < text.length; i++) {
      let code = text.charCodeAt(i);
      if (code >= 0xd800 && code <= 0xdfff) {
        const next = i + 1 < text.length ? text.charCodeAt(i + 1) : 0;
        if (code <= 0xdbff && next >= 0xdc00 && next <= 0xdfff) {
          code = 0x10000 + ((code - 0xd800) << 10) + (next - 0xdc00);
          i++;
        } else {
          code = 0xfffd;
        }
      }
      if (code < 0x80) {
        bytes.push(code);
      } else if (code < 0x800) {
        bytes.push(0xc0 | (code >> 6), 0x80 | (code & 0x3f));
      } else if (code < 0x10000) {
        bytes.push(0xe0 | (code >> 12), 0x80 | ((code >> 6) & 0x3f), 0x80 | (code & 0x3f));
      } else {
        bytes.push(0xf0 | (code >> 18), 0x80 | ((code >> 12) & 0x3f), 0x80 | ((code >> 6) & 0x3f), 0x80 | (code & 0x3f));
      }
    }
    return Uint8Array.from(bytes);
  }

  // Text of UTF-8 bytes; each maximal invalid sequence becomes one U+FFFD, as TextDecoder does.
  function decodeUtf8(bytes) {
    const units = [];
    let text = "";
    let i = 0;
    while (i < bytes.length) {
      const lead = bytes[i];
      let need = 0;
      let low = 0x80;
      let high = 0xbf;
      let code = lead;
      if (lead >= 0xc2 && lead <= 0xdf) {
        need = 1;
        code = lead & 0x1f;
      } else if (lead >= 0xe0 && lead <= 0xef) {
        need = 2;
        code = lead & 0x0f;
        if (lead === 0xe0) low = 0xa0;
        if (lead === 0xed) high = 0x9f;
      } else if (lead >= 0xf0 && lead <= 0xf4) {
        need = 3;
        code = lead & 0x07;
        if (lead === 0xf0) low = 0x90;
        if (lead === 0xf4) high = 0x8f;
      } else if (lead >= 0x80) {
        code = 0xfffd;
      }
      i++;
      for (let k = 0; k < need; k++, i++) {
        const next = bytes[i];
        if (i >= bytes.length || next < low || next > high) {
          code = 0xfffd;
          break;
        }
        code = (code << 6) | (next & 0x3f);
        low = 0x80;
        high = 0xbf;
      }
      if (code >= 0x10000) {
        units.push(0xd800 + ((code - 0x10000) >> 10), 0xdc00 + ((code - 0x10000) & 0x3ff));
      } else {
        units.push(code);
      }
      if (units.length >= 8192) text += String.fromCharCode.apply(null, units.splice(0));
    }
    return text + String.fromCharCode.apply(null, units);
  }

  function encodeBase64(bytes) {
    let text = "";
    for (let i = 0; i < bytes.length; i += 3) {
      const count = Math.min(3, bytes.length - i);
      const group = (bytes[i] << 16) | ((count > 1 ? bytes[i + 1] : 0) << 8) | (count > 2 ? bytes[i + 2] : 0);
      text += BASE64[(group >> 18) & 63] + BASE64[(group >> 12) & 63];
      text += count > 1 ? BASE64[(group >> 6) & 63] : "=";
      text += count > 2 ? BASE64[group & 63] : "=";
    }
    return text;
  }

  // Bytes of padded base64 text; anything else is an invalid reply of the application.
  function decodeBase64(text) {
    const invalid = () => new DocumentError("invalid_reply", "The file data from the application is not base64");
    if (text.length % 4 !== 0) throw invalid();
    const padding = text.endsWith("==") ? 2 : text.endsWith("=") ? 1 : 0;
    const bytes = new Uint8Array((text.length / 4) * 3 - padding);
    let at = 0;
    for (let i = 0; i < text.length; i += 4) {
      let group = 0;
      for (let k = 0; k < 4; k++) {
        const character = text[i + k];
        const value = BASE64_VALUES.get(character);
        const isPadding = character === "=" && i + 4 === text.length && k >= 4 - padding;
        if (value === undefined && !isPadding) throw invalid();
        group = (group << 6) | (value || 0);
      }
      for (let k = 0; k < 3 && at < bytes.length; k++) bytes[at++] = (group >> (16 - 8 * k)) & 0xff;
    }
    return bytes;
  }

  // The base64 texts of the appends that write `bytes`, each at most APPEND_CHARACTERS long.
  function appendChunks(bytes) {
    const chunks = [];
    for (let start = 0; start < bytes.length; start += APPEND_BYTES) {
      chunks.push(encodeBase64(bytes.subarray(start, start + APPEND_BYTES)));
    }
    return chunks;
  }

  // Writes `text` to `path` through `vexa`: begin, the appends, finish; on any failure after begin
  // the write is cancelled and the failure passed on. Answers the byte count written.
  async function saveDocument(vexa, path, text) {
    const bytes = encodeUtf8(text);
    await vexa.invoke("vostra.file.begin", path);
    try {
      for (const chunk of appendChunks(bytes)) await vexa.invoke("vostra.file.append", chunk);
      const finished = await vexa.invoke("vostra.file.finish");
      const written = finished && finished.bytes;
      if (written !== bytes.length) {
        throw new DocumentError("incomplete_write", `The application wrote ${written} of ${bytes.length} bytes`);
      }
      return written;
    } catch (error) {
      await vexa.invoke("vostra.file.cancel").catch(() => {});
      throw error;
    }
  }

  // Reads the text of `path` through `vexa`: read.begin, chunks until the empty one, read.finish
  // (also after a failure).
  async function readDocument(vexa, path) {
    const opened = await vexa.invoke("vostra.file.read.begin", path);
    const size = opened && opened.bytes;
    if (typeof size !== "number") {
      await vexa.invoke("vostra.file.read.finish").catch(() => {});
      throw new DocumentError("invalid_reply", "The application did not tell the file's size");
    }
    const parts = [];
    let total = 0;
    try {
      for (;;) {
        const chunk = await vexa.invoke("vostra.file.read.chunk");
        if (typeof chunk !== "string") throw new DocumentError("invalid_reply", "The application sent no file data");
        if (chunk.length === 0) break;
        const bytes = decodeBase64(chunk);
        parts.push(bytes);
        total += bytes.length;
        if (total > size) break;
      }
    } finally {
      await vexa.invoke("vostra.file.read.finish").catch(() => {});
    }
    if (total !== size) throw new DocumentError("file_changed", "The file changed while it was read");
    const whole = new Uint8Array(total);
    let at = 0;
    for (const part of parts) {
      whole.set(part, at);
      at += part.length;
    }
    return decodeUtf8(whole);
  }

  // The code and message an error is shown with.
  function describeError(error) {
    if (error && typeof error === "object") {
      return { code: String(error.code || error.name || "error"), message: String(error.message || error) };
    }
    return { code: "error", message: String(error) };
  }

  // Documents end in ".vrs" in any case ("X.VRS" opens like "x.vrs").
  function isDocumentPath(path) {
    return typeof path === "string" && path.toLowerCase().endsWith(".vrs") && path.length > 4;
  }

  // The path a document is saved under. The application writes documents only under the ending
  // ".vrs" in lower case: a chosen path that ends in it in another case gets it in lower case (not
  // a second ending), one without it gets it added.
  function withDocumentExtension(path) {
    return path.toLowerCase().endsWith(".vrs") ? path.slice(0, -4) + ".vrs" : path + ".vrs";
  }

  // Whether a document opened from `path` can be saved back to it as it is.
  function savesInPlace(path) {
    return typeof path === "string" && withDocumentExtension(path) === path;
  }

  function fileName(path) {
    return path.slice(path.lastIndexOf("/") + 1);
  }

  function folderOf(path) {
    const slash = path.lastIndexOf("/");
    return slash > 0 ? path.slice(0, slash) : "/";
  }

  global.VostraDocument = Object.freeze({
    APPEND_CHARACTERS,
    DocumentError,
    encodeUtf8,
    decodeUtf8,
    encodeBase64,
    decodeBase64,
    appendChunks,
    saveDocument,
    readDocument,
    describeError,
    isDocumentPath,
    withDocumentExtension,
    savesInPlace,
    fileName,
    folderOf,
  });
})(window);
