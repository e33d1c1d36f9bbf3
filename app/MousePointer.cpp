#include "MousePointer.h"

#include <QWidget>

namespace orvane {

void MousePointer::set(int value) {
    m_value = value;
    switch (value) {
    case Arrow: m_widget->setCursor(Qt::ArrowCursor); break;
    case Hourglass: m_widget->setCursor(Qt::WaitCursor); break;
    case Custom:
        if (m_custom) m_widget->setCursor(*m_custom);
        else m_widget->unsetCursor();
        break;
    default: m_widget->unsetCursor(); break;
    }
}

}  // namespace orvane
