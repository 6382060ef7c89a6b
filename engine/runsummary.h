#ifndef ENWLINK_RUNSUMMARY_H
#define ENWLINK_RUNSUMMARY_H

#include "engine/engineutil.h"
#include "engine/enwwriter.h"

#include <QString>
#include <QStringList>
#include <QVector>

// Logs the closing summary of a run that wrote its output, in three parts:
// the near links, the ones worth checking ("需要核对的近似链接：" and their
// number, then one warning each through `report`: the title, the file and
// the edit distance); the titles that found no file ("未找到全文的题录："
// and their number, a line each); and the number of links a name rule made
// ("按命名规则链接的题录："). Each list shows the first `report.listLimit`
// entries and counts the rest in one line.
void reportSummary(const QVector<TitleOutcome> &titles, const RunReport &report);

// How a title found its file, as the report says it: "完全一致", "命名规则",
// "截断", "副本", "近似（编辑距离N）" or "无".
QString linkHowText(const TitleOutcome &title);

// Writes a run's report to `path`, tab-separated UTF-8 with a byte-order
// mark: a row per title line (title, first author, file, how), then the full
// texts no record linked, then those two or more records linked, with their
// number. Tabs and line breaks inside a field become blanks. Replaces the
// file whole or not at all, and never one of `kept` (the source, the output)
// or of the full texts; false with the reason in `error` when it cannot.
bool writeRunReport(const QString &path, const QVector<TitleOutcome> &titles, const QStringList &fullTexts,
                    const QVector<int> &recordsPerFullText, const QStringList &kept, QString *error);

#endif
