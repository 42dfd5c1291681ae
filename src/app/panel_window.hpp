#pragma once
// The frameless, transient window that holds the information panel below
// the tray icon.

#include <QElapsedTimer>
#include <QWidget>

namespace purlo {

class PopoverView;

class PanelWindow final : public QWidget {
    Q_OBJECT
public:
    explicit PanelWindow(QWidget* parent = nullptr);

    PopoverView* view() const { return view_; }

    // Shows the window with its top-left corner at `anchor`, moved back onto
    // the screen that holds the anchor where it would stick out.
    void showAt(const QPoint& anchor, const QRect& iconRect);

    // True when the window closed itself because of a press outside it only
    // a moment ago. That press may have been on the tray icon, whose own
    // click then arrives as a toggle; it must not open the panel again.
    bool justDismissed() const;

    void markClosedByToggle() { closedByToggle_ = true; }

protected:
    void hideEvent(QHideEvent* event) override;

private:
    PopoverView* view_;
    QElapsedTimer hiddenAt_;
    bool closedByToggle_ = false;
    bool dismissedOutside_ = false;
};

// Where a window of `size` goes for a tray icon at `iconRect` (empty when
// unknown, then `pointer` is used) on a screen area `screen`: below the icon,
// left-aligned with it, or above when there is no room below.
QPoint popupPosition(const QRect& iconRect, const QPoint& pointer, const QSize& size, const QRect& screen);

}  // namespace purlo
