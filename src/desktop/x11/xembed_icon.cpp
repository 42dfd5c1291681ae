#include "desktop/x11/xembed_icon.hpp"

#include "desktop/x11/xcb_util.hpp"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <string>

namespace purlo {
namespace {

class IconWindow final : public QWidget {
public:
    IconWindow(XEmbedIcon& owner, const QIcon& icon, const QString& toolTip)
        : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::BypassWindowManagerHint),
          owner_(owner),
          icon_(icon) {
        // The name of Qt's own tray icon window: Qt's xcb platform asks the
        // tray to dock a window of that name, in the tray's visual, and shows
        // it only once the tray has embedded it, never loose on the screen.
        setObjectName(QStringLiteral("QSystemTrayIconSys"));
        setToolTip(toolTip);
        setAttribute(Qt::WA_AlwaysShowToolTips);
        setAttribute(Qt::WA_QuitOnClose, false);
        setAttribute(Qt::WA_TranslucentBackground);
        setGeometry(0, 0, 22, 22);  // as Qt's own; the tray may make it larger
        setMinimumSize(22, 22);
    }
    void setIcon(const QIcon& icon) {
        icon_ = icon;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        icon_.paint(&painter, rect());
    }
    // The reasons Qt's own XEmbed icon gives, on the same events.
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton) emit owner_.activated(QSystemTrayIcon::Trigger);
        if (e->button() == Qt::RightButton) emit owner_.activated(QSystemTrayIcon::Context);
        if (e->button() == Qt::MiddleButton) emit owner_.activated(QSystemTrayIcon::MiddleClick);
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton) emit owner_.activated(QSystemTrayIcon::DoubleClick);
    }

private:
    XEmbedIcon& owner_;
    QIcon icon_;
};

}  // namespace

XEmbedIcon::XEmbedIcon(xcb_connection_t* connection, int screen, const QIcon& icon, const QString& toolTip)
    : c_(connection), icon_(icon), toolTip_(toolTip) {
    auto it = xcb_setup_roots_iterator(xcb_get_setup(c_));
    for (int i = 0; i < screen && it.rem; ++i) xcb_screen_next(&it);
    if (it.rem) root_ = it.data->root;
    selection_ = xcb::intern(c_, ("_NET_SYSTEM_TRAY_S" + std::to_string(screen)).c_str());
    manager_ = xcb::intern(c_, "MANAGER");
    QCoreApplication::instance()->installNativeEventFilter(this);
    dock();
}

XEmbedIcon::~XEmbedIcon() {
    if (auto* app = QCoreApplication::instance()) app->removeNativeEventFilter(this);
    delete window_;
}

void XEmbedIcon::setIcon(const QIcon& icon) {
    icon_ = icon;
    if (window_) static_cast<IconWindow*>(window_.data())->setIcon(icon);
}

void XEmbedIcon::setToolTip(const QString& text) {
    toolTip_ = text;
    if (window_) window_->setToolTip(text);
}

QRect XEmbedIcon::geometry() const {
    if (!window_ || !window_->isVisible()) return {};
    return {window_->mapToGlobal(QPoint(0, 0)), window_->size()};
}

void XEmbedIcon::dock() {
    // A window that a tray has embedded is not embedded a second time: each
    // tray gets a new one, as Qt's own icon does.
    delete window_;
    // Without a StatusNotifier host this asks Qt's xcb platform for the X11
    // tray, which is where it then sends the window; unasked, it would send
    // it nowhere.
    if (xcb::owner(c_, selection_) == XCB_NONE || !QSystemTrayIcon::isSystemTrayAvailable()) return;
    window_ = new IconWindow(*this, icon_, toolTip_);
    window_->show();
}

bool XEmbedIcon::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") return false;
    auto* e = static_cast<xcb_generic_event_t*>(message);
    switch (e->response_type & 0x7f) {
        case XCB_CLIENT_MESSAGE: {
            // A tray that starts announces itself to every client on the root
            // window (Qt listens there for its own icon too).
            auto* m = reinterpret_cast<xcb_client_message_event_t*>(e);
            if (m->type == manager_ && m->data.data32[1] == selection_) QTimer::singleShot(0, this, &XEmbedIcon::dock);
            break;
        }
        case XCB_REPARENT_NOTIFY: {
            // Back on the root window: the tray has gone, and the X server
            // has put the window it held back on the screen, where it would
            // float on its own.
            auto* r = reinterpret_cast<xcb_reparent_notify_event_t*>(e);
            if (window_ && r->window == window_->winId() && r->parent == root_) {
                QTimer::singleShot(0, this, [this] { delete window_; });
            }
            break;
        }
        default: break;
    }
    return false;
}

}  // namespace purlo
