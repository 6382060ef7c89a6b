#include "engine/enwreader.h"

#include <QDebug>
#include <QFile>
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

    void addLine(const QString &line)
    {
        if (line.isEmpty()) {
            m_lines.append(lineEnd);
            m_inRecord = false;
        } else if (line.startsWith(QLatin1String("%0"))) {
            m_lines.append(line + lineEnd);
            m_inRecord = true;
            ++m_records;
        } else if (!m_inRecord || line.startsWith(QLatin1String("%U"))
                   || line.startsWith(QLatin1String("http:"))) {
            return;
        } else {
            m_lines.append(line + lineEnd);
        }
    }

    int records() const { return m_records; }

    void restart()
    {
        m_lines.clear();
        m_inRecord = false;
        m_records = 0;
    }

private:
    QStringList &m_lines;
    bool m_inRecord = false;
    int m_records = 0;
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

// Drops the line terminator the way QTextStream::readLineInto does: LF or CR LF,
// and a lone CR when the line is the last one of the file.
void chopLineEnd(QByteArray &line)
{
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
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

// Reads an ASCII-compatible file line by line with `codec`, skipping `skip`
// leading bytes. Returns false at the first undecodable line when
// `stopAtFault` is set, and otherwise reports whether every line decoded.
bool readBytewise(QFile &file, QTextCodec *codec, qint64 skip, bool stopAtFault,
                  RecordFilter &filter)
{
    file.seek(skip);
    bool clean = true;
    QString text;
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        if (line.isEmpty()) // end of file or a read error
            break;
        chopLineEnd(line);
        if (!decodeLine(codec, line, text)) {
            clean = false;
            if (stopAtFault)
                return false;
        }
        filter.addLine(text);
    }
    return clean;
}

void readWithTextStream(QFile &file, RecordFilter &filter)
{
    file.seek(0);
    QTextStream stream(&file);
    stream.setAutoDetectUnicode(true);
    QString line;
    while (stream.readLineInto(&line))
        filter.addLine(line);
}

} // namespace

int readEnwFile(const QString &enwFilePath, QStringList &lines,
                const std::function<void()> &afterWarning)
{
    QFile file(enwFilePath);
    // (An empty name is refused up front: QFile would add a warning of its own.)
    if (enwFilePath.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        qDebug() << (enwFilePath + QStringLiteral("无法打开，请确认文件是否存在或者权限！"));
        return 0;
    }

    // Collect into a list of our own so that the caller's list is only touched
    // once the whole file has been read.
    QStringList retained;
    RecordFilter filter(retained);
    QTextCodec *utf8 = QTextCodec::codecForMib(106);
    bool clean = true;

    switch (detectEncoding(file.peek(4))) {
    case Encoding::Utf32:
    case Encoding::Utf16:
        readWithTextStream(file, filter);
        break;
    case Encoding::Utf8WithMark:
        clean = readBytewise(file, utf8, 3, false, filter);
        break;
    case Encoding::Unmarked:
        if (!readBytewise(file, utf8, 0, true, filter)) {
            filter.restart();
            clean = readBytewise(file, QTextCodec::codecForLocale(), 0, false, filter);
        }
        break;
    }
    file.close();

    if (!clean) {
        qWarning() << (QStringLiteral("enw文件编码无法识别，部分字符已被替换:") + enwFilePath);
        if (afterWarning)
            afterWarning();
    }
    lines.append(retained);
    return filter.records();
}
