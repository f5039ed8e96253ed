// The system services of the host on the headless backend: clipboard, dialogs, credentials and
// the desktop's services, with their answers and the encodings of answers too large for the
// caller's buffer.

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <sstream>
#include <string>

#include "platform/macos/host_harness.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

using testing::HostHarness;
using Answer = standin::HeadlessServices::DialogAnswer;
using Read = std::pair<std::uint64_t, std::string>;

class HostServices : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(h.create(), nullptr); }

    standin::HeadlessServices& services() { return h.platform.services(); }
    std::string lastLog() { return h.platform.log().back(); }

    std::int32_t writeData(std::string_view mime, std::string_view data) {
        return kelvo_appkit_clipboard_write_data(h.host, mime.data(), mime.size(),
                                                 reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
    }
    // The length answered and what the buffer holds afterwards (it starts filled with '#').
    std::pair<std::uint64_t, std::string> readData(std::string_view mime, std::size_t capacity) {
        std::string buffer(capacity, '#');
        std::uint64_t length = kelvo_appkit_clipboard_read_data(
            h.host, mime.data(), mime.size(), reinterpret_cast<std::uint8_t*>(buffer.data()), buffer.size());
        return {length, buffer};
    }

    HostHarness h;
};

TEST_F(HostServices, ClipboardMapsMimeTypesAndAnswersFullLengths) {
    using standin::ClipboardType;
    ASSERT_EQ(writeData("TEXT/HTML", "<b>é</b>"), 1);
    EXPECT_EQ(services().clipboard.at(ClipboardType::html), "<b>é</b>");
    EXPECT_EQ(readData("text/html", 9), Read(9, "<b>é</b>"));
    // One byte short: the full length, nothing copied.
    EXPECT_EQ(readData("Text/Html", 8), Read(9, "########"));
    EXPECT_EQ(kelvo_appkit_clipboard_read_data(h.host, "text/html", 9, nullptr, 64), 0u);
    EXPECT_EQ(readData("text/plain", 16).first, 0u);  // no text item

    EXPECT_EQ(writeData("image/png", "x"), 0);
    EXPECT_EQ(readData("image/png", 16).first, 0u);
    EXPECT_EQ(kelvo_appkit_clipboard_write_data(h.host, "text", 4, nullptr, 3), 0);

    // A write replaces every item; "text" is plain text; RTF is raw bytes, UTF-8 or not.
    ASSERT_EQ(writeData("text", "plain"), 1);
    EXPECT_EQ(services().clipboard.size(), 1u);
    std::array<char, 8> text{};
    EXPECT_EQ(kelvo_appkit_clipboard_read(h.host, text.data(), text.size()), 5u);
    EXPECT_EQ(std::string(text.data(), 5), "plain");
    ASSERT_EQ(writeData("application/rtf", "{\\rtf1 \xff}"), 1);
    EXPECT_EQ(readData("text/rtf", 16).first, 9u);

    // Text that is not UTF-8 is refused and the clipboard keeps what it held.
    EXPECT_EQ(writeData("text/plain", "bad \xc3("), 0);
    EXPECT_EQ(kelvo_appkit_clipboard_write(h.host, "\xe2\x82", 2), 0);
    EXPECT_EQ(services().clipboard.at(ClipboardType::rtf), "{\\rtf1 \xff}");
    services().clipboardRefusesWrites = true;
    EXPECT_EQ(kelvo_appkit_clipboard_write(h.host, "fine", 4), 0);
}

TEST_F(HostServices, OpenDialogJoinsPathsAndStopsAtTheFirstThatDoesNotFit) {
    const std::string ext = " png ; ;JPG\t;a/b;";
    KelvoOpenDialogOptions options{"Open", 4, "/home", 5, ext.data(), ext.size(), 0, 1};
    std::array<char, 64> buffer{};
    KelvoOpenDialogResult none = kelvo_appkit_show_open_dialog(h.host, &options, buffer.data(), buffer.size());
    EXPECT_EQ(none.count, 0u);
    EXPECT_EQ(none.length, 0u);
    EXPECT_EQ(lastLog(), "dialog.open title=Open folder=/home extensions=png;JPG directories=0 multiple=1");

    // Paths holding a line feed are left out whole; a name that is not UTF-8 keeps its bytes.
    services().dialogAnswers.push_back(Answer{{"/a/one", "/a/new\nline", "/a/\xff", "/a/two", "/a/three"}});
    KelvoOpenDialogResult four = kelvo_appkit_show_open_dialog(h.host, &options, buffer.data(), buffer.size());
    EXPECT_EQ(four.count, 4u);
    EXPECT_EQ(std::string(buffer.data(), four.length), "/a/one\n/a/\xff\n/a/two\n/a/three");

    // 13 bytes hold "/a/one\n/a/two"; the third path does not fit.
    buffer.fill('#');
    services().dialogAnswers.push_back(Answer{{"/a/one", "/a/two", "/a/three"}});
    KelvoOpenDialogResult cut = kelvo_appkit_show_open_dialog(h.host, &options, buffer.data(), 13);
    EXPECT_EQ(cut.count, 2u);
    EXPECT_EQ(cut.length, 14u);
    EXPECT_EQ(std::string(buffer.data(), 14), "/a/one\n/a/two#");
    services().dialogAnswers.push_back(Answer{{"/a/one"}});
    KelvoOpenDialogResult nothing = kelvo_appkit_show_open_dialog(h.host, &options, nullptr, 64);
    EXPECT_EQ(nothing.count, 0u);
    EXPECT_EQ(nothing.length, 1u);

    // A list of nothing but separators and blanks admits every file.
    options.extensions = " ; \t;";
    options.extensionsLength = 5;
    options.allowDirectories = 1;
    (void)kelvo_appkit_show_open_dialog(h.host, &options, buffer.data(), buffer.size());
    EXPECT_EQ(lastLog(), "dialog.open title=Open folder=/home extensions= directories=1 multiple=1");

    // Such a dialog offers the application's document types; one that names its own does not.
    standin::StandIn& backend = *standin::installedStandIn();
    backend.dialogs.setDocumentTypes(backend.self, {{"Docs", {"vrs"}}, {"Readable", {"vrs", "txt"}}});
    (void)kelvo_appkit_show_open_dialog(h.host, &options, buffer.data(), buffer.size());
    EXPECT_EQ(
        lastLog(),
        "dialog.open title=Open folder=/home extensions= directories=1 multiple=1 types=Docs:vrs|Readable:vrs;txt");
    options.extensions = "png";
    options.extensionsLength = 3;
    (void)kelvo_appkit_show_open_dialog(h.host, &options, buffer.data(), buffer.size());
    EXPECT_EQ(lastLog(), "dialog.open title=Open folder=/home extensions=png directories=1 multiple=1");
}

TEST_F(HostServices, SaveDialogAnswersTheLengthOrPastTheCapacity) {
    KelvoSaveDialogOptions options{"Save", 4, "/docs", 5, "Untitled.vrs", 12, "vrs", 3};
    std::array<char, 32> buffer{};
    EXPECT_EQ(kelvo_appkit_show_save_dialog(h.host, &options, buffer.data(), buffer.size()), 0u);
    EXPECT_EQ(lastLog(), "dialog.save title=Save folder=/docs name=Untitled.vrs extensions=vrs");

    services().dialogAnswers.push_back(Answer{{"/docs/a.vrs"}});
    EXPECT_EQ(kelvo_appkit_show_save_dialog(h.host, &options, buffer.data(), buffer.size()), 11u);
    EXPECT_EQ(std::string(buffer.data(), 11), "/docs/a.vrs");
    buffer.fill('#');
    services().dialogAnswers.push_back(Answer{{"/docs/a.vrs"}});
    EXPECT_EQ(kelvo_appkit_show_save_dialog(h.host, &options, buffer.data(), 10), 11u);
    EXPECT_EQ(buffer[0], '#');
    // A name that is not UTF-8 keeps its bytes.
    services().dialogAnswers.push_back(Answer{{"/docs/\xfe.vrs"}});
    EXPECT_EQ(kelvo_appkit_show_save_dialog(h.host, &options, buffer.data(), buffer.size()), 11u);
    EXPECT_EQ(std::string(buffer.data(), 11), "/docs/\xfe.vrs");
    // So do the folder and the name it starts with; the title must be UTF-8.
    KelvoSaveDialogOptions bytes{"\xe9", 1, "/d\xe9", 3, "caf\xe9.vrs", 8, "vrs", 3};
    (void)kelvo_appkit_show_save_dialog(h.host, &bytes, buffer.data(), buffer.size());
    EXPECT_EQ(lastLog(), "dialog.save title= folder=/d\xe9 name=caf\xe9.vrs extensions=vrs");
    KelvoOpenDialogOptions open{"", 0, "/d\xe9", 3, "", 0, 0, 0};
    (void)kelvo_appkit_show_open_dialog(h.host, &open, buffer.data(), buffer.size());
    EXPECT_EQ(lastLog(), "dialog.open title= folder=/d\xe9 extensions= directories=0 multiple=0");
}

KelvoMessageDialogRecord messageRecord(std::int32_t style, std::array<std::string_view, 6> texts) {
    KelvoMessageDialogRecord record;
    record.style = style;
    for (std::size_t i = 0; i < texts.size(); ++i) record.texts[i] = {texts[i].data(), texts[i].size()};
    return record;
}

TEST_F(HostServices, MessageDialogButtonsAnswerTheirPlaces) {
    // No buttons: one "OK", which answers 0; only a title: the title is the message.
    KelvoMessageDialogRecord bare = messageRecord(0, {"Saved", "", "", "", "", ""});
    services().dialogAnswers.push_back(Answer{{}, 0});
    EXPECT_EQ(kelvo_appkit_show_message_dialog(h.host, &bare), 0);
    EXPECT_EQ(lastLog(), "dialog.alert style=informational title= message=Saved informative= buttons=OK");

    KelvoMessageDialogRecord three = messageRecord(2, {"Title", "Replace?", "It exists.", "Replace", "Keep", "Both"});
    for (int pressed : {0, 1, 2, -1}) {
        services().dialogAnswers.push_back(Answer{{}, pressed});
        EXPECT_EQ(kelvo_appkit_show_message_dialog(h.host, &three), pressed < 0 ? 2 : pressed);
    }
    EXPECT_EQ(lastLog(),
              "dialog.alert style=critical title=Title message=Replace? informative=It exists. "
              "buttons=Replace|Keep|Both");

    // A third button shown without a second one still answers for the third place.
    KelvoMessageDialogRecord gap = messageRecord(1, {"", "Go?", "", "Yes", "", "Later"});
    services().dialogAnswers.push_back(Answer{{}, 1});
    EXPECT_EQ(kelvo_appkit_show_message_dialog(h.host, &gap), 2);
    EXPECT_EQ(lastLog(), "dialog.alert style=warning title= message=Go? informative= buttons=Yes|Later");
}

struct Credential {
    HostHarness& h;
    std::int32_t set(std::string_view service, std::string_view account, std::string_view secret) {
        return kelvo_appkit_set_credential(h.host, service.data(), service.size(), account.data(), account.size(),
                                           reinterpret_cast<const std::uint8_t*>(secret.data()), secret.size());
    }
    std::pair<std::uint64_t, std::string> get(std::string_view service, std::string_view account,
                                              std::size_t capacity = 64) {
        std::string buffer(capacity, '#');
        std::uint64_t length =
            kelvo_appkit_get_credential(h.host, service.data(), service.size(), account.data(), account.size(),
                                        reinterpret_cast<std::uint8_t*>(buffer.data()), buffer.size());
        return {length, buffer.substr(0, std::min<std::size_t>(length, capacity))};
    }
    std::int32_t remove(std::string_view service, std::string_view account) {
        return kelvo_appkit_delete_credential(h.host, service.data(), service.size(), account.data(), account.size());
    }
};

TEST_F(HostServices, CredentialsAreUpdatedOrAddedUnderThisApplication) {
    Credential c{h};
    using namespace std::string_literals;
    ASSERT_EQ(c.set("sync", "bob", "s1"), 1);
    ASSERT_EQ(c.set("sync", "bob", "second\0secret"s), 1);
    EXPECT_EQ(services().keyring.size(), 1u);
    EXPECT_EQ(c.get("sync", "bob"), Read(13, "second\0secret"s));
    EXPECT_EQ(c.get("sync", "bob", 12), Read(13, std::string(12, '#')));
    EXPECT_EQ(c.get("sync", "alice").first, 0u);

    // Names of any length; never an empty one or one holding NUL; never an empty secret.
    const std::string name128(128, 's');
    const std::string name129(129, 's');
    EXPECT_EQ(c.set(name128, name129, "x"), 1);
    EXPECT_EQ(c.get(name128, name129).first, 1u);
    for (const auto& [service, account] : std::vector<std::pair<std::string, std::string>>{
             {"", "bob"}, {"sync", ""}, {"sy\0nc"s, "bob"}, {"sync", "b\0b"s}}) {
        EXPECT_EQ(c.set(service, account, "x"), 0) << service << "/" << account;
        EXPECT_EQ(c.get(service, account).first, 0u);
        EXPECT_EQ(c.remove(service, account), 0);
    }
    EXPECT_EQ(c.set("sync", "bob", ""), 0);

    // Another application's item of the same names is neither read nor deleted.
    services().keyring[{"org.example.other", "mail", "bob"}] = "theirs";
    EXPECT_EQ(c.get("mail", "bob").first, 0u);
    EXPECT_EQ(c.remove("mail", "bob"), 0);
    EXPECT_EQ(services().keyring.count({"org.example.other", "mail", "bob"}), 1u);

    EXPECT_EQ(c.remove("sync", "bob"), 1);
    EXPECT_EQ(c.remove("sync", "bob"), 0);
    services().keyringFails = true;
    EXPECT_EQ(c.set("sync", "bob", "x"), 0);
}

TEST_F(HostServices, DesktopServicesCheckWhatTheyAreGiven) {
    EXPECT_EQ(kelvo_appkit_show_notification(h.host, "", 0, "sub", 3, "body", 4), 0);
    EXPECT_EQ(kelvo_appkit_show_notification(h.host, "Done", 4, nullptr, 0, "All saved", 9), 1);
    EXPECT_EQ(lastLog(), "workspace.notify title=Done subtitle= body=All saved");
    h.platform.answers().notificationsShow = false;  // no notification service
    EXPECT_EQ(kelvo_appkit_show_notification(h.host, "Done", 4, nullptr, 0, nullptr, 0), 0);

    for (std::string_view url : {"", "example.com", "1http://x", "ht tp://x", "https://a b", ":x", "mailto:\x7f"}) {
        h.platform.clearLog();
        EXPECT_EQ(kelvo_appkit_open_external_url(h.host, url.data(), url.size()), 0) << url;
        EXPECT_EQ(h.platform.logCount("workspace.open"), 0u);
    }
    EXPECT_EQ(kelvo_appkit_open_external_url(h.host, "mailto:a@b.example", 18), 1);
    h.platform.answers().urlsOpen = false;
    EXPECT_EQ(kelvo_appkit_open_external_url(h.host, "https://b.example/", 18), 0);
    EXPECT_EQ(lastLog(), "workspace.open https://b.example/");

    using namespace std::string_literals;
    for (const std::string& path : {""s, "/tmp/a\0b"s}) {
        EXPECT_EQ(kelvo_appkit_reveal_path(h.host, path.data(), path.size()), 0);
        EXPECT_EQ(kelvo_appkit_add_recent_document(h.host, path.data(), path.size()), 0);
    }
    EXPECT_EQ(kelvo_appkit_reveal_path(h.host, "/no/such/file", 13), 1);
    services().revealWorks = false;
    EXPECT_EQ(kelvo_appkit_reveal_path(h.host, "/no/such/file", 13), 0);
    EXPECT_EQ(kelvo_appkit_add_recent_document(h.host, "/d/a.vrs", 8), 1);
    EXPECT_EQ(services().recentDocuments, std::vector<std::string>{"/d/a.vrs"});
    EXPECT_EQ(kelvo_appkit_clear_recent_documents(h.host), 1);
    EXPECT_TRUE(services().recentDocuments.empty());
}

// The clipboard's deferred text reads, each row of tests/data/platform/headless_clipboard_reads.txt
// on a backend of its own.
TEST(HeadlessClipboard, DeferredReadsEndOnTheLoopAsTheNewestRead) {
    constexpr const char* kEnds[] = {"text", "too_large", "no_answer", "failed", "too_slow"};
    const std::vector<std::string> lines = testing::readLines("platform/headless_clipboard_reads.txt");
    ASSERT_FALSE(lines.empty());
    for (const std::string& line : lines) {
        std::vector<std::string> cells;
        std::istringstream split(line);
        for (std::string cell; std::getline(split, cell, '|');) {
            const std::size_t first = cell.find_first_not_of(' ');
            cells.push_back(cell.substr(first, cell.find_last_not_of(' ') + 1 - first));
        }
        ASSERT_EQ(cells.size(), 4u) << line;
        standin::HeadlessStandIn platform;
        standin::StandIn& backend = platform.record();
        if (cells[0] == "-") {
            backend.clipboard.write(backend.self, standin::ClipboardType::html, "<b>html</b>");
        } else {
            backend.clipboard.write(backend.self, standin::ClipboardType::plain_text,
                                    testing::unescapedCell(cells[0].substr(1, cells[0].size() - 2)));
        }
        for (int end = 0; end < static_cast<int>(std::size(kEnds)); ++end) {
            if (cells[1] == kEnds[end]) platform.services().clipboardReadEnd = standin::ClipboardReadEnd(end);
        }
        std::string heard;
        bool inside = false;
        int begun = 0;
        std::istringstream acts(cells[2]);
        for (std::string act; acts >> act;) {
            if (act.starts_with("read:")) {
                const int number = ++begun;
                inside = true;
                backend.clipboard.readTextLater(
                    backend.self, std::stoull(act.substr(5)), [&, number](standin::ClipboardRead read) {
                        EXPECT_FALSE(inside) << line;
                        const auto held = platform.services().clipboard.find(standin::ClipboardType::plain_text);
                        const bool whole =
                            read.end != standin::ClipboardReadEnd::text ||
                            read.bytes == (held == platform.services().clipboard.end() ? "" : held->second);
                        heard += (heard.empty() ? "" : " ") + std::to_string(number) + ":" +
                                 kEnds[static_cast<int>(read.end)] + (whole ? "" : " (other text: " + read.bytes + ")");
                    });
                inside = false;
            } else if (act == "cancel") {
                backend.clipboard.cancelTextRead(backend.self);
            } else if (act == "write") {
                backend.clipboard.write(backend.self, standin::ClipboardType::plain_text, "newer");
            } else {
                backend.loop.run(backend.self);
            }
        }
        EXPECT_EQ(heard.empty() ? "-" : heard, cells[3]) << line;
    }
}

}  // namespace
}  // namespace kelvo
