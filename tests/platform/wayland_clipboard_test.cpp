// The data-control clipboard against wl-copy and wl-paste on a headless sway
// (tests/e2e/harness.sh --sway), called from threads other than the GUI's.
#include "app/platform/wayland_data_control.hpp"
#include "test_support.hpp"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <future>

namespace purlo {
namespace {

using test::runTool;
using test::waitUntil;
using Status = TextRead::Status;

QByteArray paste(const QString& type = "text/plain") { return runTool("wl-paste", {"--no-newline", "--type", type}).out; }

template <typename F>
auto elsewhere(F f) { return std::async(std::launch::async, f).get(); }

// wl-copy serving `text` as `type` (and, for text types, as its aliases)
// until a newer copy replaces it or the test ends.
class Copy {
public:
    explicit Copy(const QByteArray& text, const QString& type = "text/plain") {
        p_.start("wl-copy", {"--foreground", "--type", type});
        p_.write(text);
        p_.closeWriteChannel();
        ready = waitUntil([&] { return paste(type) == text; }, 10000);
    }
    ~Copy() {
        signal(SIGCONT);
        // Replaced, wl-copy removes its buffer from /tmp; killed, it leaves it.
        if (p_.state() != QProcess::NotRunning) runTool("wl-copy", {"--clear"});
        if (!p_.waitForFinished(5000)) {
            p_.kill();
            p_.waitForFinished();
        }
    }
    void signal(int sig) {
        if (p_.processId() > 0) ::kill(pid_t(p_.processId()), sig);  // 0 would be our own group
    }
    bool ready = false;

private:
    QProcess p_;
};

class WaylandClipboard : public ::testing::Test {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) GTEST_SKIP() << "needs tests/e2e/harness.sh --sway";
        board = makeDataControlPasteboard();
        ASSERT_NE(board, nullptr);
    }
    TextRead read() {
        return elsewhere([this] { return board->itemCount() == 1u ? board->plainText(0) : TextRead{}; });
    }
    std::unique_ptr<ClipboardPasteboard> board;
};

TEST_F(WaylandClipboard, ReadsTheTextOfAnotherProgramsCopy) {
    const QByteArray utf8 = "na\xc3\xafve \xe2\x9c\x93 \xe4\xb8\xad\n", big(1 << 20, 'b');
    const struct { const char* name; QByteArray text; QString type; TextRead expected; } cases[] = {
        {"utf8_and_aliases", utf8, "text/plain", {Status::Text, utf8.toStdString()}},
        {"html_with_text_aliases", "<b>x</b>", "text/html", {Status::Text, "<b>x</b>"}},
        {"image_only", "\x89PNG", "image/png", {Status::NoText, ""}},
        {"not_utf8", "caf\xe9", "text/plain;charset=utf-8", {Status::NoText, ""}},
        {"1MB", big, "text/plain", {Status::Text, big.toStdString()}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Copy copy(c.text, c.type);
        ASSERT_TRUE(copy.ready);
        const TextRead got = read();
        EXPECT_EQ(got.status, c.expected.status);
        EXPECT_TRUE(got.text == c.expected.text) << got.text.size() << " bytes";
    }
}

TEST_F(WaylandClipboard, AWriteIsPastedExactlyAndReadBackFromMemory) {
    Copy old("old");
    ASSERT_TRUE(old.ready);
    const struct { const char* name; std::string text; QByteArray latin1; QByteArray types; } cases[] = {
        {"not_latin1", "clean \xe2\x9c\x93", {}, "text/plain;charset=utf-8\ntext/plain\nUTF8_STRING\nTEXT\n"},
        {"latin1", "caf\xc3\xa9", "caf\xe9", "text/plain;charset=utf-8\ntext/plain\nUTF8_STRING\nTEXT\nSTRING\n"},
        {"1MB", std::string(1 << 20, 'w'), QByteArray(1 << 20, 'w'),
         "text/plain;charset=utf-8\ntext/plain\nUTF8_STRING\nTEXT\nSTRING\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::uint64_t changes = board->changeCount();
        ASSERT_EQ(elsewhere([&] { return board->itemCount() ? board->writeString(c.text) : WriteResult::Failed; }),
                  WriteResult::Written);
        EXPECT_TRUE(paste() == QByteArray::fromStdString(c.text));
        EXPECT_TRUE(paste("STRING") == c.latin1);
        EXPECT_EQ(runTool("wl-paste", {"--list-types"}).out, c.types);
        EXPECT_TRUE(read().text == c.text);
        EXPECT_EQ(board->changeCount(), changes);  // our own write is no change
    }
}

TEST_F(WaylandClipboard, AStalledSourceIsReportedWithinTheDeadlineAndKeepsTheClipboard) {
    Copy frozen("frozen text");
    ASSERT_TRUE(frozen.ready);
    frozen.signal(SIGSTOP);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(read().status, Status::NoAnswer);
    EXPECT_LT(clock.elapsed(), 4000);
    frozen.signal(SIGCONT);
    EXPECT_EQ(paste(), "frozen text");
}

TEST_F(WaylandClipboard, ACopyAfterTheRunBeganIsNeverOverwritten) {
    Copy first("first  text");
    ASSERT_TRUE(first.ready);
    ASSERT_EQ(read().text, "first  text");  // the run begins
    const std::uint64_t changes = board->changeCount();
    Copy newer("newer copy");
    ASSERT_TRUE(newer.ready);
    EXPECT_EQ(elsewhere([&] { return board->writeString("first text"); }), WriteResult::Superseded);
    EXPECT_EQ(paste(), "newer copy");
    EXPECT_GT(board->changeCount(), changes);
}

TEST(WaylandClipboardFactory, GivesNothingWithoutAReachableCompositor) {
    const QByteArray saved = qgetenv("WAYLAND_DISPLAY");
    for (const char* display : {"", "purlo-no-such-display"}) {
        qputenv("WAYLAND_DISPLAY", display);
        EXPECT_EQ(makeDataControlPasteboard(), nullptr) << display;
    }
    qputenv("WAYLAND_DISPLAY", saved);
}

}  // namespace
}  // namespace purlo
