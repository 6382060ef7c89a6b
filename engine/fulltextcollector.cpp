#include "engine/fulltextcollector.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QSet>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <sys/stat.h>
#endif

namespace {

bool isFullText(const QFileInfo &entry)
{
    const QString suffix = entry.suffix();
    return suffix.compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0
           || suffix.compare(QLatin1String("caj"), Qt::CaseInsensitive) == 0;
}

// Names the local encoding cannot decode are left out of QDir's listings
// without a word (Qt could not give a path that leads back to them). On Unix
// they are looked for in the raw folder listing, so that the user hears of them.
QStringList undecodableNames(const QString &folderPath)
{
    QStringList names;
#ifdef Q_OS_UNIX
    DIR *folder = ::opendir(QFile::encodeName(folderPath).constData());
    if (!folder)
        return names;
    while (const dirent *entry = ::readdir(folder)) {
        const QByteArray raw(entry->d_name);
        if (raw.startsWith('.'))
            continue;
        const QString decoded = QFile::decodeName(raw);
        if (QFile::encodeName(decoded) != raw)
            names.append(decoded);
    }
    ::closedir(folder);
    names.sort();
#else
    Q_UNUSED(folderPath)
#endif
    return names;
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
    const QDir folder(folderPath);
    const QFileInfoList entries = folder.entryInfoList();
    for (const QString &name : undecodableNames(folderPath))
        warn(state, QStringLiteral("文件名编码无法识别，已跳过:") + folder.absoluteFilePath(name));
    for (const QFileInfo &entry : entries) {
        if (entry.isFile()) {
            if (!isFullText(entry))
                continue;
            const QString path = entry.absoluteFilePath();
            if (path.contains(QLatin1Char('\n')) || path.contains(QLatin1Char('\r'))) {
                // Written into a "%>" line, the break would split the record.
                warn(state, QStringLiteral("文件名含有换行符，已跳过:") + path);
                continue;
            }
            qDebug() << "File :" << path;
            state.fullTexts.append(entry);
            continue;
        }
        const QString name = entry.fileName();
        if (name == QLatin1String(".") || name == QLatin1String(".."))
            continue;
        // Every folder is walked once, at its first place in the order: links
        // back up the tree and links that fan out are passed over after that.
        const QString path = entry.absoluteFilePath();
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
