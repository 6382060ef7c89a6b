#include "engine/enwreader.h"
#include "support/testsupport.h"

#include <QTemporaryDir>
#include <QTextCodec>
#include <QRegularExpression>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

class TestReader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void lines_data();
    void lines();
    void urlsByRecord();
    void byteOrderMarks_data();
    void byteOrderMarks();
    void localeDecoding_data();
    void localeDecoding();
    void undecodableBytesWarnOnce_data();
    void undecodableBytesWarnOnce();
    void unopenablePath_data();
    void unopenablePath();
    void tooLargeIsRefusedUnread();
    void appendsToCallersList();

private:
    QString writeSource(const QByteArray &bytes);
    QTemporaryDir m_dir;
    int m_files = 0;
};

void TestReader::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
}

QString TestReader::writeSource(const QByteArray &bytes)
{
    const QString path = m_dir.filePath(QStringLiteral("source%1.enw").arg(++m_files));
    return writeBytes(path, bytes) ? path : QString();
}

void TestReader::urlsByRecord()
{
    // Left out of the lines, kept for the matcher under their record's "%0"
    // line, counted after the lines given before.
    QStringList lines({"%0 Z\r\n"});
    RecordUrls urls;
    QCOMPARE(readEnwFile(writeSource("%U http://arxiv.org/abs/1\n%0 A\n%U http://arxiv.org/abs/2\nhttp://ssrn.com/x\n"
                                     "%U https://example.org/arxiv.org/\n\n%0 B\n%T t\n%U  https://export.arxiv.org/pdf/3 \n"),
                         lines, {}, nullptr, &urls),
             2);
    QCOMPARE(lines, QStringList({"%0 Z\r\n", "%0 A\r\n", "\r\n", "%0 B\r\n", "%T t\r\n"}));
    QCOMPARE(urls, RecordUrls({{1, "%U http://arxiv.org/abs/2\r\n"}, {1, "http://ssrn.com/x\r\n"},
                               {3, "%U  https://export.arxiv.org/pdf/3 \r\n"}}));
}

void TestReader::lines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("dropped"); // non-empty lines outside records, URL lines aside

    QTest::newRow("empty file") << QByteArray() << QStringList() << 0 << 0;
    QTest::newRow("every classification step")
        << QByteArray("%0 Journal Article\n%T Title\n%U http://x.org\nhttp://y.org\n%A Someone\n\n"
                      "%A outside\n%0 Book\n")
        << QStringList({"%0 Journal Article\r\n", "%T Title\r\n", "%A Someone\r\n", "\r\n",
                        "%0 Book\r\n"})
        << 2 << 1;
    QTest::newRow("text before the first record")
        << QByteArray("junk\n\n%T stray\n%0 X\n") << QStringList({"\r\n", "%0 X\r\n"}) << 1 << 2;
    QTest::newRow("records without a blank line between")
        << QByteArray("%0 A\n%T a\n%0 B\n%T b\n")
        << QStringList({"%0 A\r\n", "%T a\r\n", "%0 B\r\n", "%T b\r\n"}) << 2 << 0;
    QTest::newRow("lookalikes of url lines are kept")
        << QByteArray("%0 A\n%u lower\nhttps://s.org\nHTTP://caps.org\nhttp:\n")
        << QStringList({"%0 A\r\n", "%u lower\r\n", "https://s.org\r\n", "HTTP://caps.org\r\n"}) << 1 << 0;
    QTest::newRow("url lines outside records") << QByteArray("%U http://x\nhttp://y\n")
                                               << QStringList() << 0 << 0;
    QTest::newRow("blank-only lines")
        << QByteArray("   \n%0 A\n   \n\t\n\n   \n")
        << QStringList({"%0 A\r\n", "   \r\n", "\t\r\n", "\r\n"}) << 1 << 2;
    QTest::newRow("%0 alone and a single percent sign")
        << QByteArray("%\n%0\n%\n%0Book\n") << QStringList({"%0\r\n", "%\r\n", "%0Book\r\n"}) << 2 << 1;
    QTest::newRow("three empty lines") << QByteArray("\n\n\n")
                                       << QStringList({"\r\n", "\r\n", "\r\n"}) << 0 << 0;
    QTest::newRow("crlf line ends") << QByteArray("%0 A\r\n%T t\r\n\r\n")
                                    << QStringList({"%0 A\r\n", "%T t\r\n", "\r\n"}) << 1 << 0;
    QTest::newRow("stray cr before crlf") << QByteArray("%0 A\r\r\n%T t\r\n")
                                          << QStringList({"%0 A\r\r\n", "%T t\r\n"}) << 1 << 0;
    QTest::newRow("cr inside a line") << QByteArray("%0 A\rB\n")
                                      << QStringList({"%0 A\rB\r\n"}) << 1 << 0;
    QTest::newRow("final lone cr dropped") << QByteArray("%0 A\n%T t\r")
                                           << QStringList({"%0 A\r\n", "%T t\r\n"}) << 1 << 0;
    QTest::newRow("final line of a lone cr") << QByteArray("%0 A\n\r")
                                             << QStringList({"%0 A\r\n", "\r\n"}) << 1 << 0;
    QTest::newRow("no final newline") << QByteArray("%0 A\n%T t")
                                      << QStringList({"%0 A\r\n", "%T t\r\n"}) << 1 << 0;
    QTest::newRow("nul bytes stay in the line")
        << QByteArray("%0 A\n%T a\0b\n", 12) << QStringList({"%0 A\r\n", QString::fromUtf8("%T a\0b\r\n", 8)})
        << 1 << 0;
    QTest::newRow("utf-16 without a mark has no record")
        << QByteArray("%\x00" "0\x00 \x00" "A\x00\n\x00", 10) << QStringList() << 0 << 2;
    QTest::newRow("old mac line ends")
        << QByteArray("%0 A\r%T t\r\r%0 B\r") << QStringList({"%0 A\r\n", "%T t\r\n", "\r\n", "%0 B\r\n"})
        << 2 << 0;
    QTest::newRow("old mac line ends in utf-16")
        << QByteArray("\xFF\xFE%\x00" "0\x00\r\x00%\x00" "0\x00\r\x00", 14)
        << QStringList({"%0\r\n", "%0\r\n"}) << 2 << 0;
    QTest::newRow("cr inside a line in utf-16")
        << QByteArray("\xFF\xFE%\x00" "0\x00\r\x00" "B\x00\n\x00", 12) << QStringList({"%0\rB\r\n"}) << 1 << 0;
    QTest::newRow("mostly lone cr, one lf")
        << QByteArray("%0 A\r%T t\r\r%0 B\n%T u\r")
        << QStringList({"%0 A\r\n", "%T t\r\n", "\r\n", "%0 B\r\n", "%T u\r\n"}) << 2 << 0;
    QTest::newRow("mostly lone cr, one cr lf")
        << QByteArray("%0 A\r%T t\r\n%A a\r%K k\r")
        << QStringList({"%0 A\r\n", "%T t\r\n", "%A a\r\n", "%K k\r\n"}) << 1 << 0;
    QTest::newRow("old mac line ends in utf-32le")
        << QByteArray("\xFF\xFE\0\0%\0\0\0" "0\0\0\0\r\0\0\0%\0\0\0" "0\0\0\0\r\0\0\0", 28)
        << QStringList({"%0\r\n", "%0\r\n"}) << 2 << 0;
    QTest::newRow("old mac line ends in utf-32be")
        << QByteArray("\0\0\xFE\xFF\0\0\0%\0\0\0" "0\0\0\0\r\0\0\0%\0\0\0" "0\0\0\0\r", 28)
        << QStringList({"%0\r\n", "%0\r\n"}) << 2 << 0;
    QTest::newRow("two marks in a row at a line start")
        << QByteArray("\xEF\xBB\xBF%0 A\n\xEF\xBB\xBF\xEF\xBB\xBF%0 B\n")
        << QStringList({"%0 A\r\n", "%0 B\r\n"}) << 2 << 0;
    QTest::newRow("joined exports keep no mark inside")
        << QByteArray("\xEF\xBB\xBF%0 A\n%T a\n\xEF\xBB\xBF%0 B\n\xEF\xBB\xBF\n")
        << QStringList({"%0 A\r\n", "%T a\r\n", "%0 B\r\n", "\r\n"}) << 2 << 0;
    QTest::newRow("cnki abstract paragraphs after a blank line")
        << QByteArray("%0 A\n%X one\n\nsecond paragraph\n%W CNKI\n")
        << QStringList({"%0 A\r\n", "%X one\r\n", "\r\n"}) << 1 << 2;
}

void TestReader::lines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    QFETCH(int, records);
    QFETCH(int, dropped);
    const QString path = writeSource(bytes);
    QStringList read;
    LogCapture capture;
    QCOMPARE(readEnwFile(path, read, [&capture] { capture.reset(); }), records);
    QCOMPARE(read, lines);
    QCOMPARE(capture.lines(), dropped ? QStringList({QStringLiteral("W:\"已跳过不属于任何题录的行数:%1\"").arg(dropped)})
                                      : QStringList());
    QCOMPARE(capture.warningsWithReset, dropped ? 1 : 0);
}

static QByteArray encoded(const char *codec, const QString &text)
{
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    const QString unit = text;
    return QTextCodec::codecForName(codec)->fromUnicode(unit.constData(), unit.size(), &state);
}

void TestReader::byteOrderMarks_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QString text = QStringLiteral("%0 Journal Article\r\n%T 数据挖掘\r\n%U http://x\r\n");
    QTest::newRow("utf-8") << QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    QTest::newRow("utf-16le") << QByteArray("\xFF\xFE") + encoded("UTF-16LE", text);
    QTest::newRow("utf-16be") << QByteArray("\xFE\xFF") + encoded("UTF-16BE", text);
    QTest::newRow("utf-32le") << QByteArray("\xFF\xFE\x00\x00", 4) + encoded("UTF-32LE", text);
    QTest::newRow("utf-32be") << QByteArray("\x00\x00\xFE\xFF", 4) + encoded("UTF-32BE", text);
}

void TestReader::byteOrderMarks()
{
    QFETCH(QByteArray, bytes);
    const LocaleCodec gbk("GBK");
    QStringList read;
    LogCapture capture;
    QCOMPARE(readEnwFile(writeSource(bytes), read), 1);
    QCOMPARE(read, QStringList({"%0 Journal Article\r\n", QStringLiteral("%T 数据挖掘\r\n")}));
    QCOMPARE(capture.lines(), QStringList());
}

void TestReader::localeDecoding_data()
{
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("warnings");
    const QStringList oneNotUtf8({QStringLiteral("W:\"以下行数不是UTF-8编码，已按本地编码读取:1\"")});
    const QString chinese = QStringLiteral("%0 学位论文\r\n%T 基于深度学习的图像识别€\r\n");
    const QStringList expected({QStringLiteral("%0 学位论文\r\n"),
                                QStringLiteral("%T 基于深度学习的图像识别€\r\n")});
    QTest::newRow("unmarked utf-8 under gbk") << QByteArray("GBK") << chinese.toUtf8() << expected << QStringList();
    QTest::newRow("unmarked gbk under gbk") << QByteArray("GBK") << encoded("GBK", chinese) << expected << QStringList();
    QTest::newRow("unmarked utf-8 under utf-8") << QByteArray("UTF-8") << chinese.toUtf8() << expected << QStringList();
    QTest::newRow("genuine replacement character")
        << QByteArray("GBK") << QStringLiteral("%0 A\n%T a\uFFFDb\n").toUtf8()
        << QStringList({"%0 A\r\n", QStringLiteral("%T a\uFFFDb\r\n")}) << QStringList();
    QTest::newRow("mark-like character inside a utf-8 file")
        << QByteArray("GBK") << QByteArray("\xEF\xBB\xBF%0 A\n\xEF\xBB\xBF%T x\n")
        << QStringList({"%0 A\r\n", QStringLiteral("%T x\r\n")}) << QStringList();
    // The lines beyond ASCII vote on a file without a byte-order mark.
    QTest::newRow("utf-8 with one cp1252 byte")
        << QByteArray("GBK") << QStringLiteral("%0 A\n%A 张三\n%T 数据挖掘\n").toUtf8() + "%X it\x92s\n"
        << QStringList({"%0 A\r\n", QStringLiteral("%A 张三\r\n"), QStringLiteral("%T 数据挖掘\r\n"),
                        QStringLiteral("%X it抯\r\n")}) << oneNotUtf8;
    QTest::newRow("utf-8 export with a smaller gbk export appended")
        << QByteArray("GBK")
        << QStringLiteral("%0 A\n%A 张三\n%T 数据挖掘\n%K 方法\n\n").toUtf8() + encoded("GBK", QStringLiteral("%0 B\n%T 图像识别\n"))
        << QStringList({"%0 A\r\n", QStringLiteral("%A 张三\r\n"), QStringLiteral("%T 数据挖掘\r\n"),
                        QStringLiteral("%K 方法\r\n"), "\r\n", "%0 B\r\n", QStringLiteral("%T 图像识别\r\n")}) << oneNotUtf8;
    QTest::newRow("gbk file with a short line that is valid utf-8")
        << QByteArray("GBK") << encoded("GBK", QStringLiteral("%0 A\n%A 学\n%T 数据挖掘方法\n%K 研究\n"))
        << QStringList({"%0 A\r\n", QStringLiteral("%A 学\r\n"), QStringLiteral("%T 数据挖掘方法\r\n"),
                        QStringLiteral("%K 研究\r\n")}) << QStringList();
    // "学" in GBK is valid UTF-8; a tie goes to the local encoding, and ASCII lines do not vote.
    QTest::newRow("a tie between the lines beyond ascii")
        << QByteArray("GBK") << encoded("GBK", QStringLiteral("%0 A\n%A 学\n%T 数据挖掘方法\n%P 1-2\n%V 3\n"))
        << QStringList({"%0 A\r\n", QStringLiteral("%A 学\r\n"), QStringLiteral("%T 数据挖掘方法\r\n"), "%P 1-2\r\n",
                        "%V 3\r\n"}) << QStringList();
    // A Chinese export on a system whose encoding is UTF-8: GB18030 reads it.
    QTest::newRow("unmarked gbk under utf-8")
        << QByteArray("UTF-8") << encoded("GBK", QStringLiteral("%0 学位论文\r\n%T 基于深度学习的图像识别\r\n"))
        << QStringList({QStringLiteral("%0 学位论文\r\n"), QStringLiteral("%T 基于深度学习的图像识别\r\n")})
        << QStringList({QStringLiteral("D:\"enw文件不是UTF-8或本地编码，已按GB18030编码读取:@\"")});
    QTest::newRow("unmarked gb18030 four-byte character under gbk")
        << QByteArray("GBK") << QByteArray("%0 A\n%T \x81\x30\x81\x30\xD6\xD0\n")
        << QStringList({"%0 A\r\n", QStringLiteral("%T \u0080中\r\n")})
        << QStringList({QStringLiteral("D:\"enw文件不是UTF-8或本地编码，已按GB18030编码读取:@\"")});
    QTest::newRow("gbk tried as utf-8 first counts its dropped lines once")
        << QByteArray("GBK") << encoded("GBK", QStringLiteral("前言\n%0 A\n%T 数据挖掘\n"))
        << QStringList({"%0 A\r\n", QStringLiteral("%T 数据挖掘\r\n")})
        << QStringList({QStringLiteral("W:\"已跳过不属于任何题录的行数:1\"")});
}

void TestReader::localeDecoding()
{
    QFETCH(QByteArray, locale);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, warnings);
    const LocaleCodec codec(locale.constData());
    QStringList read;
    LogCapture capture;
    const QString path = writeSource(bytes);
    QCOMPARE(readEnwFile(path, read), int(lines.filter(QRegularExpression("^%0")).size()));
    QCOMPARE(read, lines);
    QCOMPARE(capture.lines(), warnings.replaceInStrings("@", path));
}

void TestReader::undecodableBytesWarnOnce_data()
{
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("undecodable"); // lines
    // 0x81 0x20 is a GBK lead byte without its trail byte; invalid UTF-8 too.
    QTest::newRow("unmarked, invalid in gbk")
        << QByteArray("GBK") << QByteArray("%0 A\n%T \x81 \xD6\xD0\n%T \x81\x7E\xFE\n")
        << QStringList({"%0 A\r\n",
#ifdef Q_OS_WIN // Qt's own GBK decoder (Windows builds have no ICU) takes the space with the bad byte
                        QStringLiteral("%T \uFFFD中\r\n"),
#else
                        QStringLiteral("%T \uFFFD 中\r\n"),
#endif
                        QStringLiteral("%T \u4E8A\uFFFD\r\n")}) << 2;
    QTest::newRow("unmarked, gbk lead byte cut off by the line end")
        << QByteArray("GBK") << QByteArray("%0 A\n%T \xD6\xD0\xD6\n")
        << QStringList({"%0 A\r\n", QStringLiteral("%T 中\uFFFD\r\n")}) << 1;
    QTest::newRow("unmarked, invalid in utf-8 locale")
        << QByteArray("UTF-8") << QByteArray("%0 A\n%T a\xC3(\n")
        << QStringList({"%0 A\r\n", QStringLiteral("%T a\uFFFD(\r\n")}) << 1;
    QTest::newRow("utf-8 with its mark")
        << QByteArray("GBK") << QByteArray("\xEF\xBB\xBF%0 A\n%T \xE6\x95\n")
        << QStringList({"%0 A\r\n", QStringLiteral("%T \uFFFD\r\n")}) << 1;
    QTest::newRow("utf-32 with two stray bytes at its end")
        << QByteArray("UTF-8") << QByteArray("\xFF\xFE\0\0%\0\0\0" "0\0\0\0 \0\0\0" "A\0\0\0\n\0\0\0xy", 26)
        << QStringList({"%0 A\r\n"}) << 1;
    QTest::newRow("byte 0x80 is not ascii")
        << QByteArray("UTF-8") << QByteArray("%0 A\n%T a\x80" "b\n")
        << QStringList({"%0 A\r\n", QStringLiteral("%T a\uFFFDb\r\n")}) << 1;
    QTest::newRow("utf-16 cut off in its last character")
        << QByteArray("UTF-8") << QByteArray("\xFF\xFE%\x00" "0\x00 \x00" "A\x00\n\x00%", 13)
        << QStringList({"%0 A\r\n"}) << 1;
}

void TestReader::undecodableBytesWarnOnce()
{
    QFETCH(QByteArray, locale);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    QFETCH(int, undecodable);
    const LocaleCodec codec(locale.constData());
    const QString path = writeSource(bytes);
    QStringList read;
    LogCapture capture;
    int counted = -1;
    QCOMPARE(readEnwFile(path, read, [&capture] { capture.reset(); }, &counted), 1);
    QCOMPARE(read, lines);
    QCOMPARE(capture.lines(), QStringList({QStringLiteral("W:\"enw文件编码无法识别，部分字符已被替换:") + path + "\"",
                                           QStringLiteral("W:\"无法解码的行数:%1\"").arg(undecodable)}));
    QCOMPARE(capture.warningsWithReset, 2);
    QCOMPARE(counted, undecodable);
}

void TestReader::unopenablePath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing file") << "/no/such/file.enw"
                                  << QStringLiteral("W:\"/no/such/file.enw无法打开，请确认文件是否存在或者权限！\"");
    QTest::newRow("quote and backslash")
        << "/no/such/a\"b\\c.enw"
        << QStringLiteral("W:\"/no/such/a\\\"b\\\\c.enw无法打开，请确认文件是否存在或者权限！\"");
    QTest::newRow("a folder") << "/" << QStringLiteral("W:\"/是一个文件夹，不是enw文件！\"");
    QTest::newRow("empty path") << "" << QStringLiteral("W:\"无法打开，请确认文件是否存在或者权限！\"");
#ifdef Q_OS_UNIX
    // Opening a FIFO without a writer would block for good.
    const QString fifo = m_dir.filePath(QStringLiteral("fifo"));
    QFile::remove(fifo);
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    QTest::newRow("a fifo") << fifo << "W:\"" + fifo + QStringLiteral("不是普通文件，无法读取！\"");
#endif
}

void TestReader::unopenablePath()
{
    QFETCH(QString, path);
    QFETCH(QString, message);
    QStringList read({"kept\r\n"});
    LogCapture capture;
    QCOMPARE(readEnwFile(path, read, [&capture] { capture.reset(); }), 0);
    QCOMPARE(read, QStringList({"kept\r\n"}));
    QCOMPARE(capture.lines(), QStringList({message}));
    QCOMPARE(capture.warningsWithReset, 1);
}

void TestReader::tooLargeIsRefusedUnread()
{
    // Sparse: the size is there without the bytes.
    QFile file(writeSource("%0 A\n"));
    QVERIFY(file.resize(maxEnwFileBytes + 1));
    QStringList read({"kept\r\n"});
    LogCapture capture;
    QCOMPARE(readEnwFile(file.fileName(), read, [&capture] { capture.reset(); }), 0);
    QCOMPARE(read, QStringList({"kept\r\n"}));
    QCOMPARE(capture.lines(), QStringList({QStringLiteral("W:\"enw文件过大，无法处理:") + file.fileName() + "\""}));
    QCOMPARE(capture.warningsWithReset, 1);
}

void TestReader::appendsToCallersList()
{
    QStringList read({"earlier\r\n"});
    QCOMPARE(readEnwFile(writeSource("%0 A\n"), read), 1);
    QCOMPARE(read, QStringList({"earlier\r\n", "%0 A\r\n"}));
}

QTEST_GUILESS_MAIN(TestReader)
#include "tst_reader.moc"
