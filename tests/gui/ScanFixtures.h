// Trees for the folder scan's tests: an in-memory file system whose attribute
// words, listing order and refusals are set exactly, and a helper that builds
// real trees in a temporary folder.
#pragma once

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ErrorReport.h"
#include "FolderScan.h"
#include "Paths.h"

// Paths in failure messages as text rather than as arrays of code units.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace orvane::testing {

class FakeFileSystem : public FileSystem {
public:
    // Adds a folder or file; the parent must exist (or be a root). Children are
    // listed in the order they were added.
    void folder(const QString& path, unsigned word = Attribute::Directory) { add(path, word); }
    void file(const QString& path, unsigned word = Attribute::Archive, bool opens = true) {
        add(path, word);
        if (!opens) m_unopenable.insert(key(path));
    }
    void root(const QString& path, unsigned word = Attribute::Directory) {
        m_nodes[key(path)] = word;
        m_roots.insert(key(path));
    }
    // The listing of `path` stops after `after` entries with this error.
    void refuse(const QString& path, ListingError error, int after = 0) { m_refusals[key(path)] = {error, after}; }
    // Looking the path up fails with a description.
    void failLookup(const QString& path) { m_failingLookups.insert(key(path)); }
    // Listing the path throws.
    void throwOnList(const QString& path) { m_throwingLists.insert(key(path)); }

    mutable int lookups = 0;  // calls of attributes()
    mutable int listings = 0;

    FolderListing list(const QString& folder) const override {
        ++listings;
        const QString k = key(folder);
        if (m_throwingLists.contains(k)) throw Failure(QStringLiteral("Device I/O error"));
        FolderListing listing;
        if (!m_nodes.contains(k) || !(m_nodes[k] & Attribute::Directory)) {
            listing.error = ListingError::PathNotFound;
            listing.description = QStringLiteral("Path not found");
            return listing;
        }
        for (const QString& name : m_children.value(k))
            listing.entries.append({name, bool(m_nodes[childKey(k, name)] & Attribute::Directory)});
        if (m_refusals.contains(k)) {
            const auto [error, after] = m_refusals[k];
            listing.entries = listing.entries.mid(0, after);
            listing.error = error;
            listing.description = error == ListingError::PermissionDenied ? QStringLiteral("Permission denied")
                                                                         : QStringLiteral("Input/output error");
        }
        return listing;
    }
    std::optional<unsigned> attributes(const QString& path) const override {
        ++lookups;
        const QString k = key(path);
        if (m_failingLookups.contains(k)) throw Failure(QStringLiteral("Device not ready"));
        if (!m_nodes.contains(k)) return std::nullopt;
        return m_nodes[k];
    }
    bool isRootFolder(const QString& folder) const override { return m_roots.contains(key(folder)); }
    bool folderExists(const QString& path) const override {
        const QString k = key(path);
        return m_nodes.contains(k) && (m_nodes[k] & Attribute::Directory);
    }
    bool opensAsFile(const QString& path) const override {
        const QString k = key(path);
        return m_nodes.contains(k) && !(m_nodes[k] & Attribute::Directory) && !m_unopenable.contains(k);
    }

    // Paths as the walk forms them may hold doubled separators and end in one.
    static QString key(const QString& path) {
        QString k = NormalizePath(path);
        while (k.size() > 1 && k.endsWith(QLatin1Char('/'))) k.chop(1);
        return k;
    }

private:
    static QString childKey(const QString& parent, const QString& name) {
        return parent == QLatin1String("/") ? parent + name : parent + QLatin1Char('/') + name;
    }
    void add(const QString& path, unsigned word) {
        // The name is everything after the last separator, so odd names such as
        // "." or ones holding control characters can be added too.
        const QString k = key(path);
        const qsizetype slash = k.lastIndexOf(QLatin1Char('/'));
        const QString parent = slash <= 0 ? QStringLiteral("/") : k.left(slash);
        const QString name = k.mid(slash + 1);
        if (!m_nodes.contains(parent)) root(parent);
        m_nodes[childKey(parent, name)] = word;
        m_children[parent].append(name);
    }

    QHash<QString, unsigned> m_nodes;
    QHash<QString, QStringList> m_children;
    QSet<QString> m_roots;
    QSet<QString> m_unopenable;
    QSet<QString> m_failingLookups;
    QSet<QString> m_throwingLists;
    QHash<QString, std::pair<ListingError, int>> m_refusals;
};

// A real tree in a temporary folder.
class RealTree {
public:
    QString path() const { return m_dir.path(); }
    QString at(const QString& relative) const { return path() + QLatin1Char('/') + relative; }

    void folder(const QString& relative) const { ASSERT_TRUE(QDir().mkpath(at(relative))) << relative.toStdString(); }
    void file(const QString& relative, const QByteArray& bytes = "x") const {
        QDir().mkpath(QFileInfo(at(relative)).path());
        QFile out(at(relative));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly)) << relative.toStdString();
        out.write(bytes);
    }
    void link(const QString& target, const QString& relative) const {
        ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(at(relative)).constData()), 0);
    }
    void mode(const QString& relative, mode_t mode) const {
        ASSERT_EQ(::chmod(QFile::encodeName(at(relative)).constData(), mode), 0);
    }

private:
    QTemporaryDir m_dir;
};

}  // namespace orvane::testing
