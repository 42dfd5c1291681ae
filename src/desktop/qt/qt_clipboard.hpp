#pragma once
// The clipboard as Qt's platform sees it, read and written on the GUI
// thread: where nothing better is at hand (a platform without an X server
// or data-control). Its change count, Qt's own watch of the clipboard, also
// serves the X11 clipboard.

#include "desktop/clipboard.hpp"

#include <QObject>
#include <QThread>

#include <atomic>
#include <memory>

namespace purlo {

class QtClipboard : public QObject, public Clipboard {
public:
    QtClipboard();

    std::optional<std::size_t> itemCount() override;
    TextRead plainText(std::size_t index) override;
    WriteResult writeString(std::string text) override;
    std::uint64_t changeCount() override { return changes_.load(); }

protected:
    // QClipboard belongs to the GUI thread; from elsewhere, hand the work
    // over and wait for it.
    template <typename F>
    auto onGuiThread(F f) -> decltype(f()) {
        if (QThread::currentThread() == thread()) return f();
        decltype(f()) result{};
        QMetaObject::invokeMethod(
            this, [&] { result = f(); }, Qt::BlockingQueuedConnection);
        return result;
    }

private:
    std::atomic<std::uint64_t> changes_{0};
};

std::unique_ptr<Clipboard> makeQtClipboard();

}  // namespace purlo
