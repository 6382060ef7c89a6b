// Fuzz target for the ENW reader and the linker: arbitrary bytes as the source
// file, a small fixed full-text list, every threshold. The first byte chooses
// the threshold (its value modulo 11) and the locale encoding (its top bit:
// GBK, else UTF-8). The indexed matcher must choose what the linear scan chooses,
// for the titles, first authors and DOIs of the records, and the writer must
// write exactly those links, none that a record has already.

#include "engine/enwreader.h"
#include "engine/enwwriter.h"
#include "engine/fulltextmatcher.h"
#include "support/linearmatcher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QUrl>

#include <cstdint>
#include <cstdlib>

namespace {

void discardMessages(QtMsgType, const QMessageLogContext &, const QString &) {}

const QFileInfoList &fullTexts()
{
    static const QFileInfoList files = [] {
        QFileInfoList list;
        for (const char *path : {"/lib/Deep learning.pdf", "/lib/deep learning.caj", "/lib/a.pdf", "/lib/.pdf",
                                 "/lib/x/Title.pdf", "/lib/Version 2.0 notes.pdf", "/lib/%T.pdf", "/lib/ .pdf",
                                 "/lib/\xE6\x95\xB0\xE6\x8D\xAE\xE6\x8C\x96\xE6\x8E\x98.caj",
                                 "/lib/\xE6\x95\xB0\xE6\x8D\xAE.pdf", "/lib/ab\xE6\x95\xB0 c.PDF",
                                 "/lib/Deep learning_Zhang.pdf", "/lib/DEEP LEARNING_ZHANG, S (1).pdf",
                                 "/lib/10.1002@pam.21831.pdf", "/lib/Title_省略_tle_Li.nh", "/lib/Tit...Li.kdh",
                                 "/lib/Zhang and Li - 2020 - Deep learning.pdf", "/lib/Zhang_2019_Title.pdf",
                                 "/lib/Zhang - 2021 - Version 2.pdf", "/lib/PAM.21831.pdf", "/lib/zhang2020deep - x.pdf",
                                 "/lib/2101.00001v2.pdf"})
            list.append(QFileInfo(QString::fromUtf8(path)));
        return list;
    }();
    return files;
}

// What the fuzzer itself reads from the record that starts at `lines[from]`:
// its first author (up to ";" or "；"), its DOI and its "%>" paths (a file://
// URL as its path) with their lines.
struct Record
{
    int end = 0;
    QString author, doi;
    QStringList attached;
    QList<int> attachedLines;
    RecordFields fields; // the first three family names, the number of authors, the year
};

Record recordAt(const QStringList &lines, int from, const RecordUrls &urls)
{
    Record record;
    for (const auto &url : urls) { // the reader's, of the hosts that name files, as the writer keeps them
        const QString text = url.second.mid(url.second.startsWith('%') ? 2 : 0).trimmed();
        if (url.first == from && QRegularExpression(QStringLiteral("^.*?://[^/]*(arxiv\\.org|sciencedirect\\.com|ssrn\\.com)(/|$)"),
                                                    QRegularExpression::CaseInsensitiveOption).match(text).hasMatch())
            record.fields.urls << text;
    }
    record.end = from + 1;
    if (lines.at(from) != QLatin1String("\r\n")) {
        while (record.end < lines.size() && lines.at(record.end) != QLatin1String("\r\n")
               && !lines.at(record.end).startsWith(QLatin1String("%0")))
            ++record.end;
    }
    bool authorSeen = false;
    bool doiSeen = false;
    for (int i = from; i < record.end; ++i) {
        const QString tag = lines.at(i).left(2).toUpper();
        const QString text = lines.at(i).mid(2);
        if (tag == QLatin1String("%A")) {
            for (const QString &part : text.split(QRegularExpression(QStringLiteral("[;\uFF1B]")))) {
                const QString author = part.simplified();
                if (author.isEmpty()) // an empty entry names no author
                    continue;
                if (!authorSeen)
                    record.author = author;
                authorSeen = true;
                AuthorYearFields &ay = record.fields.authorYear;
                ++ay.authors;
                if (ay.families.size() < 3) {
                    const QRegularExpressionMatch latin =
                        QRegularExpression(QStringLiteral("^[\\x{0}-\\x{24F}]* ([\\x{0}-\\x{24F}]+)$")).match(author);
                    ay.families << (author.contains(',') ? author.section(',', 0, 0).trimmed()
                                    : latin.hasMatch()   ? latin.captured(1)
                                                         : author);
                }
            }
        } else if (tag == QLatin1String("%D") && record.fields.authorYear.year == 0) {
            // (Not a pattern: the line may hold what is no UTF-16.)
            for (int at = 0; at + 4 <= text.size() && record.fields.authorYear.year == 0; ++at) {
                const QString four = text.mid(at, 4);
                const bool before = at > 0 && text.at(at - 1).isDigit() && text.at(at - 1).unicode() < 0x80;
                const bool after = at + 4 < text.size() && text.at(at + 4).isDigit() && text.at(at + 4).unicode() < 0x80;
                bool ascii = true;
                for (const QChar c : four)
                    ascii = ascii && c >= QLatin1Char('0') && c <= QLatin1Char('9');
                if (ascii && !before && !after && (four.at(0) == '1' || four.at(0) == '2'))
                    record.fields.authorYear.year = four.toInt();
            }
        } else if (tag == QLatin1String("%R") && !doiSeen) {
            QString doi = text.trimmed();
            doi.remove(QRegularExpression(QStringLiteral("^(doi:|https?://(dx\\.)?doi\\.org/)"),
                                          QRegularExpression::CaseInsensitiveOption));
            doi = doi.trimmed();
            if (QRegularExpression(QStringLiteral("^10\\..+/")).match(doi).hasMatch() && !doi.contains(' ')) {
                record.doi = doi;
                doiSeen = true;
            }
        } else if (lines.at(i).startsWith(QLatin1String("%>"))) {
            const QString path = text.trimmed();
            record.attached << (path.startsWith(QLatin1String("file://"), Qt::CaseInsensitive) ? QUrl(path).toLocalFile()
                                                                                              : path);
            record.attachedLines << i;
        }
    }
    return record;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Memory-backed where possible: the writer syncs its file to disk on every run.
    static QTemporaryDir dir(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                 ? QStringLiteral("/dev/shm/enwfuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/enwfuzz-XXXXXX"));
    static const bool ready = [] {
        qInstallMessageHandler(discardMessages);
        return dir.isValid();
    }();
    if (!ready || size == 0)
        return 0;

    const int threshold = data[0] % 11;
    QTextCodec::setCodecForLocale(QTextCodec::codecForName(data[0] & 0x80 ? "GBK" : "UTF-8"));
    const QString source = dir.filePath(QStringLiteral("source.enw"));
    {
        QFile file(source);
        if (!file.open(QIODevice::WriteOnly))
            return 0;
        file.write(reinterpret_cast<const char *>(data + 1), qint64(size - 1));
    }

    QStringList lines;
    RecordUrls urls;
    const int records = readEnwFile(source, lines, {}, nullptr, &urls);
    if (records < 0 || records > lines.size())
        std::abort();

    const IndexedFullTextMatcher indexed(fullTexts(), threshold);
    const LinearFullTextMatcher linear(fullTexts(), threshold);
    // Each title's own choice, both matchers alike.
    struct Pick
    {
        int line;
        Record record;
        QString key; // the title without case, blanks and "_" runs as one
        FullTextMatch match;
    };
    QList<Pick> picks;
    Record record;
    for (int at = 0; at < lines.size(); ++at) {
        const QString &line = lines.at(at);
        if (!line.endsWith(QLatin1String("\r\n")))
            std::abort();
        if (at == record.end)
            record = recordAt(lines, at, urls);
        if (!isTitleLine(line))
            continue;
        const FullTextMatch fast = indexed.find(titleOf(line), record.author, record.doi, QString(), record.fields);
        const FullTextMatch slow = linear.find(titleOf(line), record.author, record.doi, QString(), record.fields);
        if (fast.index != slow.index || fast.exact != slow.exact || fast.strength != slow.strength
            || fast.cutFile != slow.cutFile)
            std::abort();
        QString key = titleOf(line);
        key.replace(QRegularExpression(QStringLiteral("[_\\s]*_[_\\s]*"), QRegularExpression::UseUnicodePropertiesOption),
                    QStringLiteral("_"));
        key.replace(QRegularExpression(QStringLiteral("\\s+"), QRegularExpression::UseUnicodePropertiesOption),
                    QStringLiteral(" "));
        picks.append({at, record, key.trimmed().toCaseFolded(), slow});
    }
    // The claims across the export, plainly: cuts that fit several titles,
    // shared titles taking their own download names, stronger claims first.
    const int files = fullTexts().size();
    auto again = [&](const Pick &pick, const std::vector<bool> &excluded) {
        linear.setExcluded(&excluded);
        const FullTextMatch match = linear.find(titleOf(lines.at(pick.line)), pick.record.author, pick.record.doi,
                                                QString(), pick.record.fields);
        linear.setExcluded(nullptr);
        return match;
    };
    std::vector<bool> ambiguous(size_t(files), false);
    QList<QPair<int, int>> ambiguousCuts;
    for (int file = 0; file < files; ++file) {
        QSet<QString> keys;
        for (const Pick &pick : picks)
            if (pick.match.cutFile == file)
                keys.insert(pick.key);
        ambiguous[size_t(file)] = keys.size() >= 2;
        if (keys.size() >= 2)
            ambiguousCuts.append({file, keys.size()});
    }
    for (Pick &pick : picks)
        if (pick.match.cut && ambiguous[size_t(pick.match.index)])
            pick.match = again(pick, ambiguous);
    for (Pick &pick : picks) {
        QSet<int> records;
        for (const Pick &other : picks)
            if (other.key == pick.key)
                records.insert(other.record.end);
        if (pick.match.strength != NameStrength::Exact || records.size() < 2)
            continue;
        std::vector<bool> bare = ambiguous;
        bare[size_t(pick.match.index)] = true;
        const FullTextMatch own = again(pick, bare);
        if (own.strength == NameStrength::Own && own.tied)
            pick.match = own;
    }
    for (int round = 0; round < 4; ++round) {
        QList<int> lost;
        std::vector<bool> claimed = ambiguous;
        QList<QSet<QString>> owners;
        QList<NameStrength> bests;
        for (int file = 0; file < files; ++file) {
            NameStrength best = NameStrength::None;
            QSet<QString> at;
            for (const Pick &pick : picks) {
                if (pick.match.index != file || pick.match.strength < best)
                    continue;
                if (pick.match.strength > best)
                    at.clear();
                best = pick.match.strength;
                at.insert(pick.key);
            }
            owners.append(at);
            bests.append(best);
            claimed[size_t(file)] = claimed[size_t(file)] || best > NameStrength::Near;
            for (int i = 0; i < picks.size(); ++i)
                if (picks.at(i).match.index == file && picks.at(i).match.strength < best
                    && !(at.size() == 1 && at.contains(picks.at(i).key)))
                    lost.append(i);
        }
        if (lost.isEmpty())
            break;
        for (const int i : lost) {
            std::vector<bool> excluded = claimed;
            for (int file = 0; file < files; ++file)
                if (owners.at(file).size() == 1 && owners.at(file).contains(picks.at(i).key)
                    && bests.at(file) > NameStrength::Near)
                    excluded[size_t(file)] = false;
            picks[i].match = again(picks.at(i), excluded);
        }
    }

    // A "%>" line of a file that is gone, after the title and of the linked
    // file's name, is replaced by the link, once.
    QSet<QString> paths;
    for (const QFileInfo &file : fullTexts())
        paths.insert(file.absoluteFilePath());
    QHash<int, QString> replaced;
    int expectedLinks = 0;
    QString expected; // the lines with the attachment lines in between
    int next = 0;
    for (int at = 0; at < lines.size(); ++at) {
        const QString &line = lines.at(at);
        if (replaced.contains(at)) {
            expected += QStringLiteral("%> ") + replaced.value(at) + QStringLiteral("\r\n");
            continue;
        }
        expected += line;
        if (!isTitleLine(line))
            continue;
        const Pick &pick = picks.at(next++);
        if (pick.match.index < 0)
            continue;
        ++expectedLinks;
        const QString path = fullTexts().at(pick.match.index).absoluteFilePath();
        bool attached = false;
        int dead = -1;
        for (int i = 0; i < pick.record.attached.size(); ++i) {
            const QString &old = pick.record.attached.at(i);
            attached = attached || QDir::cleanPath(old) == path;
            const int oldLine = pick.record.attachedLines.at(i);
            if (dead < 0 && oldLine > at && !replaced.contains(oldLine) && !old.isEmpty()
                && !paths.contains(QDir::cleanPath(old)) && !QFileInfo::exists(old)
                && QFileInfo(old).fileName() == QFileInfo(path).fileName())
                dead = oldLine;
        }
        if (attached)
            continue;
        if (dead >= 0)
            replaced.insert(dead, path);
        else
            expected += QStringLiteral("%> ") + path + QStringLiteral("\r\n");
    }

    const QString output = dir.filePath(QStringLiteral("out.enw"));
    const int linked = writeLinkedEnw(lines, fullTexts(), output, QTextCodec::codecForName("UTF-16LE"), threshold, {},
                                      QString(), {}, nullptr, urls);
    if (linked != expectedLinks)
        std::abort();
    QFile written(output);
    if (!written.open(QIODevice::ReadOnly))
        std::abort();
    const QByteArray bytes = written.readAll();
    if (expected.isEmpty() != bytes.isEmpty())
        std::abort();
    if (!bytes.isEmpty()) {
        const QByteArray text(reinterpret_cast<const char *>(expected.utf16()), 2 * expected.size());
        if (!bytes.startsWith("\xFF\xFE") || bytes.mid(2) != text)
            std::abort();
    }
    return 0;
}
