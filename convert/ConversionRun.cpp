#include "ConversionRun.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLineEdit>
#include <QSet>
#include <memory>

#include "Automation.h"
#include "Dialogs.h"
#include "ErrorReport.h"
#include "FileList.h"
#include "MousePointer.h"
#include "Platform.h"
#include "ProgressBar.h"

namespace orvane {

namespace au = automation;

const QString ConversionRun::NoFilesMessage = QStringLiteral("No files added.");
const QString ConversionRun::NoFolderMessage = QStringLiteral("Folder does not exist. Please select another folder.");
const QString ConversionRun::DoneMessage = QStringLiteral("Done.");
const QString ConversionRun::AdviceMessage = QStringLiteral(
    "Error 842001. A normal instance of Word could not be created.\r\n\r\n"
    "1. Please make sure Word is installed on this computer.\r\n\r\n"
    "2. Please open Word normally and make sure a blank document opens immediately without any interrupting window "
    "(such as an Word file recovery window).\r\n\r\n"
    "3. Please make sure that when you double-click on a DOC or DOCX file that Word opens normally without any "
    "interrupting messages.\r\n\r\n"
    "4. All versions of Word are supported by this software except for the rare Word Starter and Student editions.");
const QString ConversionRun::RunningQuestion = QStringLiteral(
    "Word may be open. It is recommended that you close Word first. Use Ctrl+Alt+Del > Task Manager > WINWORD.EXE if "
    "necessary.\r\n\r\nWould you like to proceed anyway?");

namespace {
const char* const kWordClass = "Word.Application";
constexpr int kFormatRtf = 6;

std::shared_ptr<au::Object> asObject(const au::Value& value, const char* what) {
    if (auto object = std::get_if<std::shared_ptr<au::Object>>(&value); object && *object) return *object;
    throw Failure(QStringLiteral("The document engine returned no %1.").arg(QLatin1String(what)));
}
}  // namespace

QString OutputPathFor(const QString& folderText, const QString& inputPath, PathStyle style) {
    QString name = FileNameOf(inputPath, style);
    // A name without a dot has itself as its "extension" and stays whole.
    if (name.contains(QLatin1Char('.'))) name.remove(QLatin1Char('.') + ExtensionOf(name), Qt::CaseSensitive);
    const QString joined = folderText + separatorOf(style) + name;
    return NormalizePath(NormalizePath(joined, style), style) + QStringLiteral(".rtf");
}

QString firstFreeOutputPath(const QString& outputPath, const std::function<bool(const QString&)>& taken) {
    if (!taken(outputPath)) return outputPath;
    const QString stem = outputPath.left(outputPath.size() - 4);  // without ".rtf"
    for (int n = 2;; ++n) {
        const QString candidate = QStringLiteral("%1 (%2).rtf").arg(stem).arg(n);
        if (!taken(candidate)) return candidate;
    }
}

namespace {

// The files that an output of one run must not replace: every file listed
// for the run, converted yet or not (the input being converted included, and
// inputs whose rows went since), and every output the run wrote. Converting
// into the documents' own folder would otherwise overwrite a listed a.rtf
// with the conversion of a.txt before a.rtf itself is read.
class RunFiles {
public:
    explicit RunFiles(const FileList& files) : m_files(files) {}

    void converting(const QString& input) { m_inputs.insert(identity(input)); }
    void wrote(const QString& output) { m_written.insert(identity(output)); }

    bool taken(const QString& path) {
        const QString id = identity(path);
        return m_written.contains(id) || m_inputs.contains(id) || listed().contains(id);
    }

private:
    // One name for one file, whichever way a path spells it (doubled
    // separators, "..", links); a path to nothing keeps its cleaned spelling.
    static QString identity(const QString& path) {
        const QFileInfo info(path);
        const QString canonical = info.canonicalFilePath();
        return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
    }

    // Rows can be added, removed and dragged while the run yields: the set is
    // gathered again when the list has changed, each path looked up once.
    const QSet<QString>& listed() {
        if (m_listedRevision != m_files.revision() || !m_listedValid) {
            m_listed.clear();
            for (int row = 1; row <= m_files.FileCount(); ++row) {
                const QString path = m_files.FilePathAt(row);
                auto known = m_identities.constFind(path);
                if (known == m_identities.cend()) known = m_identities.insert(path, identity(path));
                m_listed.insert(*known);
            }
            m_listedRevision = m_files.revision();
            m_listedValid = true;
        }
        return m_listed;
    }

    const FileList& m_files;
    QSet<QString> m_inputs;
    QSet<QString> m_written;
    QSet<QString> m_listed;
    QHash<QString, QString> m_identities;
    quint64 m_listedRevision = 0;
    bool m_listedValid = false;
};

}  // namespace

QString ConversionRun::enginePath() const { return m_c.platform.programFolder + QStringLiteral("/orvane-word"); }

namespace {
au::ClientOptions clientOptions(const QString& enginePath, std::chrono::milliseconds timeout, const QString& registry) {
    au::ClientOptions options;
    options.enginePath = enginePath.toStdString();
    options.callTimeout = timeout;
    if (!registry.isEmpty()) options.registryDir = registry.toStdString();
    return options;
}
}  // namespace

void ConversionRun::PushButton2_Click() {
    ErrorTrap trap(m_c.dialogs, LocationTag::PushButton2Click);
    trap.reach(100);
    if (m_converting) return;
    trap.line(102, [&] { m_converting = true; });

    // Every way out after this point clears the busy flag.
    auto finish = [&] { trap.line(152, [&] { m_converting = false; }); };

    bool empty = false;
    trap.line(104, [&] { empty = m_c.files.FileCount() == 0; });
    if (empty) {
        trap.line(150, [&] { m_c.dialogs.message(NoFilesMessage); });
        return finish();
    }
    bool folderMissing = false;
    trap.line(106, [&] { folderMissing = !FolderExists(m_c.outputFolder->text()); });
    if (folderMissing) {
        trap.line(148, [&] { m_c.dialogs.message(NoFolderMessage); });
        return finish();
    }
    bool stop = false;
    trap.line(108, [&] { stop = StopForOpenWord(); });
    if (stop) return finish();

    int count = 0;
    trap.line(110, [&] { count = m_c.files.FileCount(); });
    RunFiles runFiles(m_c.files);
    for (int position = 1; position <= count; ++position) {
        QString input;
        bool gone = false;
        trap.line(112, [&] {
            try {
                input = m_c.files.FilePathAt(position);
            } catch (...) {
                gone = true;
                throw;
            }
        });
        // Rows removed while the run waited: nothing stands at this position any more.
        if (gone) continue;
        runFiles.converting(input);
        trap.line(114, [&] {
            const int rows = m_c.files.FileCount();
            if (rows == 0) throw Failure(QStringLiteral("Division by zero: the list is empty."));
            m_c.progress->setValue(qRound(double(position) / rows * 100.0));
        });
        trap.line(116, [&] { m_c.progress->setText(QStringLiteral("Processing: ") + FileNameOf(input)); });
        trap.line(118, [&] {
            if (m_c.platform.processEvents) m_c.platform.processEvents();
        });
        trap.line(120, [&] { m_c.pointer.set(MousePointer::Hourglass); });
        QString output;
        trap.line(122, [&] {
            output = firstFreeOutputPath(OutputPathFor(m_c.outputFolder->text(), input),
                                         [&](const QString& path) { return runFiles.taken(path); });
        });
        trap.line(134, [&] {
            DoItByFile(input, output);
            if (QFileInfo(output).isFile()) runFiles.wrote(output);
        });
        trap.line(136, [&] { m_c.pointer.set(MousePointer::Hourglass); });
        trap.reach(138);
    }
    trap.line(140, [&] { m_c.pointer.set(MousePointer::Default); });
    trap.line(142, [&] { m_c.progress->setValue(0); });
    trap.line(144, [&] { m_c.progress->setText(QStringLiteral("Progress Bar")); });
    trap.line(146, [&] { m_c.dialogs.message(DoneMessage); });
    finish();
}

void ConversionRun::DoItByFile(const QString& inputPath, const QString& outputPath) {
    ErrorTrap trap(m_c.dialogs, LocationTag::DoItByFile);
    const au::ClientOptions options = clientOptions(enginePath(), m_callTimeout, m_registryFolder);
    std::shared_ptr<au::Object> word;
    std::shared_ptr<au::Object> document;
    trap.line(100, [&] { word = au::createObject(kWordClass, options); });
    trap.line(102, [&] {
        if (!word) throw Failure(QStringLiteral("No document engine is running, so the document was not opened."));
        auto documents = asObject(word->get("Documents"), "document collection");
        document = asObject(documents->call("Open", {au::Value(inputPath.toStdString())}), "document");
    });
    trap.line(112, [&] {
        if (!document) throw Failure(QStringLiteral("No document is open, so nothing was saved."));
        document->call("SaveAs", {},
                       {{"fileName", au::Value(outputPath.toStdString())},
                        {"FileFormat", au::Value(std::int32_t(kFormatRtf))},
                        {"LockComments", au::Value(false)},
                        {"Password", au::Value(std::string())},
                        {"AddToRecentFiles", au::Value(true)},
                        {"WritePassword", au::Value(std::string())},
                        {"ReadOnlyRecommended", au::Value(false)},
                        {"EmbedTrueTypeFonts", au::Value(false)},
                        {"SaveNativePictureFormat", au::Value(false)},
                        {"SaveFormsData", au::Value(false)},
                        {"SaveAsAOCELetter", au::Value(false)}});
    });
    trap.line(114, [&] {
        if (!word) throw Failure(QStringLiteral("No document engine is running, so there is nothing to quit."));
        // An engine that already stopped (it crashed, or was stopped for taking
        // too long) has been reported where that happened; it needs no quitting.
        if (!word->connected()) return;
        word->call("Quit");
    });
    // The references go here, on every path; the last one ends the engine process.
    document.reset();
    word.reset();
}

void ConversionRun::CheckWordInstalled() {
    std::shared_ptr<au::Object> word;
    try {
        word = au::createObject(kWordClass, clientOptions(enginePath(), m_callTimeout, m_registryFolder));
    } catch (...) {
        word.reset();
    }
    if (!word) {
        m_c.dialogs.message(AdviceMessage);
        m_c.platform.endProgram(1);
        throw ProgramEnded{1};
    }
    try {
        word->call("Quit");
    } catch (...) {
        // A failing Quit goes unnoticed: the instance ends with its last reference.
    }
}

bool ConversionRun::IsWordRunning() {
    try {
        auto running = au::getObject(kWordClass, clientOptions(enginePath(), m_callTimeout, m_registryFolder));
        return running && running->defaultValue() == "Microsoft Word";
    } catch (...) {
        return false;
    }
}

bool ConversionRun::StopForOpenWord() {
    if (!IsWordRunning()) return false;
    return !m_c.dialogs.question(RunningQuestion);
}

}  // namespace orvane
