#include "engine/runsummary.h"

#include <QDebug>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

void reportSummary(const QVector<TitleOutcome> &titles, const RunReport &report)
{
    const auto near = std::count_if(titles.begin(), titles.end(),
                                    [](const TitleOutcome &title) { return title.how == LinkHow::Near; });
    qDebug() << (QStringLiteral("需要核对的近似链接：") + QString::number(near));
    int shown = 0;
    for (const TitleOutcome &title : titles) {
        if (title.how == LinkHow::Near && (report.listLimit < 0 || shown++ < report.listLimit))
            report.warn(title.title + QStringLiteral(" ------ ") + title.path + QStringLiteral(" (编辑距离")
                        + QString::number(title.distance) + QStringLiteral(")"));
    }
    reportUnlisted(int(near), report);

    const auto missing = std::count_if(titles.begin(), titles.end(),
                                       [](const TitleOutcome &title) { return title.how == LinkHow::None; });
    qDebug() << (QStringLiteral("未找到全文的题录：") + QString::number(missing));
    shown = 0;
    for (const TitleOutcome &title : titles) {
        if (title.how == LinkHow::None && (report.listLimit < 0 || shown++ < report.listLimit))
            qDebug() << title.title;
    }
    reportUnlisted(int(missing), report);

    // Trustworthy: a renaming of the record's own fields, or a cut or copy of one.
    const auto named = std::count_if(titles.begin(), titles.end(), [](const TitleOutcome &title) {
        return title.how == LinkHow::Renamed || title.how == LinkHow::Cut || title.how == LinkHow::Copy;
    });
    qDebug() << (QStringLiteral("按命名规则链接的题录：") + QString::number(named));
}

QString linkHowText(const TitleOutcome &title)
{
    switch (title.how) {
    case LinkHow::Exact: return QStringLiteral("完全一致");
    case LinkHow::Renamed: return QStringLiteral("命名规则");
    case LinkHow::Cut: return QStringLiteral("截断");
    case LinkHow::Copy: return QStringLiteral("副本");
    case LinkHow::Near: return QStringLiteral("近似（编辑距离%1）").arg(title.distance);
    case LinkHow::None: break;
    }
    return QStringLiteral("无");
}

namespace {

QString field(QString text)
{
    for (QChar &c : text) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            c = QLatin1Char(' ');
    }
    return text;
}

} // namespace

bool writeRunReport(const QString &path, const QVector<TitleOutcome> &titles, const QStringList &fullTexts,
                    const QVector<int> &recordsPerFullText, const QStringList &kept, QString *error)
{
    // Never in place of the source, the output or a full text (also under
    // another name, as a hard link).
    const QByteArray identity = fileIdentity(path);
    if (!identity.isEmpty()) {
        const bool linked = hardLinkCount(path) > 1;
        for (const QStringList *paths : {&kept, &fullTexts}) {
            for (const QString &other : *paths) {
                if ((paths == &kept || linked || QFileInfo(other).fileName() == QFileInfo(path).fileName())
                    && fileIdentity(other) == identity) {
                    *error = QStringLiteral("这是原Enw文件、新文件或一个全文文件");
                    return false;
                }
            }
        }
    }
    QString text = QStringLiteral("题名\t第一作者\t全文\t链接方式\r\n");
    for (const TitleOutcome &title : titles) {
        text += field(title.title) + QLatin1Char('\t') + field(title.firstAuthor) + QLatin1Char('\t')
                + field(title.path) + QLatin1Char('\t') + linkHowText(title) + QStringLiteral("\r\n");
    }
    text += QStringLiteral("\r\n未被题录链接的全文\r\n");
    for (int i = 0; i < fullTexts.size() && i < recordsPerFullText.size(); ++i) {
        if (recordsPerFullText.at(i) == 0)
            text += field(fullTexts.at(i)) + QStringLiteral("\r\n");
    }
    text += QStringLiteral("\r\n被多条题录链接的全文\t题录数\r\n");
    for (int i = 0; i < fullTexts.size() && i < recordsPerFullText.size(); ++i) {
        if (recordsPerFullText.at(i) > 1)
            text += field(fullTexts.at(i)) + QLatin1Char('\t') + QString::number(recordsPerFullText.at(i))
                    + QStringLiteral("\r\n");
    }
    QSaveFile file(path);
    const QByteArray bytes = "\xEF\xBB\xBF" + text.toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}
