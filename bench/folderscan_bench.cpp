// How the folder walk and the gathering of "Add All" scale: generates a tree of
// files in a temporary folder, walks it, gathers every file into the window's
// list control, and prints the time and the peak memory of each step.
//
//   folderscan_bench                 runs 25 000 files in 1 250 folders, then
//                                    100 000 in 5 000, each in a process of its
//                                    own, and compares the two
//   folderscan_bench FILES FOLDERS   one run of that size
//
// The tree is spread breadth-first, ten subfolders to a folder, the files
// evenly over the folders, with the usual mix of extensions and a few
// temporary and lock files that the gathering leaves out.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Dialogs.h"
#include "FileList.h"
#include "FolderScan.h"

using namespace orvane;

namespace {

// The walk's error trap needs somewhere to report; a benchmark prints it.
class PrintingDialogs : public Dialogs {
public:
    void message(const QString& text, const QString&) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    bool question(const QString&, const QString&) override { return false; }
    void errorReport(const QString& text) override {
        std::fprintf(stderr, "error report: %s\n", qPrintable(text));
        ++reports;
    }
    QString textPrompt(const QString&, const QString&, const QString&) override { return {}; }
    QStringList openFiles(const OpenFilesRequest&) override { return {}; }
    QString chooseFolder(const QString&, const QString&) override { return {}; }
    int reports = 0;
};

long peakKilobytes() {
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Folder i (from 1) lives in folder (i - 1) / 10; folder 0 is the top.
QStringList makeTree(const QString& top, int files, int folders) {
    QStringList paths{top};
    for (int i = 1; i < folders; ++i) {
        const QString path = paths[(i - 1) / 10] + QStringLiteral("/folder%1").arg(i, 5, 10, QLatin1Char('0'));
        if (::mkdir(QFile::encodeName(path).constData(), 0755) != 0) return {};
        paths << path;
    }
    static const char* const extensions[] = {"doc", "docx", "odt", "rtf", "txt"};
    for (int f = 0; f < files; ++f) {
        QString name = QStringLiteral("document%1.%2").arg(f, 6, 10, QLatin1Char('0')).arg(extensions[f % 5]);
        if (f % 97 == 0) name = QStringLiteral("~$") + name;           // a temporary file: left out
        else if (f % 89 == 0) name = QStringLiteral(".~lock.") + name;  // a lock file (word 34): left out
        const QString path = paths[f % folders] + QLatin1Char('/') + name;
        const int fd = ::open(QFile::encodeName(path).constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        if (fd < 0) return {};
        ::close(fd);
    }
    return paths;
}

int runOnce(int files, int folders) {
    QTemporaryDir temp;
    if (!temp.isValid()) return 2;
    const QString top = temp.path() + QStringLiteral("/tree");
    ::mkdir(QFile::encodeName(top).constData(), 0755);
    QElapsedTimer clock;
    clock.start();
    if (makeTree(top, files, folders).isEmpty()) {
        std::fprintf(stderr, "could not make the tree in %s\n", qPrintable(top));
        return 2;
    }
    const qint64 makeMs = clock.elapsed();
    const long baseKb = peakKilobytes();

    PrintingDialogs dialogs;
    int yields = 0;
    FolderScan scan(localFileSystem(), dialogs, [&yields] {
        ++yields;
        QCoreApplication::processEvents();
    });

    clock.restart();
    QStringList queue{top + QLatin1Char('/')};
    scan.GetSubDirectories2016(queue, true);
    const qint64 walkMs = clock.elapsed();
    const long walkKb = peakKilobytes();

    // The gathering adds each row as it finds it; here the finding and the
    // adding are timed apart, to see which of them grows.
    clock.restart();
    QStringList gathered;
    gatherFiles(
        scan, queue, QStringLiteral("*.*"), [&](const QString& path) { gathered.append(path); },
        [](int, const std::function<void()>& work) { work(); });
    const qint64 findMs = clock.elapsed();
    QTreeWidget control;
    FileList list(&control);
    list.createColumn();
    clock.restart();
    for (const QString& path : gathered) list.AddFile(path);
    const qint64 rowsMs = clock.elapsed();
    const qint64 gatherMs = findMs + rowsMs;
    const long endKb = peakKilobytes();

    int expected = 0;
    for (int f = 0; f < files; ++f)
        if (f % 97 != 0 && f % 89 != 0) ++expected;
    const bool right = queue.size() == folders && list.FileCount() == expected && dialogs.reports == 0;

    std::printf("%d files in %d folders (made in %lld ms)\n", files, folders, static_cast<long long>(makeMs));
    std::printf("  walk:    %6lld ms  %d folders, %d yields\n", static_cast<long long>(walkMs),
                static_cast<int>(queue.size()), yields);
    std::printf("  gather:  %6lld ms  %d rows (%lld ms finding the files, %lld ms adding the rows)\n",
                static_cast<long long>(gatherMs), list.FileCount(), static_cast<long long>(findMs),
                static_cast<long long>(rowsMs));
    std::printf("  peak:    %6ld MB (%ld MB before the walk, %ld MB after it)\n", endKb / 1024, baseKb / 1024,
                walkKb / 1024);
    std::printf("RESULT %d %lld %lld %ld %ld\n", files, static_cast<long long>(walkMs),
                static_cast<long long>(gatherMs), baseKb, endKb);
    if (!right) std::printf("  WRONG: expected %d folders and %d rows\n", folders, expected);
    return right ? 0 : 1;
}

struct Result {
    int files = 0;
    double walkMs = 0, gatherMs = 0, baseKb = 0, endKb = 0;
};

bool runChild(const QString& program, int files, int folders, Result& result) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(program, {QString::number(files), QString::number(folders)});
    if (!child.waitForFinished(-1)) return false;
    const QString output = QString::fromLocal8Bit(child.readAllStandardOutput());
    for (const QString& line : output.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("RESULT "))) {
            const QStringList v = line.split(QLatin1Char(' '));
            result = {v[1].toInt(), v[2].toDouble(), v[3].toDouble(), v[4].toDouble(), v[5].toDouble()};
        } else if (!line.isEmpty()) {
            std::printf("%s\n", qPrintable(line));
        }
    }
    return child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
}

}  // namespace

int main(int argc, char** argv) {
    // The list control needs a GUI application, not a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc == 3) return runOnce(std::atoi(argv[1]), std::atoi(argv[2]));

    Result small, large;
    if (!runChild(application.applicationFilePath(), 25000, 1250, small) ||
        !runChild(application.applicationFilePath(), 100000, 5000, large))
        return 1;
    // Four times the tree should take about four times as long, and the memory
    // that the walk and the rows need should grow by about four times too.
    const double timeRatio = (large.walkMs + large.gatherMs) / std::max(1.0, small.walkMs + small.gatherMs);
    const double memoryRatio = (large.endKb - large.baseKb) / std::max(1.0, small.endKb - small.baseKb);
    std::printf("4x the files: %.2fx the time, %.2fx the memory above the start\n", timeRatio, memoryRatio);
    const bool linear = timeRatio < 4 * 1.5 && memoryRatio < 4 * 1.5;
    std::printf("%s\n", linear ? "no worse than linear" : "WORSE THAN LINEAR");
    return linear ? 0 : 1;
}
