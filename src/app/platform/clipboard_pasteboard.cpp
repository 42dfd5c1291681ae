#include "app/platform/clipboard_pasteboard.hpp"

#include "app/platform/x11_selection_owner.hpp"
#include "app/platform/x11_selection_reader.hpp"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QThread>

#include <atomic>
#include <optional>

namespace purlo {
namespace {

class QtPasteboard : public ClipboardPasteboard {
public:
    QtPasteboard() {
        connect(QGuiApplication::clipboard(), &QClipboard::changed, this, [this](QClipboard::Mode mode) {
            if (mode == QClipboard::Clipboard) changes_.fetch_add(1);
        });
    }

    // Where nothing better is at hand: Qt reads on the GUI thread, and a
    // stalled owner holds that thread for as long as Qt waits for it.
    std::optional<std::size_t> itemCount() override {
        return onGuiThread([] {
            const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
            return std::optional<std::size_t>(data && !data->formats().isEmpty() ? 1 : 0);
        });
    }

    TextRead plainText(std::size_t index) override {
        if (index != 0) return {};
        return onGuiThread([] {
            const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
            if (!data || !data->hasText()) return TextRead{};
            return TextRead{TextRead::Status::Text, data->text().toStdString()};
        });
    }

    WriteResult writeString(std::string_view text) override {
        const QString s = QString::fromUtf8(text.data(), qsizetype(text.size()));
        return onGuiThread([&s] {
            auto* data = new QMimeData;
            data->setText(s);
            QClipboard* clipboard = QGuiApplication::clipboard();
            clipboard->setMimeData(data, QClipboard::Clipboard);
            return clipboard->ownsClipboard() ? WriteResult::Written : WriteResult::Failed;
        });
    }

    std::uint64_t changeCount() override { return changes_.load(); }
    bool handOver(std::chrono::milliseconds) override { return true; }  // Qt's own, at exit

protected:
    // QClipboard belongs to the GUI thread; from elsewhere, hand the work
    // over and wait for it.
    template <typename F>
    auto onGuiThread(F f) -> decltype(f()) {
        if (QThread::currentThread() == thread()) return f();
        decltype(f()) result{};
        QMetaObject::invokeMethod(this, [&] { result = f(); }, Qt::BlockingQueuedConnection);
        return result;
    }

    std::atomic<std::uint64_t> changes_{0};
};

// X11: the reader asks the owner for its text, the owner holds ours. Only
// the change count still comes from Qt (its XFixes watch).
class X11Pasteboard final : public QtPasteboard {
public:
    explicit X11Pasteboard(const std::string& display) : reader_(display), owner_(display) {}

    std::optional<std::size_t> itemCount() override {
        // Every run asks this first: the time taken here is the one its
        // claim carries, so that any copy made after it wins.
        runTime_ = owner_.serverTime();
        if (owner_.ownedText()) return 1;
        const std::optional<bool> owned = reader_.hasOwner();
        if (!owned) return std::nullopt;
        return *owned ? 1 : 0;  // the X clipboard holds one item at most
    }

    TextRead plainText(std::size_t index) override {
        if (index != 0) return {};
        // Ours: from memory; reading it through the server would only make
        // the reply wait on our own serving.
        if (auto own = owner_.ownedText()) return {TextRead::Status::Text, *own};
        X11SelectionReader::Result r = reader_.readText();
        switch (r.outcome) {
            case X11SelectionReader::Outcome::Text: return {TextRead::Status::Text, std::move(r.text)};
            case X11SelectionReader::Outcome::TimedOut: return {TextRead::Status::NoAnswer, {}};
            case X11SelectionReader::Outcome::TooLarge: return {TextRead::Status::TooLarge, {}};
            default: return {};
        }
    }

    WriteResult writeString(std::string_view text) override {
        const std::optional<xcb_timestamp_t> time = runTime_ ? runTime_ : owner_.serverTime();
        if (!time) return WriteResult::Failed;
        switch (owner_.claim(std::string(text), *time)) {
            case X11SelectionOwner::Claim::Owned: return WriteResult::Written;
            case X11SelectionOwner::Claim::Refused: return WriteResult::Superseded;
            case X11SelectionOwner::Claim::Failed: return WriteResult::Failed;
        }
        return WriteResult::Failed;
    }

    bool handOver(std::chrono::milliseconds limit) override {
        return !owner_.ownedText() || owner_.handOver(limit);
    }

private:
    X11SelectionReader reader_;
    X11SelectionOwner owner_;
    std::optional<xcb_timestamp_t> runTime_;  // cleaning thread only
};

}  // namespace

std::unique_ptr<ClipboardPasteboard> makeX11Pasteboard(const std::string& x11Display) {
    return std::make_unique<X11Pasteboard>(x11Display);
}

std::unique_ptr<ClipboardPasteboard> makeQtPasteboard() { return std::make_unique<QtPasteboard>(); }

}  // namespace purlo
