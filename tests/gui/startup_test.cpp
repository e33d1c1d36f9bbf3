// Start-up: the load's order and line numbers, the error report, the title,
// and the window's layout.
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

#include "ConversionRun.h"
#include "ErrorReport.h"
#include "FileList.h"
#include "Settings.h"
#include "Startup.h"
#include "TestSupport.h"

using namespace orvane;
using namespace orvane::testing;

namespace {

// A program folder with the engine beside it and nothing else, so each test
// decides which of the optional files exist.
class ProgramFolder {
public:
    explicit ProgramFolder(bool withEngine = true) {
        if (withEngine)
            QFile::link(builtProgramFolder() + QStringLiteral("/orvane-word"), path() + QStringLiteral("/orvane-word"));
    }
    QString path() const { return m_dir.path(); }
    void write(const QString& name, const QByteArray& bytes) const {
        const QString file = path() + QLatin1Char('/') + name;
        QDir().mkpath(QFileInfo(file).path());
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
    }

private:
    QTemporaryDir m_dir;
};

class Startup : public SettingsFixture {};

TEST(ErrorReportText, IsExactToTheCharacter) {
    EXPECT_EQ(errorReportText(QStringLiteral("File not found"), LocationTag::FormLoad, 108),
              QStringLiteral("File not found\r\nin Quillon2021/08/31.Form1.Form_Load at line 108\r\r"
                             "Please email screenshot of this message to support@orvane.example"));
    EXPECT_EQ(errorReportText(QStringLiteral("x"), LocationTag::PushButton9Click, 100),
              QStringLiteral("x\r\nin Quillon2021/08/31.Form1.PushButton9_Click at line 100\r\r"
                             "Please email screenshot of this message to support@orvane.example"));
}

TEST(ErrorTrapBehaviour, ReportsEachFailureWithItsLineAndGoesOn) {
    ScriptedDialogs dialogs;
    ErrorTrap trap(dialogs, LocationTag::PushButton2Click);
    QStringList ran;
    trap.line(100, [&] { ran << "100"; });
    trap.line(102, [&] { throw Failure(QStringLiteral("first")); });
    trap.step([&] { throw std::runtime_error("unnumbered"); });  // reports the last number reached
    auto helperWithoutTrap = [&] {
        ran << "helper start";
        throw Failure(QStringLiteral("inside helper"));
        ran << "helper rest";  // abandoned
    };
    trap.line(104, helperWithoutTrap);
    trap.line(106, [&] { ran << "106"; });
    EXPECT_EQ(ran, (QStringList{"100", "helper start", "106"}));
    const QStringList reports = dialogs.errorReports();
    ASSERT_EQ(reports.size(), 3);
    EXPECT_TRUE(reports[0].startsWith("first\r\nin Quillon2021/08/31.Form1.PushButton2_Click at line 102\r\r"));
    EXPECT_TRUE(reports[1].startsWith("unnumbered\r\n") && reports[1].contains("at line 102\r\r"));
    EXPECT_TRUE(reports[2].startsWith("inside helper\r\n") && reports[2].contains("at line 104\r\r"));
    EXPECT_THROW(trap.line(108, [] { throw ProgramEnded{3}; }), ProgramEnded);
}

TEST(ApplicationTitle, DropsWordsFromTheEndUntilFortyCharactersRemain) {
    EXPECT_EQ(applicationTitleFor("Orvane"), "Orvane");
    EXPECT_EQ(applicationTitleFor("Alpha Beta Gamma"), "Alpha Beta");
    EXPECT_EQ(applicationTitleFor("Alphabetical Conversion Machinery Deluxe Professional Edition"),
              "Alphabetical Conversion Machinery Deluxe");
    EXPECT_EQ(applicationTitleFor(QString(50, QLatin1Char('x'))), QString(40, QLatin1Char('x')));
}

TEST_F(Startup, FirstStartShowsTheWindowAndStoresTheDesktopFolder) {
    ProgramFolder program;
    Form1 window(m_platform.make(program.path()), m_dialogs);
    window.Form_Load();

    EXPECT_TRUE(m_dialogs.shown.empty());
    EXPECT_TRUE(m_platform.endCodes.isEmpty());
    EXPECT_EQ(window.windowTitle(), "Orvane");
    EXPECT_EQ(applicationTitle(), "Orvane");
    EXPECT_FALSE(window.windowIcon().isNull());
    EXPECT_EQ(window.ListView1->headerItem()->text(0), " Word File(s)");
    EXPECT_EQ(window.ListView1->columnCount(), 1);
    EXPECT_EQ(window.ListView1->columnWidth(0), 467);  // 7000 twips
    const QString expected = m_platform.desktop + QLatin1Char('/');
    EXPECT_EQ(window.Text1->text(), expected);
    QSettings stored(settingsFile(), QSettings::IniFormat);
    EXPECT_EQ(stored.value("Orvane/Text1").toString(), expected);
    EXPECT_FALSE(window.pointer().hasCustomImage());
}

TEST_F(Startup, StoredEmptyFolderWinsOverTheDefault) {
    SettingsStore::write("Text1", "");
    ProgramFolder program;
    Form1 window(m_platform.make(program.path()), m_dialogs);
    window.Form_Load();
    EXPECT_EQ(window.Text1->text(), "");
    EXPECT_EQ(SettingsStore::read("Text1", "fallback"), "");
    EXPECT_EQ(SettingsStore::read("Extension", "doc"), "doc");
}

TEST_F(Startup, MissingDesktopFallsBackToTheHomeFolder) {
    m_platform.desktop = m_desktop.path() + QStringLiteral("/no-such-desktop");
    ProgramFolder program;
    Form1 window(m_platform.make(program.path()), m_dialogs);
    window.Form_Load();
    EXPECT_EQ(window.Text1->text(), QDir::homePath() + QLatin1Char('/'));
}

TEST_F(Startup, FailingStepsAreReportedWithTheirLinesAndTheLoadGoesOn) {
    ProgramFolder program;
    program.write("HAND-M.CUR", "this is not a cursor");
    m_platform.nextRandom = 0.06;  // draws 7: the home page is due
    m_platform.urlOpens = false;
    Form1 window(m_platform.make(program.path()), m_dialogs);
    window.Form_Load();

    const QStringList reports = m_dialogs.errorReports();
    ASSERT_EQ(reports.size(), 2);
    EXPECT_TRUE(reports[0].contains("\r\nin Quillon2021/08/31.Form1.Form_Load at line 106\r\r")) << reports[0].toStdString();
    EXPECT_TRUE(reports[0].contains("HAND-M.CUR"));
    EXPECT_TRUE(reports[1].contains("\r\nin Quillon2021/08/31.Form1.Form_Load at line 108\r\r")) << reports[1].toStdString();
    EXPECT_EQ(m_platform.openedUrls, QStringList{HomePageAddress});
    // Everything after the failures still happened.
    EXPECT_EQ(window.windowTitle(), "Orvane");
    EXPECT_EQ(window.ListView1->headerItem()->text(0), " Word File(s)");
    EXPECT_EQ(window.Text1->text(), m_platform.desktop + QLatin1Char('/'));
}

TEST_F(Startup, HomePageIsVisitedOnlyWhenTheDrawIsSeven) {
    for (double r : {0.0, 0.05, 0.07, 0.5, 0.99}) {
        m_platform.nextRandom = r;
        ProgramFolder program;
        Form1 window(m_platform.make(program.path()), m_dialogs);
        window.Form_Load();
    }
    EXPECT_TRUE(m_platform.openedUrls.isEmpty());
    m_platform.nextRandom = 0.0699;
    ProgramFolder program;
    Form1 window(m_platform.make(program.path()), m_dialogs);
    window.Form_Load();
    EXPECT_EQ(m_platform.openedUrls.size(), 1);
    EXPECT_TRUE(m_dialogs.errorReports().isEmpty());
}

TEST_F(Startup, SkinAndHandPointerAreTakenFromBesideTheProgram) {
    ProgramFolder program;
    QFile skin(QStringLiteral(ORVANE_SOURCE_DIR "/resources/o.cjs"));
    ASSERT_TRUE(skin.open(QIODevice::ReadOnly));
    program.write("x/o.cjs", skin.readAll());
    QFile cursor(QStringLiteral(ORVANE_SOURCE_DIR "/resources/HAND-M.CUR"));
    ASSERT_TRUE(cursor.open(QIODevice::ReadOnly));
    program.write("HAND-M.CUR", cursor.readAll());

    Form1 window(m_platform.make(program.path()), m_dialogs);
    const QColor buttonFace = window.palette().color(QPalette::Button);
    window.Form_Load();
    EXPECT_TRUE(m_dialogs.shown.empty());
    EXPECT_TRUE(window.styleSheet().contains("QPushButton"));
    EXPECT_EQ(window.Frame1->palette().color(QPalette::Window), buttonFace);
    EXPECT_TRUE(window.pointer().hasCustomImage());
    window.pointer().set(MousePointer::Custom);
    EXPECT_EQ(window.cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(window.cursor().hotSpot(), QPoint(10, 0));
}

TEST_F(Startup, WithoutASkinTheWindowKeepsItsWhiteLook) {
    ProgramFolder program;
    QDir().mkpath(program.path() + "/x/o.cjs");  // a folder of that name is no skin
    Form1 window(m_platform.make(program.path()), m_dialogs);
    window.Form_Load();
    EXPECT_TRUE(window.styleSheet().isEmpty());
    EXPECT_EQ(window.palette().color(QPalette::Window), QColor(Qt::white));
}

TEST_F(Startup, MissingEngineShowsTheAdviceAndEndsBeforeTheWindowShows) {
    ProgramFolder program(/*withEngine=*/false);
    Form1 window(m_platform.make(program.path()), m_dialogs);
    EXPECT_THROW(window.Form_Load(), ProgramEnded);
    EXPECT_EQ(m_platform.endCodes, QList<int>{1});
    EXPECT_FALSE(window.isVisible());
    ASSERT_EQ(m_dialogs.shown.size(), 1u);
    const Shown& advice = m_dialogs.shown[0];
    EXPECT_EQ(advice.kind, Shown::Message);
    EXPECT_EQ(advice.title, "Orvane");
    const QStringList paragraphs = advice.text.split("\r\n\r\n");
    ASSERT_EQ(paragraphs.size(), 5);
    EXPECT_EQ(paragraphs[0], "Error 842001. A normal instance of Word could not be created.");
    EXPECT_TRUE(paragraphs[4].startsWith("4. All versions of Word are supported"));
}

TEST_F(Startup, ClosingTheWindowEndsTheProgram) {
    ProgramFolder program;
    Form1 window(m_platform.make(program.path()), m_dialogs);
    window.Form_Load();
    window.show();
    window.close();
    EXPECT_EQ(m_platform.endCodes, QList<int>{0});
}

TEST_F(Startup, SettingsThatCannotBeWrittenAreSaidOnce) {
    // A folder where the file should be: QSettings cannot write it.
    ASSERT_TRUE(QDir().mkpath(settingsFile()));
    EXPECT_THROW(SettingsStore::write("Text1", "/x/"), Failure);
    ProgramFolder program;
    Form1 window(m_platform.make(program.path()), m_dialogs);
    window.Form_Load();
    window.Text1->setText("/a/");
    window.Text1->setText("/ab/");
    const QStringList messages = m_dialogs.messages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("Cannot save the setting \"Text1\"")) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains("will not be remembered"));
    EXPECT_EQ(window.Text1->text(), "/ab/");  // the box keeps what the user typed
}

TEST(WindowLayout, MatchesTheDesignInPixels) {
    ScriptedDialogs dialogs;
    RecordedPlatform recorded;
    Form1 window(recorded.make(QStringLiteral("/nonexistent")), dialogs);
    EXPECT_EQ(window.size(), QSize(536, 379));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_TRUE(window.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);

    struct Expect {
        QWidget* widget;
        QRect pixels;
        QString caption;
    };
    const std::vector<Expect> layout = {
        {window.ListView1, {8, 8, 520, 169}, {}},
        {window.PushButton1, {8, 183, 256, 27}, "Add Word File(s)"},
        {window.PushButton4, {272, 183, 256, 27}, "Add All Word Files In Folder"},
        {window.PushButton8, {8, 217, 256, 27}, "Clear List"},
        {window.PushButton9, {272, 217, 256, 27}, "Load Sample/Example Files"},
        {window.Frame1, {8, 248, 520, 54}, "Save Results To This Folder"},
        {window.Text1, {16, 20, 442, 23}, {}},
        {window.PushButton3, {464, 20, 40, 23}, "..."},
        {window.PushButton2, {8, 310, 520, 27}, "Start Converting To RTF"},
        {window.ProgressBar1, {8, 345, 520, 27}, {}},
    };
    for (const Expect& e : layout) {
        EXPECT_EQ(e.widget->geometry(), e.pixels) << e.widget->objectName().toStdString();
        if (auto* button = qobject_cast<QPushButton*>(e.widget)) {
            EXPECT_EQ(button->text(), e.caption);
            EXPECT_EQ(button->font().family(), "Arial");
            EXPECT_DOUBLE_EQ(button->font().pointSizeF(), 11.25);
            EXPECT_TRUE(button->font().bold());
        }
    }
    EXPECT_EQ(window.Frame1->title(), "Save Results To This Folder");
    EXPECT_EQ(window.Text1->parentWidget(), window.Frame1);
    EXPECT_EQ(window.PushButton3->parentWidget(), window.Frame1);
    EXPECT_EQ(window.font().family(), "Arial");
    EXPECT_DOUBLE_EQ(window.font().pointSizeF(), 9);
    EXPECT_TRUE(window.Text1->font().bold());
    EXPECT_EQ(window.ListView1->toolTip(), Form1::ListToolTip);
    EXPECT_EQ(window.ProgressBar1->text(), "Progress Bar");
    EXPECT_EQ(window.palette().color(QPalette::Window), QColor(Qt::white));
}

TEST(WindowLayout, TabMovesThroughTheControlsInOrder) {
    ScriptedDialogs dialogs;
    RecordedPlatform recorded;
    Form1 window(recorded.make(QStringLiteral("/nonexistent")), dialogs);
    window.show();
    window.activateWindow();
    window.ListView1->setFocus();
    QList<QWidget*> order{window.ListView1};
    for (int i = 0; i < 7; ++i) {
        QWidget* next = order.back()->nextInFocusChain();
        while (next && (next->focusPolicy() & Qt::TabFocus) == 0) next = next->nextInFocusChain();
        order << next;
    }
    const QList<QWidget*> expected{window.ListView1,   window.Text1,       window.PushButton3, window.PushButton1,
                                   window.PushButton4, window.PushButton2, window.PushButton8, window.PushButton9};
    EXPECT_EQ(order, expected);
    EXPECT_EQ(window.ProgressBar1->focusPolicy(), Qt::NoFocus);
}

}  // namespace
