// The clipboard pasteboard against real owners on a real X server: xclip,
// and clip_owner for items with several representations.
#include "app/platform/cleaning_queue.hpp"
#include "app/platform/clipboard_pasteboard.hpp"
#include "cleaning/in_memory.hpp"
#include "test_support.hpp"

#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <future>
#include <optional>
#include <string>

namespace purlo {
namespace {

using test::runTool;
using test::waitUntil;

QString selectionOwner() {
    const auto r = runTool(qEnvironmentVariable("PURLO_SELECTION_OWNER"), {"CLIPBOARD"});
    return QString::fromLatin1(r.out).trimmed();
}

// Runs `f` on a thread of its own, as the cleaning worker would, while this
// thread keeps serving Qt (which answers for our own clipboard and carries
// out the writes the pasteboard hands over).
template <typename F>
auto offGuiThread(F f) -> decltype(f()) {
    auto future = std::async(std::launch::async, f);
    EXPECT_TRUE(waitUntil([&] { return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
                          20000));
    return future.get();
}

// Another program holding the clipboard, stopped (and resumed first, if it
// was frozen) when the test is done with it.
class Owner {
public:
    // xclip with `text` as its one target (UTF8_STRING and friends).
    static std::unique_ptr<Owner> xclip(const QByteArray& text) {
        auto o = std::unique_ptr<Owner>(new Owner);
        const QString before = selectionOwner();
        o->p_.start("xclip", {"-quiet", "-selection", "clipboard", "-i"});
        o->p_.write(text);
        o->p_.closeWriteChannel();
        // xclip says nothing when it is ready: watch the selection change hands.
        o->ready_ = waitUntil([&] {
            const QString now = selectionOwner();
            return !now.isEmpty() && now != "0x0" && now != before;
        }, 10000);
        return o;
    }
    // clip_owner with representations {MIME type, contents}.
    static std::unique_ptr<Owner> rich(const std::vector<std::pair<QString, QByteArray>>& reps) {
        auto o = std::unique_ptr<Owner>(new Owner);
        QStringList args;
        for (std::size_t i = 0; i < reps.size(); ++i) {
            const QString path = o->dir_.filePath(QString::number(i));
            QFile f(path);
            f.open(QIODevice::WriteOnly);
            f.write(reps[i].second);
            args << reps[i].first + "=" + path;
        }
        o->p_.start(PURLO_CLIP_OWNER, args);
        o->ready_ = waitUntil([&] { return o->p_.canReadLine() || o->p_.state() == QProcess::NotRunning; }, 10000) &&
                    o->p_.readLine().trimmed() == "ready";
        return o;
    }
    ~Owner() {
        if (p_.state() == QProcess::NotRunning) return;
        ::kill(pid_t(p_.processId()), SIGCONT);
        p_.kill();
        p_.waitForFinished();
    }
    bool ready() const { return ready_; }
    void freeze() { ::kill(pid_t(p_.processId()), SIGSTOP); }
    void resume() { ::kill(pid_t(p_.processId()), SIGCONT); }
    void quit() {
        p_.kill();
        p_.waitForFinished();
        waitUntil([] { return selectionOwner() == "0x0"; });
    }

private:
    Owner() = default;
    QProcess p_;
    QTemporaryDir dir_;
    bool ready_ = false;
};

class Clipboard : public ::testing::Test {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "needs tests/e2e/harness.sh";
        board = makeClipboardPasteboard();
    }
    std::optional<std::string> readFirstText() {
        return offGuiThread([this]() -> std::optional<std::string> {
            const auto count = board->itemCount();
            if (!count || *count == 0) return std::nullopt;
            return board->plainText(0);
        });
    }
    std::unique_ptr<Pasteboard> board;
};

const QByteArray kPng = QByteArray::fromBase64(
    "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8BQDwAEhQGAhKmMIQAAAABJRU5ErkJggg==");

TEST_F(Clipboard, ReadsThePlainTextOfWhateverOwnsIt) {
    const QByteArray big = QByteArray("0123456789abcdef ").repeated(1'600'000 / 17);  // INCR-sized
    struct Case {
        const char* name;
        std::function<std::unique_ptr<Owner>()> owner;
        std::optional<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"xclip_plain", [] { return Owner::xclip("see  https://a.example/?utm_source=x\n"); },
         "see  https://a.example/?utm_source=x\n"},
        {"xclip_utf8", [] { return Owner::xclip("na\xc3\xafve \xe2\x9c\x93 \xe4\xb8\xad"); },
         "na\xc3\xafve \xe2\x9c\x93 \xe4\xb8\xad"},
        {"rich_text_html_image",
         [] {
             return Owner::rich({{"text/plain", "plain words"}, {"text/html", "<b>bold</b> words"}, {"image/png", kPng}});
         },
         "plain words"},
        {"html_only", [] { return Owner::rich({{"text/html", "<b>only markup</b>"}}); }, std::nullopt},
        {"image_only", [] { return Owner::rich({{"image/png", kPng}}); }, std::nullopt},
        {"xclip_1_6_MB_by_incr", [&] { return Owner::xclip(big); }, big.toStdString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto owner = c.owner();
        ASSERT_TRUE(owner->ready());
        const std::optional<std::string> got = readFirstText();
        ASSERT_EQ(got.has_value(), c.expected.has_value());
        if (got) {
            EXPECT_EQ(got->size(), c.expected->size());
            EXPECT_TRUE(*got == *c.expected);
        }
    }
}

TEST_F(Clipboard, NoOwnerMeansNoItems) {
    auto owner = Owner::xclip("short-lived");
    ASSERT_TRUE(owner->ready());
    owner->quit();
    const auto count = offGuiThread([this] { return board->itemCount(); });
    ASSERT_TRUE(count.has_value());
    EXPECT_EQ(*count, 0u);
}

TEST_F(Clipboard, AStalledOwnerCostsAboutTwoSecondsAndKeepsItsClipboard) {
    auto owner = Owner::xclip("frozen text");
    ASSERT_TRUE(owner->ready());
    const QString held = selectionOwner();
    owner->freeze();

    QElapsedTimer clock;
    clock.start();
    const std::optional<std::string> got = readFirstText();
    const qint64 ms = clock.elapsed();
    EXPECT_FALSE(got.has_value());
    EXPECT_LT(ms, 4000) << "gave up only after " << ms << " ms";
    std::printf("stalled owner: gave up after %lld ms\n", static_cast<long long>(ms));
    EXPECT_EQ(selectionOwner(), held) << "the frozen owner must keep the clipboard";

    // The next press on a live owner works. (xclip, woken up, dies of
    // answering into the requestor window we already gave up on.)
    owner->resume();
    auto live = Owner::xclip("live text");
    ASSERT_TRUE(live->ready());
    EXPECT_EQ(readFirstText(), std::optional<std::string>("live text"));
}

TEST_F(Clipboard, WritingLeavesOnePlainTextRepresentationOwnedByUs) {
    auto owner = Owner::rich({{"text/plain", "old"}, {"text/html", "<i>old</i>"}});
    ASSERT_TRUE(owner->ready());
    const std::uint64_t before = board->changeCount();
    const std::string text = "clean \xe2\x9c\x93 text";
    const bool ok = offGuiThread([&] {
        board->clear();
        return board->writeString(text);
    });
    EXPECT_TRUE(ok);
    EXPECT_TRUE(QGuiApplication::clipboard()->ownsClipboard());
    EXPECT_GT(board->changeCount(), before);

    const auto targets = runTool("xclip", {"-o", "-selection", "clipboard", "-t", "TARGETS"});
    ASSERT_EQ(targets.exitCode, 0) << targets.err.toStdString();
    const QSet<QString> got = [&] {
        QSet<QString> s;
        for (const QByteArray& line : targets.out.split('\n'))
            if (!line.trimmed().isEmpty()) s.insert(QString::fromLatin1(line.trimmed()));
        return s;
    }();
    for (const char* want : {"text/plain", "UTF8_STRING", "STRING", "TEXT"}) {
        EXPECT_TRUE(got.contains(want)) << "missing target " << want;
    }
    const QSet<QString> allowed = {"text/plain", "UTF8_STRING", "STRING", "TEXT", "TARGETS",
                                   "MULTIPLE", "TIMESTAMP", "SAVE_TARGETS", "text/plain;charset=utf-8"};
    for (const QString& t : got) EXPECT_TRUE(allowed.contains(t)) << "unexpected target " << t.toStdString();

    const auto out = runTool("xclip", {"-o", "-selection", "clipboard"});
    EXPECT_EQ(out.out.toStdString(), text);
}

TEST_F(Clipboard, APressThroughTheQueueCleansARichOwnersText) {
    auto owner = Owner::rich({{"text/plain", "  See https://h.example/a?id=1&utm_source=mail\n\n and  more "},
                              {"text/html", "<p>See</p>"},
                              {"image/png", kPng}});
    ASSERT_TRUE(owner->ready());
    RecordingNotifier notifier;
    CleaningQueue queue(*board, notifier);
    int finished = 0;
    QObject::connect(&queue, &CleaningQueue::runFinished, [&] { ++finished; });
    // Two quick presses: the second reads back what the first wrote, from
    // our own GUI thread, while the worker waits for the answer.
    queue.enqueue();
    queue.enqueue();
    ASSERT_TRUE(waitUntil([&] { return finished == 2; }, 10000));

    const auto out = runTool("xclip", {"-o", "-selection", "clipboard"});
    EXPECT_EQ(out.out.toStdString(), "See https://h.example/a?id=1 and more");
    const auto targets = runTool("xclip", {"-o", "-selection", "clipboard", "-t", "TARGETS"});
    EXPECT_FALSE(targets.out.contains("text/html"));
    EXPECT_FALSE(targets.out.contains("image/png"));
    ASSERT_EQ(notifier.delivered.size(), 2u);
    for (const auto& [title, text] : notifier.delivered) EXPECT_EQ(text, "Removed formatting & cleaned URLs");
}

}  // namespace
}  // namespace purlo
