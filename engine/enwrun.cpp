#include "engine/enwrun.h"

#include "engine/engineutil.h"
#include "engine/enwreader.h"
#include "engine/enwwriter.h"
#include "engine/fulltextcollector.h"
#include "engine/runsummary.h"

#include <QDebug>
#include <QFileInfo>
#include <QTextCodec>

RunResult runRepair(const RunSettings &settings, const RunReport &report)
{
    RunResult result;
    if (settings.source.isEmpty()) {
        qWarning() << QStringLiteral("enw文件不存在!");
        return result;
    }
    qDebug() << (QStringLiteral("enw文件路径:") + settings.source);
    if (settings.folder.isEmpty()) {
        qWarning() << QStringLiteral("全文数据库所属路径文件夹不存在！");
        return result;
    }
    qDebug() << (QStringLiteral("全文数据库路径:") + settings.folder);

    QStringList lines;
    QFileInfoList fullTexts;
    QList<QByteArray> linkTargets;
    RecordUrls urls; // left out of ENW, but publishers name files by them; RIS and BibTeX keep them
    const OutputFormat format = settings.format.value_or(outputFormatOf(settings.output));
    result.records = readEnwFile(settings.source, lines, report, &result.undecodableLines, &urls,
                                 format != OutputFormat::Enw);
    // What needs no full text is checked before the walk, which may be long:
    // an unplugged drive or a typo, and an output that would be refused.
    const bool folderFound = QFileInfo(settings.folder).isDir();
    if (!folderFound)
        report.warn(QStringLiteral("全文数据库所属路径文件夹不存在！") + QStringLiteral(":") + settings.folder);
    const bool accepted = folderFound && result.records > 0 && outputAccepted(settings.output, settings.source, report);
    if (accepted)
        collectFullTexts(settings.folder, fullTexts, report, &linkTargets);
    qDebug() << (QStringLiteral("待检索全文的文献有：") + QString::number(result.records, 10));
    qDebug() << (QStringLiteral("全文数据库共有文献：") + QString::number(fullTexts.size(), 10));
    WriteOutcome outcome;
    if (!folderFound || (result.records > 0 && !accepted) || report.stopped()) {
        // Said above, or stopped; last run's linked output stays as it is.
    } else if (result.records > 0) {
        result.linked = writeLinkedEnw(lines, fullTexts, settings.output, QTextCodec::codecForName("UTF-16LE"),
                                       settings.distance, report, settings.source, linkTargets, &outcome, urls, format);
    } else {
        // Nothing to link: an existing file at the output path keeps its bytes.
        report.warn(QStringLiteral("没有读到题录，未写入新Enw文件:") + settings.output);
    }
    if (report.stopped()) {
        result.linked = 0;
        report.warn(QStringLiteral("已停止，未写入新Enw文件:") + settings.output);
    }
    qDebug() << (QStringLiteral("检索到全文的文献有：") + QString::number(result.linked, 10) + QStringLiteral("/")
                 + QString::number(result.records, 10));
    if (outcome.replaced > 0)
        qDebug() << (QStringLiteral("已替换失效附件：") + QString::number(outcome.replaced, 10));
    // A relative path lands in the working folder of the moment: say where.
    // Then what the links leave over: full texts of records missing from the
    // export, and full texts two records claim.
    result.written = outcome.written;
    if (result.written) {
        qDebug() << (QStringLiteral("已写入新") + outputFormatName(format) + QStringLiteral("文件:")
                     + QFileInfo(settings.output).absoluteFilePath());
        reportSummary(outcome.titles, report);
        reportClaims(fullTexts, outcome.recordsPerFullText, report);
        result.titles = outcome.titles;
        for (const QFileInfo &fullText : fullTexts)
            result.fullTexts.append(fullText.absoluteFilePath());
        result.recordsPerFullText = outcome.recordsPerFullText;
        QString error;
        if (!settings.report.isEmpty()
            && !writeRunReport(settings.report, result.titles, result.fullTexts, result.recordsPerFullText,
                               {settings.source, settings.output}, &error)) {
            report.warn(QStringLiteral("无法写入报告:") + settings.report + QStringLiteral(" (") + error
                        + QStringLiteral(")"));
            result.reportLost = true;
        }
    }
    return result;
}
