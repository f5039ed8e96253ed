// Documents of Vostra Studio: ".vrs" files holding UTF-8 text, written and read through the
// application's file commands in base64 chunks. No DOM here: app.js wires this to the page.
//
// The text of a document is what the editor shows: every line break a line feed, as a text area
// holds it. What else the file held is kept beside the text in its form (see readPieces), so that a
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
  // The bytes decoded into one piece of a document's text.
  const PIECE_BYTES = 1 << 20;
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

  // The line breaks of a text given in pieces, counted by kind, and the pieces with a line feed
  // for each (a CR that ends a piece and the LF that starts the next are one line break).
  function normalizedPieces(pieces) {
    const counts = { "\n": 0, "\r\n": 0, "\r": 0 };
    const normalized = [];
    let pendingCr = false;
    for (let piece of pieces) {
      if (pendingCr) {
        pendingCr = false;
        if (piece.charCodeAt(0) === 10) {
          counts["\r\n"]++;
          piece = piece.slice(1);
        } else {
          counts["\r"]++;
        }
      }
      let feeds = 0;
      for (let at = piece.indexOf("\n"); at >= 0; at = piece.indexOf("\n", at + 1)) feeds++;
      let returns = 0;
      let pairs = 0;
      for (let at = piece.indexOf("\r"); at >= 0; at = piece.indexOf("\r", at + 1)) {
        returns++;
        if (piece.charCodeAt(at + 1) === 10) pairs++;
      }
      pendingCr = returns > 0 && piece.endsWith("\r");
      counts["\n"] += feeds - pairs;
      counts["\r\n"] += pairs;
      counts["\r"] += returns - pairs - (pendingCr ? 1 : 0);
      normalized.push(returns > 0 ? piece.replace(/\r\n?/g, "\n") : piece);
    }
    if (pendingCr) counts["\r"]++;
    // The most frequent kind ("\n" on a tie, and for a text without any), and whether there is
    // more than one kind.
    const kinds = Object.entries(counts).filter(([, count]) => count > 0);
    kinds.sort((a, b) => b[1] - a[1]);
    return { normalized, lineBreak: kinds.length > 0 ? kinds[0][0] : "\n", mixed: kinds.length > 1 };
  }

  // What a document's bytes read as: its text for the editor, in pieces decoded `pieceBytes` bytes
  // at a time (one long text would be built and copied more than once), its length, and its
  // form, the rest of what writing it back needs:
  //   lineBreak    "\n", "\r\n" or "\r": how the text's line feeds are written
  //   original     the text with its own line breaks when they are mixed (written back while the
  //                text is unchanged), otherwise null
  //   text         the text `original` stands for, while there is one
  //   invalidUtf8  the bytes were not all UTF-8: each bad sequence reads as U+FFFD
  function readPieces(bytes, pieceBytes = PIECE_BYTES) {
    const decode = (fatal) => {
      const decoder = new TextDecoder("utf-8", { fatal, ignoreBOM: true });
      const pieces = [];
      for (let at = 0; at < bytes.length; at += pieceBytes) {
        pieces.push(decoder.decode(bytes.subarray(at, at + pieceBytes), { stream: true }));
      }
      pieces.push(decoder.decode());
      return pieces;
    };
    let decoded;
    let invalidUtf8 = false;
    try {
      decoded = decode(true);
    } catch (error) {
      if (!(error instanceof TypeError)) throw error;
      invalidUtf8 = true;
      decoded = decode(false);
    }
    return documentOf(decoded, invalidUtf8);
  }

  // readPieces's { pieces, length, form } of the pieces a document's bytes decoded to.
  function documentOf(decoded, invalidUtf8) {
    const { normalized, lineBreak, mixed } = normalizedPieces(decoded);
    const pieces = normalized.filter((piece) => piece !== "");
    const length = pieces.reduce((sum, piece) => sum + piece.length, 0);
    const form = { text: mixed ? pieces.join("") : null, lineBreak, original: mixed ? decoded.join("") : null, invalidUtf8 };
    return { pieces, length, form };
  }

  // The same as one text: { text, form }.
  function readForm(bytes, pieceBytes = PIECE_BYTES) {
    const { pieces, form } = readPieces(bytes, pieceBytes);
    return { text: pieces.join(""), form };
  }

  // The form of a new document, and of one just written from `text` (a string, or the pieces of
  // one) in `form`.
  function newForm() {
    return { text: null, lineBreak: "\n", original: null, invalidUtf8: false };
  }

  function writtenForm(text, form) {
    const keptOriginal = form.original !== null && (typeof text === "string" ? text : text.join("")) === form.text;
    return {
      text: keptOriginal ? text : null,
      lineBreak: form.lineBreak,
      original: keptOriginal ? form.original : null,
      invalidUtf8: false,
    };
  }

  // What saving `text` (a string, or the pieces of one) in `form` writes: pieces of text, each
  // line feed in them written as `lineBreak`. A document with mixed line breaks is written as it
  // was read while it is unchanged.
  function documentPieces(text, form) {
    const pieces = typeof text === "string" ? [text] : text;
    if (form.original !== null && (pieces.length === 1 ? pieces[0] : pieces.join("")) === form.text) {
      return { pieces: [form.original], lineBreak: "\n" };
    }
    return { pieces, lineBreak: form.lineBreak };
  }

  // The UTF-8 bytes of `pieces` in chunks of at most APPEND_BYTES, each a view of one scratch
  // buffer: each must be used before the next is taken. The text is never encoded whole.
  function* utf8Chunks(pieces) {
    const encoder = new TextEncoder();
    const scratch = new Uint8Array(APPEND_BYTES);
    let used = 0;
    for (let piece of pieces) {
      for (;;) {
        const { read, written } = encoder.encodeInto(piece, scratch.subarray(used));
        used += written;
        if (read === piece.length) break;
        // The scratch buffer is full, or the next character does not fit in what is left.
        piece = piece.slice(read);
        yield scratch.subarray(0, used);
        used = 0;
      }
    }
    if (used > 0) yield scratch.subarray(0, used);
  }

  // The chunks of at most APPEND_BYTES bytes that write `pieces` as UTF-8 with each line feed
  // written as `lineBreak`, each a view of a scratch buffer: each must be used before the next is
  // taken.
  function* appendChunks(pieces, lineBreak) {
    if (lineBreak === "\n") {
      yield* utf8Chunks(pieces);
      return;
    }
    const scratch = new Uint8Array(APPEND_BYTES);
    const crlf = lineBreak === "\r\n";
    let used = 0;
    for (const bytes of utf8Chunks(pieces)) {
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
    }
    if (used > 0) yield scratch.subarray(0, used);
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

  // Writes `text` (a string, or the pieces of one) in `form` to `path` through `vexa`: begin, the
  // appends, finish; on any failure after begin the write is cancelled and the failure passed on.
  // `progress(done, total)` is awaited after each append, with the bytes written and a guess of
  // the bytes to write (the characters). Answers the byte count written.
  async function saveDocument(vexa, path, text, form, progress) {
    const { pieces, lineBreak } = documentPieces(text, form);
    const guess = pieces.reduce((sum, piece) => sum + piece.length, 0);
    let total = 0;
    await vexa.invoke("vostra.file.begin", path);
    // A few appends are on their way at once: the application answers them in order, and the
    // first that fails ends the save, so every later one fails too and the first failure is the
    // one passed on.
    const sent = [];
    try {
      let done = 0;
      for (const chunk of appendChunks(pieces, lineBreak)) {
        if (sent.length === APPENDS_IN_FLIGHT) await sent.shift();
        const length = chunk.length;
        total += length;
        const append = vexa.invoke("vostra.file.append", encodeBase64(chunk)).then(() => {
          done += length;
          return progress ? progress(done, Math.max(done, guess)) : undefined;
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
  // a failure). Each chunk is decoded as it comes, so the file's bytes are never held whole; a
  // file that turns out not to be all UTF-8 is read once more, decoding each bad sequence as
  // U+FFFD. A file whose first chunk shows it is not text is refused there. `progress(done,
  // total)` is awaited after each chunk. Answers readPieces's { pieces, length, form }.
  async function readDocument(vexa, path, progress) {
    const decoded = await readDecoded(vexa, path, progress, true);
    if (decoded !== null) return documentOf(decoded, false);
    return documentOf(await readDecoded(vexa, path, progress, false), true);
  }

  // The pieces of text `path` decodes to; null when `fatal` and it is not all UTF-8.
  async function readDecoded(vexa, path, progress, fatal) {
    const opened = await vexa.invoke("vostra.file.read.begin", path);
    try {
      const size = opened && opened.bytes;
      if (!Number.isSafeInteger(size) || size < 0) {
        throw new DocumentError("invalid_reply", "The application did not tell the file's size");
      }
      const decoder = new TextDecoder("utf-8", { fatal, ignoreBOM: true });
      const pieces = [];
      // Each chunk's bytes go to the same buffer, which the decoder has read before the next.
      let scratch = new Uint8Array(0);
      let done = 0;
      for (;;) {
        const chunk = await vexa.invoke("vostra.file.read.chunk");
        if (typeof chunk !== "string") throw new DocumentError("invalid_reply", "The application sent no file data");
        if (chunk.length === 0) break;
        if (scratch.length < (chunk.length / 4) * 3) scratch = new Uint8Array(Math.ceil(chunk.length / 4) * 3);
        const bytes = scratch.subarray(0, decodeBase64Into(chunk, scratch));
        if (done + bytes.length > size) throw changedWhileRead();
        if (done === 0) {
          const kind = nonTextKind(bytes);
          if (kind) throw new DocumentError("not_text", `“${fileName(path)}” is ${kind}, not text`);
        }
        done += bytes.length;
        try {
          pieces.push(decoder.decode(bytes, { stream: true }));
        } catch (error) {
          if (error instanceof TypeError) return null;
          throw error;
        }
        if (progress) await progress(done, size);
      }
      if (done !== size) throw changedWhileRead();
      try {
        pieces.push(decoder.decode());
      } catch (error) {
        if (error instanceof TypeError) return null;
        throw error;
      }
      return pieces;
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
    readPieces,
    readForm,
    newForm,
    writtenForm,
    documentPieces,
    appendChunks,
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
