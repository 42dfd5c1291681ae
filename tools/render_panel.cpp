// Renders the information panel to a PNG, so it can be looked at without a
// tray. Run it with QT_QPA_PLATFORM=offscreen where there is no display.
//
//   render_panel [--dark] [--scale N] [--icon-theme NAME] out.png
//
// Without --icon-theme the panel draws its own symbols, as on a machine
// without an icon theme; with it, the theme's icons where it has them.
#include "ui/popover_view.hpp"

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QPalette>
#include <QPixmap>
#include <QStyle>
#include <QStyleFactory>
#include <QTextStream>

#include <cstdlib>

namespace {

int usage(const char* why) {
    QTextStream err(stderr);
    if (why) err << "render_panel: " << why << "\n";
    err << "usage: render_panel [--dark] [--scale N] [--icon-theme NAME] out.png\n";
    return 2;
}

QPalette darkPalette() {
    QPalette p;
    const QColor window(0x2b, 0x2b, 0x2e), text(0xe6, 0xe6, 0xe6);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, window.darker(120));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    QColor placeholder = text;
    placeholder.setAlpha(128);
    p.setColor(QPalette::PlaceholderText, placeholder);
    p.setColor(QPalette::Light, window.lighter(160));
    p.setColor(QPalette::Midlight, window.lighter(130));
    p.setColor(QPalette::Mid, window.darker(130));
    p.setColor(QPalette::Dark, window.darker(160));
    p.setColor(QPalette::Shadow, Qt::black);
    return p;
}

}  // namespace

int main(int argc, char** argv) {
    // The scale has to be known before the application object exists.
    QString out;
    bool dark = false;
    QByteArray scale;
    QString iconTheme;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--dark") {
            dark = true;
        } else if (arg == "--scale") {
            if (++i >= argc) return usage("--scale needs a number");
            scale = argv[i];
            bool ok = false;
            const double s = scale.toDouble(&ok);
            if (!ok || s < 1.0 || s > 4.0) return usage("--scale takes a number from 1 to 4");
        } else if (arg == "--icon-theme") {
            if (++i >= argc || argv[i][0] == '\0') return usage("--icon-theme needs a theme name");
            iconTheme = QString::fromLocal8Bit(argv[i]);
        } else if (arg == "-h" || arg == "--help") {
            return usage(nullptr), 0;
        } else if (arg.startsWith('-') || !out.isEmpty()) {
            return usage("unexpected argument");
        } else {
            out = QString::fromLocal8Bit(arg);
        }
    }
    if (out.isEmpty()) return usage("no output file given");
    if (!scale.isEmpty()) qputenv("QT_SCALE_FACTOR", scale);

    QApplication app(argc, argv);
    if (dark) QApplication::setPalette(darkPalette());
    if (!iconTheme.isEmpty()) {
        QIcon::setThemeSearchPaths(QIcon::themeSearchPaths() << QStringLiteral("/usr/share/icons"));
        QIcon::setThemeName(iconTheme);
    }

    purlo::PopoverView panel;
    panel.setAutoFillBackground(true);
    panel.ensurePolished();
    const QPixmap shot = panel.grab();
    if (!shot.save(out, "PNG")) {
        QTextStream(stderr) << "render_panel: cannot write " << out << "\n";
        return 1;
    }
    QTextStream(stdout) << out << ": " << shot.width() << "x" << shot.height() << " px\n";
    return 0;
}
