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
  }

  class TextDecoder {
    constructor(label = "utf-8", options = {}) {
      if (String(label).toLowerCase() !== "utf-8") throw new RangeError("only utf-8 here");
      this.fatal = Boolean(options.fatal);
      this.ignoreBOM = Boolean(options.ignoreBOM);
    }

    decode(bytes = new Uint8Array(0)) {
      const units = [];
      let text = "";
      let i = 0;
      if (!this.ignoreBOM && bytes[0] === 0xef && bytes[1] === 0xbb && bytes[2] === 0xbf) i = 3;
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
