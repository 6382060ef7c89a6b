#include "engine/fulltextcollector.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QSet>

#include <algorithm>
#include <vector>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <sys/stat.h>
#endif

namespace {

bool isFullTextName(const QString &name)
{
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || name.size() - dot != 4)
        return false;
    const QStringRef suffix = name.midRef(dot + 1);
    return suffix.compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0
           || suffix.compare(QLatin1String("caj"), Qt::CaseInsensitive) == 0;
}

struct Entry
{
    QString name;
    QString sortKey; // the name in lower case: QDir's order, letter case ignored
    bool folder = false;
    bool file = false;
};

// The visible entries of one folder, in QDir's default order (by name, letter
// case ignored; names that differ only in case in code-unit order). Names the
// local encoding cannot decode cannot be given back as a path; they go to
// `undecodable` instead (QDir would leave them out without a word).
std::vector<Entry> listFolder(const QString &folderPath, QStringList &undecodable)
{
    std::vector<Entry> entries;
#ifdef Q_OS_UNIX
    // readdir, and a stat only for links and unknown types: a QFileInfo per
    // entry would cost several times the listing itself.
    const QByteArray folder = QFile::encodeName(folderPath);
    DIR *listing = ::opendir(folder.constData());
    if (!listing)
        return entries;
    while (const dirent *item = ::readdir(listing)) {
        const QByteArray raw = QByteArray::fromRawData(item->d_name, int(qstrlen(item->d_name)));
        if (raw.startsWith('.'))
            continue; // hidden, and "." and ".."
        Entry entry;
        entry.name = QFile::decodeName(raw);
        const bool ascii = std::all_of(raw.begin(), raw.end(), [](char c) { return uchar(c) < 0x80; });
        if (!ascii && QFile::encodeName(entry.name) != raw) {
            undecodable.append(entry.name);
            continue;
        }
        unsigned char type = item->d_type;
        if (type == DT_LNK || type == DT_UNKNOWN) {
            struct stat status;
            const QByteArray path = folder + '/' + raw;
            type = ::stat(path.constData(), &status) != 0 ? DT_UNKNOWN
                   : S_ISDIR(status.st_mode)               ? DT_DIR
                   : S_ISREG(status.st_mode)               ? DT_REG
                                                           : DT_UNKNOWN;
        }
        entry.folder = type == DT_DIR;
        entry.file = type == DT_REG;
        entries.push_back(std::move(entry));
    }
    ::closedir(listing);
    undecodable.sort();
#else
    Q_UNUSED(undecodable)
    for (const QFileInfo &info : QDir(folderPath).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
        Entry entry;
        entry.name = info.fileName();
        entry.folder = info.isDir();
        entry.file = info.isFile();
        entries.push_back(std::move(entry));
    }
#endif
    for (Entry &entry : entries)
        entry.sortKey = entry.name.toLower();
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        const int byKey = a.sortKey.compare(b.sortKey);
        return byKey != 0 ? byKey < 0 : a.name < b.name;
    });
    return entries;
}

// What identifies a folder however it is reached: device and inode on Unix
// (one stat, however deep the path), else the canonical path. Empty when the
// folder cannot be looked at.
QByteArray folderIdentity(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return QByteArray();
    return QByteArray::number(qulonglong(status.st_dev)) + ':'
           + QByteArray::number(qulonglong(status.st_ino));
#else
    return QFileInfo(path).canonicalFilePath().toLower().toUtf8();
#endif
}

struct Walk
{
    QFileInfoList &fullTexts;
    const std::function<void()> &afterWarning;
    QSet<QByteArray> visited; // identities of the folders walked so far
};

void warn(const Walk &state, const QString &message)
{
    qWarning() << message;
    if (state.afterWarning)
        state.afterWarning();
}

void walk(const QString &folderPath, Walk &state)
{
    // A folder that exists but may not be read would list as empty; say so.
    const QFileInfo self(folderPath);
    if (self.isDir() && !(self.isReadable() && self.isExecutable())) {
        warn(state, QStringLiteral("文件夹无法读取，已跳过:") + self.absoluteFilePath());
        return;
    }
    QString base = QDir(folderPath).absolutePath();
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    QStringList undecodable;
    const std::vector<Entry> entries = listFolder(folderPath, undecodable);
    for (const QString &name : undecodable)
        warn(state, QStringLiteral("文件名编码无法识别，已跳过:") + base + name);
    for (const Entry &entry : entries) {
        const QString path = base + entry.name;
        if (entry.file) {
            if (!isFullTextName(entry.name))
                continue;
            if (path.contains(QLatin1Char('\n')) || path.contains(QLatin1Char('\r'))) {
                // Written into a "%>" line, the break would split the record.
                warn(state, QStringLiteral("文件名含有换行符，已跳过:") + path);
                continue;
            }
            qDebug() << "File :" << path;
            state.fullTexts.append(QFileInfo(path));
            continue;
        }
        if (!entry.folder)
            continue;
        // Every folder is walked once, at its first place in the order: links
        // back up the tree and links that fan out are passed over after that.
        const QByteArray identity = folderIdentity(path);
        if (!identity.isEmpty()) {
            if (state.visited.contains(identity))
                continue;
            state.visited.insert(identity);
        }
        walk(path, state);
    }
}

} // namespace

void collectFullTexts(const QString &folderPath, QFileInfoList &fullTexts,
                      const std::function<void()> &afterWarning)
{
    Walk state{fullTexts, afterWarning, {}};
    const QByteArray root = folderIdentity(folderPath.isEmpty() ? QStringLiteral(".") : folderPath);
    if (!root.isEmpty())
        state.visited.insert(root);
    walk(folderPath, state);
}
