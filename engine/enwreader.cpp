#include "engine/enwreader.h"

#include "engine/engineutil.h"
#include "engine/publishernames.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextCodec>
#include <QTextStream>

#include <algorithm>
#include <cstring>

namespace {

const QString lineEnd = QStringLiteral("\r\n");

// Sorts lines into records as they arrive, one call per line of the file.
class RecordFilter
{
public:
    RecordFilter(QStringList &lines, RecordUrls *urls, bool everyUrl)
        : m_lines(lines), m_urls(urls), m_everyUrl(everyUrl)
    {
    }

    // Takes one line with "\r\n" added.
    void addEntry(QString &&entry)
    {
        // A byte-order mark left inside the text (two exports joined into one
        // file) would hide the "%0" behind it.
        int marks = 0;
        while (entry.at(marks) == QChar(QChar::ByteOrderMark))
            ++marks;
        if (marks > 0)
            entry.remove(0, marks);

        if (entry.size() == 2) {
            m_lines.append(lineEnd);
            m_inRecord = false;
        } else if (entry.startsWith(QLatin1String("%0"))) {
            m_recordStart = m_lines.size();
            m_lines.append(std::move(entry));
            m_inRecord = true;
            ++m_records;
        } else if (entry.startsWith(QLatin1String("%U")) || entry.startsWith(QLatin1String("http:"))) {
            // Left out of the output, but a publisher's name may be made of it.
            if (m_urls && m_inRecord && (m_everyUrl || mayNameFile(entry)))
                m_urls->emplace_back(m_recordStart, std::move(entry));
            return;
        } else if (!m_inRecord) {
            ++m_dropped;
        } else {
            m_lines.append(std::move(entry));
        }
    }

    void addLine(const QString &line)
    {
        QString entry;
        entry.reserve(line.size() + 2);
        entry += line;
        entry += lineEnd;
        addEntry(std::move(entry));
    }

    int records() const { return m_records; }
    int dropped() const { return m_dropped; }

    void restart()
    {
        m_lines.clear();
        if (m_urls)
            m_urls->clear();
        m_inRecord = false;
        m_records = 0;
        m_dropped = 0;
    }

private:
    QStringList &m_lines;
    RecordUrls *m_urls;
    bool m_everyUrl; // else only those that may name a file
    int m_recordStart = 0; // where the record under way starts in m_lines
    bool m_inRecord = false;
    int m_records = 0;
    int m_dropped = 0;
};

enum class Encoding { Utf32, Utf16, Utf8WithMark, Unmarked };

// The decision QTextStream's Unicode detection makes on the first bytes.
Encoding detectEncoding(const QByteArray &head)
{
    if (head.size() >= 4 && (head.startsWith(QByteArrayLiteral("\xFF\xFE\x00\x00"))
                             || head.startsWith(QByteArrayLiteral("\x00\x00\xFE\xFF"))))
        return Encoding::Utf32;
    if (head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF"))
        return Encoding::Utf16;
    if (head.startsWith("\xEF\xBB\xBF"))
        return Encoding::Utf8WithMark;
    return Encoding::Unmarked;
}

// Whether the file's lines end at CR: when CRs that no LF follows outnumber
// the LFs (old Mac files, and files of such lines with a stray LF), lines end
// at CR, LF or CR LF; else at LF. Looks at code units of `unitSize` bytes in
// the given byte order.
bool endsAtCarriageReturn(QFile &file, int unitSize, bool bigEndian)
{
    file.seek(0);
    qint64 lineFeeds = 0;
    qint64 loneReturns = 0;
    bool pendingReturn = false; // a CR whose next unit is not read yet
    const qint64 chunkSize = qint64(1) << 16;
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(chunkSize - chunkSize % unitSize);
        if (chunk.isEmpty())
            break;
        const uchar *bytes = reinterpret_cast<const uchar *>(chunk.constData());
        if (unitSize == 1 && !pendingReturn && !chunk.contains('\r')) {
            lineFeeds += std::count(chunk.begin(), chunk.end(), '\n');
            continue;
        }
        for (int at = 0; at + unitSize <= chunk.size(); at += unitSize) {
            uint unit = 0;
            for (int i = 0; i < unitSize; ++i)
                unit = (unit << 8) | bytes[at + (bigEndian ? i : unitSize - 1 - i)];
            loneReturns += pendingReturn && unit != '\n';
            lineFeeds += unit == '\n';
            pendingReturn = unit == '\r';
        }
    }
    return loneReturns + pendingReturn > lineFeeds;
}

// Decodes one line of an 8-bit, ASCII-compatible encoding and tells whether all
// of its bytes were understood. Some codecs (ICU-backed ones among them) never
// count invalid input, so for them a replaced or swallowed byte is found by
// encoding the text back: a line without replacement characters must not have
// lost bytes, and one with them must reproduce its bytes (a genuine U+FFFD does).
bool decodeLine(QTextCodec *codec, const QByteArray &bytes, QString &text)
{
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    text = codec->toUnicode(bytes.constData(), bytes.size(), &state);
    if (state.remainingChars > 0)
        text.append(QChar::ReplacementCharacter); // a sequence cut off by the line end
    if (state.invalidChars > 0 || state.remainingChars > 0)
        return false;
    if (codec->mibEnum() == 106) // Qt's own UTF-8 decoder counts every fault
        return true;
    const bool replaced = text.contains(QChar::ReplacementCharacter);
    if (!replaced && isAscii(bytes.constData(), bytes.size()))
        return true;
    const QByteArray back = codec->fromUnicode(text);
    if (replaced)
        return back == bytes;
    if (back.size() < bytes.size()) {
        text.append(QChar::ReplacementCharacter); // bytes the codec swallowed
        return false;
    }
    return true;
}

enum class Outcome { Clean, Undecodable, TooLong };

// What a read gives back besides the lines: how it ended, and how many lines
// did not decode cleanly.
struct ReadResult
{
    Outcome outcome = Outcome::Clean;
    int undecodable = 0;
};

// How the lines of a file without a byte-order mark voted: those with bytes
// beyond ASCII, and those among them that were not UTF-8 (read in the local
// encoding instead).
struct Vote
{
    qint64 beyondAscii = 0;
    qint64 notUtf8 = 0;
    bool utf8Wins() const { return 2 * (beyondAscii - notUtf8) > beyondAscii; }
};

// Decodes the bytes of one line and adds "\r\n": ASCII directly, into a
// string of the right size, anything else through the codec.
bool decodeEntry(QTextCodec *codec, const char *bytes, int size, QString &entry, bool *ascii = nullptr)
{
    if (ascii)
        *ascii = isAscii(bytes, size);
    if (ascii ? *ascii : isAscii(bytes, size)) {
        entry = QString(size + 2, Qt::Uninitialized);
        QChar *out = entry.data();
        for (int i = 0; i < size; ++i)
            out[i] = QLatin1Char(bytes[i]);
        out[size] = QLatin1Char('\r');
        out[size + 1] = QLatin1Char('\n');
        return true;
    }
    const bool clean = decodeLine(codec, QByteArray::fromRawData(bytes, size), entry);
    entry += lineEnd;
    return clean;
}

// Reads the lines of an ASCII-compatible file from byte `skip` on, with
// `codec`, a piece at a time through one buffer (a copy of the whole file would
// cost as much memory again as its text). Lines end at LF (a CR before it and a
// CR at the very end of the file go too, as QTextStream::readLine has it), or,
// in a file of CR line ends (endsAtCarriageReturn), at CR, LF or CR LF. With
// `vote`, a line `codec` cannot decode is read with the local encoding, and
// the lines' vote is counted there.
ReadResult readBytewise(QFile &file, qint64 skip, QTextCodec *codec, Vote *vote, RecordFilter &filter)
{
    const bool atReturns = endsAtCarriageReturn(file, 1, false);
    auto nextBreak = [atReturns](const char *from, const char *end) -> const char * {
        if (!atReturns)
            return static_cast<const char *>(std::memchr(from, '\n', size_t(end - from)));
        const char *found = std::find_if(from, end, [](char c) { return c == '\r' || c == '\n'; });
        return found == end ? nullptr : found;
    };
    file.seek(skip);
    constexpr int pieceSize = 1 << 20;
    QByteArray buffer;
    int kept = 0; // bytes of an unfinished line at the start of the buffer
    ReadResult result;
    QString entry;
    for (bool atEnd = false; !atEnd;) {
        buffer.resize(kept + pieceSize);
        const qint64 got = file.read(buffer.data() + kept, pieceSize);
        atEnd = got <= 0;
        const char *const end = buffer.constData() + kept + std::max<qint64>(got, 0);
        const char *at = buffer.constData();
        while (at < end) {
            const char *next = nextBreak(at, end);
            if ((!next || (atReturns && *next == '\r' && next + 1 == end)) && !atEnd)
                break; // the line, or its CR LF, goes on in the next piece
            const char *stop = next ? next : end;
            if (!atReturns && stop > at && stop[-1] == '\r')
                --stop;
            if (stop - at > maxEnwLineBytes)
                return {Outcome::TooLong, result.undecodable};
            bool ascii = true;
            bool clean = decodeEntry(codec, at, int(stop - at), entry, vote ? &ascii : nullptr);
            if (vote && !ascii) {
                ++vote->beyondAscii;
                if (!clean) {
                    ++vote->notUtf8;
                    clean = decodeEntry(QTextCodec::codecForLocale(), at, int(stop - at), entry);
                }
            }
            if (!clean) {
                result.outcome = Outcome::Undecodable;
                ++result.undecodable;
            }
            filter.addEntry(std::move(entry));
            at = !next ? end : next + (atReturns && *next == '\r' && next + 1 < end && next[1] == '\n' ? 2 : 1);
        }
        kept = int(end - at);
        if (kept > maxEnwLineBytes + 1) // + 1: a CR before the LF does not count
            return {Outcome::TooLong, result.undecodable};
        std::memmove(buffer.data(), at, size_t(kept));
    }
    return result;
}

// UTF-16 and UTF-32 files, through QTextStream's Unicode detection.
Outcome readWithTextStream(QFile &file, bool atReturns, RecordFilter &filter)
{
    file.seek(0);
    QTextStream stream(&file);
    stream.setAutoDetectUnicode(true);
    if (atReturns) {
        static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
        const QStringList lines = stream.readAll().split(lineBreak);
        const int count = lines.size() - (lines.last().isEmpty() ? 1 : 0);
        for (int i = 0; i < count; ++i) {
            if (lines.at(i).size() > maxEnwLineBytes)
                return Outcome::TooLong;
            filter.addLine(lines.at(i));
        }
        return Outcome::Clean;
    }
    QString line;
    while (stream.readLineInto(&line, maxEnwLineBytes + 1)) {
        if (line.size() > maxEnwLineBytes)
            return Outcome::TooLong;
        filter.addLine(line);
    }
    return Outcome::Clean;
}

} // namespace

int readEnwFile(const QString &enwFilePath, QStringList &lines,
                const RunReport &report, int *undecodableLines, RecordUrls *urls, bool everyUrl)
{
    // Only a regular file is opened: a FIFO or a device would block the window
    // inside open(), and a folder has no lines. (An empty name is refused up
    // front too: QFile would add a warning of its own.)
    const QFileInfo info(enwFilePath);
    QFile file(enwFilePath);
    if (info.exists() && !info.isFile()) {
        report.warn(enwFilePath + (info.isDir() ? QStringLiteral("是一个文件夹，不是enw文件！")
                                                : QStringLiteral("不是普通文件，无法读取！")));
        return 0;
    }
    if (enwFilePath.isEmpty() || !info.isFile() || !file.open(QIODevice::ReadOnly)) {
        report.warn(enwFilePath + QStringLiteral("无法打开，请确认文件是否存在或者权限！"));
        return 0;
    }
    if (file.size() > maxEnwFileBytes) {
        report.warn(QStringLiteral("enw文件过大，无法处理:") + enwFilePath);
        return 0;
    }

    // Collect into a list of our own so that the caller's list is only touched
    // once the whole file has been read.
    QStringList retained;
    RecordUrls retainedUrls;
    RecordFilter filter(retained, urls ? &retainedUrls : nullptr, everyUrl);
    QTextCodec *utf8 = QTextCodec::codecForMib(106);
    const QByteArray head = file.peek(4);
    ReadResult read;
    Vote vote;
    QTextCodec *fallback = nullptr; // the encoding tried after the local one failed

    switch (detectEncoding(head)) {
    case Encoding::Utf32: {
        const bool bigEndian = head.at(0) == 0;
        read.outcome = readWithTextStream(file, endsAtCarriageReturn(file, 4, bigEndian), filter);
        if (read.outcome == Outcome::Clean && file.size() % 4 != 0)
            read = {Outcome::Undecodable, 1}; // QTextStream drops a cut-off last unit silently
        break;
    }
    case Encoding::Utf16: {
        const bool bigEndian = head.at(0) == '\xFE';
        read.outcome = readWithTextStream(file, endsAtCarriageReturn(file, 2, bigEndian), filter);
        if (read.outcome == Outcome::Clean && file.size() % 2 != 0)
            read = {Outcome::Undecodable, 1};
        break;
    }
    case Encoding::Utf8WithMark:
        read = readBytewise(file, 3, utf8, nullptr, filter);
        break;
    case Encoding::Unmarked:
        // The lines beyond ASCII vote: when most are UTF-8, the file is, and
        // the others (a stray cp1252 byte, a GBK export appended) are read in
        // the local encoding; else the whole file is read in that encoding.
        read = readBytewise(file, 0, utf8, &vote, filter);
        if (read.outcome != Outcome::TooLong && vote.notUtf8 > 0 && !vote.utf8Wins()) {
            filter.restart();
            vote = Vote();
            QTextCodec *local = QTextCodec::codecForLocale();
            read = readBytewise(file, 0, local, nullptr, filter);
            // A Chinese export read on a system whose encoding is not Chinese.
            QTextCodec *chinese = QTextCodec::codecForName("GB18030");
            if (read.outcome == Outcome::Undecodable && chinese && local->mibEnum() != chinese->mibEnum()) {
                filter.restart();
                const ReadResult again = readBytewise(file, 0, chinese, nullptr, filter);
                if (again.outcome == Outcome::Clean) {
                    read = again;
                    fallback = chinese;
                } else {
                    filter.restart();
                    read = readBytewise(file, 0, local, nullptr, filter);
                }
            }
        }
        break;
    }
    file.close();

    if (read.outcome == Outcome::TooLong) {
        report.warn(QStringLiteral("enw文件中有一行过长，无法处理:") + enwFilePath);
        return 0;
    }
    if (vote.notUtf8 > 0)
        report.warn(QStringLiteral("以下行数不是UTF-8编码，已按本地编码读取:") + QString::number(vote.notUtf8));
    if (fallback)
        qDebug() << (QStringLiteral("enw文件不是UTF-8或本地编码，已按GB18030编码读取:") + enwFilePath);
    if (read.outcome == Outcome::Undecodable) {
        report.warn(QStringLiteral("enw文件编码无法识别，部分字符已被替换:") + enwFilePath);
        report.warn(QStringLiteral("无法解码的行数:") + QString::number(read.undecodable));
    }
    if (undecodableLines)
        *undecodableLines = read.undecodable;
    if (filter.dropped() > 0)
        report.warn(QStringLiteral("已跳过不属于任何题录的行数:") + QString::number(filter.dropped()));
    if (urls) {
        for (auto &url : retainedUrls)
            urls->emplace_back(lines.size() + url.first, std::move(url.second));
    }
    lines.append(retained);
    return filter.records();
}
