#include "engine/enwwriter.h"

#include "engine/fulltextmatcher.h"

#include <QDebug>
#include <QSaveFile>
#include <QTextStream>

namespace {

void reportWriteFailure(const QString &outputPath, const QString &reason,
                        const std::function<void()> &afterWarning)
{
    qWarning() << (QStringLiteral("无法写入新Enw文件:") + outputPath + QStringLiteral(" (")
                   + reason + QStringLiteral(")"));
    if (afterWarning)
        afterWarning();
}

} // namespace

bool isTitleLine(const QString &entry)
{
    return entry.leftRef(2).compare(QLatin1String("%T"), Qt::CaseInsensitive) == 0;
}

QString titleOf(const QString &entry)
{
    return entry.mid(2).simplified();
}

int writeLinkedEnw(const QStringList &lines, const QFileInfoList &fullTexts,
                   const QString &outputPath, QTextCodec *codec,
                   const FullTextMatcher &matcher,
                   const std::function<void()> &afterWarning)
{
    if (outputPath.isEmpty()) {
        // A save file without a name would put its temporary file into the
        // working folder. The reason is the one QFile gives for a missing name.
        reportWriteFailure(outputPath, QStringLiteral("No file name specified"), afterWarning);
        return 0;
    }
    QSaveFile file(outputPath);
    if (!file.open(QIODevice::WriteOnly)) {
        reportWriteFailure(outputPath, file.errorString(), afterWarning);
        return 0;
    }

    QTextStream out(&file);
    out.setCodec(codec);
    out.setGenerateByteOrderMark(true);

    const QString missMessage =
        QStringLiteral("未找到全文，1、全文不存在，2、或者文献标题与对应文件名不完全一致!");
    int linked = 0;
    for (const QString &entry : lines) {
        out << entry;
        if (!isTitleLine(entry))
            continue;
        const FullTextMatch match = matcher.find(titleOf(entry));
        if (match.index < 0) {
            qWarning() << entry.simplified() << missMessage;
            if (afterWarning)
                afterWarning();
            continue;
        }
        const QString path = fullTexts.at(match.index).absoluteFilePath();
        out << QStringLiteral("%> ") << path << QStringLiteral("\r\n");
        if (match.exact) {
            qDebug() << entry.simplified() << "------" << path;
        } else {
            qWarning() << entry.simplified() << "------" << path;
            if (afterWarning)
                afterWarning();
        }
        ++linked;
    }

    out.flush();
    if (out.status() != QTextStream::Ok || !file.commit()) {
        reportWriteFailure(outputPath, file.errorString(), afterWarning);
        return 0;
    }
    return linked;
}

int writeLinkedEnw(const QStringList &lines, const QFileInfoList &fullTexts,
                   const QString &outputPath, QTextCodec *codec, int threshold,
                   const std::function<void()> &afterWarning)
{
    const IndexedFullTextMatcher matcher(fullTexts, threshold);
    return writeLinkedEnw(lines, fullTexts, outputPath, codec, matcher, afterWarning);
}
