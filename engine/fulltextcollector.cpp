#include "engine/fulltextcollector.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QSet>

#ifdef Q_OS_UNIX
#include <dirent.h>
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

struct Walk
{
    QFileInfoList &fullTexts;
    const std::function<void()> &afterWarning;
    QSet<QString> descent; // canonical paths of the folders being walked
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
            if (isFullText(entry)) {
                qDebug() << "File :" << entry.absoluteFilePath();
                state.fullTexts.append(entry);
            }
            continue;
        }
        const QString name = entry.fileName();
        if (name == QLatin1String(".") || name == QLatin1String(".."))
            continue;
        const QString canonical = entry.canonicalFilePath();
        if (!canonical.isEmpty() && state.descent.contains(canonical))
            continue; // a link back to a folder we are inside of
        if (!canonical.isEmpty())
            state.descent.insert(canonical);
        walk(entry.absoluteFilePath(), state);
        if (!canonical.isEmpty())
            state.descent.remove(canonical);
    }
}

} // namespace

void collectFullTexts(const QString &folderPath, QFileInfoList &fullTexts,
                      const std::function<void()> &afterWarning)
{
    Walk state{fullTexts, afterWarning, {}};
    const QString root = QDir(folderPath).canonicalPath();
    if (!root.isEmpty())
        state.descent.insert(root);
    walk(folderPath, state);
}
