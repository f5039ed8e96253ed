#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "platform/web/js_context.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

using testing::JsContext;

// The front-end's document logic in a page whose window.vexa is a scripted stand-in for the
// application: it records each command and answers it as the application's file and clipboard
// commands do (the clipboard's mark is 9, kept in `begins` as begins name it; a read that names
// copy 7 takes it while `copyHeld`, else reads "OTHER").
// The command named in `failOn` fails with the error named in `failWith` after `failAfter`
// successful calls; like the application, a save whose append failed is over, so its later
// appends fail with NoOpenFile. A bare JavaScriptCore context has no page clock either: the date's
// serves.
constexpr std::string_view kFakeApplication = R"JS(
var performance = { now: () => Date.now() };
var calls = [];
var appended = [];
var failOn = "";
var failWith = "AccessDenied";
var failAfter = 0;
var finishedBytes = null;
var served = [];
var servedSize = 0;
var servedAt = 0;
var saveOver = false;
// While `holding`, appends are answered only when the test releases them (held.shift()()).
var holding = false;
var held = [];
var copyHeld = true;
var begins = [];
function failure(name) {
  return Promise.reject(Object.assign(new Error(name), { code: "handler_failed" }));
}
var host = {
  invoke(command, payload) {
    calls.push(command);
    if (command === failOn && failAfter-- <= 0) {
      if (command === "vostra.file.append") saveOver = true;
      return failure(failWith);
    }
    switch (command) {
      case "vostra.file.begin": appended = []; saveOver = false; return Promise.resolve({ ok: true });
      case "vostra.file.append":
        if (saveOver) return failure("NoOpenFile");
        appended.push(payload);
        if (holding) return new Promise(resolve => held.push(() => resolve({ ok: true })));
        return Promise.resolve({ ok: true });
      case "vostra.clipboard.mark": return Promise.resolve({ ok: true, mark: 9 });
      case "vostra.clipboard.begin": begins.push(payload && payload.mark); return Promise.resolve({ ok: true, transfer: 7 });
      case "vostra.clipboard.append":
        if (holding) return new Promise(resolve => held.push(() => resolve({ ok: true })));
        return Promise.resolve({ ok: true });
      case "vostra.clipboard.read.begin":
        served = ["T1RIRVI=", ""]; servedAt = 0;
        return Promise.resolve(payload && payload.copy === 7 && copyHeld ? { ok: true, copy: 7 } : { ok: true, bytes: 5 });
      case "vostra.clipboard.read.chunk": return Promise.resolve(served[servedAt++]);
      case "vostra.file.finish": {
        const bytes = appended.reduce((sum, text) => sum + Uint8Array.fromBase64(text).length, 0);
        return Promise.resolve({ ok: true, bytes: finishedBytes !== null ? finishedBytes : bytes });
      }
      case "vostra.file.read.begin": servedAt = 0; return Promise.resolve({ ok: true, bytes: servedSize });
      case "vostra.file.read.chunk": return Promise.resolve(servedAt < served.length ? served[servedAt++] : "");
      default: return Promise.resolve({ ok: true });
    }
  },
};
var outcome = "";
function settle(promise) {
  outcome = "pending";
  promise.then(v => { outcome = "ok " + JSON.stringify(v); }, e => { outcome = "failed " + e.code + ": " + e.message; });
}
// Hex of bytes, "-" when there are none; and the bytes of such hex ("41*3" for "414141", "(4100)*2"
// for "41004100").
function hex(bytes) { return Array.from(bytes, b => b.toString(16).padStart(2, '0')).join('') || '-'; }
function bytes(hexText) {
  const whole = (hexText === '-' ? '' : hexText).replace(/\(([0-9a-f]+)\)\*(\d+)|([0-9a-f]{2})\*(\d+)/g,
                                                         (_, g, m, h, n) => g ? g.repeat(m) : h.repeat(n));
  return Uint8Array.from(whole.match(/../g) || [], h => parseInt(h, 16));
}
// What saving `text` in `form` writes, as hex.
function written(text, form) {
  const { pieces, lineBreak } = VostraDocument.documentPieces(text, form);
  return Array.from(VostraDocument.appendChunks(pieces, lineBreak), hex).join('').replace(/-/g, '') || '-';
}
// The bytes of every append so far, as hex.
function appendedHex() { return hex(Uint8Array.from(appended.flatMap(text => Array.from(Uint8Array.fromBase64(text))))); }
)JS";

class FrontEnd : public ::testing::Test {
protected:
    void SetUp() override {
        // A bare JavaScriptCore context has no TextEncoder and TextDecoder: the tests bring them.
        ASSERT_EQ(page.runFile(testing::dataPath("platform/web/text_encoding.js")), "undefined");
        ASSERT_EQ(page.runFile(std::string(KELVO_FRONTEND_DIR) + "/document.js"), "undefined");
        ASSERT_EQ(page.runFile(std::string(KELVO_FRONTEND_DIR) + "/editor_text.js"), "undefined");
        ASSERT_EQ(page.runFile(testing::dataPath("platform/web/page_nodes.js")), "undefined");
        ASSERT_EQ(page.run(kFakeApplication), "undefined");
    }
    JsContext page;
};

TEST_F(FrontEnd, TextIsReadAndWrittenAsUtf8AndChunksAsBase64) {
    const std::string D = "VostraDocument.";
    for (const auto& row : testing::readTable("platform/web/frontend_codecs.txt")) {
        const std::string& kind = row[0];
        std::string shown = kind + " " + row[1];
        if (kind == "utf8" || kind == "encode") {
            EXPECT_EQ(page.run("written(" + row[1] + ", " + D + "newForm())"), row[2]) << shown;
            if (kind == "utf8") {
                EXPECT_EQ(page.run("(r => r.text === " + row[1] + " && !r.form.invalidUtf8)(" + D + "readForm(bytes('" +
                                   row[2] + "')))"),
                          "true")
                    << shown;
            }
        } else if (kind == "lossy") {
            for (const char* pieceBytes : {"undefined", "1", "2"}) {
                EXPECT_EQ(
                    page.run("(r => JSON.stringify(r.text) === JSON.stringify(" + row[2] + ") && r.form.invalidUtf8)(" +
                             D + "readForm(bytes('" + row[1] + "'), " + pieceBytes + "))"),
                    "true")
                    << shown << " in pieces of " << pieceBytes;
            }
        } else if (kind == "base64") {
            std::string text = row[2] == "-" ? "" : row[2];
            EXPECT_EQ(page.run(D + "encodeBase64(bytes('" + row[1] + "'))"), text) << shown;
            EXPECT_EQ(page.run("hex(" + D + "decodeBase64('" + text + "'))"), row[1]) << shown;
        } else {
            ASSERT_EQ(kind, "refuse");
            EXPECT_EQ(page.run("try { " + D + "decodeBase64('" + row[1] + "'); 'decoded' } catch (e) { e.code }"),
                      "invalid_reply")
                << shown;
        }
    }
}

// Where places lie in the text the editor shows, and what Copy and Cut put on the clipboard: the
// text between two of them.
TEST_F(FrontEnd, PlacesInTheEditorAndTheTextBetweenThem) {
    page.run(
        "function placesIn(root) {"
        "  const found = [];"
        "  const walk = (parent) => {"
        "    let before = null, index = 0;"
        "    for (let node = parent.firstChild; node !== null; ) {"
        "      const next = node.nextSibling;"
        "      if (node.nodeType === 8 && node.data === '|') {"
        "        found.push([parent, index]);"
        "        if (before) before.nextSibling = next; else parent.firstChild = next;"
        "      } else {"
        "        for (let at; node.nodeType === 3 && (at = node.data.indexOf('|')) >= 0; )"
        "          found.push([node, at]), node.data = node.data.slice(0, at) + node.data.slice(at + 1);"
        "        if (node.nodeType === 1) walk(node);"
        "        before = node, index++;"
        "      }"
        "      node = next;"
        "    }"
        "  };"
        "  walk(root);"
        "  return found;"
        "}");
    for (const auto& row : testing::readTable("platform/web/frontend_selected_text.txt")) {
        ASSERT_EQ(row.size(), 3u);
        page.run("var root = div(..." + row[0] + "), places = placesIn(root), expected = " + row[1] +
                 ", measured = VostraEditorText.measure(root, root.firstChild, places, [0, 1])");
        EXPECT_EQ(page.run("JSON.stringify(measured.text)"), page.run("JSON.stringify(expected)")) << row[0];
        EXPECT_EQ(page.run("measured.offsets.join()"), row[2]) << row[0];
        // The offsets are where the places lie in the text the editor reads back.
        EXPECT_EQ(page.run("VostraEditorText.readText(root).slice(measured.offsets[0], measured.offsets[1]) === "
                           "measured.text"),
                  "true")
            << row[0];
    }
}

// A document keeps its line breaks (and a byte order mark): unchanged, it is written back byte
// for byte; changed, its line feeds are written as its most frequent line break. The text is
// decoded in pieces: a character or a CRLF cut between two pieces reads as one.
TEST_F(FrontEnd, ADocumentKeepsItsLineBreaksAndBytes) {
    for (const auto& row : testing::readTable("platform/web/frontend_line_breaks.txt")) {
        for (const char* pieceBytes : {"undefined", "1", "2", "3"}) {
            ASSERT_EQ(row.size(), 6u);
            const std::string shown = row[0] + " in pieces of " + pieceBytes;
            page.run("var read = VostraDocument.readForm(bytes('" + row[0] + "'), " + pieceBytes + ")");
            EXPECT_EQ(page.run("JSON.stringify(read.text) === JSON.stringify(" + row[1] + ")"), "true")
                << shown << ": " << page.run("JSON.stringify(read.text)");
            EXPECT_EQ(page.run("VostraDocument.LINE_BREAKS[read.form.lineBreak]"), row[2]) << shown;
            EXPECT_EQ(page.run("read.form.original !== null ? 'mixed' : '-'"), row[3]) << shown;
            EXPECT_EQ(page.run("read.form.invalidUtf8 ? 'lossy' : 'utf8'"), row[4]) << shown;
            if (row[4] == "utf8") {
                EXPECT_EQ(page.run("written(read.text, read.form)"), row[0]) << shown;
            }
            EXPECT_EQ(page.run("written(read.text + '!\\n', read.form)"), row[5]) << shown;
            // Once written, the document is what was written: changed again, it keeps that form.
            EXPECT_EQ(
                page.run("written(read.text + '!\\n', VostraDocument.writtenForm(read.text + '!\\n', read.form))"),
                row[5])
                << shown;
            // Saved unchanged again and again, from the pieces the editor gives, it writes the same
            // bytes each time.
            if (row[4] == "utf8") {
                page.run(
                    "var pieces = read.text.match(/[^]{1,2}/g) || [], form = read.form, saves = [];"
                    "for (let i = 0; i < 3; i++) { saves.push(written(pieces, form));"
                    " form = VostraDocument.writtenForm(pieces, form); }");
                EXPECT_EQ(page.run("saves.join()"), row[0] + "," + row[0] + "," + row[0]) << shown;
            }
        }
    }
}

// A document's bytes are checked for UTF-8 byte by byte, and must be taken exactly as the web
// platform's decoder takes them: every sequence of up to three of the bytes where its rules change,
// and of four after each lead byte of four, is UTF-8 when the decoder takes it whole, and reads as
// long a text as the decoder makes of it.
TEST_F(FrontEnd, BytesAreUtf8ExactlyWhenTheDecoderTakesThem) {
    page.run(R"JS(
var edges = [0x00, 0x0a, 0x0d, 0x41, 0x7f, 0x80, 0x8f, 0x90, 0x9f, 0xa0, 0xbf, 0xc0, 0xc1, 0xc2, 0xdf, 0xe0, 0xe1,
             0xec, 0xed, 0xee, 0xef, 0xf0, 0xf1, 0xf3, 0xf4, 0xf5, 0xff];
var wrong = [], checked = 0;
function check(list) {
  const bytes = Uint8Array.from(list);
  let valid = true;
  try { new TextDecoder("utf-8", { fatal: true, ignoreBOM: true }).decode(bytes); } catch (e) { valid = false; }
  const text = new TextDecoder("utf-8", { ignoreBOM: true }).decode(bytes).replace(/\r\n?/g, "\n");
  const read = VostraDocument.readPieces(bytes);
  checked++;
  if (read.form.invalidUtf8 === valid || read.length !== text.length) wrong.push(hex(bytes));
}
function all(prefix, left) {
  check(prefix);
  if (left > 0) for (const byte of edges) all(prefix.concat([byte]), left - 1);
}
for (const byte of edges) all([byte], 2);
for (const lead of [0xf0, 0xf1, 0xf3, 0xf4]) for (const a of edges) for (const b of edges) for (const c of edges) check([lead, a, b, c]);
)JS");
    EXPECT_EQ(page.run("wrong.slice(0, 10).join()"), "");
    EXPECT_EQ(page.run("String(checked)"), "99171");
}

TEST_F(FrontEnd, AFileThatIsNotTextIsKnownByItsFirstBytes) {
    for (const auto& row : testing::readTable("platform/web/frontend_file_kinds.txt")) {
        std::string kind =
            page.run("(r => r ? r.code + ' ' + r.kind : 'text')(VostraDocument.refusedKind(bytes('" + row[0] + "')))");
        if (row[1] == "text") {
            EXPECT_EQ(kind, "text") << row[0];
        } else if (row[1].starts_with("UTF-")) {
            EXPECT_EQ(kind, "unread_encoding " + row[1]) << row[0];
        } else {
            EXPECT_TRUE(kind.starts_with("not_text ")) << row[0] << " read as " << kind;
            EXPECT_NE(kind.find(row[1]), std::string::npos) << row[0] << " read as " << kind;
        }
    }
}

TEST_F(FrontEnd, SavingSendsBeginAppendsOfAtMostTheLimitAndFinish) {
    // 400,000 bytes of "é": full appends of 98,304 characters, each on a 3-byte boundary.
    page.run(
        "settle(VostraDocument.saveDocument(host, '/home/me/long.vrs', '\\u00e9'.repeat(200000), "
        "VostraDocument.newForm()))");
    EXPECT_EQ(page.run("outcome"), "ok 400000");
    EXPECT_EQ(page.run("calls.join()"),
              "vostra.file.begin,vostra.file.append,vostra.file.append,vostra.file.append,vostra.file.append,"
              "vostra.file.append,vostra.file.append,vostra.file.finish");
    EXPECT_EQ(page.run("appended.map(c => c.length).join()"), "98304,98304,98304,98304,98304,41816");
    EXPECT_EQ(page.run("appended.join('') === 'w6nDqcOp'.repeat(66666) + 'w6nDqQ=='"), "true");

    page.run(
        "calls = []; settle(VostraDocument.saveDocument(host, '/home/me/note.vrs', "
        "'h\\u00e9llo \\u20ac\\ud83d\\ude00\\n', VostraDocument.newForm()))");
    EXPECT_EQ(page.run("outcome + ' ' + appended.join()"), "ok 15 aMOpbGxvIOKCrPCfmIAK");

    page.run(
        "calls = []; settle(VostraDocument.saveDocument(host, '/home/me/empty.vrs', '', VostraDocument.newForm()))");
    EXPECT_EQ(page.run("outcome + ' ' + calls.join()"), "ok 0 vostra.file.begin,vostra.file.finish");
}

// Line breaks written as two bytes move the chunk boundaries: no append passes the limit, and
// together they write the document with each line feed as CRLF.
TEST_F(FrontEnd, ACrlfDocumentIsWrittenInChunksWithinTheLimit) {
    page.run(
        "var text = 'x'.repeat(73726) + '\\n' + 'y'.repeat(73727) + '\\n' + 'z\\n\\n';"
        "var form = VostraDocument.readForm(new TextEncoder().encode(text.replace(/\\n/g, '\\r\\n'))).form;"
        "settle(VostraDocument.saveDocument(host, '/d/crlf.vrs', text, form))");
    EXPECT_EQ(page.run("form.lineBreak === '\\r\\n'"), "true");
    EXPECT_EQ(page.run("outcome"), "ok 147462");
    EXPECT_EQ(page.run("appended.every(c => c.length <= VostraDocument.APPEND_CHARACTERS)"), "true");
    EXPECT_EQ(page.run("appendedHex() === hex(new TextEncoder().encode(text.replace(/\\n/g, '\\r\\n')))"), "true");
}

// A long piece (a copy's whole selection) goes to the encoder a chunk's worth at a time, for the
// encoder reads through all it is given (a 32 MiB copy handed whole for each chunk took seconds);
// the chunks are those of the whole text, characters beyond U+FFFF included, wherever one ends.
TEST_F(FrontEnd, ALongPieceIsEncodedAChunksWorthAtATime) {
    page.run(
        "var given = 0, encodeInto = TextEncoder.prototype.encodeInto, most = VostraDocument.APPEND_CHARACTERS / 4 * 3;"
        "TextEncoder.prototype.encodeInto = function (text, into) {"
        "  given = Math.max(given, text.length); return encodeInto.call(this, text, into); };"
        "var text = 'ab\\u00e9\\u4e2d\\ud83d\\ude80'.repeat(40000);"
        "var chunks = Array.from(VostraDocument.appendChunks(['', text, 'tail'], '\\n'), c => c.slice())");
    EXPECT_EQ(page.run("given <= most"), "true") << page.run("given");
    EXPECT_EQ(page.run("chunks.every(c => c.length <= most) && chunks.length"), "6");
    EXPECT_EQ(
        page.run("hex(Uint8Array.from(chunks.flatMap(c => Array.from(c)))) === hex(new TextEncoder().encode(text + "
                 "'tail'))"),
        "true");
}

// The page keeps a saved document as the bytes the save sent, not as strings: read back across
// the chunks, a character or a CRLF cut between two of them is one, and the text compares as the
// text that was saved; let go, the bytes are given back at once.
TEST_F(FrontEnd, TheSavedTextIsKeptAsTheBytesWritten) {
    page.run(
        "var sent = [], text = 'x'.repeat(73727) + '\\u00e9\\n' + 'y'.repeat(80000) + '\\n';"
        "settle(VostraDocument.saveDocument(host, '/d/a.vrs', text, VostraDocument.readForm(bytes('610d0a')).form,"
        " null, (chunk) => sent.push(chunk.slice())))");
    EXPECT_EQ(page.run("outcome"), "ok 153733");
    EXPECT_EQ(
        page.run("sent.length + ' ' + (hex(Uint8Array.from(sent.flatMap(c => Array.from(c)))) === appendedHex())"),
        "3 true");
    page.run("var saved = VostraDocument.textOfBytes(sent)");
    EXPECT_EQ(page.run("VostraDocument.sameText(text.match(/[^]{1,7}/g), saved)"), "true");
    EXPECT_EQ(page.run("VostraDocument.sameText(text.replace('y', 'z'), saved)"), "false");
    page.run("var cut = VostraDocument.textOfBytes([bytes('61c3'), bytes('a90d'), bytes('0a62')])");
    EXPECT_EQ(page.run("JSON.stringify(Array.from(cut).join(''))"), "\"a\u00e9\\nb\"");
    page.run("saved.release(); cut.release()");
    EXPECT_EQ(page.run("[sent.every(c => c.byteLength === 0), Array.from(saved).length].join()"), "true,0");
}

// A save keeps a few appends on their way, never the whole document at once.
TEST_F(FrontEnd, ASaveKeepsFourAppendsOnTheirWay) {
    page.run(
        "holding = true; settle(VostraDocument.saveDocument(host, '/d/a.vrs', 'x'.repeat(10 * 73728), "
        "VostraDocument.newForm()))");
    EXPECT_EQ(page.run("appended.length + ' ' + outcome"), "4 pending");
    page.run("held.shift()()");
    EXPECT_EQ(page.run("appended.length + ' ' + outcome"), "5 pending");
    page.run("while (held.length > 0) held.shift()()");
    page.run("while (held.length > 0) held.shift()()");
    page.run("while (held.length > 0) held.shift()()");
    EXPECT_EQ(page.run("appended.length + ' ' + outcome"), "10 ok 737280");
}

// A paste while the editor's long copy is still on its way takes that copy's text at once, or
// another program's text where the application says it copied since: it never waits for the copy.
TEST_F(FrontEnd, APasteNeverWaitsForACopyOnItsWay) {
    ASSERT_EQ(page.runFile(std::string(KELVO_FRONTEND_DIR) + "/clipboard.js"), "undefined");
    page.run(
        "holding = true; var reports = [];"
        "var board = VostraClipboard.attach(host, { report: (e) => reports.push(e.message) });"
        "board.copy(() => 'x'.repeat(200000)); settle(board.read())");
    EXPECT_EQ(page.run("outcome === 'ok ' + JSON.stringify({ text: 'x'.repeat(200000), replaced: 0 })"), "true");
    page.run("copyHeld = false; settle(board.read())");
    EXPECT_EQ(page.run("outcome"), R"(ok {"text":"OTHER","replaced":0})");
    // The copy's three appends are all on their way still.
    EXPECT_EQ(page.run("[held.length, calls.includes('vostra.clipboard.finish'), reports.length].join()"), "3,false,0");
}

// A copy begins, counted from the clipboard's mark, only for a text the application takes; any
// other leaves the clipboard as it is, and the copy still on its way goes on and finishes.
TEST_F(FrontEnd, ACopyBeginsOnlyForATextTheApplicationTakes) {
    ASSERT_EQ(page.runFile(std::string(KELVO_FRONTEND_DIR) + "/clipboard.js"), "undefined");
    page.run("var board = VostraClipboard.attach(host, { report: () => {} }), made;");
    for (const auto& row : testing::readTable("platform/web/frontend_copies.txt")) {
        page.run("holding = true; held = []; calls = []; begins = []; board.copy(() => 'on its way', 5)");
        page.run("made = board.copy(() => " + row[0] + "), held.shift()()");
        EXPECT_EQ(page.run("[made.copied ? 'copied' : made.refused?.code, begins.join('+'), "
                           "calls.filter(c => c === 'vostra.clipboard.finish').length].join()"),
                  row[1])
            << row[0];
    }
}

TEST_F(FrontEnd, AFailedSaveIsCancelledAndKeepsItsFirstError) {
    page.run(
        "failOn = 'vostra.file.append'; settle(VostraDocument.saveDocument(host, '/a.vrs', 'text', "
        "VostraDocument.newForm()))");
    EXPECT_EQ(page.run("outcome"), "failed handler_failed: AccessDenied");
    EXPECT_EQ(page.run("calls.join()"), "vostra.file.begin,vostra.file.append,vostra.file.cancel");

    // The second of several appends on their way fails: the later ones fail after it, and the
    // save is cancelled once every one has been answered.
    page.run(
        "calls = []; failOn = 'vostra.file.append'; failWith = 'NoSpaceLeft'; failAfter = 1;"
        "settle(VostraDocument.saveDocument(host, '/a.vrs', 'x'.repeat(400000), VostraDocument.newForm()))");
    EXPECT_EQ(page.run("outcome"), "failed handler_failed: NoSpaceLeft");
    EXPECT_EQ(page.run("calls[0] + ' ' + calls[calls.length - 1]"), "vostra.file.begin vostra.file.cancel");
    EXPECT_EQ(page.run("calls.includes('vostra.file.finish')"), "false");

    page.run(
        "calls = []; failOn = 'vostra.file.begin'; failWith = 'AccessDenied'; failAfter = 0;"
        "settle(VostraDocument.saveDocument(host, '/a.vrs', 'x', VostraDocument.newForm()))");
    EXPECT_EQ(page.run("outcome + ' ' + calls.join()"), "failed handler_failed: AccessDenied vostra.file.begin");

    page.run(
        "calls = []; failOn = ''; finishedBytes = 2;"
        "settle(VostraDocument.saveDocument(host, '/a.vrs', 'text', VostraDocument.newForm()))");
    EXPECT_EQ(page.run("outcome"), "failed incomplete_write: The application wrote 2 of 4 bytes");
    EXPECT_EQ(page.run("calls[calls.length - 1]"), "vostra.file.cancel");
}

TEST_F(FrontEnd, ReadingJoinsChunksBeforeDecodingText) {
    // "aé" with the "é" split between two chunks.
    page.run(
        "served = ['YcM=', 'qQ==']; servedSize = 3;"
        "settle(VostraDocument.readDocument(host, '/a.vrs').then(r => [Array.from(r.pieces).join(''), r.length, "
        "r.form.invalidUtf8]))");
    EXPECT_EQ(page.run("outcome"), "ok [\"a\u00e9\",2,false]");
    EXPECT_EQ(page.run("calls.join()"),
              "vostra.file.read.begin,vostra.file.read.chunk,vostra.file.read.chunk,vostra.file.read.chunk,"
              "vostra.file.read.finish");

    page.run("calls = []; served = ['YcM=']; servedSize = 5; settle(VostraDocument.readDocument(host, '/a.vrs'))");
    EXPECT_EQ(page.run("outcome"), "failed file_changed: The file changed while it was read");

    page.run(
        "calls = []; served = ['YcM=', 'Zm9v']; servedSize = 2; settle(VostraDocument.readDocument(host, "
        "'/a.vrs'))");
    EXPECT_EQ(page.run("outcome + ' ' + calls.length"), "failed file_changed: The file changed while it was read 4");

    page.run("calls = []; served = ['Y*M=']; servedSize = 2; settle(VostraDocument.readDocument(host, '/a.vrs'))");
    EXPECT_EQ(page.run("outcome + ' ' + calls[calls.length - 1]"),
              "failed invalid_reply: The file data from the application is not base64 vostra.file.read.finish");

    page.run("calls = []; failOn = 'vostra.file.read.chunk'; settle(VostraDocument.readDocument(host, '/a.vrs'))");
    EXPECT_EQ(page.run("outcome + ' ' + calls.join()"),
              "failed handler_failed: AccessDenied vostra.file.read.begin,vostra.file.read.chunk,"
              "vostra.file.read.finish");
}

// Each chunk is checked as it comes; a file that turns out not to be UTF-8 reads each bad sequence
// as U+FFFD, wherever the chunks cut it, without being read again.
TEST_F(FrontEnd, AFileThatIsNotUtf8ReadsEachBadSequenceAsAReplacement) {
    page.run(
        "served = ['Yf8K', 'Yg==']; servedSize = 4;"
        "settle(VostraDocument.readDocument(host, '/a.vrs').then(r => [Array.from(r.pieces).join(''), r.length, "
        "r.form.invalidUtf8]))");
    EXPECT_EQ(page.run("outcome"), "ok [\"a\ufffd\\nb\",4,true]");
    EXPECT_EQ(page.run("calls.join()"),
              "vostra.file.read.begin,vostra.file.read.chunk,vostra.file.read.chunk,vostra.file.read.chunk,"
              "vostra.file.read.finish");
    // A character cut short at the end of the file.
    page.run(
        "calls = []; served = ['YcM=']; servedSize = 2;"
        "settle(VostraDocument.readDocument(host, '/a.vrs').then(r => [Array.from(r.pieces).join(''), r.length, "
        "r.form.invalidUtf8]))");
    EXPECT_EQ(page.run("outcome"), "ok [\"a\ufffd\",2,true]");
    EXPECT_EQ(page.run("calls.filter(c => c === 'vostra.file.read.begin').length"), "1");
}

// A picture is refused at its first chunk; the rest of it is never asked for.
TEST_F(FrontEnd, AFileThatIsNotTextIsRefusedAtItsFirstChunk) {
    page.run(
        "served = [bytes('89504e470d0a1a0a0000000d49484452').toBase64(), 'AAAA']; servedSize = 19;"
        "settle(VostraDocument.readDocument(host, '/photo.txt'))");
    EXPECT_EQ(page.run("outcome"), "failed not_text: \u201cphoto.txt\u201d is a PNG image, not text");
    EXPECT_EQ(page.run("calls.join()"), "vostra.file.read.begin,vostra.file.read.chunk,vostra.file.read.finish");

    // Text in UTF-16 is told apart from binary data; a file that ends in a cut character is judged
    // whole, its size told by the application.
    for (const auto& [file, outcome] : std::vector<std::pair<std::string, std::string>>{
             {"fffe68006900",
              "failed unread_encoding: \u201cnotes.vrs\u201d is text in UTF-16, an encoding Vostra "
              "Studio does not read"},
             {"6162006364c3", "failed not_text: \u201cnotes.vrs\u201d is binary data, not text"}}) {
        page.run("calls = []; served = [bytes('" + file + "').toBase64()]; servedSize = bytes('" + file +
                 "').length; settle(VostraDocument.readDocument(host, '/d/notes.vrs'))");
        EXPECT_EQ(page.run("outcome"), outcome) << file;
        EXPECT_EQ(page.run("calls.join()"), "vostra.file.read.begin,vostra.file.read.chunk,vostra.file.read.finish");
    }
}

// Only "no such file" is nothing there; a folder there is an error of its own, passed on.
TEST_F(FrontEnd, AFileExistsUnlessItIsNotFoundAndAFolderIsAnError) {
    page.run("settle(VostraDocument.fileExists(host, '/d/notes.vrs'))");
    EXPECT_EQ(page.run("outcome + ' ' + calls.join()"), "ok true vostra.file.read.begin,vostra.file.read.finish");
    for (const auto& [error, outcome] : std::vector<std::pair<std::string, std::string>>{
             {"FileNotFound", "ok false"}, {"AccessDenied", "ok true"}, {"IsDir", "failed handler_failed: IsDir"}}) {
        page.run("calls = []; failOn = 'vostra.file.read.begin'; failWith = '" + error +
                 "'; failAfter = 0; settle(VostraDocument.fileExists(host, '/d/notes.vrs'))");
        EXPECT_EQ(page.run("outcome + ' ' + calls.join()"), outcome + " vostra.file.read.begin,vostra.file.read.finish")
            << error;
    }
}

std::vector<std::string> splitCells(const std::string& line) {
    std::vector<std::string> cells;
    std::size_t start = 0;
    for (std::size_t bar; (bar = line.find(" | ", start)) != std::string::npos; start = bar + 3) {
        cells.push_back(line.substr(start, bar - start));
    }
    cells.push_back(line.substr(start));
    return cells;
}

TEST_F(FrontEnd, ErrorsAreShownAsASentenceWithTheCodeAfterIt) {
    for (const std::string& line : testing::readLines("platform/web/frontend_errors.txt")) {
        auto cells = splitCells(line);
        ASSERT_EQ(cells.size(), 4u) << line;
        page.run("var shown = VostraDocument.describeError(Object.assign(new Error(" +
                 page.run("JSON.stringify('" + cells[1] + "')") + "), { code: '" + cells[0] + "' }))");
        EXPECT_EQ(page.run("shown.sentence"), cells[2]) << line;
        EXPECT_EQ(page.run("shown.code"), cells[3]) << line;
    }
    EXPECT_EQ(page.run("JSON.stringify(VostraDocument.describeError('plain'))"),
              R"({"sentence":"Plain.","code":"error"})");

    // Every error the application's commands answer with has a sentence of its own.
    for (const auto& row : testing::readTable("platform/web/frontend_error_names.txt")) {
        for (const std::string& name : row) {
            page.run("var shown = VostraDocument.describeError(Object.assign(new Error('" + name +
                     "'), { code: 'handler_failed' }))");
            EXPECT_EQ(page.run("shown.sentence === VostraDocument.describeError(Object.assign(new Error('Unknown'),"
                               " { code: 'handler_failed' })).sentence"),
                      "false")
                << name;
        }
    }
}

// The status line tells what a save writes: a document with mixed line breaks keeps them while
// it is unchanged, and says which one every line break becomes once it is edited; a document that
// is not all UTF-8 says so until a save has written it as UTF-8.
TEST_F(FrontEnd, TheStatusLineSaysWhatASaveWrites) {
    for (const std::string& line : testing::readLines("platform/web/frontend_status_labels.txt")) {
        auto cells = splitCells(line);
        ASSERT_EQ(cells.size(), 3u) << line;
        page.run("var read = VostraDocument.readForm(bytes('" + cells[0] + "')), when = '" + cells[1] + "'");
        page.run(
            "var form = when === 'saved' ? VostraDocument.writtenForm(read.text, read.form)"
            " : when === 'saved edited' ? VostraDocument.writtenForm(read.text + 'x', read.form) : read.form");
        EXPECT_EQ(page.run("VostraDocument.formLabel(form, when === 'edited')"), cells[2]) << line;
    }
}

TEST_F(FrontEnd, TheStatusLineCountsWordsAndCharacters) {
    for (const auto& row : testing::readTable("platform/web/frontend_counts.txt")) {
        EXPECT_EQ(page.run("(c => c.words + ' ' + c.characters)(VostraDocument.countText(" + row[0] + "))"),
                  row[1] + " " + row[2])
            << row[0];
    }
}

// What the editor shows is read back run by run whatever editing left in it; its length and
// counts, and the comparison with a text, agree with the text read back.
TEST_F(FrontEnd, TheEditorIsReadBackAsItShows) {
    for (const auto& row : testing::readTable("platform/web/frontend_shown_text.txt")) {
        ASSERT_EQ(row.size(), 2u);
        const std::string& shown = row[0];
        page.run("var root = div(..." + row[0] + "), expected = " + row[1]);
        EXPECT_EQ(page.run("JSON.stringify(VostraEditorText.readText(root))"), page.run("JSON.stringify(expected)"))
            << shown;
        page.run(
            "var runs = VostraEditorText.runsOf(root), sameShown = (a, b) => "
            "VostraDocument.sameText(VostraEditorText.piecesOf(a), VostraEditorText.piecesOf(b))");
        EXPECT_EQ(page.run("sameShown(runs, [expected + '\\n']) && sameShown([expected + '\\n'], runs)"), "true")
            << shown;
        EXPECT_EQ(
            page.run("[expected + 'x', expected.slice(1), 'x' + expected, expected + '\\n', expected.replace('\\n', "
                     "'\\t')].some(t => t !== expected && sameShown(runs, [t + '\\n']))"),
            "false")
            << shown;
        EXPECT_EQ(page.run("JSON.stringify((({ words, characters, length }) => [words, characters, length])("
                           "VostraEditorText.countRuns(runs, VostraDocument.countText)))"),
                  page.run("JSON.stringify((({ words, characters }) => [words, characters, expected.length])("
                           "VostraDocument.countText(expected)))"))
            << shown;
    }
    // Runs compare as the text they show, however it is cut into runs.
    EXPECT_EQ(page.run("['a\\nb', 'a\\nb\\n', 'a\\n\\nb', 'a\\nbc\\n', ''].map(t => sameShown(['a\\n', 'b'], "
                       "t.split('|'))).join()"),
              "true,true,false,false,false");
    EXPECT_EQ(page.run("sameShown(['ab\\nc', 'd\\n\\n', 'e'], ['ab', 'c\\nd\\n\\ne\\n'])"), "true");
    EXPECT_EQ(page.run("sameShown(['ab\\nc', 'd\\n\\n', 'e'], ['ab', 'c\\nd\\ne\\n'])"), "false");
}

// A document laid out as groups of blocks of a few lines shows exactly its text; each group
// guesses the rows it takes.
TEST_F(FrontEnd, ADocumentLaidOutAsBlocksShowsItsText) {
    page.run(
        "var texts = ['', '\\n', '\\n\\n', 'a', 'a\\n', 'a\\nb', 'a\\nb\\n', '\\na\\n\\nb\\n\\n\\n', 'x'.repeat(50),"
        "  'long line\\nshort\\n\\n' + 'y'.repeat(30) + '\\nz'];"
        "function shownAsBlocks(text, layout) {"
        "  const groups = VostraEditorText.splitBlocks(text, Infinity, layout);"
        "  return VostraEditorText.readText(div(...groups.map(g => div(...g.blocks.map(b => div(b))))));"
        "}");
    for (const char* layout :
         {"{ blockLines: 1, blockCharacters: 100, groupCharacters: 1 }",
          "{ blockLines: 2, blockCharacters: 100, groupCharacters: 1 }",
          "{ blockLines: 3, blockCharacters: 100, groupCharacters: 8 }",
          "{ blockLines: 50, blockCharacters: 4, groupCharacters: 1 }", "VostraEditorText.LAYOUT"}) {
        EXPECT_EQ(page.run("texts.filter(t => shownAsBlocks(t, " + std::string(layout) + ") !== t).length"), "0")
            << layout;
        // Given in pieces of up to three characters, the text is laid out the same.
        EXPECT_EQ(
            page.run("texts.filter(t => JSON.stringify(VostraEditorText.splitBlocks(t.match(/[^]{1,3}/g) || [], 4, " +
                     std::string(layout) + ")) !== JSON.stringify(VostraEditorText.splitBlocks(t, 4, " + layout +
                     "))).length"),
            "0")
            << layout;
    }
    EXPECT_EQ(page.run("JSON.stringify(VostraEditorText.splitBlocks('ab\\n' + 'c'.repeat(25) + '\\n\\nd', 10,"
                       " { blockLines: 2, blockCharacters: 100, groupCharacters: 1 }))"),
              R"([{"blocks":["ab\n)" + std::string(25, 'c') + R"(\n"],"rows":4},{"blocks":["\nd\n"],"rows":2}])");
    // Blocks end at their line or character limit, groups at theirs.
    EXPECT_EQ(page.run("JSON.stringify(VostraEditorText.splitBlocks('abcdefg\\nh\\ni\\nj\\nk', Infinity,"
                       " { blockLines: 2, blockCharacters: 5, groupCharacters: 10 }).map(g => g.blocks))"),
              R"([["abcdefg\n","h\ni\n"],["j\nk\n"]])");
}

// Counting again counts only the runs of text that changed since the last count.
TEST_F(FrontEnd, CountingAgainCountsOnlyWhatChanged) {
    page.run(
        "var counts = 0; var countText = t => (counts++, VostraDocument.countText(t));"
        "var root = div(div('one two\\n'), div('three\\n'), div('four\\n'));"
        "var first = VostraEditorText.countRuns(VostraEditorText.runsOf(root), countText);"
        "root.firstChild.nextSibling.firstChild.data = 'three and more\\n';"
        "var second = VostraEditorText.countRuns(VostraEditorText.runsOf(root), countText, first);");
    EXPECT_EQ(page.run("[first.words, first.characters, second.words, second.characters, counts].join()"),
              "4,18,6,27,4");
}

// The ".vrs" ending counts in any case: such documents open, and save back under the ending in
// lower case, the only one the application writes.
TEST_F(FrontEnd, TheDocumentEndingIsReadInAnyCaseAndWrittenInLowerCase) {
    EXPECT_EQ(page.run("['/d/a', '/d/a.vrs', '/d/a.VRS', '/d/a.Vrs', '/d/x.vrs.txt', '/d/.VRS']"
                       ".map(VostraDocument.withDocumentExtension).join()"),
              "/d/a.vrs,/d/a.vrs,/d/a.vrs,/d/a.vrs,/d/x.vrs.txt.vrs,/d/.vrs");
    EXPECT_EQ(page.run("['/d/a.VRS', '/d/a.vRs', '/d/a.txt', '.vrs', null].map(VostraDocument.isDocumentPath).join()"),
              "true,true,false,false,false");
    EXPECT_EQ(page.run("['/d/a.vrs', '/d/a.VRS', '/d/a', null].map(VostraDocument.savesInPlace).join()"),
              "true,false,false,false");
}

}  // namespace
}  // namespace kelvo
