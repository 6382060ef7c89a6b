#include "engine/enwwriter.h"

#include "engine/editdistance.h"
#include "engine/engineutil.h"
#include "engine/enwrecord.h"
#include "engine/fulltextmatcher.h"
#include "engine/linkclaims.h"
#include "engine/publishernames.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextCodec>
#include <QSet>
#include <QUrl>

#include <algorithm>
#include <optional>


namespace {

const QString lineEnd = QStringLiteral("\r\n");

// Whether two existing paths lead to one file.
bool sameFile(const QFileInfo &first, const QFileInfo &second)
{
    const QByteArray identity = fileIdentity(first.absoluteFilePath());
    return !identity.isEmpty() && identity == fileIdentity(second.absoluteFilePath());
}

// Why `outputPath` must not be written over, or an empty string: it is the
// source itself, or one of the full texts about to be linked.
QString protectedFileReason(const QString &outputPath, const QString &sourcePath,
                            const QFileInfoList &fullTexts, const QList<QByteArray> &linkTargets)
{
    const QFileInfo output(outputPath);
    if (!output.exists())
        return QString();
    if (!output.isFile() && !output.isDir()) // a device, a FIFO, a socket: never replaced
        return QStringLiteral("不是普通文件");
    if (!sourcePath.isEmpty() && sameFile(output, QFileInfo(sourcePath)))
        return QStringLiteral("与原Enw文件是同一个文件");
    // A full text of another name can be it only through a file link, which
    // the collector names, or as another hard link of it: then all are looked at.
    const QByteArray identity = fileIdentity(output.absoluteFilePath());
    if (linkTargets.contains(identity))
        return QStringLiteral("这是一个全文文件");
    const bool hardLinked = hardLinkCount(output.absoluteFilePath()) > 1;
    // Else only a full text of the same name (as given or as resolved) can be it.
    const QString names[] = {output.fileName(), QFileInfo(output.canonicalFilePath()).fileName()};
    for (const QFileInfo &fullText : fullTexts) {
        if (hardLinked) {
            if (fileIdentity(fullText.filePath()) == identity)
                return QStringLiteral("这是一个全文文件");
            continue;
        }
        const QString path = fullText.filePath();
        const QStringView name = fileNameIn(path);
        if ((name.compare(names[0], Qt::CaseInsensitive) == 0
             || name.compare(names[1], Qt::CaseInsensitive) == 0)
            && sameFile(output, fullText))
            return QStringLiteral("这是一个全文文件");
    }
    return QString();
}

// QFileInfo::absoluteFilePath, without its cost where the path already is
// absolute and clean, as the collector's paths are: Qt would check and keep a
// local 8-bit copy of every linked path on the way.
QString absolutePathOf(const QFileInfo &file)
{
#ifdef Q_OS_UNIX
    // Absolute, and no "//", "/." or "/.." step, no '/' at the end, no NUL.
    const QString path = file.filePath();
    const int size = path.size();
    bool clean = size > 1 && path.at(0) == QLatin1Char('/') && path.at(size - 1) != QLatin1Char('/');
    for (int at = 0; clean && at < size; ++at) {
        const ushort unit = path.at(at).unicode();
        if (unit == 0) {
            clean = false;
        } else if (unit == '/') {
            int dots = 0;
            while (at + 1 + dots < size && path.at(at + 1 + dots) == QLatin1Char('.'))
                ++dots;
            const bool stepEnds = at + 1 + dots == size || path.at(at + 1 + dots) == QLatin1Char('/');
            clean = !(stepEnds && dots <= 2);
        }
    }
    if (clean)
        return path;
#endif
    return file.absoluteFilePath();
}

// Whether one of a record's "%>" lines names the file at `path`: the same
// text once cleaned, or another spelling of the same file.
bool alreadyAttached(const QStringList &attachments, const QString &path)
{
    if (attachments.isEmpty())
        return false;
    if (std::any_of(attachments.begin(), attachments.end(),
                    [&path](const QString &attached) { return QDir::cleanPath(attached) == path; }))
        return true;
    const QByteArray identity = fileIdentity(path);
    return !identity.isEmpty()
           && std::any_of(attachments.begin(), attachments.end(),
                          [&identity](const QString &attached) { return fileIdentity(attached) == identity; });
}

// What a title got, for the summary and the report.
TitleOutcome titleOutcome(const TitleLink &link, const QString &title, const QString &path)
{
    TitleOutcome got{title, link.firstAuthor, path, LinkHow::None, 0};
    const FullTextMatch &match = link.match;
    if (match.index < 0)
        return got;
    switch (match.strength) {
    case NameStrength::Exact: got.how = LinkHow::Exact; break;
    case NameStrength::Own: got.how = match.cut ? LinkHow::Cut : LinkHow::Renamed; break;
    case NameStrength::Weak: got.how = match.cut ? LinkHow::Cut : LinkHow::Copy; break;
    case NameStrength::Near:
    case NameStrength::None:
        // The bytes the near pass compared: the composed title and name.
        got.how = LinkHow::Near;
        const QByteArray titleBytes = localBytes(title.normalized(QString::NormalizationForm_C));
        const QByteArray nameBytes = localBytes(QFileInfo(path).completeBaseName().normalized(QString::NormalizationForm_C));
        got.distance = boundedEditDistance(titleBytes.constData(), titleBytes.size(), nameBytes.constData(),
                                           nameBytes.size(), std::max(titleBytes.size(), nameBytes.size()));
        break;
    }
    return got;
}

void reportWriteFailure(const QString &outputPath, const QString &reason,
                        const RunReport &report)
{
    report.warn(QStringLiteral("无法写入新Enw文件:") + outputPath + QStringLiteral(" (") + reason + QStringLiteral(")"));
}

// Collects the text of the output and encodes it in large pieces: far fewer
// calls into the codec and the file than a write per line. The codec's state
// carries over from piece to piece, so the byte-order mark comes once, with
// the first text (and never when there is none).
class EncodedOutput
{
public:
    // With a converter, the ENW text becomes RIS or BibTeX on its way out.
    EncodedOutput(QIODevice &device, QTextCodec *codec, RecordConverter *converter = nullptr,
                  bool byteOrderMark = true)
        : m_device(device), m_codec(codec), m_converter(converter)
    {
        m_pending.reserve(pieceSize + 4096);
        if (!byteOrderMark)
            m_state.flags |= QTextCodec::IgnoreHeader;
    }

    EncodedOutput &operator<<(const QString &text)
    {
        m_pending += text;
        if (m_pending.size() >= pieceSize)
            flush();
        return *this;
    }

    void flush()
    {
        if (m_converter)
            write(m_converter->take(m_pending));
        else
            write(m_pending);
        m_pending.resize(0); // keeps the capacity
    }

    // Writes what is pending and, with a converter, the last record.
    void finish()
    {
        flush();
        if (m_converter)
            write(m_converter->finish());
    }

    QString failure() const { return m_failure; }

private:
    void write(const QString &text)
    {
        if (text.isEmpty())
            return;
        const QByteArray bytes = m_codec->fromUnicode(text.constData(), text.size(), &m_state);
        // Why writing failed, taken at once: by the time the file is
        // committed Qt often knows no more than "Unknown error".
        if (m_device.write(bytes) != bytes.size() && m_failure.isEmpty())
            m_failure = qt_error_string(-1);
    }

    static constexpr int pieceSize = 1 << 18;
    QIODevice &m_device;
    QTextCodec *m_codec;
    RecordConverter *m_converter;
    QTextCodec::ConverterState m_state;
    QString m_pending;
    QString m_failure;
};

} // namespace

namespace {

// `line` simplified, as QString::simplified gives it, found without its
// per-character work where the line holds no white space but single blanks
// between words and its "\r\n": most title lines.
QString simplifiedLine(const QString &line)
{
    int size = line.size();
    if (line.endsWith(QLatin1String("\r\n")))
        size -= 2;
    const ushort *begin = line.utf16();
    const ushort *end = begin + size;
    bool plain = size > 0 && begin[0] != ' ' && end[-1] != ' ';
    for (const ushort *at = begin; plain && at < end; ++at) {
        const ushort u = *at;
        if (u - 0x21u < 0x5Fu || u > 0x3000) // printable ASCII; no white space above the ideographic blank
            continue;
        if (u == ' ')
            plain = at[1] != ' ';
        else
            plain = u >= 0x80 && !QChar::isSpace(u);
    }
    return plain ? line.left(size) : line.simplified();
}

} // namespace

bool isTitleLine(const QString &entry)
{
    // "%T" or "%t", told by its two characters: every line of the export is asked.
    return entry.size() >= 2 && entry.at(0) == QLatin1Char('%')
           && (entry.at(1) == QLatin1Char('T') || entry.at(1) == QLatin1Char('t'));
}

QString titleOf(const QString &entry)
{
    return titleOfSimplified(entry.simplified());
}

QString titleOfSimplified(const QString &simplifiedEntry)
{
    // Simplifying from the third character on gives the same: the tag holds
    // no white space, and a run of it after the tag became one space.
    const bool space = simplifiedEntry.size() > 2 && simplifiedEntry.at(2) == QLatin1Char(' ');
    return simplifiedEntry.mid(space ? 3 : 2);
}

namespace {

// The DOI a "%R" line holds, or an empty string.
QString doiIn(const QString &entry)
{
    QString doi = entry.mid(2).trimmed();
    for (const QLatin1String prefix : {QLatin1String("doi:"), QLatin1String("https://doi.org/"),
                                      QLatin1String("http://doi.org/"), QLatin1String("https://dx.doi.org/"),
                                      QLatin1String("http://dx.doi.org/")}) {
        if (doi.startsWith(prefix, Qt::CaseInsensitive)) {
            doi = doi.mid(prefix.size()).trimmed();
            break;
        }
    }
    const bool isDoi = doi.startsWith(QLatin1String("10.")) && doi.indexOf(QLatin1Char('/')) > 3
                       && !doi.contains(QLatin1Char(' '));
    return isDoi ? doi : QString();
}

} // namespace

RecordFacts recordFactsIn(const QStringList &lines, int from, int *end, const RecordUrls &urls)
{
    // A record ends at an empty line or where the next "%0" line begins one.
    RecordFacts facts;
    // Only the URLs of the hosts that name files are kept.
    auto url = std::lower_bound(urls.begin(), urls.end(), from,
                                [](const std::pair<int, QString> &entry, int line) { return entry.first < line; });
    for (; url != urls.end() && url->first == from; ++url) {
        const QString &entry = url->second;
        const QStringView text = QStringView(entry).mid(entry.startsWith(QLatin1Char('%')) ? 2 : 0).trimmed();
        if (mayNameFile(text))
            facts.fields.urls.append(text.toString());
    }
    int at = from;
    if (lines.at(at) == QLatin1String("\r\n")) {
        *end = at + 1;
        return facts;
    }
    do {
        const QString &entry = lines.at(at);
        // The tag's letter, in lower case ("%A" and "%a" alike), or 0.
        const ushort tag = entry.size() >= 2 && entry.at(0) == QLatin1Char('%') ? entry.at(1).unicode() : 0;
        const ushort letter = tag >= 'A' && tag <= 'Z' ? tag + 32 : tag;
        if (letter == 'a') {
            // Patents and standards list all authors on one line; an empty
            // line names no author.
            AuthorYearFields &authors = facts.fields.authorYear;
            for (int from = 2; from < entry.size();) {
                const auto end = std::find_if(entry.begin() + from, entry.end(), [](QChar c) {
                    return c == QLatin1Char(';') || c == QChar(0xFF1B);
                });
                const QStringView part = QStringView(entry).mid(from, int(end - entry.begin()) - from).trimmed();
                from = int(end - entry.begin()) + 1;
                if (part.isEmpty())
                    continue;
                ++authors.authors;
                if (authors.families.size() == 3)
                    continue; // counted only
                // Most names hold single blanks only: then trimming is simplifying.
                const bool simple = std::none_of(part.begin(), part.end(), [](QChar c) {
                    return c.isSpace() && c != QLatin1Char(' ');
                }) && !part.contains(QLatin1String("  "));
                const QString author = simple ? part.toString() : part.toString().simplified();
                if (facts.firstAuthor.isEmpty())
                    facts.firstAuthor = author;
                authors.families.append(familyNameOf(author));
            }
        } else if (letter == 'd' && facts.fields.authorYear.year == 0) {
            facts.fields.authorYear.year = yearIn(QStringView(entry).mid(2));
        } else if (letter == 'r' && facts.doi.isEmpty()) {
            facts.doi = doiIn(entry);
        } else if (tag == '>') {
            // EndNote and Zotero write a file:// URL where others write the path.
            facts.attachments.append(attachedPathOf(entry.mid(2).trimmed()));
            facts.attachmentLines.append(at);
        }
        ++at;
    } while (at < lines.size() && lines.at(at) != QLatin1String("\r\n")
             && !lines.at(at).startsWith(QLatin1String("%0")));
    *end = at;
    return facts;
}

int writeLinkedEnw(const QStringList &lines, const QFileInfoList &fullTexts,
                   const QString &outputPath, QTextCodec *codec,
                   const FullTextMatcher &matcher,
                   const RunReport &report, const QString &sourcePath,
                   const QList<QByteArray> &linkTargets, WriteOutcome *outcome, const RecordUrls &urls,
                   OutputFormat format)
{
    if (outcome) {
        outcome->written = false;
        outcome->recordsPerFullText.fill(0, fullTexts.size());
    }
    std::vector<int> lastRecord(outcome ? size_t(fullTexts.size()) : 0, -1); // that linked each full text
    if (outputPath.isEmpty()) {
        // A save file without a name would put its temporary file into the
        // working folder. The reason is the one QFile gives for a missing name.
        reportWriteFailure(outputPath, QStringLiteral("No file name specified"), report);
        return 0;
    }
    const QString refusal = protectedFileReason(outputPath, sourcePath, fullTexts, linkTargets);
    if (!refusal.isEmpty()) {
        reportWriteFailure(outputPath, refusal, report);
        return 0;
    }
    QSaveFile file(outputPath);
    if (!file.open(QIODevice::WriteOnly)) {
        reportWriteFailure(outputPath, file.errorString(), report);
        return 0;
    }

    // First what every title finds on its own, then the claims across the
    // whole export (settleClaims), then the writing.
    std::vector<TitleLink> links;
    std::vector<std::pair<std::uint64_t, int>> titleKeys; // each link's title key (nameKey's hash), by link
    auto ask = [&lines, &matcher](const TitleLink &link, const RecordFacts &record, const QString &shown,
                                  const QString &title) {
        const QString &entry = lines.at(link.line);
        // The title as saved, blanks and all, where simplifying changed it.
        const QString saved = shown.size() + 2 == entry.size() ? QString() : entry.mid(2).trimmed();
        return matcher.find(title, record.firstAuthor, record.doi, saved, record.fields);
    };
    {
        RecordFacts record;
        int recordEnd = 0;
        int recordStart = 0;
        int records = 0;
        const int allRecords = int(std::count_if(lines.begin(), lines.end(), [](const QString &line) {
            return line.startsWith(QLatin1String("%0"));
        }));
        for (int at = 0; at < lines.size(); ++at) {
            if (at == recordEnd) {
                recordStart = at;
                record = recordFactsIn(lines, at, &recordEnd, urls);
                // The front end hears every 64 records where the run is, and may stop it.
                if ((++records & 63) == 0 && !report.proceed(RunReport::Stage::Linking, records, allRecords)) {
                    file.cancelWriting();
                    return 0;
                }
            }
            if (!isTitleLine(lines.at(at)))
                continue;
            TitleLink link;
            link.line = at;
            link.record = recordStart;
            const QString shown = simplifiedLine(lines.at(at));
            const QString title = titleOfSimplified(shown);
            link.match = ask(link, record, shown, title);
            // A title that found no file and names no cut takes no part in
            // the claims: it keeps a number of its own.
            if (link.match.index >= 0 || link.match.cutFile >= 0)
                titleKeys.push_back({NameKeyHash().add(title).value(), int(links.size())});
            else
                link.title = -1;
            link.firstAuthor = record.firstAuthor;
            link.attachments = record.attachments;
            link.attachmentLines = record.attachmentLines;
            links.push_back(std::move(link));
        }
    }
    // One number per title key (duplicates differ in case at times).
    std::sort(titleKeys.begin(), titleKeys.end());
    int number = 0;
    for (size_t i = 0; i < titleKeys.size(); ++i) {
        if (i > 0 && titleKeys[i].first != titleKeys[i - 1].first)
            ++number;
        links[size_t(titleKeys[i].second)].title = number;
    }
    for (TitleLink &link : links) {
        if (link.title < 0)
            link.title = ++number;
    }
    QVector<QPair<int, int>> ambiguousCuts;
    settleClaims(links, fullTexts.size(), [&](const TitleLink &link, const std::vector<bool> &excluded) {
        int end = 0;
        const RecordFacts record = recordFactsIn(lines, link.record, &end, urls);
        matcher.setExcluded(&excluded);
        const QString shown = simplifiedLine(lines.at(link.line));
        const FullTextMatch match = ask(link, record, shown, titleOfSimplified(shown));
        matcher.setExcluded(nullptr);
        return match;
    }, &ambiguousCuts);

    // RIS and BibTeX are written as UTF-8, RIS with a byte-order mark (its
    // importers take a file without one as UTF-8 too, but not every one).
    std::optional<RecordConverter> converter;
    if (format != OutputFormat::Enw) {
        converter.emplace(format);
        codec = QTextCodec::codecForName("UTF-8");
    }
    EncodedOutput out(file, codec, converter ? &*converter : nullptr, format != OutputFormat::Bib);
    size_t nextUrl = 0; // the URLs go into RIS and BibTeX after their record's "%0" line
    const QString missMessage =
        QStringLiteral("未找到全文，1、全文不存在，2、或者文献标题与对应文件名不完全一致!");
    const QString attachment = QStringLiteral("%> ");
    int linked = 0;
    size_t nextLink = 0;
    QHash<int, QString> replacements; // "%>" lines of missing files, by line: the path that replaces them
    int replaced = 0;
    QSet<QString> fullTextPaths;      // made when a record first has "%>" lines
    int reportedRecord = -1;          // whose missing files were said
    for (int at = 0; at < lines.size(); ++at) {
        const QString &entry = lines.at(at);
        const auto replacement = replacements.constFind(at);
        if (replacement != replacements.constEnd()) {
            out << attachment << *replacement << lineEnd;
            ++replaced;
            continue;
        }
        out << entry;
        for (; converter && nextUrl < urls.size() && urls[nextUrl].first <= at; ++nextUrl) {
            const QString &url = urls[nextUrl].second;
            out << (url.startsWith(QLatin1Char('%')) ? url : QStringLiteral("%U ") + url);
        }
        if (!isTitleLine(entry))
            continue;
        TitleLink &link = links[nextLink++];
        const QString shown = simplifiedLine(entry); // the line as the console shows it
        const int recordStart = link.record;
        const FullTextMatch match = link.match;
        const QString path = match.index < 0 ? QString() : absolutePathOf(fullTexts.at(match.index));
        // A "%>" line whose file is gone (the library moved): said in red
        // once a record, and replaced by this run's file of the same name when
        // it comes later. A full text the walk found is there.
        int deadLine = -1;
        if (!link.attachments.isEmpty() && fullTextPaths.isEmpty()) {
            for (const QFileInfo &fullText : fullTexts)
                fullTextPaths.insert(absolutePathOf(fullText));
        }
        for (int i = 0; i < link.attachments.size(); ++i) {
            const QString &attached = link.attachments.at(i);
            if (attached.isEmpty() || fullTextPaths.contains(QDir::cleanPath(attached)) || QFileInfo::exists(attached))
                continue;
            if (reportedRecord != recordStart) // the record's first title
                report.warn(QStringLiteral("附件已不存在:") + attached + QStringLiteral(" (") + titleOfSimplified(shown)
                            + QStringLiteral(")"));
            if (match.index >= 0 && link.attachmentLines.at(i) > at && deadLine < 0
                && !replacements.contains(link.attachmentLines.at(i))
                && QFileInfo(attached).fileName() == fileNameIn(fullTexts.at(match.index).filePath()))
                deadLine = link.attachmentLines.at(i);
        }
        reportedRecord = recordStart;

        QString message; // the title, as a QDebug stream would write it, then the outcome
        message.reserve(shown.size() + std::max(path.size(), missMessage.size()) + 12);
        appendQuoted(message, shown);
        if (match.index < 0) {
            message += QLatin1Char(' ');
            appendQuoted(message, missMessage);
        } else {
            // A record that names the file already (a run over an earlier
            // output) keeps its lines and gets no second one.
            if (alreadyAttached(link.attachments, path))
                ;
            else if (deadLine >= 0)
                replacements.insert(deadLine, path);
            else
                out << attachment << path << lineEnd;
            message += QLatin1String(" ------ ");
            appendQuoted(message, path);
            ++linked;
            if (outcome && lastRecord[size_t(match.index)] != recordStart) {
                lastRecord[size_t(match.index)] = recordStart;
                ++outcome->recordsPerFullText[match.index];
            }
        }
        if (outcome)
            outcome->titles.append(titleOutcome(link, titleOfSimplified(shown), path));
        // Exact matches go out at debug level; near matches and misses as
        // warnings, each followed by the colour reset.
        if (!report.details)
            ;
        else if (match.exact)
            qDebug().noquote().nospace() << message;
        else
            report.warnLine(message);
    }
    for (const auto &cut : ambiguousCuts) {
        report.warn(QStringLiteral("截断文件名对应多条题录，未按截断链接:") + absolutePathOf(fullTexts.at(cut.first))
                    + QStringLiteral(" (") + QString::number(cut.second) + QStringLiteral(")"));
    }

    out.finish();
    // What the file still buffers goes out now: a failure there (a full disk,
    // a size limit) would otherwise pass the commit unnoticed with a short file.
    QString failure = out.failure();
    if (failure.isEmpty() && !file.flush())
        failure = qt_error_string(-1);
    if (!failure.isEmpty()) {
        file.cancelWriting();
        reportWriteFailure(outputPath, failure, report);
        return 0;
    }
    if (!file.commit()) {
        reportWriteFailure(outputPath, file.errorString(), report);
        return 0;
    }
    if (outcome) {
        outcome->written = true;
        outcome->replaced = replaced;
    }
    return linked;
}

int writeLinkedEnw(const QStringList &lines, const QFileInfoList &fullTexts,
                   const QString &outputPath, QTextCodec *codec, int threshold,
                   const RunReport &report, const QString &sourcePath,
                   const QList<QByteArray> &linkTargets, WriteOutcome *outcome, const RecordUrls &urls,
                   OutputFormat format)
{
    const IndexedFullTextMatcher matcher(fullTexts, threshold);
    return writeLinkedEnw(lines, fullTexts, outputPath, codec, matcher, report, sourcePath, linkTargets,
                          outcome, urls, format);
}

bool outputAccepted(const QString &outputPath, const QString &sourcePath, const RunReport &report)
{
    QString refusal = outputPath.isEmpty() ? QStringLiteral("No file name specified")
                                           : protectedFileReason(outputPath, sourcePath, {}, {});
    if (refusal.isEmpty()) {
        // Opening the save file tells a missing folder, a folder at the path,
        // a folder that may not be written; nothing is left behind.
        QSaveFile file(outputPath);
        if (file.open(QIODevice::WriteOnly))
            file.cancelWriting();
        else
            refusal = file.errorString();
    }
    if (refusal.isEmpty())
        return true;
    reportWriteFailure(outputPath, refusal, report);
    return false;
}

void reportClaims(const QFileInfoList &fullTexts, const QVector<int> &recordsPerFullText,
                  const RunReport &report)
{
    const int unclaimed = int(std::count(recordsPerFullText.begin(), recordsPerFullText.end(), 0));
    qDebug() << (QStringLiteral("未被题录链接的全文有：") + QString::number(unclaimed));
    int shown = 0;
    for (int i = 0; i < fullTexts.size() && i < recordsPerFullText.size(); ++i) {
        if (recordsPerFullText.at(i) > 0 || !report.details)
            continue;
        if (report.listLimit >= 0 && shown++ >= report.listLimit)
            continue;
        QString message = QStringLiteral("File : ");
        appendQuoted(message, absolutePathOf(fullTexts.at(i)));
        qDebug().noquote().nospace() << message;
    }
    reportUnlisted(unclaimed, report);
    // Usually one of them is a wrong near match.
    shown = 0;
    int several = 0;
    for (int i = 0; i < fullTexts.size() && i < recordsPerFullText.size(); ++i) {
        if (recordsPerFullText.at(i) < 2)
            continue;
        ++several;
        if (report.listLimit < 0 || shown++ < report.listLimit)
            report.warn(QStringLiteral("被多条题录链接的全文：") + absolutePathOf(fullTexts.at(i)) + QStringLiteral(" (")
                        + QString::number(recordsPerFullText.at(i)) + QStringLiteral(")"));
    }
    reportUnlisted(several, report);
}

void reportUnlisted(int entries, const RunReport &report)
{
    if (report.details && report.listLimit >= 0 && entries > report.listLimit)
        qDebug() << (QStringLiteral("另有") + QString::number(entries - report.listLimit) + QStringLiteral("条未列出"));
}
