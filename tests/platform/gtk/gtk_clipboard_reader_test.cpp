// The GTK backend's clipboard reads against owners of every kind (label "gtk"), one row of
// tests/data/platform/clipboard_owners.txt after the other: this process's GTK offering text, no
// owner, xclip, and another program on an X connection of the test's own that answers as the row
// tells it, or never reads what it is asked. That program is served by the main loop the reader
// runs on, so a read that waited in a call would never be answered; like many programs, it serves
// one transfer at a time, and never serves again once a reader's window went in the middle of one.
// After the read, another program (xclip) may read the clipboard too. The display has one
// clipboard: the tests run alone. Beside the reads, the claims of the clipboard that copies make.

#include <fcntl.h>
#include <glib-unix.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/standin/gtk/gtk.hpp"
#include "support/golden.hpp"

// After the names its macros (None, Status, ...) would replace.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace kelvo {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using standin::ClipboardRead;

standin::StandIn& gtk() { return standin::gtkStandIn(); }

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KELVO_TEST_INSTRUMENTED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(KELVO_TEST_INSTRUMENTED)
#include <sanitizer/allocator_interface.h>
constexpr bool kInstrumented = true;
#else
constexpr bool kInstrumented = false;
#endif

// A quoted text cell, \xHH for a byte, "*N" after it for N times.
std::string textCell(const std::string& cell) {
    const std::size_t open = cell.find('"');
    const std::size_t close = cell.rfind('"');
    if (open == std::string::npos || close == open) return {};
    const std::string once = testing::unescapedCell(cell.substr(open + 1, close - open - 1));
    const std::size_t star = cell.find('*', close);
    std::string text;
    for (int i = star == std::string::npos ? 1 : std::stoi(cell.substr(star + 1)); i > 0; --i) text += once;
    return text;
}

struct Row {
    std::string line;
    std::vector<std::string> cells;   // read, owner, offers, answer, limit, end, text, asked, then
    std::vector<std::string> answer;  // the answer's words before its text
    bool later() const {
        return cells[0] == "later" || cells[0] == "replaced" || cells[0] == "renewed" || cells[0] == "cancelled" ||
               cells[0] == "crowded" || cells[0] == "finished";
    }
    // The option `name=` among the answer's words; 0 without it.
    int option(const std::string& name) const {
        for (const std::string& word : answer) {
            if (word.starts_with(name + "=")) return std::stoi(word.substr(name.size() + 1));
        }
        return 0;
    }
};

Row rowOf(const std::string& line) {
    Row row{line, {}, {}};
    std::istringstream cells(line);
    for (std::string cell; std::getline(cells, cell, '|');) {
        const std::size_t first = cell.find_first_not_of(' ');
        row.cells.push_back(cell.substr(first, cell.find_last_not_of(' ') + 1 - first));
    }
    std::istringstream words(row.cells.at(3).substr(0, row.cells[3].find('"')));
    for (std::string word; words >> word;) row.answer.push_back(word);
    return row;
}

// Until `done` or the time is up, running the main loop; whether `done`.
template <typename Done>
bool pumpUntil(Done done, Clock::duration limit) {
    for (const Clock::time_point end = Clock::now() + limit; !done();) {
        if (Clock::now() > end) return false;
        g_main_context_iteration(nullptr, FALSE);
        g_usleep(1'000);
    }
    return true;
}

// How long a wait of the reader lasted, as the table tells it: "0" for at once (under 3 s), "5" for
// the answer wait, the whole seconds otherwise.
std::string waitOf(Clock::duration took) {
    const double seconds = std::chrono::duration<double>(took).count();
    return seconds < 3 ? "0" : seconds > 4.5 && seconds < 15 ? "5" : std::to_string(static_cast<int>(seconds));
}

// Another program holding the clipboard, answering from the main loop as the row tells it.
class Owner {
public:
    explicit Owner(const Row& row) : row_(row), display_(XOpenDisplay(nullptr)) {
        XSetSelectionOwner(display_, atom("CLIPBOARD"),
                           XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 1, 1, 0, 0, 0),
                           CurrentTime);
        XSync(display_, False);
        if (row.cells[1] == "xlib") watch_ = g_unix_fd_add(ConnectionNumber(display_), G_IO_IN, serve, this);
        // "T": offered; "!T": offered, refused when asked; "T:TYPE": answered as TYPE.
        std::istringstream offered(row_.cells[2]);
        for (std::string word; offered >> word;) {
            const bool refuses = word.starts_with("!");
            const std::size_t as = word.find(':');
            const std::string target =
                word.substr(refuses ? 1 : 0, as == std::string::npos ? as : as - (refuses ? 1 : 0));
            targets_.push_back(atom(target));
            if (refuses) refused_.push_back(targets_.back());
            if (as != std::string::npos) answeredAs_[targets_.back()] = atom(word.substr(as + 1));
        }
    }
    ~Owner() {
        if (flooder_ > 0) {
            ::kill(flooder_, SIGKILL);
            ::waitpid(flooder_, nullptr, 0);
        }
        if (watch_ != 0) g_source_remove(watch_);
        if (timer_ != 0) g_source_remove(timer_);
        if (lateTimer_ != 0) g_source_remove(lateTimer_);
        XCloseDisplay(display_);
    }

    // The targets asked, the pieces sent ("*" for any number when `expected` says so), "gone=W"
    // when a requestor's window went before its transfer ended, W (waitOf) after the owner last sent
    // to it, and, when `expected` asks, "went=W,W,..." for the windows of requests it never
    // answered, in order, how long after the request each went ("-": not yet); waiting up to
    // `patience` for `expected` while the main loop runs, since the reader may let a transfer it
    // gave up finish meanwhile.
    std::string asked(const std::string& expected, std::chrono::seconds patience = std::chrono::seconds(40)) {
        const bool anyPieces = expected.find("pieces=*") != std::string::npos;
        const auto now = [&] {
            const std::string pieces = anyPieces ? "*" : std::to_string(pieces_);
            std::string went;
            for (const auto& [window, asked, gone] : unanswered_) {
                went += (went.empty() ? " went=" : ",") + (gone ? waitOf(*gone - asked) : "-");
            }
            return asked_ + (pieces_ > 0 ? " pieces=" + pieces : "") + gone_ +
                   (expected.find("went=") != std::string::npos ? went : "");
        };
        pumpUntil(
            [&] {
                XSync(display_, False);
                serve(0, G_IO_IN, this);
                return now() == expected;
            },
            patience);
        return now();
    }

private:
    Atom atom(const std::string& name) { return XInternAtom(display_, name.c_str(), False); }

    static gboolean serve(gint, GIOCondition, gpointer data) {
        auto& owner = *static_cast<Owner*>(data);
        while (XPending(owner.display_) > 0) {
            XEvent event;
            XNextEvent(owner.display_, &event);
            if (event.type == SelectionRequest) {
                char* name = XGetAtomName(owner.display_, event.xselectionrequest.target);
                owner.asked_ += (owner.asked_.empty() ? "" : " ") + std::string(name);
                XFree(name);
                owner.waiting_.push_back(event.xselectionrequest);
                owner.answerWaiting();
            }
            for (auto& [window, asked, gone] : owner.unanswered_) {
                if (event.type == DestroyNotify && event.xany.window == window && !gone) gone = Clock::now();
            }
            if (event.xany.window != owner.requestor_ || owner.requestor_ == None) continue;
            if (event.type == DestroyNotify) owner.gone_ = " gone=" + waitOf(Clock::now() - owner.sentLast_);
            if (event.type == PropertyNotify && event.xproperty.state == PropertyDelete) owner.nextPiece();
        }
        return G_SOURCE_CONTINUE;
    }

    void set(Window window, Atom property, Atom type, int format, const void* data, std::size_t items) {
        XChangeProperty(display_, window, property, type, format, PropModeReplace,
                        static_cast<const unsigned char*>(data), static_cast<int>(items));
    }

    // The requests that came while a transfer went on, or while a late answer waits, wait for its
    // end.
    void answerWaiting() {
        while (requestor_ == None && lateTimer_ == 0 && !waiting_.empty()) {
            late_ = waiting_.front();
            waiting_.pop_front();
            if (row_.option("late") == 0 || late_.target == atom("TARGETS")) {
                answer(late_);
                continue;
            }
            lateTimer_ = g_timeout_add(
                static_cast<guint>(row_.option("late")),
                [](gpointer data) {
                    auto& owner = *static_cast<Owner*>(data);
                    owner.lateTimer_ = 0;
                    owner.answer(owner.late_);
                    owner.answerWaiting();
                    // Xlib may have queued events while it flushed the answer.
                    serve(0, G_IO_IN, &owner);
                    return G_SOURCE_REMOVE;
                },
                this);
        }
    }

    // A request never answered: when its requestor's window goes is noted.
    void leaveUnanswered(const XSelectionRequestEvent& request) {
        unanswered_.push_back({request.requestor, Clock::now(), std::nullopt});
        XSelectInput(display_, request.requestor, StructureNotifyMask);
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display_, request.requestor, &attributes) == 0) unanswered_.back().gone = Clock::now();
    }

    void answer(const XSelectionRequestEvent& request) {
        const bool offers = std::find(targets_.begin(), targets_.end(), request.target) != targets_.end();
        const bool targets = request.target == atom("TARGETS");
        const std::string& mode = row_.answer.at(0);
        const auto as = answeredAs_.find(request.target);
        std::string text = textCell(row_.cells[3]);
        Atom property = request.property;
        if ((targets && row_.cells[2].find("unanswered") != std::string::npos) || (!targets && mode == "never")) {
            leaveUnanswered(request);
            return;
        }
        if (targets && row_.cells[2].find("malformed") != std::string::npos) {
            set(request.requestor, property, XA_ATOM, 8, "abc", 3);
        } else if (targets && row_.cells[2].find("refused") == std::string::npos) {
            std::vector<Atom> list{atom("TARGETS")};
            list.insert(list.end(), targets_.begin(), targets_.end());
            set(request.requestor, property, XA_ATOM, 32, list.data(), list.size());
        } else if (!offers || mode == "refused" ||
                   std::find(refused_.begin(), refused_.end(), request.target) != refused_.end()) {
            property = None;
        } else if (mode == "incr-format-8") {
            set(request.requestor, property, atom("INCR"), 8, "abc", 3);
        } else if (mode == "incr") {
            const bool told = row_.answer.at(1) != "-";
            const long atLeast = told ? std::stol(row_.answer.at(1)) : 0;
            requestor_ = request.requestor;
            ++transfers_;
            property_ = property;
            type_ = as != answeredAs_.end() ? as->second : atom(row_.answer.at(2));
            text_ = std::move(text);
            sent_ = 0;
            sentLast_ = Clock::now();
            XSelectInput(display_, requestor_, PropertyChangeMask | StructureNotifyMask);
            set(requestor_, property, atom("INCR"), 32, &atLeast, told ? 1 : 0);
        } else if (mode == "COMPOUND_TEXT") {
            char* list[] = {text.data()};
            XTextProperty compound{};
            Xutf8TextListToTextProperty(display_, list, 1, XCompoundTextStyle, &compound);
            set(request.requestor, property, compound.encoding, 8, compound.value, compound.nitems);
            XFree(compound.value);
        } else if (mode != "missing") {
            set(request.requestor, property, as != answeredAs_.end() ? as->second : atom(mode), 8, text.data(),
                text.size());
        }
        XEvent notify{};
        notify.xselection = {SelectionNotify, 0,        True,        display_, request.requestor, request.selection,
                             request.target,  property, request.time};
        XSendEvent(display_, request.requestor, False, 0, &notify);
        XFlush(display_);
    }

    // The requestor took the last piece: the next one (empty after the text) comes after the
    // row's delay (in its first transfer: the one the row is about), unless the owner stalls; the
    // transfer ends with the empty one.
    void nextPiece() {
        if (row_.option("flood") > 0) {
            if (flooder_ == 0) flood(requestor_, property_, type_);
            return;
        }
        if (row_.option("stall") > 0 && pieces_ == row_.option("stall")) return;
        timer_ = g_timeout_add(
            static_cast<guint>(transfers_ == 1 ? row_.option("every") : 0),
            [](gpointer data) {
                auto& owner = *static_cast<Owner*>(data);
                const std::size_t piece = owner.row_.option("piece") > 0 ? owner.row_.option("piece") : 65536;
                const std::size_t length = std::min(piece, owner.text_.size() - owner.sent_);
                owner.set(owner.requestor_, owner.property_, owner.type_, 8, owner.text_.data() + owner.sent_, length);
                XFlush(owner.display_);
                owner.sent_ += length;
                owner.sentLast_ = Clock::now();
                owner.pieces_ += length > 0 ? 1 : 0;
                owner.timer_ = 0;
                if (length == 0) {
                    owner.requestor_ = None;
                    owner.answerWaiting();
                }
                // Xlib may have queued events while it waited for the server: the socket tells of
                // them no more.
                serve(0, G_IO_IN, &owner);
                return G_SOURCE_REMOVE;
            },
            this);
    }

    // Another process, on a connection of its own, writes the requestor's property again and again,
    // never waiting for the requestor to delete it, until the window goes (a million times at
    // most: a reader that cannot keep up would hold a queue of events growing fast).
    void flood(Window window, Atom property, Atom type) {
        const int piece = row_.option("flood");
        flooder_ = ::fork();
        if (flooder_ != 0) return;
        Display* display = XOpenDisplay(nullptr);
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        const std::string bytes(static_cast<std::size_t>(piece), 'f');
        for (unsigned long written = 1; display != nullptr && written <= 1'000'000; ++written) {
            XChangeProperty(display, window, property, type, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(bytes.data()), piece);
            XWindowAttributes attributes;
            if (written % 1024 == 0 && XGetWindowAttributes(display, window, &attributes) == 0) break;
        }
        ::_exit(0);
    }

    const Row& row_;
    Display* display_;
    pid_t flooder_ = 0;
    guint watch_ = 0;
    guint timer_ = 0;
    std::vector<Atom> targets_;  // offered, besides TARGETS
    std::vector<Atom> refused_;
    std::map<Atom, Atom> answeredAs_;
    std::string asked_;
    std::deque<XSelectionRequestEvent> waiting_;
    guint lateTimer_ = 0;
    XSelectionRequestEvent late_{};  // the request answered next, or late
    struct Unanswered {
        Window window;
        Clock::time_point asked;
        std::optional<Clock::time_point> gone;
    };
    std::vector<Unanswered> unanswered_;
    // An incremental transfer.
    Window requestor_ = None;
    Atom property_ = None;
    Atom type_ = None;
    std::string text_;
    std::size_t sent_ = 0;
    Clock::time_point sentLast_;
    int pieces_ = 0;
    int transfers_ = 0;
    std::string gone_;
};

// A child process of the test, ended by the record.
class Child {
public:
    // Runs `argv`, its standard input `input` when given, and its output kept.
    Child(std::vector<const char*> argv, const std::optional<std::string>& input) {
        argv.push_back(nullptr);
        gint in = -1;
        const GSpawnFlags flags =
            GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDERR_TO_DEV_NULL);
        if (!g_spawn_async_with_pipes(nullptr, const_cast<gchar**>(argv.data()), nullptr, flags, nullptr, nullptr,
                                      &pid_, input ? &in : nullptr, &out_, nullptr, nullptr)) {
            pid_ = 0;
            ended_ = true;
            return;
        }
        if (input) {
            for (std::size_t at = 0; at < input->size();) {
                const ssize_t wrote = ::write(in, input->data() + at, input->size() - at);
                if (wrote <= 0) break;
                at += static_cast<std::size_t>(wrote);
            }
            ::close(in);
        }
        fcntl(out_, F_SETFL, O_NONBLOCK);
    }
    ~Child() {
        if (out_ >= 0) ::close(out_);
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Takes in what it wrote so far; whether it closed its output.
    bool ended() {
        pollfd ready{out_, POLLIN, 0};
        while (!ended_ && ::poll(&ready, 1, 0) > 0) {
            const ssize_t got = ::read(out_, buffer_.data(), buffer_.size());
            if (got <= 0) ended_ = got == 0 || (errno != EAGAIN && errno != EINTR);
            if (got <= 0) break;
            text_.append(buffer_.data(), static_cast<std::size_t>(got));
        }
        return ended_;
    }

    // All it writes until it closes its output, while the main loop runs (or, as after the
    // process's end, without it); nullopt when that takes longer than `limit`.
    std::optional<std::string> output(std::chrono::seconds limit, bool loop = true) {
        if (loop) {
            pumpUntil([&] { return ended(); }, limit);
        } else {
            for (const Clock::time_point end = Clock::now() + limit; !ended() && Clock::now() < end;) g_usleep(1'000);
        }
        return ended_ ? std::optional(text_) : std::nullopt;
    }

private:
    GPid pid_ = 0;
    gint out_ = -1;
    bool ended_ = false;
    std::string text_;
    std::vector<char> buffer_ = std::vector<char>(65536);
};

// xclip holding the answer's text as the answer's type (its first word), once it owns the
// clipboard.
std::unique_ptr<Child> xclipOwner(const Row& row) {
    Display* display = XOpenDisplay(nullptr);
    const Atom clipboard = XInternAtom(display, "CLIPBOARD", False);
    XSetSelectionOwner(display, clipboard, None, CurrentTime);
    XSync(display, False);
    auto owner = std::make_unique<Child>(
        std::vector<const char*>{"xclip", "-selection", "clipboard", "-quiet", "-t", row.answer.at(0).c_str(), "-i"},
        textCell(row.cells[3]));
    EXPECT_TRUE(pumpUntil([&] { return XGetSelectionOwner(display, clipboard) != None; }, std::chrono::seconds(30)))
        << row.line;
    XCloseDisplay(display);
    return owner;
}

// What another program (xclip) reads from the clipboard once the owner answers it at all: an owner
// that serves one transfer at a time may drop a request that comes while one goes on. None when
// the owner never answers, or the text does not come within a minute.
std::optional<std::string> anotherProgramReads() {
    bool answers = false;
    for (const Clock::time_point end = Clock::now() + 60s; !answers && Clock::now() < end;) {
        answers =
            Child({"xclip", "-selection", "clipboard", "-o", "-t", "TARGETS"}, std::nullopt).output(1s).has_value();
    }
    if (!answers) return std::nullopt;
    return Child({"xclip", "-selection", "clipboard", "-o"}, std::nullopt).output(60s);
}

// What a read made of the clipboard, and how long it took.
struct Outcome {
    std::string end;  // empty while `done` has not run
    std::string text;
    double seconds = 0;
    int ticks = 0;                    // of a 100 ms timer of the loop while the read went on
    bool endedInside = false;         // `done` ran inside the readTextLater call
    int replacedEnds = 0;             // of a read that another replaced
    std::optional<std::string> then;  // what another program read afterwards; none when it got nothing
    double finishing = 0;             // seconds the loop's finish took
};

Outcome readFor(const Row& row) {
    std::optional<Owner> owner;
    std::unique_ptr<Child> xclip;
    if (row.cells[1] == "gtk") {
        EXPECT_TRUE(gtk().clipboard.write(gtk().self, standin::ClipboardType::plain_text, textCell(row.cells[3])));
    } else if (row.cells[1] == "none") {
        Display* display = XOpenDisplay(nullptr);
        XSetSelectionOwner(display, XInternAtom(display, "CLIPBOARD", False), None, CurrentTime);
        XCloseDisplay(display);
    } else if (row.cells[1] == "xclip") {
        xclip = xclipOwner(row);
    } else {
        owner.emplace(row);
    }
    Outcome outcome;
    std::vector<standin::TimerId> timers;
    const auto after = [&](std::chrono::milliseconds wait, standin::Task task) {
        timers.push_back(gtk().loop.startTimer(gtk().self, wait.count() * 1'000'000, false, std::move(task)));
    };
    const auto quit = [] { gtk().loop.quit(gtk().self); };
    timers.push_back(gtk().loop.startTimer(gtk().self, 100'000'000, true, [&] { ++outcome.ticks; }));
    after(row.cells[5] == "-" ? 6500ms : 60s, [&] {
        if (row.cells[5] != "-") ADD_FAILURE() << row.line << ": the read did not end";
        quit();
    });
    const Clock::time_point start = Clock::now();
    const auto ended = [&](ClipboardRead read) {
        constexpr const char* kEnds[] = {"text", "too_large", "no_answer", "failed", "too_slow"};
        outcome.end = kEnds[static_cast<int>(read.end)];
        outcome.text = std::move(read.bytes);
        outcome.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        quit();
    };
    const std::string& kind = row.cells[0];
    bool inside = true;
    const std::uint64_t limit = row.later() ? std::stoull(row.cells[4]) : 0;
    const auto replaced = [&] {
        gtk().clipboard.readTextLater(gtk().self, limit, [&](auto) { ++outcome.replacedEnds; });
    };
    const auto read = [&] {
        gtk().clipboard.readTextLater(gtk().self, limit, [&](ClipboardRead read) {
            outcome.endedInside = inside;
            ended(std::move(read));
        });
        inside = false;
    };
    if (row.later()) {
        if (kind == "replaced") replaced();
        for (int more = 0; kind == "crowded" && more < 9; ++more) replaced();
        if (kind == "renewed") {
            replaced();
            after(500ms, [&] {
                inside = true;
                read();
            });
        } else {
            read();
        }
        if (kind == "cancelled") after(500ms, [] { gtk().clipboard.cancelTextRead(gtk().self); });
        if (kind == "finished") after(500ms, quit);
    } else {
        if (kind == "text-until-sigterm") {
            gtk().loop.watchTerminate(gtk().self, quit);
            after(300ms, [] { kill(getpid(), SIGTERM); });
        }
        gtk().loop.post(gtk().self, [&] {
            const auto type = kind == "html"  ? standin::ClipboardType::html
                              : kind == "rtf" ? standin::ClipboardType::rtf
                                              : standin::ClipboardType::plain_text;
            ended({standin::ClipboardReadEnd::text, gtk().clipboard.read(gtk().self, type)});
        });
    }
    gtk().loop.run(gtk().self);
    gtk().loop.unwatchTerminate(gtk().self);
    for (standin::TimerId timer : timers) gtk().loop.cancelTimer(gtk().self, timer);
    if (kind == "finished") {
        const Clock::time_point ending = Clock::now();
        gtk().loop.finish(gtk().self);
        outcome.finishing = std::chrono::duration<double>(Clock::now() - ending).count();
    }
    if (owner && row.cells[7] != "-") {
        // Once the process's end finished, the owner is done with it without waiting.
        EXPECT_EQ(owner->asked(row.cells[7], kind == "finished" ? 0s : 40s), row.cells[7]) << row.line;
    }
    if (row.cells.at(8) != "-") {
        outcome.then = anotherProgramReads();
    }
    return outcome;
}

TEST(GtkSerialClipboardReader, ReadsEndAsTheOwnerAnswersWhileTheLoopRuns) {
    ASSERT_TRUE(gtk().loop.open(gtk().self, {"kelvo-tests", "Kelvo tests"}));
    const std::vector<std::string> lines = testing::readLines("platform/clipboard_owners.txt");
    ASSERT_FALSE(lines.empty());
    for (const std::string& line : lines) {
        const Row row = rowOf(line);
        // The flooding owner is a fork of this process: instrumented, the fork and the flood's
        // million writes take so long that the rows' times tell nothing of the reader.
        if (kInstrumented && row.option("flood") > 0) continue;
        // A loop that stands still ends the test program rather than hanging it.
        ::alarm(240);
        const Outcome outcome = readFor(row);
        ::alarm(0);
        const std::string expected = textCell(row.cells[6]);
        const std::string& end = row.cells[5];
        // The synchronous read answers the text, or empty for every other end.
        if (row.later()) {
            EXPECT_EQ(outcome.end, end == "-" ? "" : end) << line;
        }
        EXPECT_EQ(outcome.text.size(), expected.size()) << line;
        EXPECT_TRUE(outcome.text == expected) << line << "\nread: " << outcome.text.substr(0, 40);
        EXPECT_FALSE(outcome.endedInside) << line;
        EXPECT_EQ(outcome.replacedEnds, 0) << line;
        if (row.cells[8] != "-") {
            EXPECT_TRUE(outcome.then == textCell(row.cells[8]))
                << line << "\nanother program read: "
                << (outcome.then ? std::to_string(outcome.then->size()) + " bytes, " + outcome.then->substr(0, 40)
                                 : "nothing");
        }
        const double bound = static_cast<double>(standin::kClipboardReadBoundNs) / 1e9;
        if (row.cells[1] == "xclip") std::printf("%.60s: %.2f s\n", line.c_str(), outcome.seconds);
        if (end == "no_answer") {
            EXPECT_GT(outcome.seconds, 4.8) << line;
            EXPECT_LT(outcome.seconds, 8.0) << line;
            EXPECT_GT(outcome.ticks, 20) << line << ": the loop stood still while the read waited";
        } else if (end == "quit") {
            EXPECT_LT(outcome.seconds, 1.5) << line;
            EXPECT_GT(outcome.ticks, 1) << line;
        } else if (end == "too_slow") {
            EXPECT_GT(outcome.seconds, bound - 0.1) << line;
            EXPECT_LT(outcome.seconds, bound + 5) << line;
            EXPECT_GT(outcome.ticks, 10 * bound - 10) << line << ": the loop stood still while the read waited";
        } else if (end != "-" && line.find("every=") == std::string::npos && line.find("late=") == std::string::npos &&
                   row.cells[1] != "xclip") {
            EXPECT_LT(outcome.seconds, 3.0) << line;
        }
        // The end waits for what the owner still sends, for its bound and no longer.
        const double endBound = static_cast<double>(standin::kTransfersEndWaitNs) / 1e9;
        if (row.cells[0] == "finished" && row.cells[7].find("gone") != std::string::npos) {
            EXPECT_GT(outcome.finishing, endBound - 0.1) << line;
            EXPECT_LT(outcome.finishing, endBound + 3) << line;
        } else if (row.cells[0] == "finished") {
            EXPECT_LT(outcome.finishing, endBound) << line;
        }
    }
}

// Another program that reads the clipboard's text in pieces, taking each a moment after the one
// before, into `file` (and "<file>-first" once the first piece came); a fork of this process.
pid_t slowReader(const std::string& file) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) ::_exit(1);
    const Atom property = XInternAtom(display, "SLOW", False);
    XSetWindowAttributes attributes{};
    attributes.event_mask = PropertyChangeMask;
    const Window window = XCreateWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, CopyFromParent, InputOnly,
                                        CopyFromParent, CWEventMask, &attributes);
    XConvertSelection(display, XInternAtom(display, "CLIPBOARD", False), XInternAtom(display, "UTF8_STRING", False),
                      property, window, CurrentTime);
    // Takes the property's value (deleting it); its type in `type`.
    const auto take = [&](Atom& type) {
        int format = 0;
        unsigned long items = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(display, window, property, 0, 1 << 24, True, AnyPropertyType, &type, &format, &items, &after,
                           &data);
        std::string value(reinterpret_cast<const char*>(data), data != nullptr ? items : 0);
        if (data != nullptr) XFree(data);
        return value;
    };
    XEvent event;
    do {
        XNextEvent(display, &event);
    } while (event.type != SelectionNotify);
    Atom type = None;
    std::string text = take(type);
    if (type == XInternAtom(display, "INCR", False)) {
        text.clear();
        for (bool first = true;; first = false) {
            do {
                XNextEvent(display, &event);
            } while (event.type != PropertyNotify || event.xproperty.state != PropertyNewValue);
            const std::string piece = take(type);
            if (piece.empty()) break;
            text += piece;
            if (first) std::ofstream(file + "-first") << "";
            g_usleep(50'000);
        }
    }
    std::ofstream(file, std::ios::binary) << text;
    ::_exit(0);
}

// The display server's time now: that of a change of a property of a window of `display`'s own.
Time serverTime(Display* display, Window window) {
    const Atom stamp = XInternAtom(display, "KELVO_TEST_STAMP", False);
    XSelectInput(display, window, PropertyChangeMask);
    XChangeProperty(display, window, stamp, XA_STRING, 8, PropModeReplace, nullptr, 0);
    XEvent event;
    do {
        XNextEvent(display, &event);
    } while (event.type != PropertyNotify || event.xproperty.atom != stamp);
    return event.xproperty.time;
}

// Claims of the clipboard for a copy whose text comes later, at the moment of a mark, against
// another program on an X connection of the test's own: one that held the clipboard before (the
// loop never saw it take it), one that took it again with the same window, and one that copies
// after the mark. A program that reads the clipboard while the claim waits for its text gets that
// text once it comes, and nothing for a claim given up.
TEST(GtkSerialClipboardClaims, AClaimStandsAgainstEveryCopyBeforeItsMarkAndNoneAfter) {
    ASSERT_TRUE(gtk().loop.open(gtk().self, {"kelvo-tests", "Kelvo tests"}));
    const standin::ClipboardService& clipboard = gtk().clipboard;
    void* self = gtk().self;
    Display* other = XOpenDisplay(nullptr);
    ASSERT_NE(other, nullptr);
    const Atom selection = XInternAtom(other, "CLIPBOARD", False);
    const Window window = XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 1, 1, 0, 0, 0);
    // The display server counts time in milliseconds: each step comes a few of them after the last.
    const auto otherCopies = [&] {
        g_usleep(20'000);
        XSetSelectionOwner(other, selection, window, CurrentTime);
        XSync(other, False);
        g_usleep(20'000);
    };
    const auto text = [&](std::uint64_t claim, const char* bytes) { return clipboard.fillClaim(self, claim, bytes); };

    otherCopies();  // before the mark, never seen by the loop
    std::uint64_t claim = clipboard.claimText(self, serverTime(other, window));
    EXPECT_NE(claim, 0u) << "a copy of another program from before the mark";
    EXPECT_EQ(clipboard.heldTextWrite(self), claim);
    EXPECT_TRUE(text(claim, "first"));
    EXPECT_EQ(Child({"xclip", "-selection", "clipboard", "-o"}, std::nullopt).output(10s), "first");

    otherCopies();  // the same window, twice
    Time mark = serverTime(other, window);
    otherCopies();
    EXPECT_EQ(clipboard.claimText(self, mark), 0u) << "the same program copying again after the mark";
    EXPECT_EQ(XGetSelectionOwner(other, selection), window) << "a refused claim leaves the clipboard as it is";
    claim = clipboard.claimText(self, serverTime(other, window));
    ASSERT_NE(claim, 0u) << "the same program's copy before the mark";
    otherCopies();
    EXPECT_FALSE(text(claim, "late")) << "another program's copy after the claim";
    EXPECT_EQ(clipboard.heldTextWrite(self), 0u);

    // Another part of this process (a GTK field, a web view's own copy) copying after the mark
    // stands as another program's copy does.
    mark = serverTime(other, window);
    g_usleep(20'000);
    gtk_clipboard_set_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD), "a field's copy", -1);
    EXPECT_EQ(clipboard.claimText(self, mark), 0u) << "another part of this process copying after the mark";

    // This process's own copy after the mark is no other program's: the clipboard is still its.
    mark = serverTime(other, window);
    claim = clipboard.claimText(self, serverTime(other, window));
    ASSERT_TRUE(text(claim, "own"));
    claim = clipboard.claimText(self, mark);
    EXPECT_NE(claim, 0u) << "this process's own copy after the mark";

    // Which claim a timer of the loop fills or gives up.
    std::pair<void*, std::uint64_t> filled{self, claim};
    // A reader of the clipboard waits for the claimed text, then takes the clipboard over with it
    // as a clipboard keeper does.
    g_timeout_add(
        300,
        +[](gpointer data) -> gboolean {
            auto* claimed = static_cast<std::pair<void*, std::uint64_t>*>(data);
            gtk().clipboard.fillClaim(claimed->first, claimed->second, "kept");
            return G_SOURCE_REMOVE;
        },
        &filled);
    const std::optional<std::string> kept = Child({"xclip", "-selection", "clipboard", "-o"}, std::nullopt).output(10s);
    EXPECT_EQ(kept, "kept") << "read while the text was on its way";
    Child keeper({"xclip", "-selection", "clipboard", "-quiet", "-i"}, kept.value_or(""));
    EXPECT_TRUE(pumpUntil([&] { return clipboard.heldTextWrite(self) == 0; }, 30s));
    EXPECT_EQ(Child({"xclip", "-selection", "clipboard", "-o"}, std::nullopt).output(10s), "kept");

    // A claim given up answers its waiting reader with nothing, at once.
    claim = clipboard.claimText(self, 0);
    ASSERT_NE(claim, 0u);
    std::pair<void*, std::uint64_t> dropped{self, claim};
    g_timeout_add(
        300,
        +[](gpointer data) -> gboolean {
            auto* claimed = static_cast<std::pair<void*, std::uint64_t>*>(data);
            gtk().clipboard.dropClaim(claimed->first, claimed->second);
            return G_SOURCE_REMOVE;
        },
        &dropped);
    const Clock::time_point asked = Clock::now();
    EXPECT_EQ(Child({"xclip", "-selection", "clipboard", "-o"}, std::nullopt).output(10s), "");
    EXPECT_LT(Clock::now() - asked, 5s);
    EXPECT_FALSE(text(claim, "dropped"));

    // Given up after another program copied, before the loop saw that copy, a claim leaves it.
    claim = clipboard.claimText(self, 0);
    ASSERT_NE(claim, 0u);
    otherCopies();
    clipboard.dropClaim(self, claim);
    XSync(other, False);
    EXPECT_EQ(XGetSelectionOwner(other, selection), window) << "a claim given up wiped a newer copy";

    // Readers that overlap, of a claim whose text never comes: each is refused once it waited for
    // it, the first first.
    claim = clipboard.claimText(self, 0);
    ASSERT_NE(claim, 0u);
    std::vector<std::unique_ptr<Child>> readers;
    std::vector<Clock::time_point> askedAt;
    std::vector<double> waited(3, 0);
    std::vector<int> answered;
    const Clock::time_point first = Clock::now();
    EXPECT_TRUE(pumpUntil(
        [&] {
            if (readers.size() < 3 && Clock::now() >= first + readers.size() * 3s) {
                readers.push_back(std::make_unique<Child>(
                    std::vector<const char*>{"xclip", "-selection", "clipboard", "-o"}, std::nullopt));
                askedAt.push_back(Clock::now());
            }
            for (std::size_t i = 0; i < readers.size(); ++i) {
                if (waited[i] > 0 || !readers[i]->ended()) continue;
                waited[i] = std::chrono::duration<double>(Clock::now() - askedAt[i]).count();
                answered.push_back(static_cast<int>(i));
            }
            return answered.size() == 3;
        },
        60s));
    const double claimWait = static_cast<double>(standin::kClipboardClaimWaitNs) / 1e9;
    for (const double seconds : waited) {
        EXPECT_GT(seconds, claimWait - 0.5);
        EXPECT_LT(seconds, claimWait + 2);
    }
    EXPECT_EQ(answered, (std::vector<int>{0, 1, 2}));
    clipboard.dropClaim(self, claim);

    // A dialog shown while a reader waits for the claimed text runs a loop of its own: that reader,
    // and one that asks while the dialog shows, get the long text as soon as it comes, the dialog
    // still open (it closes once both ended, or after 8 s).
    struct DialogRun {
        std::uint64_t claim = 0;
        std::string text;
        Child* before = nullptr;
        std::optional<Child> meanwhile;
        GtkWidget* dialog = nullptr;
        bool answeredInside = false;
        bool closed = false;
    } run;
    for (int i = 0; run.text.size() < 2u << 20; ++i) run.text += "line " + std::to_string(i) + " of the copy\n";
    run.claim = clipboard.claimText(self, 0);
    ASSERT_NE(run.claim, 0u);
    Child before({"xclip", "-selection", "clipboard", "-o"}, std::nullopt);
    run.before = &before;
    g_timeout_add(
        300,
        +[](gpointer data) -> gboolean {
            auto& shown = *static_cast<DialogRun*>(data);
            shown.dialog = gtk_dialog_new();
            const auto ask = +[](gpointer data) -> gboolean {
                static_cast<DialogRun*>(data)->meanwhile.emplace(
                    std::vector<const char*>{"xclip", "-selection", "clipboard", "-o"}, std::nullopt);
                return G_SOURCE_REMOVE;
            };
            const auto fill = +[](gpointer data) -> gboolean {
                auto& shown = *static_cast<DialogRun*>(data);
                gtk().clipboard.fillClaim(gtk().self, shown.claim, shown.text);
                return G_SOURCE_REMOVE;
            };
            const auto close = +[](gpointer data) -> gboolean {
                auto& shown = *static_cast<DialogRun*>(data);
                shown.answeredInside = shown.before->ended() && shown.meanwhile && shown.meanwhile->ended();
                if (!shown.answeredInside && !shown.closed) return G_SOURCE_CONTINUE;
                gtk_dialog_response(GTK_DIALOG(shown.dialog), GTK_RESPONSE_CLOSE);
                return G_SOURCE_REMOVE;
            };
            const guint asking = g_timeout_add(100, ask, &shown);
            const guint filling = g_timeout_add(600, fill, &shown);
            const guint watching = g_timeout_add(20, close, &shown);
            const guint deadline = g_timeout_add(
                8000,
                +[](gpointer data) -> gboolean {
                    static_cast<DialogRun*>(data)->closed = true;
                    return G_SOURCE_REMOVE;
                },
                &shown);
            gtk_dialog_run(GTK_DIALOG(shown.dialog));
            for (const guint source : {asking, filling, watching, deadline}) {
                if (GSource* left = g_main_context_find_source_by_id(nullptr, source)) g_source_destroy(left);
            }
            gtk_widget_destroy(shown.dialog);
            shown.closed = true;
            return G_SOURCE_REMOVE;
        },
        &run);
    EXPECT_TRUE(pumpUntil([&] { return run.closed; }, 30s));
    EXPECT_TRUE(run.answeredInside) << "a reader was answered only once the dialog closed";
    EXPECT_TRUE(before.output(10s) == run.text);
    EXPECT_TRUE(run.meanwhile && run.meanwhile->output(10s) == run.text);

    // The process's end, which the loop does not outlast: a reader that waits for a claimed text
    // is refused; one in the middle of a long text, which takes each piece a moment after the one
    // before, gets all of it; one that takes no piece holds the end no longer than its bound.
    ASSERT_NE(clipboard.claimText(self, 0), 0u);
    Child refused({"xclip", "-selection", "clipboard", "-o"}, std::nullopt);
    pumpUntil([] { return false; }, 300ms);
    gtk().loop.finish(self);
    EXPECT_EQ(refused.output(5s, false), "") << "a reader of the claimed text was left waiting";
    std::string longText;
    for (int i = 0; longText.size() < 8u << 20; ++i) longText += "line " + std::to_string(i) + " of a long copy\n";
    claim = clipboard.claimText(self, 0);
    ASSERT_TRUE(clipboard.fillClaim(self, claim, longText));
    const std::string file =
        (std::filesystem::temp_directory_path() / ("kelvo-clipboard-end-" + std::to_string(getpid()))).string();
    const pid_t whole = slowReader(file);
    XConvertSelection(other, selection, XInternAtom(other, "UTF8_STRING", False), XInternAtom(other, "TAKEN", False),
                      window, CurrentTime);
    XSync(other, False);
    EXPECT_TRUE(pumpUntil([&] { return std::filesystem::exists(file + "-first"); }, 30s));
    const Clock::time_point ending = Clock::now();
    gtk().loop.finish(self);
    const double finishing = std::chrono::duration<double>(Clock::now() - ending).count();
    EXPECT_LT(finishing, static_cast<double>(standin::kTransfersEndWaitNs) / 1e9 + 1.5);
    bool ended = false;
    for (const Clock::time_point end = Clock::now() + 5s; !ended && Clock::now() < end; g_usleep(1'000)) {
        ended = ::waitpid(whole, nullptr, WNOHANG) == whole;
    }
    EXPECT_TRUE(ended) << "a reader in the middle of a long text was left waiting";
    if (!ended) {
        ::kill(whole, SIGKILL);
        ::waitpid(whole, nullptr, 0);
    }
    std::ifstream in(file, std::ios::binary);
    const std::string all{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_TRUE(all == longText) << "another program read " << all.size() << " bytes";
    std::filesystem::remove(file);
    std::filesystem::remove(file + "-first");
    XCloseDisplay(other);
}

// A claim whose text has not come within its bound is given up: a program that reads the clipboard
// then is answered at once with nothing. Should the text come after all, it lands, as of the claim's
// mark, where nothing copied since; where another program copied meanwhile, that program's copy
// stays.
TEST(GtkSerialClipboardClaims, ATextThatComesAfterItsClaimsBoundLandsUnlessAnotherCopyCameMeanwhile) {
    ASSERT_TRUE(gtk().loop.open(gtk().self, {"kelvo-tests", "Kelvo tests"}));
    const standin::ClipboardService& clipboard = gtk().clipboard;
    void* self = gtk().self;
    const auto bound = std::chrono::nanoseconds(standin::kClipboardClaimBoundNs) + 1s;
    const auto read = [] { return Child({"xclip", "-selection", "clipboard", "-o"}, std::nullopt).output(10s); };

    std::uint64_t claim = clipboard.claimText(self, 0);
    ASSERT_NE(claim, 0u);
    pumpUntil([] { return false; }, bound);
    const Clock::time_point asked = Clock::now();
    EXPECT_EQ(read(), "") << "a claim past its bound still holds the clipboard";
    EXPECT_LT(Clock::now() - asked, 5s);
    EXPECT_TRUE(clipboard.fillClaim(self, claim, "late"));
    EXPECT_EQ(read(), "late") << "a text that came after its claim's bound was lost";

    claim = clipboard.claimText(self, 0);
    ASSERT_NE(claim, 0u);
    pumpUntil([] { return false; }, bound);
    Child other({"xclip", "-selection", "clipboard", "-quiet", "-i"}, std::string("other"));
    ASSERT_TRUE(pumpUntil([&] { return read() == "other"; }, 10s));
    EXPECT_FALSE(clipboard.fillClaim(self, claim, "late"));
    EXPECT_EQ(read(), "other") << "a text that came after its claim's bound landed over a newer copy";
}

// The memory the process holds now: in a sanitizer build, the bytes its heap holds in use (its
// resident memory takes in the freed blocks the sanitizer keeps aside, hundreds of megabytes), and
// otherwise its resident memory. A queue of events that grows without bound shows in both.
std::size_t memoryBytes() {
#if defined(__SANITIZE_ADDRESS__) || defined(KELVO_TEST_INSTRUMENTED)
    return __sanitizer_get_current_allocated_bytes();
#else
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0;
    std::size_t resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
#endif
}

// Another program that asks this process for the clipboard's TARGETS as fast as it can, for
// `length`, from one window, reading nothing meanwhile; then it takes what came back and writes to
// `answers` how many of the requests were answered with the targets. A fork of this process.
// Instrumented, this process takes each event many times as long as the display server takes to
// make it (each allocation of the event reads where it was made from the unwind tables, some 12 µs
// in all): the flood keeps to 40,000 requests a second, several hundred times what is answered,
// which this process drops as fast as they come on a slower machine too. (Faster, the requests it
// is behind on grow all through the flood, and so do the other programs' waits.)
pid_t flooder(std::chrono::milliseconds length, int answers) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) ::_exit(1);
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    const Atom clipboard = XInternAtom(display, "CLIPBOARD", False);
    const Atom targets = XInternAtom(display, "TARGETS", False);
    const Atom property = XInternAtom(display, "KELVO_FLOOD", False);
    const Clock::time_point begun = Clock::now();
    for (unsigned long asked = 1;; ++asked) {
        XConvertSelection(display, clipboard, targets, property, window, CurrentTime);
        if (asked % 1024 != 0) continue;
        if (Clock::now() > begun + length) break;
        if (kInstrumented) std::this_thread::sleep_until(begun + asked * 25us);
    }
    XSync(display, False);
    g_usleep(500'000);
    long answered = 0;
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        // (Once the clipboard has no owner, the server refuses each request itself.)
        if (event.type == SelectionNotify && event.xselection.property != None) ++answered;
    }
    const bool told = ::write(answers, &answered, sizeof answered) == sizeof answered;
    ::_exit(told ? 0 : 1);
}

// A program that asks for the clipboard as fast as it can holds neither this process's memory,
// nor the answer to another program that reads the clipboard meanwhile (of a text that is there,
// or one that comes later), nor the process's end; and it is answered a few times a second.
TEST(GtkSerialClipboardOwner, AFloodOfRequestsHoldsNeitherMemoryNorOtherReadersNorTheEnd) {
    ASSERT_TRUE(gtk().loop.open(gtk().self, {"kelvo-tests", "Kelvo tests"}));
    const standin::ClipboardService& clipboard = gtk().clipboard;
    void* self = gtk().self;
    std::string text;
    for (int i = 0; text.size() < 64u << 10; ++i) text += "line " + std::to_string(i) + " of the copy\n";
    ASSERT_TRUE(clipboard.write(self, standin::ClipboardType::plain_text, text));
    pumpUntil([] { return false; }, 200ms);
    ::alarm(240);
    const std::size_t before = memoryBytes();
    std::size_t most = before;
    const auto pumpFor = [&](auto done, Clock::duration limit) {
        return pumpUntil(
            [&] {
                most = std::max(most, memoryBytes());
                return done();
            },
            limit);
    };
    int answers[2] = {-1, -1};
    ASSERT_EQ(::pipe(answers), 0);
    const Clock::time_point start = Clock::now();
    const pid_t flood = flooder(6s, answers[1]);
    ::close(answers[1]);
    pumpFor([] { return false; }, 1s);

    Clock::time_point asked = Clock::now();
    Child reader({"xclip", "-selection", "clipboard", "-o"}, std::nullopt);
    EXPECT_TRUE(pumpFor([&] { return reader.ended(); }, 30s));
    const double answered = std::chrono::duration<double>(Clock::now() - asked).count();
    EXPECT_LT(answered, 5.0) << "a reader was answered only after the flood";
    EXPECT_TRUE(reader.output(1s) == text);

    // A text that comes a moment after the copy took the clipboard.
    const std::uint64_t claim = clipboard.claimText(self, 0);
    ASSERT_NE(claim, 0u);
    asked = Clock::now();
    Child waiting({"xclip", "-selection", "clipboard", "-o"}, std::nullopt);
    pumpFor([] { return false; }, 500ms);
    EXPECT_TRUE(clipboard.fillClaim(self, claim, "came later"));
    EXPECT_TRUE(pumpFor([&] { return waiting.ended(); }, 30s));
    const double waited = std::chrono::duration<double>(Clock::now() - asked).count();
    EXPECT_LT(waited, 5.0) << "a reader of a text that came later was answered only after the flood";
    EXPECT_EQ(waiting.output(1s), "came later");

    pumpFor([] { return false; }, std::max(Clock::duration(0), start + 4s - Clock::now()));
    const double grew = static_cast<double>(most - before) / (1 << 20);
    EXPECT_LT(grew, 32.0) << "the memory grew during the flood";

    const Clock::time_point ending = Clock::now();
    gtk().loop.finish(self);
    const double finishing = std::chrono::duration<double>(Clock::now() - ending).count();
    EXPECT_LT(finishing, static_cast<double>(standin::kTransfersEndWaitNs) / 1e9 + 1.5);

    // Within its budget: 64 at once, then 64 a second.
    long flooderAnswered = -1;
    EXPECT_TRUE(pumpUntil([&] { return ::waitpid(flood, nullptr, WNOHANG) == flood; }, 30s));
    EXPECT_EQ(::read(answers[0], &flooderAnswered, sizeof flooderAnswered),
              static_cast<ssize_t>(sizeof flooderAnswered));
    ::close(answers[0]);
    EXPECT_GE(flooderAnswered, 64);
    EXPECT_LT(flooderAnswered, 1000) << "the flooding program was answered beyond its budget";
    std::printf(
        "flood: memory grew %.1f MB, a reader answered after %.2f s, a waiting one after %.2f s, the end "
        "took %.2f s, the flooding program was answered %ld times\n",
        grew, answered, waited, finishing, flooderAnswered);
    ::alarm(0);
}

Atom atomOf(Display* display, const char* name) { return XInternAtom(display, name, False); }

// A window of `display` that is told of changes of its properties.
Window requestorWindow(Display* display) {
    XSetWindowAttributes attributes{};
    attributes.event_mask = PropertyChangeMask;
    return XCreateWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, CopyFromParent, InputOnly, CopyFromParent,
                         CWEventMask, &attributes);
}

// Takes (and deletes) the property's value; its type's name in `type`.
std::string takeProperty(Display* display, Window window, Atom property, std::string& type) {
    Atom actual = None;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(display, window, property, 0, 1 << 24, True, AnyPropertyType, &actual, &format, &items, &after,
                       &data);
    std::string value(reinterpret_cast<const char*>(data), data != nullptr ? items * (format / 8) : 0);
    if (data != nullptr) XFree(data);
    char* name = actual != None ? XGetAtomName(display, actual) : nullptr;
    type = name != nullptr ? name : "";
    if (name != nullptr) XFree(name);
    return value;
}

// What the clipboard's owner answered: its type, its bytes, and the longest piece they came in.
struct Answer {
    std::string type;
    std::string bytes;
    std::size_t longestPiece = 0;
};

// Asks for the clipboard as `target` from `window`, and takes the answer, in pieces when it comes
// so, while the main loop runs; nullopt when it is refused, or does not come within `limit`. Once
// the server has the request, `meanwhile` runs.
std::optional<Answer> askFor(Display* display, Window window, const char* target, Clock::duration limit,
                             const std::function<void()>& meanwhile = {}) {
    const Atom property = atomOf(display, "KELVO_ANSWER");
    XConvertSelection(display, atomOf(display, "CLIPBOARD"), atomOf(display, target), property, window, CurrentTime);
    XSync(display, False);
    if (meanwhile) meanwhile();
    Answer answer;
    bool incremental = false;
    bool done = false;
    bool refused = false;
    const auto came = [&] {
        while (!done && XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            std::string type;
            if (event.type == SelectionNotify && !incremental) {
                refused = event.xselection.property == None;
                const std::string value = refused ? "" : takeProperty(display, window, property, type);
                // Deleting the INCR property asks for the first piece.
                incremental = type == "INCR";
                done = !incremental;
                if (done) answer = {type, value, value.size()};
            } else if (incremental && event.type == PropertyNotify && event.xproperty.atom == property &&
                       event.xproperty.state == PropertyNewValue) {
                const std::string piece = takeProperty(display, window, property, answer.type);
                answer.bytes += piece;
                answer.longestPiece = std::max(answer.longestPiece, piece.size());
                done = piece.empty();
            }
        }
        return done;
    };
    if (!pumpUntil(came, limit) || refused) return std::nullopt;
    return answer;
}

// A program that asked past its budget goes, and the server gives its window's number to a window
// of another program, which asks for the text: it is answered, though the owner takes the first
// one's last requests, the news of its going and the other's request all at once (while it waits
// for the server: here, to learn whether it holds the clipboard).
TEST(GtkSerialClipboardOwner, AWindowGivenTheNumberOfOneThatAskedPastItsBudgetAndWentIsAnswered) {
    ASSERT_TRUE(gtk().loop.open(gtk().self, {"kelvo-tests", "Kelvo tests"}));
    const standin::ClipboardService& clipboard = gtk().clipboard;
    void* self = gtk().self;
    ASSERT_TRUE(clipboard.write(self, standin::ClipboardType::plain_text, "given"));
    Display* flooding = XOpenDisplay(nullptr);
    const Window window = XCreateSimpleWindow(flooding, DefaultRootWindow(flooding), 0, 0, 1, 1, 0, 0, 0);
    const auto askTargets = [&](int times) {
        for (int i = 0; i < times; ++i) {
            XConvertSelection(flooding, atomOf(flooding, "CLIPBOARD"), atomOf(flooding, "TARGETS"),
                              atomOf(flooding, "KELVO_FLOOD"), window, CurrentTime);
        }
        XSync(flooding, False);
    };
    askTargets(200);
    pumpUntil([] { return false; }, 300ms);
    // A request to the server and its answer: by then the server watches the window for the owner.
    EXPECT_NE(clipboard.heldTextWrite(self), 0u);
    askTargets(100);
    XCloseDisplay(flooding);

    // The server gives a new connection the lowest number free, which the first one's becomes.
    std::vector<Display*> connections;
    Window same = None;
    for (int tries = 0; tries < 64 && same == None; ++tries) {
        connections.push_back(XOpenDisplay(nullptr));
        if (connections.back() == nullptr) break;
        const Window made = requestorWindow(connections.back());
        XSync(connections.back(), False);
        if (made == window) same = made;
        if (same == None) g_usleep(10'000);
    }
    ASSERT_NE(same, None) << "no window was given the number of the one that went";
    Display* again = connections.back();
    const std::optional<Answer> answer =
        askFor(again, same, "UTF8_STRING", 10s, [&] { EXPECT_NE(clipboard.heldTextWrite(self), 0u); });
    EXPECT_TRUE(answer && answer->bytes == "given") << "a window given the number of a gone one was not answered";
    for (Display* connection : connections) {
        if (connection != nullptr) XCloseDisplay(connection);
    }
}

// A request that names the clipboard owner's own window as its requestor (any program may send
// one) is refused: the window keeps the events it watches, and a copy after it, which learns the
// display server's time from them, takes the clipboard.
TEST(GtkSerialClipboardOwner, ARequestInTheNameOfTheOwnersWindowLeavesItAsItIs) {
    ASSERT_TRUE(gtk().loop.open(gtk().self, {"kelvo-tests", "Kelvo tests"}));
    const standin::ClipboardService& clipboard = gtk().clipboard;
    std::string text;
    for (int i = 0; text.size() < 3u << 20; ++i) text += "line " + std::to_string(i) + " of a long copy\n";
    ASSERT_TRUE(clipboard.write(gtk().self, standin::ClipboardType::plain_text, text));
    Display* other = XOpenDisplay(nullptr);
    ASSERT_NE(other, nullptr);
    const Window owner = XGetSelectionOwner(other, atomOf(other, "CLIPBOARD"));
    ASSERT_NE(owner, None);
    // Long enough to go in pieces, each deleted as soon as it is there, as the requestor does.
    const Atom property = atomOf(other, "KELVO_ANSWER");
    XConvertSelection(other, atomOf(other, "CLIPBOARD"), atomOf(other, "UTF8_STRING"), property, owner, CurrentTime);
    pumpUntil(
        [&] {
            XDeleteProperty(other, owner, property);
            XFlush(other);
            return false;
        },
        1s);
    XWindowAttributes attributes;
    ASSERT_NE(XGetWindowAttributes(other, owner, &attributes), 0);
    ASSERT_NE(attributes.all_event_masks & PropertyChangeMask, 0) << "the owner's window no longer watches its own";
    // A copy that waited forever would end the test program.
    ::alarm(60);
    EXPECT_TRUE(clipboard.write(gtk().self, standin::ClipboardType::plain_text, "after"));
    ::alarm(0);
    EXPECT_EQ(Child({"xclip", "-selection", "clipboard", "-o"}, std::nullopt).output(10s), "after");
    XCloseDisplay(other);
}

// Programs that ask for a copy's text while it is on its way are answered once it comes, in the
// order they asked.
TEST(GtkSerialClipboardOwner, ReadersOfATextOnItsWayAreAnsweredInTheOrderTheyAsked) {
    ASSERT_TRUE(gtk().loop.open(gtk().self, {"kelvo-tests", "Kelvo tests"}));
    const standin::ClipboardService& clipboard = gtk().clipboard;
    const std::uint64_t claim = clipboard.claimText(gtk().self, 0);
    ASSERT_NE(claim, 0u);
    Display* other = XOpenDisplay(nullptr);
    ASSERT_NE(other, nullptr);
    std::vector<Window> asked;
    for (int i = 0; i < 5; ++i) {
        asked.push_back(requestorWindow(other));
        XConvertSelection(other, atomOf(other, "CLIPBOARD"), atomOf(other, "UTF8_STRING"),
                          atomOf(other, "KELVO_ANSWER"), asked.back(), CurrentTime);
    }
    XSync(other, False);
    pumpUntil([] { return false; }, 300ms);
    ASSERT_TRUE(clipboard.fillClaim(gtk().self, claim, "in order"));
    std::vector<Window> answered;
    EXPECT_TRUE(pumpUntil(
        [&] {
            while (XPending(other) > 0) {
                XEvent event;
                XNextEvent(other, &event);
                if (event.type != SelectionNotify) continue;
                answered.push_back(event.xselection.requestor);
                std::string type;
                EXPECT_EQ(takeProperty(other, event.xselection.requestor, atomOf(other, "KELVO_ANSWER"), type),
                          "in order");
            }
            return answered.size() == asked.size();
        },
        10s));
    EXPECT_EQ(answered, asked);
    XCloseDisplay(other);
}

// A long text asked for as compound text, as Latin-1, or as TEXT (compound text, for a text beyond
// Latin-1) comes whole, in pieces of a megabyte at most, while the loop runs on: its timer never
// stands still for long, though making the compound text takes a second or more.
TEST(GtkSerialClipboardOwner, LongTextsAreMadeIntoOtherFormsWhileTheLoopRuns) {
    ASSERT_TRUE(gtk().loop.open(gtk().self, {"kelvo-tests", "Kelvo tests"}));
    // Each character beyond Latin-1 has compound text switch to another character set, and the one
    // after it back; a line of an odd length sees a part of the text end after each of them.
    const std::string line = "caf\xc3\xa9 \xe4\xb8\xadx \xce\xb1\xc3\xa9 \xe2\x82\xac yz\n";
    const std::string latin1Line = "caf\xe9 ?x ?\xe9 ? yz\n";
    std::string text;
    std::string latin1;
    while (text.size() < 16u << 20) {
        text += line;
        latin1 += latin1Line;
    }
    ASSERT_TRUE(gtk().clipboard.write(gtk().self, standin::ClipboardType::plain_text, text));
    Display* other = XOpenDisplay(nullptr);
    ASSERT_NE(other, nullptr);
    const Window window = requestorWindow(other);
    // A timer of the loop's default priority, which the clipboard's events share.
    struct Ticks {
        Clock::time_point last = Clock::now();
        Clock::duration longest{};
    } ticks;
    const guint timer = g_timeout_add(
        10,
        +[](gpointer data) -> gboolean {
            auto& ticks = *static_cast<Ticks*>(data);
            ticks.longest = std::max(ticks.longest, Clock::now() - ticks.last);
            ticks.last = Clock::now();
            return G_SOURCE_CONTINUE;
        },
        &ticks);
    const std::optional<Answer> compound = askFor(other, window, "COMPOUND_TEXT", 60s);
    const std::optional<Answer> string = askFor(other, window, "STRING", 60s);
    const std::optional<Answer> anyText = askFor(other, window, "TEXT", 60s);
    g_source_remove(timer);
    EXPECT_LT(std::chrono::duration<double>(ticks.longest).count(), 0.5) << "the loop stood still";
    ASSERT_TRUE(compound && string && anyText);
    EXPECT_EQ(compound->type, "COMPOUND_TEXT");
    EXPECT_EQ(string->type, "STRING");
    EXPECT_TRUE(string->bytes == latin1);
    EXPECT_EQ(anyText->type, "COMPOUND_TEXT");
    EXPECT_TRUE(anyText->bytes == compound->bytes);
    for (const Answer* answer : {&*compound, &*string, &*anyText}) EXPECT_LE(answer->longestPiece, 1u << 20);
    std::string compoundBytes = compound->bytes;
    XTextProperty property{reinterpret_cast<unsigned char*>(compoundBytes.data()), atomOf(other, "COMPOUND_TEXT"), 8,
                           compoundBytes.size()};
    char** list = nullptr;
    int count = 0;
    ASSERT_EQ(Xutf8TextPropertyToTextList(other, &property, &list, &count), Success);
    EXPECT_EQ(count, 1);
    EXPECT_TRUE(count == 1 && std::string(list[0]) == text) << "the compound text reads otherwise";
    XFreeStringList(list);
    XCloseDisplay(other);
}

}  // namespace
}  // namespace kelvo
