#include "engine/enwreader.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QTextCodec>
#include <QTextStream>

#include <algorithm>

namespace {

const QString lineEnd = QStringLiteral("\r\n");

// Sorts lines into records as they arrive, one call per line of the file.
class RecordFilter
{
public:
    explicit RecordFilter(QStringList &lines) : m_lines(lines) {}

    void addLine(QString line)
    {
        // A byte-order mark left inside the text (two exports joined into one
        // file) would hide the "%0" behind it.
        int marks = 0;
        while (marks < line.size() && line.at(marks) == QChar(QChar::ByteOrderMark))
            ++marks;
        line.remove(0, marks);

        if (line.isEmpty()) {
            m_lines.append(lineEnd);
            m_inRecord = false;
        } else if (line.startsWith(QLatin1String("%0"))) {
            m_lines.append(line + lineEnd);
            m_inRecord = true;
            ++m_records;
        } else if (line.startsWith(QLatin1String("%U")) || line.startsWith(QLatin1String("http:"))) {
            return;
        } else if (!m_inRecord) {
            ++m_dropped;
        } else {
            m_lines.append(line + lineEnd);
        }
    }

    int records() const { return m_records; }
    int dropped() const { return m_dropped; }

    void restart()
    {
        m_lines.clear();
        m_inRecord = false;
        m_records = 0;
        m_dropped = 0;
    }

private:
    QStringList &m_lines;
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

// How the file's lines end: LF (alone or after CR), or, in a file that has CR
// but no LF anywhere (old Mac files), CR. Looks at code units of `unitSize`
// bytes in the given byte order and stops at the first LF.
QChar lineBreakOf(QFile &file, int unitSize, bool bigEndian)
{
    file.seek(0);
    bool sawCarriageReturn = false;
    const qint64 chunkSize = qint64(1) << 20;
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(chunkSize);
        if (chunk.isEmpty())
            break;
        const uchar *bytes = reinterpret_cast<const uchar *>(chunk.constData());
        for (int at = 0; at + unitSize <= chunk.size(); at += unitSize) {
            uint unit = 0;
            for (int i = 0; i < unitSize; ++i)
                unit = (unit << 8) | bytes[at + (bigEndian ? i : unitSize - 1 - i)];
            if (unit == '\n')
                return QLatin1Char('\n');
            sawCarriageReturn = sawCarriageReturn || unit == '\r';
        }
    }
    return QLatin1Char(sawCarriageReturn ? '\r' : '\n');
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
    if (!replaced && std::all_of(bytes.begin(), bytes.end(),
                                 [](char byte) { return uchar(byte) < 0x80; }))
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

// Reads an ASCII-compatible file line by line with `codec`, skipping `skip`
// leading bytes. Lines end at LF (a CR before it and a CR at the very end of
// the file go too, as QTextStream::readLine has it), or at CR in an old Mac
// file. With `stopAtFault`, stops at the first undecodable line.
Outcome readBytewise(QFile &file, QTextCodec *codec, qint64 skip, QChar lineBreak,
                     bool stopAtFault, RecordFilter &filter)
{
    file.seek(skip);
    Outcome outcome = Outcome::Clean;
    QString text;
    auto take = [&](const QByteArray &line) {
        if (line.size() > maxEnwLineBytes)
            return false;
        if (!decodeLine(codec, line, text))
            outcome = Outcome::Undecodable;
        filter.addLine(text);
        return !(stopAtFault && outcome == Outcome::Undecodable);
    };

    if (lineBreak == QLatin1Char('\r')) {
        // Only old Mac files end here; the file's size is bounded, read it whole.
        const QByteArray all = file.readAll();
        int start = 0;
        while (start < all.size()) {
            int end = all.indexOf('\r', start);
            if (end < 0)
                end = all.size();
            const QByteArray line = all.mid(start, end - start);
            if (!take(line))
                return line.size() > maxEnwLineBytes ? Outcome::TooLong : outcome;
            start = end + 1;
        }
        return outcome;
    }

    // One buffer for every line: long enough to see that a line is too long,
    // and only as much of it in memory as the longest line touches.
    QByteArray buffer(maxEnwLineBytes + 3, Qt::Uninitialized);
    while (!file.atEnd()) {
        const qint64 read = file.readLine(buffer.data(), buffer.size());
        if (read <= 0) // end of file or a read error
            break;
        int length = int(read);
        if (buffer.at(length - 1) == '\n')
            --length;
        if (length > 0 && buffer.at(length - 1) == '\r')
            --length;
        const QByteArray line = QByteArray::fromRawData(buffer.constData(), length);
        if (!take(line))
            return line.size() > maxEnwLineBytes ? Outcome::TooLong : outcome;
    }
    return outcome;
}

// UTF-16 and UTF-32 files, through QTextStream's Unicode detection.
Outcome readWithTextStream(QFile &file, QChar lineBreak, RecordFilter &filter)
{
    file.seek(0);
    QTextStream stream(&file);
    stream.setAutoDetectUnicode(true);
    if (lineBreak == QLatin1Char('\r')) {
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

void warn(const QString &message, const std::function<void()> &afterWarning)
{
    qWarning() << message;
    if (afterWarning)
        afterWarning();
}

} // namespace

int readEnwFile(const QString &enwFilePath, QStringList &lines,
                const std::function<void()> &afterWarning)
{
    // Only a regular file is opened: a FIFO or a device would block the window
    // inside open(), and a folder has no lines. (An empty name is refused up
    // front too: QFile would add a warning of its own.)
    const QFileInfo info(enwFilePath);
    QFile file(enwFilePath);
    if (enwFilePath.isEmpty() || !info.isFile() || !file.open(QIODevice::ReadOnly)) {
        qDebug() << (enwFilePath + QStringLiteral("无法打开，请确认文件是否存在或者权限！"));
        return 0;
    }
    const QString tooLarge = QStringLiteral("enw文件过大，无法处理:") + enwFilePath;
    if (file.size() > maxEnwFileBytes) {
        warn(tooLarge, afterWarning);
        return 0;
    }

    // Collect into a list of our own so that the caller's list is only touched
    // once the whole file has been read.
    QStringList retained;
    RecordFilter filter(retained);
    QTextCodec *utf8 = QTextCodec::codecForMib(106);
    const QByteArray head = file.peek(4);
    Outcome outcome = Outcome::Clean;

    switch (detectEncoding(head)) {
    case Encoding::Utf32: {
        const bool bigEndian = head.at(0) == 0;
        outcome = readWithTextStream(file, lineBreakOf(file, 4, bigEndian), filter);
        if (outcome == Outcome::Clean && file.size() % 4 != 0)
            outcome = Outcome::Undecodable; // QTextStream drops a cut-off last unit silently
        break;
    }
    case Encoding::Utf16: {
        const bool bigEndian = head.at(0) == '\xFE';
        outcome = readWithTextStream(file, lineBreakOf(file, 2, bigEndian), filter);
        if (outcome == Outcome::Clean && file.size() % 2 != 0)
            outcome = Outcome::Undecodable;
        break;
    }
    case Encoding::Utf8WithMark:
        outcome = readBytewise(file, utf8, 3, lineBreakOf(file, 1, false), false, filter);
        break;
    case Encoding::Unmarked: {
        const QChar lineBreak = lineBreakOf(file, 1, false);
        outcome = readBytewise(file, utf8, 0, lineBreak, true, filter);
        if (outcome == Outcome::Undecodable) {
            filter.restart();
            outcome = readBytewise(file, QTextCodec::codecForLocale(), 0, lineBreak, false, filter);
        }
        break;
    }
    }
    file.close();

    if (outcome == Outcome::TooLong) {
        warn(tooLarge, afterWarning);
        return 0;
    }
    if (outcome == Outcome::Undecodable)
        warn(QStringLiteral("enw文件编码无法识别，部分字符已被替换:") + enwFilePath, afterWarning);
    if (filter.dropped() > 0)
        warn(QStringLiteral("已跳过不属于任何题录的行数:") + QString::number(filter.dropped()), afterWarning);
    lines.append(retained);
    return filter.records();
}
