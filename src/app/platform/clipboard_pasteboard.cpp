#include "app/platform/clipboard_pasteboard.hpp"

#include "app/platform/x11_selection_reader.hpp"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QThread>

#include <atomic>
#include <optional>

namespace purlo {
namespace {

class ClipboardPasteboard final : public QObject, public Pasteboard {
public:
    explicit ClipboardPasteboard(QObject* parent) : QObject(parent) {
        QClipboard* clipboard = QGuiApplication::clipboard();
        connect(clipboard, &QClipboard::changed, this, [this](QClipboard::Mode mode) {
            if (mode == QClipboard::Clipboard) changes_.fetch_add(1);
        });
        if (QGuiApplication::platformName() == QLatin1String("xcb")) {
            reader_.emplace(qEnvironmentVariable("DISPLAY").toStdString());
        }
    }

    std::optional<std::size_t> itemCount() override {
        // The X clipboard holds one item at most: whatever its owner offers.
        if (reader_) {
            const std::optional<bool> owned = reader_->hasOwner();
            if (!owned) return std::nullopt;
            return *owned ? 1 : 0;
        }
        return onGuiThread([] {
            const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
            return std::optional<std::size_t>(data && !data->formats().isEmpty() ? 1 : 0);
        });
    }

    std::optional<std::string> plainText(std::size_t index) override {
        if (index != 0) return std::nullopt;
        if (reader_) {
            X11SelectionReader::Result r = reader_->readText();
            if (r.outcome != X11SelectionReader::Outcome::Text) return std::nullopt;
            return std::move(r.text);
        }
        // Not X11 (Wayland, offscreen): there is no second connection to
        // read on, so Qt reads, on the GUI thread, and a stalled owner holds
        // that thread for as long as Qt waits for it.
        return onGuiThread([] {
            const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
            if (!data || !data->hasText()) return std::optional<std::string>();
            return std::optional<std::string>(data->text().toStdString());
        });
    }

    void clear() override {
        onGuiThread([] {
            QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
            return 0;
        });
    }

    bool writeString(std::string_view text) override {
        const QString s = QString::fromUtf8(text.data(), qsizetype(text.size()));
        return onGuiThread([&s] {
            // Only text/plain: Qt then offers the plain-text targets alone
            // (UTF8_STRING, STRING, TEXT, text/plain) and nothing rich.
            auto* data = new QMimeData;
            data->setText(s);
            QClipboard* clipboard = QGuiApplication::clipboard();
            clipboard->setMimeData(data, QClipboard::Clipboard);
            return clipboard->ownsClipboard();
        });
    }

    std::uint64_t changeCount() override { return changes_.load(); }

private:
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
    std::optional<X11SelectionReader> reader_;
};

}  // namespace

std::unique_ptr<Pasteboard> makeClipboardPasteboard(QObject* parent) {
    // The pasteboard is owned through the unique_ptr; `parent` only places it
    // in the GUI thread's object tree for thread affinity, so it is not
    // parented (which would delete it twice).
    auto board = std::make_unique<ClipboardPasteboard>(nullptr);
    if (parent) board->moveToThread(parent->thread());
    return board;
}

}  // namespace purlo
