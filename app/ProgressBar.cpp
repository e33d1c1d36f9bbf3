#include "ProgressBar.h"

namespace orvane {

void ProgressBar::setText(const QString& text) {
    if (text == m_text) return;
    m_text = text;
    update();
}

}  // namespace orvane
