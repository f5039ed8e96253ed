// Documents of Vostra Studio: ".vrs" files holding UTF-8 text, written and read through the
// application's file commands in base64 chunks. No DOM here: app.js wires this to the page.
//
// The text of a document is what the editor shows: every line break a line feed, as a text area
// holds it. What else the file held is kept beside the text in its form (see readForm), so that a
// document the user did not change is written back as it was read: its line breaks (CRLF, CR or
// a mix of them) and a byte order mark stay. The bytes go through the web platform's own
// encoders (TextEncoder, TextDecoder, and base64 on Uint8Array), chunk by chunk, each chunk a
// view of the one encoded copy.
(function (global) {
  "use strict";

  // The most base64 text one "vostra.file.append" takes, and the bytes it stands for.
  const APPEND_CHARACTERS = 98304;
  const APPEND_BYTES = (APPEND_CHARACTERS / 4) * 3;
  // How many appends a save keeps on their way to the application.
  const APPENDS_IN_FLIGHT = 4;
  // The bytes read before a file is judged text or not.
  const SNIFFED_BYTES = 4096;

  // A failure of the editor itself, shown like a bridge error: a code and a message.
  class DocumentError extends Error {
    constructor(code, message) {
      super(message);
      this.name = "DocumentError";
      this.code = code;
    }
  }

  const LINE_BREAKS = Object.freeze({ "\n": "LF", "\r\n": "CRLF", "\r": "CR" });

  // How the line breaks of `text` are written: the most frequent kind ("\n" on a tie, and for a
  // text without any), and whether there is more than one kind.
  function lineBreaksOf(text) {
    let cr = text.indexOf("\r");
    if (cr < 0) return { lineBreak: "\n", mixed: false };
    let crlf = 0;
    let lone = 0;
    for (; cr >= 0; cr = text.indexOf("\r", cr + 1)) {
      if (text.charCodeAt(cr + 1) === 10) crlf++;
      else lone++;
    }
    let lf = -crlf;
    for (let at = text.indexOf("\n"); at >= 0; at = text.indexOf("\n", at + 1)) lf++;
    const kinds = [["\n", lf], ["\r\n", crlf], ["\r", lone]].filter(([, count]) => count > 0);
    kinds.sort((a, b) => b[1] - a[1]);
    return { lineBreak: kinds[0][0], mixed: kinds.length > 1 };
  }

  // What a document's bytes read as: its text for the editor and its form, the rest of what
  // writing it back needs:
  //   lineBreak    "\n", "\r\n" or "\r": how the text's line feeds are written
  //   original     the text with its own line breaks when they are mixed (written back while the
  //                text is unchanged), otherwise null
  //   text         the text `original` stands for while it is unchanged, otherwise null
  //   invalidUtf8  the bytes were not all UTF-8: each bad sequence reads as U+FFFD
  function readForm(bytes) {
    let decoded;
    let invalidUtf8 = false;
    try {
      decoded = new TextDecoder("utf-8", { fatal: true, ignoreBOM: true }).decode(bytes);
    } catch (error) {
      if (!(error instanceof TypeError)) throw error;
      invalidUtf8 = true;
      decoded = new TextDecoder("utf-8", { ignoreBOM: true }).decode(bytes);
    }
    const { lineBreak, mixed } = lineBreaksOf(decoded);
    const text = decoded.indexOf("\r") < 0 ? decoded : decoded.replace(/\r\n?/g, "\n");
    return { text, form: { text: mixed ? text : null, lineBreak, original: mixed ? decoded : null, invalidUtf8 } };
  }

  // The form of a new document, and of one just written from `text` in `form`.
  function newForm() {
    return { text: null, lineBreak: "\n", original: null, invalidUtf8: false };
  }

  function writtenForm(text, form) {
    const keptOriginal = form.original !== null && text === form.text;
    return {
      text: keptOriginal ? text : null,
      lineBreak: form.lineBreak,
      original: keptOriginal ? form.original : null,
      invalidUtf8: false,
    };
  }

  // The UTF-8 bytes that store `text` in `form`, with every line feed still a line feed (the
  // line breaks are written chunk by chunk, see appendChunks), and how many line feeds need a
  // line break of the form instead.
  function documentBytes(text, form) {
    if (form.original !== null && text === form.text) {
      return { bytes: new TextEncoder().encode(form.original), lineBreak: "\n" };
    }
    return { bytes: new TextEncoder().encode(text), lineBreak: form.lineBreak };
  }

  // The chunks of at most APPEND_BYTES bytes that write `bytes` with each line feed written as
  // `lineBreak`. For "\n" they are views of `bytes`; otherwise they are made in one scratch
  // buffer, so each must be used before the next is taken.
  function* appendChunks(bytes, lineBreak) {
    if (lineBreak === "\n") {
      for (let start = 0; start < bytes.length; start += APPEND_BYTES) {
        yield bytes.subarray(start, start + APPEND_BYTES);
      }
      return;
    }
    const scratch = new Uint8Array(APPEND_BYTES);
    const crlf = lineBreak === "\r\n";
    let used = 0;
    for (let at = 0; at < bytes.length; at++) {
      if (used > APPEND_BYTES - 2) {
        yield scratch.subarray(0, used);
        used = 0;
      }
      const byte = bytes[at];
      if (byte !== 10) {
        scratch[used++] = byte;
      } else {
        scratch[used++] = 13;
        if (crlf) scratch[used++] = 10;
      }
    }
    if (used > 0) yield scratch.subarray(0, used);
  }

  // The size of what appendChunks writes.
  function writtenSize(bytes, lineBreak) {
    if (lineBreak !== "\r\n") return bytes.length;
    let feeds = 0;
    for (let at = bytes.indexOf(10); at >= 0; at = bytes.indexOf(10, at + 1)) feeds++;
    return bytes.length + feeds;
  }

  function encodeBase64(bytes) {
    return bytes.toBase64();
  }

  function invalidData() {
    return new DocumentError("invalid_reply", "The file data from the application is not base64");
  }

  // Decodes padded base64 text into `target`; answers the bytes written. Text that decodes to
  // more than `target` holds is not decoded at all: null.
  function decodeBase64Into(text, target) {
    if (text.length % 4 !== 0) throw invalidData();
    const padding = text.endsWith("==") ? 2 : text.endsWith("=") ? 1 : 0;
    if ((text.length / 4) * 3 - padding > target.length) return null;
    try {
      const { read, written } = target.setFromBase64(text, { lastChunkHandling: "strict" });
      if (read !== text.length) throw invalidData();
      return written;
    } catch (error) {
      if (error instanceof SyntaxError) throw invalidData();
      throw error;
    }
  }

  function decodeBase64(text) {
    if (text.length % 4 !== 0) throw invalidData();
    const bytes = new Uint8Array((text.length / 4) * 3);
    return bytes.subarray(0, decodeBase64Into(text, bytes));
  }

  // What a file that is not text is, from its first bytes; null when it may be text.
  function nonTextKind(bytes) {
    const starts = (...values) => values.every((value, i) => bytes[i] === value);
    const ascii = (text, at = 0) => Array.from(text).every((c, i) => bytes[at + i] === c.charCodeAt(0));
    if (starts(0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a)) return "a PNG image";
    if (starts(0xff, 0xd8, 0xff)) return "a JPEG image";
    if (ascii("%PDF-")) return "a PDF document";
    if (ascii("GIF87a") || ascii("GIF89a")) return "a GIF image";
    if (ascii("RIFF") && ascii("WEBP", 8)) return "a WebP image";
    if (ascii("ftyp", 4) && ["heic", "heix", "hevc", "heim", "heis", "mif1", "msf1", "avif"].some((b) => ascii(b, 8))) {
      return "a HEIF image";
    }
    if (bytes.subarray(0, SNIFFED_BYTES).indexOf(0) >= 0) return "binary data";
    return null;
  }

  // Writes `text` in `form` to `path` through `vexa`: begin, the appends, finish; on any failure
  // after begin the write is cancelled and the failure passed on. `progress(done, total)` is
  // awaited after each append. Answers the byte count written.
  async function saveDocument(vexa, path, text, form, progress) {
    const { bytes, lineBreak } = documentBytes(text, form);
    const total = writtenSize(bytes, lineBreak);
    await vexa.invoke("vostra.file.begin", path);
    // A few appends are on their way at once: the application answers them in order, and the
    // first that fails ends the save, so every later one fails too and the first failure is the
    // one passed on.
    const sent = [];
    try {
      let done = 0;
      for (const chunk of appendChunks(bytes, lineBreak)) {
        if (sent.length === APPENDS_IN_FLIGHT) await sent.shift();
        const length = chunk.length;
        const append = vexa.invoke("vostra.file.append", encodeBase64(chunk)).then(() => {
          done += length;
          return progress ? progress(done, total) : undefined;
        });
        append.catch(() => {});  // a failure is taken where the append is awaited
        sent.push(append);
      }
      while (sent.length > 0) await sent.shift();
      const finished = await vexa.invoke("vostra.file.finish");
      const written = finished && finished.bytes;
      if (written !== total) {
        throw new DocumentError("incomplete_write", `The application wrote ${written} of ${total} bytes`);
      }
      return written;
    } catch (error) {
      await vexa.invoke("vostra.file.cancel").catch(() => {});
      throw error;
    }
  }

  function changedWhileRead() {
    return new DocumentError("file_changed", "The file changed while it was read");
  }

  // Reads `path` through `vexa`: read.begin, chunks until the empty one, read.finish (also after
  // a failure). A file whose first chunk shows it is not text is refused there. `progress(done,
  // total)` is awaited after each chunk. Answers readForm's { text, form }.
  async function readDocument(vexa, path, progress) {
    const opened = await vexa.invoke("vostra.file.read.begin", path);
    try {
      const size = opened && opened.bytes;
      if (!Number.isSafeInteger(size) || size < 0) {
        throw new DocumentError("invalid_reply", "The application did not tell the file's size");
      }
      const bytes = new Uint8Array(size);
      let done = 0;
      for (;;) {
        const chunk = await vexa.invoke("vostra.file.read.chunk");
        if (typeof chunk !== "string") throw new DocumentError("invalid_reply", "The application sent no file data");
        if (chunk.length === 0) break;
        const written = decodeBase64Into(chunk, bytes.subarray(done));
        if (written === null) throw changedWhileRead();
        if (done === 0) {
          const kind = nonTextKind(bytes.subarray(0, written));
          if (kind) throw new DocumentError("not_text", `“${fileName(path)}” is ${kind}, not text`);
        }
        done += written;
        if (progress) await progress(done, size);
      }
      if (done !== size) throw changedWhileRead();
      return readForm(bytes);
    } finally {
      await vexa.invoke("vostra.file.read.finish").catch(() => {});
    }
  }

  // Whether something is at `path`, asked by beginning a read of it and ending the read at once.
  // Only "no such file" counts as nothing there.
  async function fileExists(vexa, path) {
    try {
      await vexa.invoke("vostra.file.read.begin", path);
      return true;
    } catch (error) {
      return !(error && error.code === "handler_failed" && error.message === "FileNotFound");
    } finally {
      await vexa.invoke("vostra.file.read.finish").catch(() => {});
    }
  }

  // Sentences for the errors the application's commands answer with (their message is the
  // error's name), for the bridge's own reply codes, and for the editor's own failures.
  const HANDLER_SENTENCES = Object.freeze({
    AccessDenied: "You do not have permission to use this file or its folder.",
    BadPathName: "The file's path holds a character that cannot be used.",
    DiskQuota: "Your disk quota is used up.",
    FileNotFound: "The file or its folder does not exist.",
    InputOutput: "The disk reported an error.",
    InvalidExternalUrl: "The link could not be opened in the browser.",
    InvalidReadablePath: "Vostra Studio cannot open this kind of file.",
    InvalidVrsPath: "Documents are saved under a full path that ends in “.vrs”.",
    IsDir: "This is a folder, not a file.",
    NameTooLong: "The file's path is too long.",
    NoOpenFile: "The file was closed before the work was done; another save or read may have begun.",
    NoSpaceLeft: "The disk is full.",
    NotDir: "A part of the file's path is not a folder.",
    PathAlreadyExists: "Another file is in the way.",
    ReadOnlyFileSystem: "The disk can only be read.",
    StringTooLong: "The file's path is too long.",
    SymLinkLoop: "The file's path leads through links in a loop.",
    SystemResources: "The system ran out of memory.",
    VrsFileTooLarge: "The document is larger than 32 MiB, the most Vostra Studio opens or saves.",
    WriteFailed: "The file could not be written.",
  });

  const CODE_SENTENCES = Object.freeze({
    bridge_unavailable: "This page is not running inside Vostra Studio.",
    file_changed: "The file changed while it was read; open it again.",
    incomplete_write: "Not all of the document was written.",
    invalid_reply: "The application answered in a way the editor does not understand.",
    not_a_document: "Only “.vrs” documents can be opened by dropping them here.",
    payload_too_large: "The request was too large for the application.",
    permission_denied: "Vostra Studio does not allow this page to do that.",
    unknown_command: "The application does not know this command.",
  });

  const FALLBACK_SENTENCE = "Something went wrong that the editor cannot explain.";

  function asSentence(text) {
    const trimmed = String(text).trim();
    if (!trimmed) return FALLBACK_SENTENCE;
    const sentence = trimmed[0].toUpperCase() + trimmed.slice(1);
    return /[.!?]$/.test(sentence) ? sentence : sentence + ".";
  }

  // How an error is shown: a sentence a user understands, and the technical code after it (the
  // reply code, and for a failed command the error's name).
  function describeError(error) {
    const isObject = error !== null && typeof error === "object";
    const code = String((isObject && (error.code || error.name)) || "error");
    const message = String(isObject ? error.message || "" : error);
    if (code === "handler_failed") {
      return { sentence: HANDLER_SENTENCES[message] || FALLBACK_SENTENCE, code: `${code} ${message}`.trim() };
    }
    if (CODE_SENTENCES[code]) return { sentence: CODE_SENTENCES[code], code };
    if (code === "not_text") return { sentence: `${asSentence(message)} Vostra Studio opens text documents.`, code };
    return { sentence: asSentence(message), code };
  }

  // Characters (code points) and words (runs of anything but white space) in `text`. Printable
  // ASCII, most of a usual text, takes the short way.
  function countText(text) {
    let characters = text.length;
    let words = 0;
    let inWord = false;
    for (let i = 0; i < text.length; i++) {
      const unit = text.charCodeAt(i);
      let space = false;
      if (unit <= 32 || unit >= 0x7f) {
        if (unit >= 0xdc00 && unit <= 0xdfff && i > 0) {
          const before = text.charCodeAt(i - 1);
          if (before >= 0xd800 && before <= 0xdbff) characters--;
        }
        space =
          unit === 32 || (unit >= 9 && unit <= 13) || unit === 0xa0 || unit === 0x1680 ||
          (unit >= 0x2000 && unit <= 0x200a) || unit === 0x2028 || unit === 0x2029 || unit === 0x202f ||
          unit === 0x205f || unit === 0x3000 || unit === 0xfeff;
      }
      if (!space && !inWord) words++;
      inWord = !space;
    }
    return { characters, words };
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
    LINE_BREAKS,
    DocumentError,
    lineBreaksOf,
    readForm,
    newForm,
    writtenForm,
    documentBytes,
    appendChunks,
    writtenSize,
    encodeBase64,
    decodeBase64,
    nonTextKind,
    saveDocument,
    readDocument,
    fileExists,
    describeError,
    countText,
    isDocumentPath,
    withDocumentExtension,
    savesInPlace,
    fileName,
    folderOf,
  });
})(window);
