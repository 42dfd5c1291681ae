#include "app/panel_window.hpp"

#include "ui/popover_view.hpp"

#include <QGuiApplication>
#include <QHideEvent>
#include <QScreen>
#include <QVBoxLayout>

namespace purlo {

namespace {
// A press outside and the tray's click for that same press arrive within a
// few event-loop turns of each other; a human's next click takes far longer.
constexpr qint64 kSamePressMs = 250;
}  // namespace

PanelWindow::PanelWindow(QWidget* parent)
    // Qt::Popup: override-redirect on X11 (no taskbar entry, no window
    // manager decoration), grabs the pointer and closes on a press outside.
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint), view_(new PopoverView(this)) {
    setObjectName(QStringLiteral("purlo-panel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    setFixedSize(view_->size());
}

void PanelWindow::showAt(const QPoint& anchor, const QRect& iconRect) {
    QScreen* screen = QGuiApplication::screenAt(anchor);
    if (!screen) screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(anchor, size());
    move(popupPosition(iconRect, anchor, size(), area));
    show();
}

bool PanelWindow::justDismissed() const { return dismissedOutside_ && hiddenAt_.elapsed() < kSamePressMs; }

void PanelWindow::hideEvent(QHideEvent* event) {
    // Each closing is judged on its own: a toggle once does not make every
    // later press outside count as one.
    dismissedOutside_ = !closedByToggle_;
    closedByToggle_ = false;
    hiddenAt_.start();
    QWidget::hideEvent(event);
}

QPoint popupPosition(const QRect& iconRect, const QPoint& pointer, const QSize& size, const QRect& screen) {
    const bool known = !iconRect.isEmpty();
    QPoint p = known ? QPoint(iconRect.left(), iconRect.bottom() + 1) : pointer;
    if (screen.isEmpty()) return p;
    if (p.y() + size.height() > screen.bottom() + 1) {
        // A tray at the bottom of the screen: hang above the icon instead.
        p.setY((known ? iconRect.top() : pointer.y()) - size.height());
    }
    p.setX(std::clamp(p.x(), screen.left(), std::max(screen.left(), screen.right() + 1 - size.width())));
    p.setY(std::clamp(p.y(), screen.top(), std::max(screen.top(), screen.bottom() + 1 - size.height())));
    return p;
}

}  // namespace purlo
