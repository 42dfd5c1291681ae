#include "desktop/qt/qt_clipboard.hpp"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace purlo {

QtClipboard::QtClipboard() {
    connect(QGuiApplication::clipboard(), &QClipboard::changed, this, [this](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard) changes_.fetch_add(1);
    });
}

// Qt reads on the GUI thread, and a stalled owner holds that thread for as
// long as Qt waits for it.
std::optional<std::size_t> QtClipboard::itemCount() {
    return onGuiThread([] {
        const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
        return std::optional<std::size_t>(data && !data->formats().isEmpty() ? 1 : 0);
    });
}

TextRead QtClipboard::plainText(std::size_t index) {
    if (index != 0) return {};
    return onGuiThread([] {
        const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
        if (!data || !data->hasText()) return TextRead{};
        return TextRead{TextRead::Status::Text, data->text().toStdString()};
    });
}

WriteResult QtClipboard::writeString(std::string text) {
    const QString s = QString::fromUtf8(text.data(), qsizetype(text.size()));
    return onGuiThread([&s] {
        auto* data = new QMimeData;
        data->setText(s);
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setMimeData(data, QClipboard::Clipboard);
        return clipboard->ownsClipboard() ? WriteResult::Written : WriteResult::Failed;
    });
}

std::unique_ptr<Clipboard> makeQtClipboard() { return std::make_unique<QtClipboard>(); }

}  // namespace purlo
