// clipboard_bench: how long the clipboard takes to read another program's
// text, against the plain xclip round trip (spawn xclip -o, read it all) on
// the same server in the same run. Prints medians of 21 reads; the ratio is
// what to compare between machines. Run inside tests/e2e/harness.sh.
#include "desktop/x11/x11_clipboard.hpp"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QByteArray xclipRead() {
    QProcess p;
    p.start("xclip", {"-o", "-selection", "clipboard"});
    p.waitForFinished(10000);
    return p.readAllStandardOutput();
}

double medianMs(std::vector<qint64> ns) {
    std::sort(ns.begin(), ns.end());
    return double(ns[ns.size() / 2]) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        std::fprintf(stderr, "clipboard_bench: needs an X server (run it inside tests/e2e/harness.sh)\n");
        return 2;
    }
    auto board = purlo::makeX11Clipboard(qEnvironmentVariable("DISPLAY").toStdString());
    constexpr int kRounds = 21;
    std::printf("%-8s %14s %14s %8s\n", "size", "clipboard ms", "xclip -o ms", "ratio");
    for (int size : {10 * 1024, 1024 * 1024}) {
        const QByteArray text =
            QByteArray("lorem ipsum https://x.example/?utm_source=a ").repeated(size / 44 + 1).left(size);
        QProcess owner;
        owner.start("xclip", {"-quiet", "-selection", "clipboard", "-i"});
        owner.write(text);
        owner.closeWriteChannel();
        QElapsedTimer waited;
        waited.start();
        while (board->itemCount().value_or(0) != 1 && waited.elapsed() < 10000) QThread::msleep(5);
        if (board->itemCount().value_or(0) != 1) {
            std::fprintf(stderr, "clipboard_bench: xclip never took the clipboard\n");
            return 1;
        }
        std::vector<qint64> ours, baseline;
        for (int i = 0; i < kRounds; ++i) {
            QElapsedTimer t;
            t.start();
            const auto got = board->plainText(0);
            ours.push_back(t.nsecsElapsed());
            if (got.text.size() != std::size_t(text.size())) {
                std::fprintf(stderr, "clipboard_bench: short read (%zu of %d bytes)\n", got.text.size(),
                             int(text.size()));
                return 1;
            }
            t.restart();
            const QByteArray out = xclipRead();
            baseline.push_back(t.nsecsElapsed());
            if (out.size() != text.size()) {
                std::fprintf(stderr, "clipboard_bench: xclip read %d of %d bytes\n", int(out.size()), int(text.size()));
                return 1;
            }
        }
        owner.kill();
        owner.waitForFinished();
        const double a = medianMs(ours), b = medianMs(baseline);
        std::printf("%-8s %14.2f %14.2f %8.2f\n", size < 1024 * 1024 ? "10 KB" : "1 MB", a, b, a / b);
    }
    return 0;
}
