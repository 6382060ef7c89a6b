#ifndef ENWLINK_ENWWRITER_H
#define ENWLINK_ENWWRITER_H

#include "engine/engineutil.h"
#include "engine/enwreader.h"
#include "engine/fulltextmatcher.h"
#include "engine/outputformat.h"

#include <QFileInfoList>
#include <QString>
#include <QStringList>
#include <QVector>

class QTextCodec;

// A title line starts with "%T" in either letter case.
bool isTitleLine(const QString &entry);

// The title of a title line: what follows the two-character tag, simplified.
QString titleOf(const QString &entry);
// The same, from the title line already simplified.
QString titleOfSimplified(const QString &simplifiedEntry);

// What the record that starts at `lines[from]` says of its file besides the
// title; `*end` is set to where the record ends.
struct RecordFacts
{
    QString firstAuthor; // of the first "%A" line, before any ";" or "；", simplified
    QString doi;         // of the first "%R" line that holds one ("10.…/…"), without "doi:" or a resolver
    QStringList attachments; // the paths its "%>" lines name (a file:// URL as its local path)
    QVector<int> attachmentLines; // where those lines are
    RecordFields fields;          // its authors' family names and number, its year
};
// `urls`, as readEnwFile gives them, fill the record's URLs.
RecordFacts recordFactsIn(const QStringList &lines, int from, int *end, const RecordUrls &urls = {});

// How a title found its file.
enum class LinkHow {
    None,
    Exact,   // the file's name is the title
    Renamed, // a renaming of the record's title, author, year or DOI
    Cut,     // a cut of the title, as CNKI or a reference manager cuts it
    Copy,    // a copy of one of the record's names (" (1)", " - 副本")
    Near,    // within the edit distance
};

// What one title line got.
struct TitleOutcome
{
    QString title;       // simplified
    QString firstAuthor;
    QString path;        // of its file, empty for none
    LinkHow how = LinkHow::None;
    int distance = 0;    // of a near link: the bytes its file name differs by
};

struct WriteOutcome
{
    bool written = false;
    QVector<int> recordsPerFullText; // in the full texts' order
    int replaced = 0; // "%>" lines of missing files replaced by a file of the same name
    QVector<TitleOutcome> titles;    // every title line, in order
};

// Writes `lines` unchanged and in order to `outputPath`, encoded with `codec`
// and a byte-order mark (no mark when nothing is written), and after every title
// line for which `matcher` finds a full text adds "%> " + its absolute path +
// "\r\n", unless a "%>" line of that record names the file already. Logs each
// exact match (debug), near match and miss (warning, followed by
// `report`). Returns the number of title lines linked.
//
// The file is replaced atomically: when it cannot be created or written
// completely, whatever stood at `outputPath` stays untouched, one warning names
// the path and the reason, and the result is 0. The same happens, before
// anything is written, when `outputPath` leads to the file at `sourcePath` or
// to one of the full texts (by name, as a hard link, or as the target of a
// full text in `linkTargets`, which collectFullTexts gives), or is neither a
// regular file nor a folder (a device, a FIFO, a socket). An empty title is
// never linked. `*outcome` tells whether the file was written and how many
// records linked each full text. `urls` are the records' URLs, which
// readEnwFile leaves out of the lines.
//
// With `format` RIS or BibTeX, the same records, links and URLs are written
// in that format instead (UTF-8; `codec` is not used), under the same rules.
int writeLinkedEnw(const QStringList &lines, const QFileInfoList &fullTexts,
                   const QString &outputPath, QTextCodec *codec,
                   const FullTextMatcher &matcher,
                   const RunReport &report = {},
                   const QString &sourcePath = QString(),
                   const QList<QByteArray> &linkTargets = {}, WriteOutcome *outcome = nullptr,
                   const RecordUrls &urls = {}, OutputFormat format = OutputFormat::Enw);

// The same with the product's matcher for `threshold` (0 turns the near pass off).
int writeLinkedEnw(const QStringList &lines, const QFileInfoList &fullTexts,
                   const QString &outputPath, QTextCodec *codec, int threshold,
                   const RunReport &report = {},
                   const QString &sourcePath = QString(),
                   const QList<QByteArray> &linkTargets = {}, WriteOutcome *outcome = nullptr,
                   const RecordUrls &urls = {}, OutputFormat format = OutputFormat::Enw);

// What writeLinkedEnw refuses before it looks at the full texts: an empty
// path, the source, a device, a folder, a path in a missing or read-only
// folder. Warns as it does and returns false for those; true otherwise.
bool outputAccepted(const QString &outputPath, const QString &sourcePath, const RunReport &report = {});

// Logs, after a run that wrote its output, the full texts no record linked
// ("未被题录链接的全文有：" and the number, then a "File :" line each, in list
// order) and, as warnings each reported through `report`, every full text two
// or more records linked, with their number. Each list shows the first
// `report.listLimit` entries and counts the rest in one line.
void reportClaims(const QFileInfoList &fullTexts, const QVector<int> &recordsPerFullText,
                  const RunReport &report = {});

// After a list cut at `report.listLimit` of its `entries`: "另有N条未列出".
void reportUnlisted(int entries, const RunReport &report);

#endif
