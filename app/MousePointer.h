// A window's pointer as a plain value, as the handlers read it: 0 default,
// 1 arrow, 11 hourglass, 99 the window's own image. Handlers test the value,
// never Qt's cursor.
#pragma once

#include <QCursor>
#include <optional>

class QWidget;

namespace orvane {

class MousePointer {
public:
    enum : int { Default = 0, Arrow = 1, Hourglass = 11, Custom = 99 };

    explicit MousePointer(QWidget* widget) : m_widget(widget) {}

    int value() const { return m_value; }
    void set(int value);

    // The image shown for the value 99.
    void setCustomImage(const QCursor& cursor) { m_custom = cursor; }
    bool hasCustomImage() const { return m_custom.has_value(); }

private:
    QWidget* m_widget;
    int m_value = Default;
    std::optional<QCursor> m_custom;
};

}  // namespace orvane
