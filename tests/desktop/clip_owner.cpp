// clip_owner TYPE=FILE...: another program's copy. Puts one item with the
// given representations (MIME type = contents of FILE) on the CLIPBOARD
// selection, prints "ready" once it owns it, and stays until it loses
// ownership or is stopped. xclip can offer only one target per process;
// real applications offer several.
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>

#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    auto* data = new QMimeData;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        const qsizetype eq = arg.indexOf('=');
        QFile file(arg.mid(eq + 1));
        if (eq <= 0 || !file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "clip_owner: cannot use '%s' (want TYPE=FILE)\n", argv[i]);
            return 2;
        }
        data->setData(arg.left(eq), file.readAll());
    }
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setMimeData(data, QClipboard::Clipboard);
    if (!clipboard->ownsClipboard()) {
        std::fprintf(stderr, "clip_owner: could not take the clipboard\n");
        return 1;
    }
    QObject::connect(clipboard, &QClipboard::changed, [&](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && !clipboard->ownsClipboard()) app.quit();
    });
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}
