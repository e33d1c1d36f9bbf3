// The window's progress bar. It shows its text exactly as set: Qt's own bar
// reads its text as a format in which "%p", "%v" and "%m" stand for numbers,
// and the text here holds file names, which may contain them.
#pragma once

#include <QProgressBar>

namespace orvane {

class ProgressBar : public QProgressBar {
    Q_OBJECT

public:
    explicit ProgressBar(QWidget* parent = nullptr) : QProgressBar(parent) {}

    void setText(const QString& text);
    QString text() const override { return m_text; }

private:
    QString m_text;
};

}  // namespace orvane
