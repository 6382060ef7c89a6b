#include "engine/fulltextcollector.h"

#include <QDebug>
#include <QDir>
#include <QSet>

namespace {

bool isFullText(const QFileInfo &entry)
{
    const QString suffix = entry.suffix();
    return suffix.compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0
           || suffix.compare(QLatin1String("caj"), Qt::CaseInsensitive) == 0;
}

// `descent` holds the canonical paths of the folders being walked, outermost first.
void walk(const QString &folderPath, QFileInfoList &fullTexts, QSet<QString> &descent)
{
    const QFileInfoList entries = QDir(folderPath).entryInfoList();
    for (const QFileInfo &entry : entries) {
        if (entry.isFile()) {
            if (isFullText(entry)) {
                qDebug() << "File :" << entry.absoluteFilePath();
                fullTexts.append(entry);
            }
            continue;
        }
        const QString name = entry.fileName();
        if (name == QLatin1String(".") || name == QLatin1String(".."))
            continue;
        const QString canonical = entry.canonicalFilePath();
        if (!canonical.isEmpty() && descent.contains(canonical))
            continue; // a link back to a folder we are inside of
        if (!canonical.isEmpty())
            descent.insert(canonical);
        walk(entry.absoluteFilePath(), fullTexts, descent);
        if (!canonical.isEmpty())
            descent.remove(canonical);
    }
}

} // namespace

void collectFullTexts(const QString &folderPath, QFileInfoList &fullTexts)
{
    QSet<QString> descent;
    const QString root = QDir(folderPath).canonicalPath();
    if (!root.isEmpty())
        descent.insert(root);
    walk(folderPath, fullTexts, descent);
}
