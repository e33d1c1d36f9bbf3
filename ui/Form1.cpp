#include "Form1.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>

#include "AddAllFiles.h"
#include "AddFiles.h"
#include "ConversionRun.h"
#include "Dialogs.h"
#include "DropFiles.h"
#include "ListInteraction.h"
#include "ListView.h"
#include "ErrorReport.h"
#include "FileList.h"
#include "FolderScan.h"
#include "OutputFolder.h"
#include "Paths.h"
#include "Samples.h"
#include "Startup.h"
#include "Units.h"

namespace orvane {

const QString Form1::ListToolTip = QStringLiteral(
    "Drag and drop files here. Double-click item to remove it. Move | line to right and out of window to reveal full "
    "names.");

namespace {
QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height));
}

QFont arial(double points) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setWeight(QFont::Bold);
    return font;
}
}  // namespace

Form1::Form1(Platform platform, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_platform(std::move(platform)),
      m_dialogs(dialogs),
      m_pointer(this) {
    setObjectName(QStringLiteral("Form1"));
    createControls();
    createTabOrder();
    m_files = std::make_unique<FileList>(ListView1);
    m_outputFolder = std::make_unique<OutputFolder>(Text1, m_dialogs, m_platform.desktopFolder);
    m_run = std::make_unique<ConversionRun>(RunControls{*m_files, Text1, ProgressBar1, m_pointer, m_dialogs, m_platform});
    m_listInteraction = std::make_unique<ListInteraction>(ListView1, *m_files, m_pointer, m_dialogs,
                                                          m_platform.programFolder);
    connectHandlers();
    connectListHandlers();
}

Form1::~Form1() = default;

void Form1::createControls() {
    setFixedSize(twipsToPixels(ClientWidthTwips), twipsToPixels(ClientHeightTwips));
    setFont(arial(9));
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    Frame1 = new QGroupBox(QStringLiteral("Save Results To This Folder"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(twipsRect(120, 3720, 7800, 810));
    Frame1->setAutoFillBackground(true);

    Text1 = new QLineEdit(Frame1);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(twipsRect(240, 300, 6630, 345));

    const QFont buttonFont = arial(11.25);
    auto button = [&](QWidget* parent, const char* name, const QString& caption, QRect geometry) {
        auto* b = new QPushButton(caption, parent);
        b->setObjectName(QLatin1String(name));
        b->setFont(buttonFont);
        b->setGeometry(geometry);
        return b;
    };
    PushButton3 = button(Frame1, "PushButton3", QStringLiteral("..."), twipsRect(6960, 300, 600, 345));

    ListView1 = new ListView(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setGeometry(twipsRect(120, 120, 7800, 2535));
    ListView1->setFont(arial(9));
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ListView1->header()->setStretchLastSection(false);
    ListView1->setToolTip(ListToolTip);

    ProgressBar1 = new ProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(twipsRect(120, 5170, 7800, 405));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(true);
    ProgressBar1->setAlignment(Qt::AlignCenter);
    ProgressBar1->setText(QStringLiteral("Progress Bar"));

    PushButton1 = button(this, "PushButton1", QStringLiteral("Add Word File(s)"), twipsRect(120, 2750, 3840, 405));
    PushButton4 =
        button(this, "PushButton4", QStringLiteral("Add All Word Files In Folder"), twipsRect(4080, 2750, 3840, 405));
    PushButton2 = button(this, "PushButton2", QStringLiteral("Start Converting To RTF"), twipsRect(120, 4650, 7800, 405));
    PushButton8 = button(this, "PushButton8", QStringLiteral("Clear List"), twipsRect(120, 3260, 3840, 405));
    PushButton9 =
        button(this, "PushButton9", QStringLiteral("Load Sample/Example Files"), twipsRect(4080, 3260, 3840, 405));
}

void Form1::createTabOrder() {
    // The frame and the progress bar take no focus; Tab passes over them.
    ProgressBar1->setFocusPolicy(Qt::NoFocus);
    Frame1->setFocusPolicy(Qt::NoFocus);
    QWidget::setTabOrder(ListView1, Text1);
    QWidget::setTabOrder(Text1, PushButton3);
    QWidget::setTabOrder(PushButton3, PushButton1);
    QWidget::setTabOrder(PushButton1, PushButton4);
    QWidget::setTabOrder(PushButton4, PushButton2);
    QWidget::setTabOrder(PushButton2, PushButton8);
    QWidget::setTabOrder(PushButton8, PushButton9);
}

void Form1::connectHandlers() {
    connect(PushButton1, &QPushButton::clicked, this, &Form1::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form1::PushButton2_Click);
    connect(PushButton3, &QPushButton::clicked, this, &Form1::PushButton3_Click);
    connect(PushButton4, &QPushButton::clicked, this, &Form1::PushButton4_Click);
    connect(PushButton8, &QPushButton::clicked, this, &Form1::PushButton8_Click);
    connect(PushButton9, &QPushButton::clicked, this, &Form1::PushButton9_Click);
    connect(Text1, &QLineEdit::textChanged, this, &Form1::Text1_Change);
    // Files and folders dropped from the file manager; any other drag is refused.
    ListView1->acceptsDrop = &carriesLocalFiles;
    ListView1->onDrop = [this](const QMimeData* data) {
        FolderScan scan(localFileSystem(), m_dialogs, m_platform.processEvents);
        ListView1_OLEDragDrop(*m_files, scan, data);
    };
}

void Form1::centreOnScreen() {
    if (QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void Form1::Form_Load() {
    ErrorTrap trap(m_dialogs, LocationTag::FormLoad);
    const QString folder = m_platform.programFolder;
    trap.line(100, [&] { ApplySkin(this, {Frame1}, folder); });
    trap.line(104, [&] {
        if (PathExists(handPointerPath(folder)))
            trap.line(106, [&] { m_pointer.setCustomImage(loadPointerImage(handPointerPath(folder))); });
    });
    trap.line(108, [&] { VisitHomePage(m_platform); });
    trap.line(126, [&] { setWindowTitle(ProductName); });
    trap.step([&] { setWindowIcon(QIcon(QStringLiteral(":/orvane/orvane.png"))); });
    trap.step([&] { SetApplicationTitle(); });
    trap.line(128, [&] { m_files->createColumn(); });
    trap.line(130, [&] { m_files->setColumnWidthTwips(7000); });
    trap.line(132, [&] { m_outputFolder->restore(); });
    trap.line(134, [&] { m_run->CheckWordInstalled(); });
    centreOnScreen();
}

void Form1::Form_Unload() { m_platform.endProgram(0); }

void Form1::closeEvent(QCloseEvent* event) {
    event->accept();
    Form_Unload();
}

void Form1::PushButton1_Click() { orvane::PushButton1_Click(*m_files, m_dialogs); }
void Form1::PushButton2_Click() { m_run->PushButton2_Click(); }
void Form1::PushButton3_Click() { m_outputFolder->PushButton3_Click(); }
void Form1::Text1_Change() { m_outputFolder->Text1_Change(); }

void Form1::PushButton4_Click() {
    FolderScan scan(localFileSystem(), m_dialogs, m_platform.processEvents);
    orvane::PushButton4_Click(*m_files, m_dialogs, m_pointer, scan);
}

void Form1::PushButton9_Click() {
    FolderScan scan(localFileSystem(), m_dialogs, m_platform.processEvents);
    orvane::PushButton9_Click(*m_files, scan, m_dialogs, m_platform);
}

void Form1::PushButton8_Click() { m_listInteraction->PushButton8_Click(); }

void Form1::connectListHandlers() {
    ListInteraction& list = *m_listInteraction;
    ListView1->onKeyDown = [&list](QKeyEvent* event) { list.ListView1_KeyDown(event->key(), event->modifiers()); };
    ListView1->onDoubleClick = [&list](QMouseEvent*) { list.ListView1_DblClick(); };
    ListView1->onMouseDown = [this, &list](QMouseEvent* event) {
        list.ListView1_MouseDown();
        // A press on a row picks it up, so a row can be pressed and dragged in one go.
        if (ListView1->itemAt(event->position().toPoint())) list.ListView1_ItemClick();
    };
    ListView1->onMouseMove = [&list](QMouseEvent* event) { list.ListView1_MouseMove(event->position().toPoint()); };
    ListView1->onMouseUp = [&list](QMouseEvent*) { list.ListView1_MouseUp(); };

    // Pointer feedback over the buttons, the frame, the text box and the background.
    setMouseTracking(true);
    for (QWidget* w : std::initializer_list<QWidget*>{PushButton1, PushButton2, PushButton3, PushButton4, PushButton8,
                                                      PushButton9, Text1, Frame1}) {
        w->setMouseTracking(true);
        w->installEventFilter(this);
    }
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Enter) {
        pointerFeedback(qobject_cast<QWidget*>(watched));
    } else if (event->type() == QEvent::MouseMove) {
        // A button ignores a move while no button is held, and Qt then passes
        // it on to the frame and the window: judge every move by what lies
        // under the pointer, not by who was handed it.
        const QPoint at = mapFromGlobal(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
        pointerFeedback(childAt(at));
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::mouseMoveEvent(QMouseEvent* event) {
    pointerFeedback(childAt(event->position().toPoint()));
    QWidget::mouseMoveEvent(event);
}

void Form1::pointerFeedback(QWidget* under) {
    for (QWidget* w = under; w && w != this; w = w->parentWidget()) {
        if (w == PushButton1 || w == PushButton2 || w == PushButton3 || w == PushButton4 || w == PushButton8 ||
            w == PushButton9) {
            m_listInteraction->pointerOverButton();
            return;
        }
        if (w == ListView1) return;  // the list sets the pointer in its own move handler
    }
    m_listInteraction->pointerOverBackground();
}

}  // namespace orvane
