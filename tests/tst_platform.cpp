#include "engine/editdistance.h"
#include "engine/enwreader.h"
#include "engine/enwwriter.h"
#include "engine/fulltextcollector.h"
#include "support/testsupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

// What the system's own encoding and file names do, without emulating them:
// on Windows with code page 936 (GBK) or 1252 (Western), on Linux with UTF-8.
class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void systemEncoding();
    void localSourceWithoutMark();
    void pathsAsWritten();
};

static QString systemEncoding()
{
    const QByteArray chinese = QTextCodec::codecForLocale()->fromUnicode(QStringLiteral("中文"));
    return chinese == QByteArray("\xD6\xD0\xCE\xC4") ? QStringLiteral("GBK")
           : chinese == QByteArray("\xE4\xB8\xAD\xE6\x96\x87") ? QStringLiteral("UTF-8")
                                                                : QStringLiteral("Western");
}

void TestPlatform::systemEncoding()
{
    // A Chinese character is 2 bytes in GBK and 3 in UTF-8; one a Western code
    // page cannot spell counts by its UTF-8 bytes, not as "?".
    const QString encoding = ::systemEncoding();
    qInfo("system encoding: %s", qPrintable(encoding));
    QCOMPARE(localBytes(QStringLiteral("数据")).size(), encoding == QLatin1String("GBK") ? 4 : 6);
    QCOMPARE(editDistance(localBytes(QStringLiteral("数据")).toStdString(),
                          localBytes(QStringLiteral("数字")).toStdString()),
             encoding == QLatin1String("GBK") ? 2 : 3);
}

void TestPlatform::localSourceWithoutMark()
{
    if (::systemEncoding() != QLatin1String("GBK"))
        QSKIP("needs the Chinese code page (936)");
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("refs.enw"));
    QVERIFY(writeBytes(source, "%0 \xD1\xA7\xCE\xBB\xC2\xDB\xCE\xC4\r\n%T \xCA\xFD\xBE\xDD\xCD\xDA\xBE\xF2\r\n"));
    QStringList lines;
    LogCapture capture;
    QCOMPARE(readEnwFile(source, lines), 1);
    QCOMPARE(lines, QStringList({QStringLiteral("%0 学位论文\r\n"), QStringLiteral("%T 数据挖掘\r\n")}));
    QCOMPARE(capture.lines(), QStringList());
}

void TestPlatform::pathsAsWritten()
{
    // Full texts found below a folder given in the system's own form (drive
    // letter and backslashes on Windows) are written with '/' separators; a
    // name outside GBK (Korean, an emoji) keeps every character.
    QTemporaryDir dir;
    const QString korean = QStringLiteral("한국어 논문 \U0001F600");
    QVERIFY(makeFiles(dir.path(), {QStringLiteral("资料/") + korean + QStringLiteral(".pdf")}));
    QFileInfoList fullTexts;
    LogCapture capture;
    collectFullTexts(QDir::toNativeSeparators(dir.path()), fullTexts);
    QCOMPARE(fullTexts.size(), 1);
    const QString path = fullTexts.first().absoluteFilePath();
    QVERIFY2(!path.contains(QLatin1Char('\\')), qPrintable(path));
#ifdef Q_OS_WIN
    QVERIFY2(path.at(1) == QLatin1Char(':') && path.at(2) == QLatin1Char('/'), qPrintable(path));
#endif
    QVERIFY(path.endsWith(QStringLiteral("/资料/") + korean + QStringLiteral(".pdf")));
    const QString output = dir.filePath(QStringLiteral("out.enw"));
    QCOMPARE(writeLinkedEnw({QStringLiteral("%T ") + korean + QStringLiteral("\r\n")}, fullTexts, output,
                            QTextCodec::codecForName("UTF-16LE"), 2),
             1);
    QCOMPARE(readBytes(output), utf16WithMark(QStringLiteral("%T ") + korean + QStringLiteral("\r\n%> ") + path
                                              + QStringLiteral("\r\n")));
}

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
