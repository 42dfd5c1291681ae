// The clipboard pasteboard against real owners and readers on a real X
// server: xclip, and clip_owner for items with several representations.
#include "app/platform/clipboard_pasteboard.hpp"
#include "test_support.hpp"

#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <future>
#include <string>

namespace purlo {
namespace {

using test::runTool;
using test::waitUntil;
using Status = TextRead::Status;

QString selectionOwner() {
    return QString::fromLatin1(runTool(qEnvironmentVariable("PURLO_SELECTION_OWNER"), {"CLIPBOARD"}).out).trimmed();
}
QByteArray xclipOut(const char* target = "UTF8_STRING") {
    return runTool("xclip", {"-o", "-selection", "clipboard", "-t", target}, {}, 30000).out;
}

// Runs `f` on a thread of its own, as the cleaning worker would, while this
// thread keeps Qt's event loop turning.
template <typename F>
auto offGuiThread(F f) -> decltype(f()) {
    auto future = std::async(std::launch::async, f);
    EXPECT_TRUE(waitUntil([&] { return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
                          30000));
    return future.get();
}

// Another program holding the clipboard, stopped when the test is done.
class Owner {
public:
    // xclip offering `text` as `target` (UTF8_STRING and friends by default).
    explicit Owner(const QByteArray& text, const QString& target = {}) {
        const QString before = selectionOwner();
        QStringList args = {"-quiet", "-selection", "clipboard", "-i"};
        if (!target.isEmpty()) args << "-t" << target;
        p_.start("xclip", args);
        p_.write(text);
        p_.closeWriteChannel();
        ready_ = waitUntil([&] {
            const QString now = selectionOwner();
            return !now.isEmpty() && now != "0x0" && now != before;
        }, 20000);
    }
    // clip_owner with representations {MIME type, contents}.
    explicit Owner(const std::vector<std::pair<QString, QByteArray>>& reps) {
        QStringList args;
        for (std::size_t i = 0; i < reps.size(); ++i) {
            QFile f(dir_.filePath(QString::number(i)));
            f.open(QIODevice::WriteOnly);
            f.write(reps[i].second);
            args << reps[i].first + "=" + f.fileName();
        }
        p_.start(PURLO_CLIP_OWNER, args);
        ready_ = waitUntil([&] { return p_.canReadLine() || p_.state() == QProcess::NotRunning; }, 10000) &&
                 p_.readLine().trimmed() == "ready";
    }
    ~Owner() {
        p_.kill();
        p_.waitForFinished();
    }
    bool ready() const { return ready_; }

private:
    QTemporaryDir dir_;
    QProcess p_;
    bool ready_ = false;
};

class Clipboard : public ::testing::Test {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "needs tests/e2e/harness.sh";
        board = makeX11Pasteboard(qEnvironmentVariable("DISPLAY").toStdString());
    }
    TextRead read() {
        return offGuiThread([this] {
            const auto count = board->itemCount();
            return count && *count == 1 ? board->plainText(0) : TextRead{};
        });
    }
    std::unique_ptr<ClipboardPasteboard> board;
};

TEST_F(Clipboard, ReadsThePlainTextOfWhateverOwnsIt) {
    const QByteArray big = QByteArray("0123456789abcdef ").repeated(20'000'000 / 17);  // INCR-sized
    const struct {
        const char* name;
        std::function<std::unique_ptr<Owner>()> owner;
        TextRead expected;
    } cases[] = {
        {"utf8", [] { return std::make_unique<Owner>("na\xc3\xafve \xe2\x9c\x93 \xe4\xb8\xad\n"); },
         {Status::Text, "na\xc3\xafve \xe2\x9c\x93 \xe4\xb8\xad\n"}},
        {"latin1_STRING_only", [] { return std::make_unique<Owner>("caf\xe9 \xbd", "STRING"); },
         {Status::Text, "caf\xc3\xa9 \xc2\xbd"}},
        {"incr_20MB", [&] { return std::make_unique<Owner>(big); }, {Status::Text, big.toStdString()}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto owner = c.owner();
        ASSERT_TRUE(owner->ready());
        const TextRead got = read();
        EXPECT_EQ(got.status, c.expected.status);
        EXPECT_TRUE(got.text == c.expected.text) << got.text.size() << " bytes";
    }
}

// Over the size limit the owner is led to the end of its INCR transfer, not
// left waiting for us: the next paste, in any program, still works.
TEST_F(Clipboard, TooMuchTextIsRefusedWithoutLeavingTheOwnerStuck) {
    const QByteArray huge(65 << 20, 'x');
    Owner owner(huge);
    ASSERT_TRUE(owner.ready());
    EXPECT_EQ(read().status, Status::TooLarge);
    EXPECT_EQ(xclipOut().size(), huge.size());
}

TEST_F(Clipboard, AWriteReplacesEverythingInOneStepAndServesPlainTextOnly) {
    Owner owner({{"text/plain", "old"}, {"text/html", "<i>old</i>"}});
    ASSERT_TRUE(owner.ready());
    const std::string big = std::string(20'000'000, 'y') + "\xc3\xa9";  // INCR-sized, and Latin-1
    const std::string nonLatin = "clean \xe2\x9c\x93";
    for (const std::string& text : {big, nonLatin}) {
        ASSERT_EQ(offGuiThread([&] { return board->itemCount() ? board->writeString(text) : WriteResult::Failed; }),
                  WriteResult::Written);
        EXPECT_TRUE(xclipOut() == QByteArray::fromStdString(text));
    }
    EXPECT_EQ(xclipOut("TARGETS"), "TARGETS\nMULTIPLE\nTIMESTAMP\nUTF8_STRING\ntext/plain;charset=utf-8\ntext/plain\nTEXT\n");
    Owner later("x");  // a copy after ours takes over
    EXPECT_EQ(read().text, "x");
}

// A copy made after the run began wins over the run's cleaned older text:
// the server refuses the older claim, and nothing is reported as written.
TEST_F(Clipboard, ACopyDuringTheRunIsNeverOverwritten) {
    Owner first("first  text");
    ASSERT_TRUE(first.ready());
    ASSERT_EQ(read().text, "first  text");
    Owner newer("newer copy");
    ASSERT_TRUE(newer.ready());
    EXPECT_EQ(offGuiThread([&] { return board->writeString("first text"); }), WriteResult::Superseded);
    EXPECT_EQ(xclipOut(), "newer copy");
}

}  // namespace
}  // namespace purlo
