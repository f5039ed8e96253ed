#include <gtest/gtest.h>

#include <string>

#include "platform/macos/web/bridge_scripts.hpp"
#include "platform/macos/web/page_script.hpp"
#include "platform/web/js_context.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

using testing::JsContext;
using testing::kTestPageToken;

PageToken testToken() {
    PageToken token;
    std::copy(kTestPageToken.begin(), kTestPageToken.end(), token.hex.begin());
    return token;
}

// A page with the bridge script injected as a web view injects it.
class PageScript : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(page.run(pageScriptText(testToken())), "undefined"); }

    // The posted requests without their token (which every one of them must carry).
    std::vector<std::string> requests() {
        std::vector<std::string> texts;
        for (const std::string& message : page.posted()) {
            std::optional<std::string_view> request = stripPageToken(testToken(), message);
            EXPECT_TRUE(request.has_value()) << message;
            if (request) texts.emplace_back(*request);
        }
        return texts;
    }

    // Evaluates a reply script the way the host builds it.
    void reply(std::string_view replyText) {
        std::array<char, 4096> buffer;
        Result<std::string_view> script = writeCompleteScript(buffer, replyText);
        ASSERT_TRUE(script.has_value());
        EXPECT_EQ(page.run(*script), "undefined");
    }

    JsContext page;
};

TEST_F(PageScript, EachCallSendsItsRequestOrThrowsItsTypeError) {
    for (const std::string& line : testing::readLines("platform/web/page_calls.txt")) {
        std::size_t bar = line.find(" | ");
        ASSERT_NE(bar, std::string::npos) << line;
        std::string call = line.substr(0, bar);
        std::string expected = line.substr(bar + 3);
        JsContext fresh;
        ASSERT_EQ(fresh.run(pageScriptText(testToken())), "undefined");
        std::string outcome = fresh.run("(function () { try { " + call +
                                        "; return 'called'; } catch (e) { return 'throws ' + e.name + ': ' + "
                                        "e.message; } })()");
        std::vector<std::string> posted = fresh.posted();
        if (expected.starts_with("throws ")) {
            EXPECT_EQ(outcome, "throws TypeError: " + expected.substr(7)) << call;
            EXPECT_TRUE(posted.empty()) << call;
            continue;
        }
        ASSERT_TRUE(expected.starts_with("sends ")) << line;
        std::string command = expected.substr(6, expected.find(' ', 6) - 6);
        std::string payload = expected.substr(6 + command.size() + 1);
        EXPECT_EQ(outcome, "called") << call;
        ASSERT_EQ(posted.size(), 1u) << call;
        EXPECT_EQ(posted[0], std::string(kTestPageToken) + R"({"id":"1","command":")" + command + R"(","payload":)" +
                                 payload + "}")
            << call;
    }
}

// The keys a page names as typed ahead of its dialog reach the host as plain keys: anything else
// in the answer is left out, flags are true only where they are; a provider that fails gives none;
// one that is not a function is refused at once.
TEST_F(PageScript, KeysTypedAheadOfADialogReachTheHostAsPlainKeys) {
    EXPECT_EQ(page.run("JSON.stringify(vexa._keysAhead())"), "[]");
    page.run(
        "vexa.dialogs.keysTypedAhead(() => [{ key: 'a', code: 'KeyA', ctrlKey: true, shiftKey: 1 }, 'b', null,"
        " { key: 5 }, { key: 'Enter', altKey: true, metaKey: true, extra: 'x' }])");
    EXPECT_EQ(page.run("JSON.stringify(vexa._keysAhead())"),
              R"([{"key":"a","code":"KeyA","ctrlKey":true,"shiftKey":false,"altKey":false,"metaKey":false},)"
              R"({"key":"Enter","code":"","ctrlKey":false,"shiftKey":false,"altKey":true,"metaKey":true}])");
    page.run("vexa.dialogs.keysTypedAhead(() => { throw new Error('no keys'); })");
    EXPECT_EQ(page.run("JSON.stringify(vexa._keysAhead())"), "[]");
    EXPECT_EQ(page.run("try { vexa.dialogs.keysTypedAhead('a'); 'taken' } catch (e) { e.name }"), "TypeError");
}

TEST_F(PageScript, WindowVexaIsFrozenAndCannotBeReplaced) {
    EXPECT_EQ(page.run("Object.keys(vexa).join()"),
              "invoke,on,off,commands,windows,dialogs,clipboard,os,credentials,platform,webviews,views,_complete,_emit,"
              "_keysAhead");
    EXPECT_EQ(
        page.run(
            "Object.isFrozen(vexa) && Object.values(vexa).filter(m => typeof m === 'object').every(Object.isFrozen)"),
        "true");
    EXPECT_EQ(page.run("JSON.stringify(Object.getOwnPropertyDescriptor(window, 'vexa'), ['writable', 'enumerable', "
                       "'configurable'])"),
              R"({"writable":false,"enumerable":false,"configurable":false})");
    EXPECT_EQ(page.run("var first = vexa; window.vexa = {}; delete window.vexa; vexa.invoke = null; "
                       "vexa.os.openUrl = null; vexa === first && typeof vexa.invoke + typeof vexa.os.openUrl"),
              "functionfunction");
    // A second injection (here with another token) leaves the first object and its token in place.
    PageToken other = testToken();
    other.hex[0] = 'f';
    EXPECT_EQ(page.run(pageScriptText(other)), "undefined");
    EXPECT_EQ(page.run("vexa === first"), "true");
    page.run("vexa.invoke('app.ping')");
    EXPECT_EQ(requests(), std::vector<std::string>{R"({"id":"1","command":"app.ping","payload":null})"});
}

TEST(PageScriptFrames, OnlyTheTopFrameGetsTheBridge) {
    JsContext frame;
    frame.run("window.top = {}");
    EXPECT_EQ(frame.run(pageScriptText(testToken())), "undefined");
    EXPECT_EQ(frame.run("typeof window.vexa"), "undefined");
}

TEST_F(PageScript, RequestIdsCountFromOneAndRefusedCommandsUseNone) {
    page.run(
        "var log = []; vexa.invoke('').catch(e => log.push(e.name + ': ' + e.message)); vexa.invoke(7)"
        ".catch(e => log.push(e.message)); vexa.invoke('a'); vexa.invoke('b', {n: 1})");
    EXPECT_EQ(page.run("log.join('; ')"),
              "TypeError: command must be a non-empty string; command must be a non-empty string");
    EXPECT_EQ(requests(), (std::vector<std::string>{R"({"id":"1","command":"a","payload":null})",
                                                    R"({"id":"2","command":"b","payload":{"n":1}})"}));
    // A payload JSON cannot carry throws at the call, not through the promise.
    EXPECT_EQ(page.run("var cyclic = {}; cyclic.self = cyclic; vexa.invoke('c', cyclic)").substr(0, 16),
              "threw TypeError:");
}

TEST_F(PageScript, RepliesSettleTheirCallsOnce) {
    page.run(R"JS(
var log = [];
function track(promise, name) {
  promise.then(v => log.push(name + " ok " + JSON.stringify(v)), e => log.push(name + " failed " + e.message + " " + e.code));
}
for (const name of ["a", "b", "c", "d", "e"]) track(vexa.invoke("app." + name), name);
)JS");
    reply(R"({"id":"1","ok":true})");
    reply(R"({"id":2,"ok":true,"result":{"bytes":6}})");
    reply(R"({"id":"3","ok":false})");
    reply(R"({"id":"4","ok":false,"error":{"code":"handler_failed","message":"NoOpenFile"}})");
    reply(R"({"id":"4","ok":true,"result":1})");
    reply(R"({"id":"9","ok":true})");
    reply("");
    reply("null");
    EXPECT_EQ(page.run("log.join('; ')"),
              "a ok null; b ok {\"bytes\":6}; c failed Native command failed internal_error; "
              "d failed NoOpenFile handler_failed");
    reply(R"({"id":"5","ok":true,"result":"caf\u00e9"})");
    EXPECT_EQ(page.run("log[4]"), "e ok \"caf\u00e9\"");
}

TEST_F(PageScript, PostsThroughTheHandlerBoundAtDocumentStart) {
    page.run(
        "window.webkit = {messageHandlers: {kelvoBridge: {postMessage: m => stolen.push(m)}}}; "
        "var stolen = []; vexa.invoke('app.after')");
    EXPECT_EQ(page.run("stolen.length"), "0");
    EXPECT_EQ(requests(), std::vector<std::string>{R"({"id":"1","command":"app.after","payload":null})"});
    // The token lives in the script's closure only: no member shows it.
    EXPECT_EQ(page.run("var seen = JSON.stringify(vexa); for (const family of Object.values(vexa)) { "
                       "seen += String(family); for (const member of Object.values(family)) seen += String(member); "
                       "} seen.includes('" +
                       std::string(kTestPageToken) + "')"),
              "false");
}

TEST(PageScriptTransport, FallsBackToTheSecondTransportThenFails) {
    JsContext page;
    page.run("delete window.webkit; var cef = []; var log = []");
    page.run(pageScriptText(testToken()));
    page.run("vexa.invoke('app.one').catch(e => log.push(e.message))");
    EXPECT_EQ(page.run("log.join()"), "kelvo bridge transport is unavailable");
    page.run("window.kelvoCefBridge = {postMessage: m => cef.push(m)}; vexa.invoke('app.two')");
    EXPECT_EQ(page.run("cef.join()"), std::string(kTestPageToken) + R"({"id":"2","command":"app.two","payload":null})");
}

TEST_F(PageScript, EventsReachListenersInOrderAndTheDomEvent) {
    page.run(R"JS(
var calls = [];
const first = d => calls.push("first " + d.n);
const removeFirst = vexa.on("resize", first);
vexa.on("resize", d => { calls.push("second"); vexa.on("resize", () => calls.push("added later")); vexa.off("resize", third); });
const third = () => calls.push("third");
vexa.on("resize", third);
vexa.on("other", first);
)JS");
    page.run(R"(window.vexa&&window.vexa._emit("resize",{"n":1});)");
    EXPECT_EQ(page.run("calls.join('; ')"), "first 1; second; third");
    EXPECT_EQ(page.run("dispatched.map(e => e.type + ' ' + JSON.stringify(e.detail)).join()"),
              "kelvo:resize {\"n\":1}");
    page.run("calls = []; removeFirst(); vexa._emit('resize', {n: 2}); vexa._emit('other', {n: 3})");
    EXPECT_EQ(page.run("calls.join('; ')"), "second; added later; first 3");
    page.run("vexa._emit('quiet', null)");
    EXPECT_EQ(page.run("dispatched[dispatched.length - 1].type"), "kelvo:quiet");
}

TEST_F(PageScript, AThrowingListenerSilencesNeitherTheOthersNorTheDomEvent) {
    page.run(
        "var calls = []; vexa.on('drop:files', () => { throw new Error('listener broke'); }); "
        "vexa.on('drop:files', d => calls.push(d.paths[0]))");
    page.run(R"(window.vexa&&window.vexa._emit("drop:files",{"paths":["/a.vrs"]});)");
    EXPECT_EQ(page.run("calls.join()"), "/a.vrs");
    EXPECT_EQ(page.run("dispatched.length"), "1");
    EXPECT_EQ(page.run("reported.length"), "0");
    page.run("runMicrotasks()");
    EXPECT_EQ(page.run("reported.join()"), "listener broke");
}

TEST_F(PageScript, HandlesCarryTheResultAndAddressTheirView) {
    page.run(
        "var handles = {}; vexa.webviews.create({label: 'side', url: 'vexa://app/s.html', width: 1, height: 1})"
        ".then(h => handles.web = h); vexa.views.create({label: 'ok', kind: 'button'}).then(h => handles.view = h)");
    reply(R"({"id":"1","ok":true,"result":{"label":"side","windowId":2,"url":"vexa://app/s.html"}})");
    reply(R"({"id":"2","ok":true,"result":{"label":"ok","windowId":2,"kind":"button"}})");
    EXPECT_EQ(page.run("Object.isFrozen(handles.web) && Object.isFrozen(handles.view) && handles.web.url"),
              "vexa://app/s.html");
    page.run(
        "handles.web.navigate('vexa://app/t.html'); handles.web.setZoom(2); handles.web.close(); "
        "handles.view.update({label: 'other', windowId: 9, text: 'Done'}); handles.view.setVisible(false); "
        "handles.view.focus()");
    std::vector<std::string> sent = requests();
    ASSERT_EQ(sent.size(), 8u);
    EXPECT_EQ(
        sent[2],
        R"({"id":"3","command":"kelvo.webview.navigate","payload":{"label":"side","windowId":2,"url":"vexa://app/t.html"}})");
    EXPECT_EQ(sent[3],
              R"({"id":"4","command":"kelvo.webview.setZoom","payload":{"label":"side","windowId":2,"zoom":2}})");
    EXPECT_EQ(sent[4], R"({"id":"5","command":"kelvo.webview.close","payload":{"label":"side","windowId":2}})");
    EXPECT_EQ(sent[5],
              R"({"id":"6","command":"kelvo.view.update","payload":{"label":"ok","windowId":2,"text":"Done"}})");
    EXPECT_EQ(sent[6],
              R"({"id":"7","command":"kelvo.view.setVisible","payload":{"label":"ok","windowId":2,"visible":false}})");
    EXPECT_EQ(sent[7], R"({"id":"8","command":"kelvo.view.focus","payload":{"label":"ok","windowId":2}})");
}

TEST_F(PageScript, EventScriptsDeliverEscapedNamesAndRepairedDetails) {
    page.run("var got = []; vexa.on('say \"hi\" \\\\ there', d => got.push(d))");
    std::array<char, 256> buffer;
    Result<std::string_view> script = writeEmitScript(buffer, "say \"hi\" \\ there", "[\"caf\xC3\"]");
    ASSERT_TRUE(script.has_value());
    page.run(*script);
    EXPECT_EQ(page.run("got.length + ' ' + got[0][0].length + ' ' + got[0][0].charCodeAt(3).toString(16)"), "1 4 fffd");
}

}  // namespace
}  // namespace kelvo
