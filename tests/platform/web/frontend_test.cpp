#include <gtest/gtest.h>

#include <string>

#include "platform/web/js_context.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

using testing::JsContext;

// The front-end's document logic in a page whose window.vexa is a scripted stand-in for the
// application: it records each command and answers it as the application's file commands do, or
// fails the command named in `failOn` with a bridge error.
constexpr std::string_view kFakeApplication = R"JS(
var calls = [];
var appended = [];
var failOn = "";
var finishedBytes = null;
var served = [];
var servedSize = 0;
var host = {
  invoke(command, payload) {
    calls.push(command);
    if (command === failOn) {
      return Promise.reject(Object.assign(new Error("AccessDenied"), { code: "handler_failed" }));
    }
    switch (command) {
      case "vostra.file.begin": appended = []; return Promise.resolve({ ok: true });
      case "vostra.file.append": appended.push(payload); return Promise.resolve({ ok: true });
      case "vostra.file.finish": {
        const text = appended.join("");
        const padding = text.endsWith("==") ? 2 : text.endsWith("=") ? 1 : 0;
        return Promise.resolve({ ok: true, bytes: finishedBytes !== null ? finishedBytes : text.length / 4 * 3 - padding });
      }
      case "vostra.file.read.begin": return Promise.resolve({ ok: true, bytes: servedSize });
      case "vostra.file.read.chunk": return Promise.resolve(served.length ? served.shift() : "");
      default: return Promise.resolve({ ok: true });
    }
  },
};
var outcome = "";
function settle(promise) {
  outcome = "pending";
  promise.then(v => { outcome = "ok " + JSON.stringify(v); }, e => { outcome = "failed " + e.code + ": " + e.message; });
}
)JS";

class FrontEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(page.runFile(std::string(KELVO_FRONTEND_DIR) + "/document.js"), "undefined");
        ASSERT_EQ(page.run(kFakeApplication), "undefined");
    }
    JsContext page;
};

// Hex of a Uint8Array, "-" when empty.
constexpr std::string_view kHex =
    "function hex(bytes) { return Array.from(bytes, b => b.toString(16).padStart(2, '0')).join('') || '-'; }"
    "function bytes(hexText) { return Uint8Array.from((hexText === '-' ? '' : hexText).match(/../g) || [], h => "
    "parseInt(h, 16)); }";

TEST_F(FrontEnd, CodecsFollowUtf8AndBase64) {
    page.run(kHex);
    const std::string D = "VostraDocument.";
    for (const auto& row : testing::readTable("platform/web/frontend_codecs.txt")) {
        const std::string& kind = row[0];
        std::string shown = kind + " " + row[1];
        if (kind == "utf8" || kind == "encode") {
            EXPECT_EQ(page.run("hex(" + D + "encodeUtf8(" + row[1] + "))"), row[2]) << shown;
            if (kind == "utf8") {
                EXPECT_EQ(page.run(D + "decodeUtf8(bytes('" + row[2] + "')) === " + row[1]), "true") << shown;
            }
        } else if (kind == "lossy") {
            EXPECT_EQ(page.run("JSON.stringify(" + D + "decodeUtf8(bytes('" + row[1] + "'))) === JSON.stringify(" +
                               row[2] + ")"),
                      "true")
                << shown;
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

TEST_F(FrontEnd, SavingSendsBeginAppendsOfAtMostTheLimitAndFinish) {
    // 400,000 bytes of "é": full appends of 98,304 characters, each on a 3-byte boundary.
    page.run("settle(VostraDocument.saveDocument(host, '/home/me/long.vrs', '\\u00e9'.repeat(200000)))");
    EXPECT_EQ(page.run("outcome"), "ok 400000");
    EXPECT_EQ(page.run("calls.join()"),
              "vostra.file.begin,vostra.file.append,vostra.file.append,vostra.file.append,vostra.file.append,"
              "vostra.file.append,vostra.file.append,vostra.file.finish");
    EXPECT_EQ(page.run("appended.map(c => c.length).join()"), "98304,98304,98304,98304,98304,41816");
    EXPECT_EQ(page.run("appended.join('') === 'w6nDqcOp'.repeat(66666) + 'w6nDqQ=='"), "true");

    page.run(
        "calls = []; settle(VostraDocument.saveDocument(host, '/home/me/note.vrs', "
        "'h\\u00e9llo \\u20ac\\ud83d\\ude00\\n'))");
    EXPECT_EQ(page.run("outcome + ' ' + appended.join()"), "ok 15 aMOpbGxvIOKCrPCfmIAK");

    page.run("calls = []; settle(VostraDocument.saveDocument(host, '/home/me/empty.vrs', ''))");
    EXPECT_EQ(page.run("outcome + ' ' + calls.join()"), "ok 0 vostra.file.begin,vostra.file.finish");
}

TEST_F(FrontEnd, AFailedSaveIsCancelledAndKeepsItsError) {
    page.run("failOn = 'vostra.file.append'; settle(VostraDocument.saveDocument(host, '/a.vrs', 'text'))");
    EXPECT_EQ(page.run("outcome"), "failed handler_failed: AccessDenied");
    EXPECT_EQ(page.run("calls.join()"), "vostra.file.begin,vostra.file.append,vostra.file.cancel");

    page.run("calls = []; failOn = 'vostra.file.begin'; settle(VostraDocument.saveDocument(host, '/a.vrs', 'x'))");
    EXPECT_EQ(page.run("outcome + ' ' + calls.join()"), "failed handler_failed: AccessDenied vostra.file.begin");

    page.run("calls = []; failOn = ''; finishedBytes = 2; settle(VostraDocument.saveDocument(host, '/a.vrs', 'text'))");
    EXPECT_EQ(page.run("outcome"), "failed incomplete_write: The application wrote 2 of 4 bytes");
    EXPECT_EQ(page.run("calls[calls.length - 1]"), "vostra.file.cancel");
}

TEST_F(FrontEnd, ReadingJoinsChunksBeforeDecodingText) {
    // "aé" with the "é" split between two chunks.
    page.run("served = ['YcM=', 'qQ==']; servedSize = 3; settle(VostraDocument.readDocument(host, '/a.vrs'))");
    EXPECT_EQ(page.run("outcome"), "ok \"a\u00e9\"");
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

TEST_F(FrontEnd, ErrorsAreShownWithACodeAndAMessage) {
    EXPECT_EQ(page.run("JSON.stringify([Object.assign(new Error('InvalidVrsPath'), {code: 'handler_failed'}), "
                       "new TypeError('x must be a string'), new VostraDocument.DocumentError('not_a_document', 'No'), "
                       "'plain'].map(VostraDocument.describeError))"),
              R"([{"code":"handler_failed","message":"InvalidVrsPath"},{"code":"TypeError","message":"x must be a )"
              R"(string"},{"code":"not_a_document","message":"No"},{"code":"error","message":"plain"}])");
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
