// The main window: the file list, the buttons that fill and empty it, the
// output folder, "Start Converting To RTF" and the progress bar. Its layout is
// fixed; every behaviour is one of its event handlers.
#pragma once

#include <QWidget>
#include <memory>

#include "ListView.h"
#include "MousePointer.h"
#include "Platform.h"
#include "ProgressBar.h"

class QGroupBox;
class QLineEdit;
class QPushButton;

namespace orvane {

class Dialogs;
class FileList;
class OutputFolder;
class ConversionRun;
class ListInteraction;

class Form1 : public QWidget {
    Q_OBJECT

public:
    Form1(Platform platform, Dialogs& dialogs, QWidget* parent = nullptr);
    ~Form1() override;

    // Start-up work, before the window is first shown. Throws ProgramEnded when
    // the program was ended during the load (in tests, where ending returns).
    void Form_Load();

    // The window's handlers, by the control and the event.
    void PushButton1_Click();
    void PushButton2_Click();
    void PushButton3_Click();
    void PushButton4_Click();
    void PushButton8_Click();
    void PushButton9_Click();
    void Text1_Change();
    void Form_Unload();

    // The controls, for the handlers and for tests.
    ListView* ListView1 = nullptr;
    ProgressBar* ProgressBar1 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton* PushButton1 = nullptr;
    QPushButton* PushButton2 = nullptr;
    QPushButton* PushButton3 = nullptr;
    QPushButton* PushButton4 = nullptr;
    QPushButton* PushButton8 = nullptr;
    QPushButton* PushButton9 = nullptr;

    FileList& files() { return *m_files; }
    MousePointer& pointer() { return m_pointer; }
    const Platform& platform() const { return m_platform; }
    Dialogs& dialogs() { return m_dialogs; }
    ConversionRun& run() { return *m_run; }
    ListInteraction& listInteraction() { return *m_listInteraction; }

    // Client area, in twips.
    static constexpr int ClientWidthTwips = 8040;
    static constexpr int ClientHeightTwips = 5685;
    static const QString ListToolTip;

protected:
    void closeEvent(QCloseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void createTabOrder();
    void connectHandlers();
    void connectListHandlers();
    void centreOnScreen();
    // The pointer over one of the six buttons is the hand, elsewhere the default.
    void pointerFeedback(QWidget* under);

    Platform m_platform;
    Dialogs& m_dialogs;
    MousePointer m_pointer;
    std::unique_ptr<FileList> m_files;
    std::unique_ptr<OutputFolder> m_outputFolder;
    std::unique_ptr<ConversionRun> m_run;
    std::unique_ptr<ListInteraction> m_listInteraction;
};

}  // namespace orvane
