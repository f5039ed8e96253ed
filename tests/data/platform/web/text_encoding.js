// The web platform's UTF-8 TextEncoder and TextDecoder, which a bare JavaScriptCore context
// lacks, written after the Encoding Standard for the front-end tests: a lone surrogate encodes as
// U+FFFD; each maximal bad sequence decodes as one U+FFFD, or throws a TypeError when the decoder
// is fatal; a leading byte order mark is dropped unless the decoder ignores it.
(function (global) {
  "use strict";

  class TextEncoder {
    get encoding() {
      return "utf-8";
    }

    encode(text = "") {
      text = String(text);
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

    // Encodes as many whole characters of `text` as fit in `target`.
    encodeInto(text, target) {
      text = String(text);
      let read = 0;
      let written = 0;
      while (read < text.length) {
        const pair = text.codePointAt(read) > 0xffff && text.charCodeAt(read) <= 0xdbff;
        const units = pair ? 2 : 1;
        const bytes = this.encode(text.slice(read, read + units));
        if (written + bytes.length > target.length) break;
        target.set(bytes, written);
        written += bytes.length;
        read += units;
      }
      return { read, written };
    }
  }

  // How many of `bytes` come before a character cut off at their end.
  function completeLength(bytes) {
    for (let back = 1; back <= 3 && back <= bytes.length; back++) {
      const byte = bytes[bytes.length - back];
      if (byte >= 0x80 && byte <= 0xbf) continue;
      const need = byte >= 0xc2 && byte <= 0xdf ? 1 : byte >= 0xe0 && byte <= 0xef ? 2 : byte >= 0xf0 && byte <= 0xf4 ? 3 : 0;
      return need >= back ? bytes.length - back : bytes.length;
    }
    return bytes.length;
  }

  class TextDecoder {
    constructor(label = "utf-8", options = {}) {
      if (String(label).toLowerCase() !== "utf-8") throw new RangeError("only utf-8 here");
      this.fatal = Boolean(options.fatal);
      this.ignoreBOM = Boolean(options.ignoreBOM);
    }

    // With { stream: true } a character cut off at the end waits for the bytes of the next call.
    decode(bytes = new Uint8Array(0), options = {}) {
      if (this.pending) {
        const joined = new Uint8Array(this.pending.length + bytes.length);
        joined.set(this.pending);
        joined.set(bytes, this.pending.length);
        bytes = joined;
        this.pending = null;
      }
      if (options.stream) {
        const complete = completeLength(bytes);
        this.pending = bytes.slice(complete);
        bytes = bytes.subarray(0, complete);
      }
      const first = !this.started;
      this.started = Boolean(options.stream);
      const units = [];
      let text = "";
      let i = 0;
      if (first && !this.ignoreBOM && bytes[0] === 0xef && bytes[1] === 0xbb && bytes[2] === 0xbf) i = 3;
      while (i < bytes.length) {
        const lead = bytes[i];
        let need = 0;
        let low = 0x80;
        let high = 0xbf;
        let code = lead;
        let invalid = false;
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
          invalid = true;
        }
        i++;
        for (let k = 0; k < need; k++, i++) {
          const next = bytes[i];
          if (i >= bytes.length || next < low || next > high) {
            invalid = true;
            break;
          }
          code = (code << 6) | (next & 0x3f);
          low = 0x80;
          high = 0xbf;
        }
        if (invalid) {
          if (this.fatal) throw new TypeError("The encoded data was not valid.");
          code = 0xfffd;
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
  }

  global.TextEncoder = TextEncoder;
  global.TextDecoder = TextDecoder;
})(globalThis);
