// The file list control: a one-column tree widget that hands its mouse, key
// and drop events to the window's handlers.
#pragma once

#include <QTreeWidget>
#include <functional>

namespace orvane {

class ListView : public QTreeWidget {
    Q_OBJECT

public:
    explicit ListView(QWidget* parent = nullptr);

    // Each handler, when set, receives the event; unset ones leave Qt's default.
    std::function<void(QKeyEvent*)> onKeyDown;
    std::function<void(QMouseEvent*)> onMouseDown;
    std::function<void(QMouseEvent*)> onMouseMove;
    std::function<void(QMouseEvent*)> onMouseUp;
    std::function<void(QMouseEvent*)> onDoubleClick;
    // Files and folders dropped from the desktop: accept returns whether a drag
    // may drop here, drop takes it.
    std::function<bool(const QMimeData*)> acceptsDrop;
    std::function<void(const QMimeData*)> onDrop;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

}  // namespace orvane
