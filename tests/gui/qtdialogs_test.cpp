// The Qt dialogs as a person meets them: captions, icons, buttons and texts.
#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "Dialogs.h"
#include "QtDialogs.h"
#include "TestSupport.h"

using namespace orvane;

namespace {

// Runs `inspect` on the modal dialog once it is up, then lets `answer` close it.
template <class Dialog>
void whenShown(std::function<void(Dialog*)> inspectAndAnswer) {
    QTimer::singleShot(0, [inspectAndAnswer] {
        for (int tries = 0; tries < 200; ++tries) {
            if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
                inspectAndAnswer(dialog);
                return;
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        ADD_FAILURE() << "no dialog appeared";
    });
}

class QtDialogsTest : public ::testing::Test {
protected:
    void SetUp() override { setApplicationTitleText(QStringLiteral("Orvane")); }
    QtDialogs qtDialogs;
    Dialogs& dialogs = qtDialogs;
};

TEST_F(QtDialogsTest, TheErrorReportHasItsOwnCaptionAndTheWarningIcon) {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
    whenShown<QMessageBox>([&](QMessageBox* box) {
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = int(box->buttons().size());
        box->button(QMessageBox::Ok)->click();
    });
    dialogs.errorReport(QStringLiteral("Disk full\r\nin Quillon2021/08/31.Form1.Form_Load at line 132\r\rPlease"));
    EXPECT_EQ(title, "Application Error");
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(buttons, 1);
    EXPECT_EQ(text, "Disk full\nin Quillon2021/08/31.Form1.Form_Load at line 132\n\nPlease");
}

TEST_F(QtDialogsTest, MessagesAndQuestionsArePlainWithTheApplicationTitle) {
    QString title;
    QMessageBox::Icon icon = QMessageBox::Warning;
    whenShown<QMessageBox>([&](QMessageBox* box) {
        title = box->windowTitle();
        icon = box->icon();
        box->button(QMessageBox::Ok)->click();
    });
    dialogs.message(QStringLiteral("Done."));
    EXPECT_EQ(title, "Orvane");
    EXPECT_EQ(icon, QMessageBox::NoIcon);

    whenShown<QMessageBox>([&](QMessageBox* box) {
        EXPECT_NE(box->button(QMessageBox::Yes), nullptr);
        box->button(QMessageBox::No)->click();
    });
    EXPECT_FALSE(dialogs.question(QStringLiteral("Go on?")));
    whenShown<QMessageBox>([&](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
    EXPECT_TRUE(dialogs.question(QStringLiteral("Go on?")));
}

TEST_F(QtDialogsTest, APromptOffersItsDefaultAndCancelGivesNothing) {
    whenShown<QInputDialog>([&](QInputDialog* prompt) {
        EXPECT_EQ(prompt->textValue(), "doc");
        EXPECT_EQ(prompt->windowTitle(), "Orvane");
        prompt->setTextValue("docx");
        prompt->accept();
    });
    EXPECT_EQ(dialogs.textPrompt("Extension?", "", "doc"), "docx");
    whenShown<QInputDialog>([&](QInputDialog* prompt) { prompt->reject(); });
    EXPECT_EQ(dialogs.textPrompt("Extension?", "", "doc"), "");
}

// The label that shows exactly this text, or null.
QLabel* labelShowing(QWidget* dialog, const QString& text) {
    for (QLabel* label : dialog->findChildren<QLabel*>())
        if (label->text() == text) return label;
    return nullptr;
}

TEST_F(QtDialogsTest, TextsThatLookLikeMarkupShowAsTheyAre) {
    const QString failure = QStringLiteral(
        "Cannot read /d/minutes <b>draft v2.docx\r\nin Quillon2021/08/31.Word.DoItByFile at line 102\r\rPlease email");
    const QString shown = displayText(failure);
    std::vector<Qt::TextFormat> formats;
    auto record = [&](QWidget* dialog) {
        QLabel* label = labelShowing(dialog, shown);
        EXPECT_NE(label, nullptr) << "no label shows the text as given";
        formats.push_back(label ? label->textFormat() : Qt::AutoText);
    };
    whenShown<QMessageBox>([&](QMessageBox* box) {
        record(box);
        box->button(QMessageBox::Ok)->click();
    });
    dialogs.errorReport(failure);
    whenShown<QMessageBox>([&](QMessageBox* box) {
        record(box);
        box->button(QMessageBox::Ok)->click();
    });
    dialogs.message(failure);
    whenShown<QMessageBox>([&](QMessageBox* box) {
        record(box);
        box->button(QMessageBox::No)->click();
    });
    dialogs.question(failure);
    whenShown<QInputDialog>([&](QInputDialog* prompt) {
        record(prompt);
        prompt->reject();
    });
    dialogs.textPrompt(failure, "", "doc");
    EXPECT_EQ(formats, std::vector<Qt::TextFormat>(4, Qt::PlainText));
}

TEST_F(QtDialogsTest, TheFolderDialogStartsAtTheInitialFolderAndShowsFoldersOnly) {
    QTemporaryDir dir;
    QDir().mkpath(dir.path() + "/inner");
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
        EXPECT_EQ(dialog->directory().absolutePath(), dir.path());
        EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
        EXPECT_TRUE(dialog->testOption(QFileDialog::ShowDirsOnly));
        dialog->selectFile(dir.path() + "/inner");
        static_cast<QDialog*>(dialog)->accept();
    });
    EXPECT_EQ(dialogs.chooseFolder("Please select folder:", dir.path()), dir.path() + "/inner");
    whenShown<QFileDialog>([&](QFileDialog* dialog) { static_cast<QDialog*>(dialog)->reject(); });
    EXPECT_EQ(dialogs.chooseFolder("Please select folder:", dir.path()), "");
}

TEST_F(QtDialogsTest, TheOpenDialogShowsItsTitleAndFiltersAndMatchesAnyLetterCase) {
    QTemporaryDir dir;
    for (const char* name : {"a.doc", "B.DOCX", "c.Docm", "d.txt"}) {
        QFile f(dir.path() + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    OpenFilesRequest request;
    request.title = "Add File(s) - Hold Ctrl to select multiple files";
    request.filters = {{"Word Documents (*.do*)", {"*.do*"}}, {"All Files (*.*)", {"*.*"}}};
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
        EXPECT_EQ(dialog->windowTitle(), request.title);
        EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFiles);
        EXPECT_TRUE(dialog->selectedNameFilter().startsWith("Word Documents (*.do*)"));
        dialog->setDirectory(dir.path());
        dialog->selectFile("\"a.doc\" \"B.DOCX\"");
        static_cast<QDialog*>(dialog)->accept();
    });
    QStringList picked = dialogs.openFiles(request);
    picked.sort();
    EXPECT_EQ(picked, (QStringList{dir.path() + "/B.DOCX", dir.path() + "/a.doc"}));
}

}  // namespace
