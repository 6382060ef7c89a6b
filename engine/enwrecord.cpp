#include "engine/enwrecord.h"

#include <QUrl>

QStringList splitEntries(const QString &value)
{
    if (!value.contains(QLatin1Char(';')) && !value.contains(QChar(0xFF1B))) {
        const QString entry = value.trimmed();
        return entry.isEmpty() ? QStringList() : QStringList(entry);
    }
    QStringList entries;
    int from = 0;
    for (int at = 0; at <= value.size(); ++at) {
        if (at < value.size() && value.at(at) != QLatin1Char(';') && value.at(at) != QChar(0xFF1B))
            continue;
        const QString entry = value.mid(from, at - from).trimmed();
        if (!entry.isEmpty())
            entries.append(entry);
        from = at + 1;
    }
    return entries;
}

QString attachedPathOf(const QString &value)
{
    return value.startsWith(QLatin1String("file://"), Qt::CaseInsensitive) ? QUrl(value).toLocalFile() : value;
}
