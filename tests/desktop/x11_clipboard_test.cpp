// The X clipboard's claim against a real owner on a real X server, in the
// one race the end-to-end test cannot time: a copy made while a run is on.
#include "desktop/x11/x11_clipboard.hpp"
#include "support/wait.hpp"

#include <QGuiApplication>
#include <QProcess>

#include <gtest/gtest.h>

#include <future>
#include <optional>
#include <string>

namespace purlo {
namespace {

using test::waitUntil;

// The clipboard serves on a thread of its own: a blocking wait is fine.
QByteArray output(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(10000);
    return p.readAllStandardOutput().trimmed();
}
QByteArray xclipOut() { return output("xclip", {"-o", "-selection", "clipboard"}); }

// Runs `f` on a thread of its own, as the cleaning worker would, while this
// thread keeps Qt's event loop turning.
template <typename F>
auto offGuiThread(F f) -> decltype(f()) {
    auto future = std::async(std::launch::async, f);
    EXPECT_TRUE(
        waitUntil([&] { return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 10000));
    return future.get();
}

// Waits, bounded, for a line `word` from `p`.
bool said(QProcess& p, const char* word) {
    for (;;) {
        while (p.canReadLine())
            if (p.readLine().trimmed() == word) return true;
        if (!p.waitForReadyRead(10000)) return false;
    }
}

// Another program holding the clipboard, stopped when the test is done.
class Owner {
public:
    explicit Owner(const QByteArray& text) {
        p_.start("xclip", {"-quiet", "-selection", "clipboard", "-i"});
        p_.write(text);
        p_.closeWriteChannel();
        ready_ = waitUntil([&] { return xclipOut() == text; }, 10000);
    }
    ~Owner() {
        p_.kill();
        p_.waitForFinished();
    }
    bool ready() const { return ready_; }

private:
    QProcess p_;
    bool ready_ = false;
};

class X11Clipboard : public ::testing::Test {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "needs tests/e2e/harness.sh";
        board = makeX11Clipboard(qEnvironmentVariable("DISPLAY").toStdString());
    }
    TextRead read() {
        return offGuiThread([this] {
            const auto count = board->itemCount();
            return count && *count == 1 ? board->plainText(0) : TextRead{};
        });
    }
    std::unique_ptr<Clipboard> board;
};

// A copy made after the run began wins over the run's cleaned older text,
// and nothing is reported as written: whether it claims the clipboard now
// (the server refuses our older claim) or with an older time, that of the
// key press it was made on (only the order XFixes tells shows it).
TEST_F(X11Clipboard, ACopyDuringTheRunIsNeverOverwritten) {
    for (const bool olderTime : {false, true}) {
        SCOPED_TRACE(olderTime ? "claimed with an older time" : "claimed now");
        Owner first("first  text");
        ASSERT_TRUE(first.ready());
        QProcess later;
        if (olderTime) {
            later.start("/usr/bin/python3", {qEnvironmentVariable("PURLO_E2E_LIB") + "/claim-later.py", "newer copy"});
            ASSERT_TRUE(said(later, "ready"));
        }
        ASSERT_EQ(read().text, "first  text");
        std::optional<Owner> newer;
        if (olderTime) {
            later.write("\n");
            ASSERT_TRUE(said(later, "claimed"));
        } else {
            newer.emplace("newer copy");
            ASSERT_TRUE(newer->ready());
        }
        EXPECT_EQ(offGuiThread([&] { return board->writeString("first text"); }), WriteResult::Superseded);
        EXPECT_EQ(xclipOut(), "newer copy");
        later.kill();
        later.waitForFinished();
    }
}

}  // namespace
}  // namespace purlo
