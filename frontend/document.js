// Documents of Vostra Studio: ".vrs" files holding UTF-8 text, written and read through the
// application's file commands in base64 chunks. No DOM here: app.js wires this to the page.
//
// The text of a document is what the editor shows: every line break a line feed, as a text area
// holds it. What else the file held is kept beside the text in its form (see readPieces), so that a
// document the user did not change is written back as it was read: its line breaks (CRLF, CR or
// a mix of them) and a byte order mark stay. The bytes go through the web platform's own
// encoders (TextEncoder, TextDecoder, and base64 on Uint8Array), chunk by chunk, each chunk a
// view of the one encoded copy.
//
// A document read from a file is kept as its bytes, and its text decoded from them piece by piece
// whenever it is wanted: a string lives until the page's collector comes round to it, which may
// be long after the next document took its place, while the bytes are let go at once.
(function (global) {
  "use strict";

  // The most base64 text one "vostra.file.append" takes, and the bytes it stands for.
  const APPEND_CHARACTERS = 98304;
  const APPEND_BYTES = (APPEND_CHARACTERS / 4) * 3;
  // How many appends a save keeps on their way to the application.
  const APPENDS_IN_FLIGHT = 4;
  // The bytes decoded into one piece of a document's text. The editor's lines share their piece's
  // memory, so that a line kept alive (by the editor's undo history, say) keeps this much.
  const PIECE_BYTES = 1 << 16;
  // The bytes read before a file is judged text or not.
  const SNIFFED_BYTES = 4096;
  // The shortest file that is told to be UTF-16 or UTF-32 by where its NUL bytes are when it is
  // also UTF-8: a shorter one (such as "a" and a NUL) is too short to tell from the UTF-8 text with
  // NUL characters the editor saves.
  const FEWEST_JUDGED_BYTES = 8;

  // A failure of the editor itself, shown like a bridge error: a code and a message.
  class DocumentError extends Error {
    constructor(code, message) {
      super(message);
      this.name = "DocumentError";
      this.code = code;
    }
  }

  const LINE_BREAKS = Object.freeze({ "\n": "LF", "\r\n": "CRLF", "\r": "CR" });

  // How many line breaks of each kind `bytes` hold (a CR before an LF is one CRLF). In UTF-8 and
  // in what is read in its place no other character holds the bytes of CR or LF.
  function lineBreakCounts(bytes) {
    const counts = { "\n": 0, "\r\n": 0, "\r": 0 };
    for (let at = bytes.indexOf(13); at >= 0; at = bytes.indexOf(13, at + 1)) {
      if (bytes[at + 1] === 10) counts["\r\n"]++;
      else counts["\r"]++;
    }
    for (let at = bytes.indexOf(10); at >= 0; at = bytes.indexOf(10, at + 1)) counts["\n"]++;
    counts["\n"] -= counts["\r\n"];
    return counts;
  }

  // The most frequent kind of line break ("\n" on a tie, and for a text without any), and whether
  // there is more than one kind.
  function lineBreakOf(counts) {
    const kinds = Object.entries(counts).filter(([, count]) => count > 0);
    kinds.sort((a, b) => b[1] - a[1]);
    return { lineBreak: kinds.length > 0 ? kinds[0][0] : "\n", mixed: kinds.length > 1 };
  }

  // The text of `bytes` (bytes, or a list of them one after another) in pieces decoded `pieceBytes`
  // bytes at a time, each bad sequence read as U+FFFD; with `normalize`, every line break a line
  // feed (a CR that ends a piece and the LF that starts the next are one line break). Empty pieces
  // are left out.
  function* decodedPieces(bytes, normalize, pieceBytes = PIECE_BYTES) {
    const decoder = new TextDecoder("utf-8", { ignoreBOM: true });
    let pendingCr = false;
    const normalized = (piece) => {
      if (!normalize) return piece;
      if (pendingCr && piece.charCodeAt(0) === 10) piece = piece.slice(1);
      pendingCr = piece.endsWith("\r");
      return piece.indexOf("\r") >= 0 ? piece.replace(/\r\n?/g, "\n") : piece;
    };
    for (const part of bytes instanceof Uint8Array ? [bytes] : bytes) {
      for (let at = 0; at < part.length; at += pieceBytes) {
        const piece = normalized(decoder.decode(part.subarray(at, at + pieceBytes), { stream: true }));
        if (piece !== "") yield piece;
      }
    }
    const last = normalized(decoder.decode());
    if (last !== "") yield last;
  }

  // The text of a document as a file holds it: its pieces, decoded from the bytes (a list of them
  // one after another) each time they are gone through (see decodedPieces), so that the page holds
  // no string of the text for it. `release()` lets the bytes go at once (see releaseBytes); the
  // text is empty afterwards.
  class DocumentText {
    constructor(bytes) {
      this.bytes = bytes;
    }

    [Symbol.iterator]() {
      return decodedPieces(this.bytes, true);
    }

    release() {
      this.bytes.forEach(releaseBytes);
      this.bytes = [];
    }
  }

  // The text a document's bytes (a list of them one after another) hold.
  function textOfBytes(bytes) {
    return new DocumentText(bytes);
  }

  // Gives the memory of `bytes` back at once (the page would otherwise hold it until its collector
  // comes round to it); the bytes are empty afterwards.
  function releaseBytes(bytes) {
    const buffer = bytes && bytes.buffer;
    if (buffer && typeof buffer.transfer === "function" && !buffer.detached) buffer.transfer(0);
  }

  // What a document's bytes read as: its text for the editor (see DocumentText), its length in
  // UTF-16 units, and its form, the rest of what writing it back needs:
  //   lineBreak    "\n", "\r\n" or "\r": how the text's line feeds are written
  //   original     the bytes, when their line breaks are mixed (written back as they read while
  //                the text is unchanged), otherwise null
  //   invalidUtf8  the bytes were not all UTF-8: each bad sequence reads as U+FFFD
  function documentOfBytes(bytes) {
    const counts = lineBreakCounts(bytes);
    const { lineBreak, mixed } = lineBreakOf(counts);
    // The length of the text decoded before its line breaks became line feeds.
    let decodedLength = utf8Length(bytes);
    const invalidUtf8 = decodedLength === null;
    if (invalidUtf8) {
      decodedLength = 0;
      for (const piece of decodedPieces(bytes, false)) decodedLength += piece.length;
    }
    const form = { lineBreak, original: mixed ? bytes : null, invalidUtf8 };
    return { pieces: new DocumentText([bytes]), length: decodedLength - counts["\r\n"], form };
  }

  // The length in UTF-16 units of the text `bytes` hold when they are all UTF-8 (as the web
  // platform's decoder takes it: no overlong forms, surrogates or code points past U+10FFFF),
  // otherwise null. Checked byte by byte: decoding only to check would leave strings behind.
  function utf8Length(bytes) {
    let length = 0;
    for (let at = 0; at < bytes.length; ) {
      const lead = bytes[at];
      if (lead < 0x80) {
        length++;
        at++;
        continue;
      }
      // The continuation bytes the lead byte asks for, and the range of the first of them.
      let needed = 0;
      let low = 0x80;
      let high = 0xbf;
      if (lead >= 0xc2 && lead <= 0xdf) {
        needed = 1;
      } else if (lead >= 0xe0 && lead <= 0xef) {
        needed = 2;
        if (lead === 0xe0) low = 0xa0;
        if (lead === 0xed) high = 0x9f;
      } else if (lead >= 0xf0 && lead <= 0xf4) {
        needed = 3;
        if (lead === 0xf0) low = 0x90;
        if (lead === 0xf4) high = 0x8f;
      } else {
        return null;
      }
      // A sequence cut short by the end of the bytes.
      if (at + needed >= bytes.length) return null;
      const first = bytes[at + 1];
      if (!(first >= low && first <= high)) return null;
      for (let next = 2; next <= needed; next++) {
        const byte = bytes[at + next];
        if (!(byte >= 0x80 && byte <= 0xbf)) return null;
      }
      length += needed === 3 ? 2 : 1;
      at += needed + 1;
    }
    return length;
  }

  // What a document's bytes read as, with its text as a list of pieces decoded `pieceBytes` bytes
  // at a time: { pieces, length, form } (see documentOfBytes).
  function readPieces(bytes, pieceBytes = PIECE_BYTES) {
    const length = utf8Length(bytes);
    const read = length === null ? documentOfBytes(bytes, true) : documentOfBytes(bytes, false, length);
    return { pieces: Array.from(decodedPieces(bytes, true, pieceBytes)), length: read.length, form: read.form };
  }

  // The same as one text: { text, form }.
  function readForm(bytes, pieceBytes = PIECE_BYTES) {
    const { pieces, form } = readPieces(bytes, pieceBytes);
    return { text: pieces.join(""), form };
  }

  // The form of a new document, and of one just written from `text` (a string, or the pieces of
  // one) in `form`.
  function newForm() {
    return { lineBreak: "\n", original: null, invalidUtf8: false };
  }

  function writtenForm(text, form) {
    const keptOriginal = isOriginalText(text, form);
    return { lineBreak: form.lineBreak, original: keptOriginal ? form.original : null, invalidUtf8: false };
  }

  // Lets the bytes a form keeps go (see releaseBytes); the form is not used afterwards.
  function releaseForm(form) {
    if (form && form.original) releaseBytes(form.original);
  }

  // Whether two texts, each a string or an iterable of pieces of one, are the same, compared piece
  // by piece without joining them.
  function sameText(one, other) {
    const these = (typeof one === "string" ? [one] : one)[Symbol.iterator]();
    const those = (typeof other === "string" ? [other] : other)[Symbol.iterator]();
    const next = (list) => {
      for (let step = list.next(); !step.done; step = list.next()) {
        if (step.value !== "") return step.value;
      }
      return null;
    };
    let a = next(these);
    let b = next(those);
    while (a !== null && b !== null) {
      const length = Math.min(a.length, b.length);
      if (a.length === length ? !b.startsWith(a) : !a.startsWith(b)) return false;
      a = a.length === length ? next(these) : a.slice(length);
      b = b.length === length ? next(those) : b.slice(length);
    }
    return a === b;
  }

  // Whether `text` is the text the form's original bytes read as.
  function isOriginalText(text, form) {
    return form.original !== null && sameText(text, decodedPieces(form.original, true));
  }

  // What saving `text` (a string, or the pieces of one) in `form` writes: pieces of text, each
  // line feed in them written as `lineBreak`, and a guess of the bytes that makes. A document with
  // mixed line breaks is written as it was read while it is unchanged.
  function documentPieces(text, form) {
    if (isOriginalText(text, form)) {
      return { pieces: decodedPieces(form.original, false), lineBreak: "\n", guess: form.original.length };
    }
    const pieces = typeof text === "string" ? [text] : text;
    return { pieces, lineBreak: form.lineBreak, guess: pieces.reduce((sum, piece) => sum + piece.length, 0) };
  }

  // What the status line says of a document's form: its encoding, and the line breaks a save
  // writes. A document with mixed line breaks keeps them while it is unchanged (`edited` false);
  // once edited, a save writes every line break as its most frequent kind.
  function formLabel(form, edited) {
    const encoding = form.invalidUtf8 ? "Not all UTF-8" : "UTF-8";
    const kind = LINE_BREAKS[form.lineBreak];
    const breaks = form.original === null ? kind : edited ? `Mixed line breaks, saved as ${kind}` : "Mixed line breaks";
    return `${encoding} · ${breaks}`;
  }

  // The UTF-8 bytes of `pieces` in chunks of at most APPEND_BYTES, each a view of one scratch
  // buffer: each must be used before the next is taken. The text is never encoded whole.
  //
  // The encoder makes its text well formed first, going through all of it: a long piece (a copy's
  // whole selection) handed over whole for each chunk cost its length every time, the whole
  // selection's time again for each of its chunks. So it gets a window no longer than the bytes
  // left (each unit takes one at least), never ending between the two halves of a surrogate pair.
  function* utf8Chunks(pieces) {
    const encoder = new TextEncoder();
    const scratch = new Uint8Array(APPEND_BYTES);
    let used = 0;
    for (const piece of pieces) {
      for (let at = 0; at < piece.length; ) {
        let end = Math.min(piece.length, at + APPEND_BYTES - used);
        const last = piece.charCodeAt(end - 1);
        if (end < piece.length && last >= 0xd800 && last <= 0xdbff) end--;
        const window = at === 0 && end === piece.length ? piece : piece.slice(at, end);
        const { read, written } = encoder.encodeInto(window, scratch.subarray(used));
        used += written;
        at += read;
        if (window.length > 0 && read === window.length) continue;
        // The scratch buffer is full, or the next character does not fit in what is left.
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

  // Why a file is refused, from its first bytes (`bytes`; `size` is the whole file's): null when it
  // may be UTF-8 text, otherwise { code, kind }: "not_text" and what the file is ("a PNG image",
  // "binary data"), or "unread_encoding" and the encoding its text is in ("UTF-16", "UTF-32").
  function refusedKind(bytes, size = bytes.length) {
    const starts = (...values) => values.every((value, i) => bytes[i] === value);
    const ascii = (text, at = 0) => Array.from(text).every((c, i) => bytes[at + i] === c.charCodeAt(0));
    const notText = (kind) => ({ code: "not_text", kind });
    if (starts(0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a)) return notText("a PNG image");
    if (starts(0xff, 0xd8, 0xff)) return notText("a JPEG image");
    if (ascii("%PDF-")) return notText("a PDF document");
    if (ascii("GIF87a") || ascii("GIF89a")) return notText("a GIF image");
    if (ascii("RIFF") && ascii("WEBP", 8)) return notText("a WebP image");
    if (ascii("ftyp", 4) && ["heic", "heix", "hevc", "heim", "heis", "mif1", "msf1", "avif"].some((b) => ascii(b, 8))) {
      return notText("a HEIF image");
    }
    const sniffed = bytes.subarray(0, SNIFFED_BYTES);
    // UTF-8 (a character cut at their end aside, when the file goes on).
    const utf8 = isUtf8(sniffed, sniffed.length < size);
    const encoding = markedEncoding(sniffed) || unmarkedEncoding(sniffed, size, utf8);
    if (encoding === "binary data") return notText(encoding);
    if (encoding) return { code: "unread_encoding", kind: encoding };
    // A NUL among the first bytes marks binary data, unless they are UTF-8: a text with a NUL in it
    // opens again as it was saved.
    if (sniffed.indexOf(0) >= 0 && !utf8) return notText("binary data");
    return null;
  }

  // The encoding a byte order mark at the start of `bytes` names, other than UTF-8's; otherwise null.
  function markedEncoding(bytes) {
    const starts = (...values) => values.every((value, i) => bytes[i] === value);
    if (starts(0xff, 0xfe, 0, 0) || starts(0, 0, 0xfe, 0xff)) return "UTF-32";
    if (starts(0xff, 0xfe) || starts(0xfe, 0xff)) return "UTF-16";
    return null;
  }

  // What the first bytes of a file without a byte order mark (`bytes`; `size` is the whole file's,
  // `utf8` whether they are UTF-8) are by where their NUL bytes are: "binary data" when both bytes
  // of most pairs are NUL; "UTF-32" when the same two bytes of most groups of four are NUL (the
  // high bytes of characters below U+10000, in either byte order); "UTF-16" when the same byte of
  // most pairs is NUL (the high byte of characters below U+0100, in either byte order). UTF-8 text with
  // a few NUL characters in it has them in far fewer pairs; UTF-8 bytes are not taken for UTF-16 or
  // UTF-32 in a file shorter than FEWEST_JUDGED_BYTES, nor in one whose length those could not
  // have. Otherwise null.
  function unmarkedEncoding(bytes, size, utf8) {
    const most = (count, of) => 2 * count > of;
    const pairs = bytes.length >> 1;
    let first = 0;
    let second = 0;
    for (let at = 0; at + 1 < bytes.length; at += 2) {
      if (bytes[at] === 0) first++;
      if (bytes[at + 1] === 0) second++;
    }
    if (most(first, pairs) && most(second, pairs)) return "binary data";
    const judged = (unit) => !utf8 || (size >= FEWEST_JUDGED_BYTES && size % unit === 0);
    const quads = bytes.length >> 2;
    let little = 0;
    let big = 0;
    for (let at = 0; at + 3 < bytes.length; at += 4) {
      if (bytes[at + 2] === 0 && bytes[at + 3] === 0) little++;
      if (bytes[at] === 0 && bytes[at + 1] === 0) big++;
    }
    if (judged(4) && (most(little, quads) || most(big, quads))) return "UTF-32";
    if (judged(2) && (most(first, pairs) || most(second, pairs))) return "UTF-16";
    return null;
  }

  // Whether `bytes` are UTF-8; with `cut`, a character they end in the middle of counts as UTF-8.
  function isUtf8(bytes, cut) {
    try {
      new TextDecoder("utf-8", { fatal: true }).decode(bytes, { stream: cut });
      return true;
    } catch (error) {
      if (error instanceof TypeError) return false;
      throw error;
    }
  }

  // Writes `text` (a string, or the pieces of one) in `form` to `path` through `vexa`: begin, the
  // appends, finish; on any failure after begin the write is cancelled and the failure passed on.
  // `progress(done, total)` is awaited after each append, with the bytes written and a guess of
  // the bytes to write (the characters); `sending(bytes)` is called with the bytes of each append
  // as it is sent, a view that is valid only during the call. Answers the byte count written.
  // Sends every chunk through `send(chunk)` (a promise of the chunk's append; the chunk is valid
  // only during the call), a few on their way at once: the application answers them in order, and
  // the first that fails ends the transfer, so every later one fails too and the first failure is
  // the one passed on. `stop()` is asked before each chunk: true ends the sending there.
  async function sendChunks(chunks, send, stop = () => false) {
    const sent = [];
    for (const chunk of chunks) {
      if (sent.length === APPENDS_IN_FLIGHT) await sent.shift();
      if (stop()) break;
      const append = send(chunk);
      append.catch(() => {}); // a failure is taken where the append is awaited
      sent.push(append);
    }
    while (sent.length > 0) await sent.shift();
  }

  async function saveDocument(vexa, path, text, form, progress, sending) {
    const { pieces, lineBreak, guess } = documentPieces(text, form);
    let total = 0;
    await vexa.invoke("vostra.file.begin", path);
    try {
      let done = 0;
      await sendChunks(appendChunks(pieces, lineBreak), (chunk) => {
        const length = chunk.length;
        total += length;
        if (sending) sending(chunk);
        return vexa.invoke("vostra.file.append", encodeBase64(chunk)).then(() => {
          done += length;
          return progress ? progress(done, Math.max(done, guess)) : undefined;
        });
      });
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

  function refusal(path, { code, kind }) {
    const name = shownName(path);
    if (code === "unread_encoding") {
      return new DocumentError(code, `“${name}” is text in ${kind}, an encoding Vostra Studio does not read`);
    }
    return new DocumentError(code, `“${name}” is ${kind}, not text`);
  }

  function changedWhileRead() {
    return new DocumentError("file_changed", "The file changed while it was read");
  }

  // Reads `path` through `vexa`: read.begin, chunks until the empty one, read.finish (also after
  // a failure). The chunks' bytes go into one buffer of the file's size (a file that is not all
  // UTF-8 reads each bad sequence as U+FFFD); a file whose first chunk shows it is not text is
  // refused there. `progress(done, total)` is awaited after each chunk. Answers { pieces, length,
  // form } (see documentOfBytes).
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
        const read = bytes.subarray(done, done + written);
        if (done === 0) {
          const refused = refusedKind(read, size);
          if (refused) throw refusal(path, refused);
        }
        done += written;
        if (progress) await progress(done, size);
      }
      if (done !== size) throw changedWhileRead();
      return documentOfBytes(bytes);
    } finally {
      await vexa.invoke("vostra.file.read.finish").catch(() => {});
    }
  }

  // Whether something is at `path`, asked by beginning a read of it and ending the read at once.
  // Only "no such file" counts as nothing there. A folder there is no file to replace, and no
  // document can be saved under its name: its error is passed on.
  async function fileExists(vexa, path) {
    try {
      await vexa.invoke("vostra.file.read.begin", path);
      return true;
    } catch (error) {
      const failed = (name) => error && error.code === "handler_failed" && error.message === name;
      if (failed("IsDir")) throw error;
      return !failed("FileNotFound");
    } finally {
      await vexa.invoke("vostra.file.read.finish").catch(() => {});
    }
  }

  // Sentences for the errors the application's commands answer with (their message is the
  // error's name), for the bridge's own reply codes, and for the editor's own failures.
  const HANDLER_SENTENCES = Object.freeze({
    AccessDenied: "You do not have permission to use this file or its folder.",
    BadPathName: "The file's path holds a character that cannot be used.",
    ClipboardFieldTooLarge: "The clipboard's text is larger than 48 MiB, the most Vostra Studio copies or pastes.",
    ClipboardNotAnswering:
      "The program that holds the clipboard did not answer within 5 seconds, so nothing was pasted. It may be busy or hung.",
    ClipboardTransferFailed: "The program that holds the clipboard did not hand its text over, so nothing was pasted.",
    ClipboardTransferTooSlow:
      "The program that holds the clipboard did not hand all of its text over within 10 seconds, so nothing was pasted. It may be very slow or stuck.",
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
    if (code === "unread_encoding") {
      return { sentence: `${asSentence(message)} Saved as UTF-8 by another program, it opens here.`, code };
    }
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

  // A path as a person reads it: each byte of a name that is not UTF-8 comes from the
  // application as a lone surrogate (U+DC80 to U+DCFF), shown as "�".
  function shownPath(path) {
    return path.replace(/[\udc80-\udcff]/g, "\ufffd");
  }

  // The name as a person reads it (shownPath).
  function shownName(path) {
    return shownPath(fileName(path));
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
    releaseForm,
    textOfBytes,
    sameText,
    documentPieces,
    formLabel,
    appendChunks,
    sendChunks,
    encodeBase64,
    decodeBase64,
    decodeBase64Into,
    refusedKind,
    saveDocument,
    readDocument,
    fileExists,
    describeError,
    countText,
    isDocumentPath,
    withDocumentExtension,
    savesInPlace,
    fileName,
    shownName,
    shownPath,
    folderOf,
  });
})(window);
