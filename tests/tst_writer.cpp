#include "engine/enwreader.h"
#include "engine/enwwriter.h"
#include "engine/runsummary.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

static const QString missMessage =
    QStringLiteral("\"未找到全文，1、全文不存在，2、或者文献标题与对应文件名不完全一致!\"");

class TestWriter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void outputBytes();
    void emptyListGivesEmptyFile();
    void matching_data();
    void matching();
    void namingRules_data();
    void namingRules();
    void runReport();
    void otherFormats_data();
    void otherFormats();
    void failures_data();
    void failures();
    void readOnlyFolder();
    void fullDiskKeepsPreviousFile();

private:
    QFileInfoList fullTexts(const QStringList &relative) const;
    QString m_root;
    QTemporaryDir m_dir;
    QTextCodec *m_codec = nullptr;
};

void TestWriter::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_root = QDir(m_dir.path()).canonicalPath();
    m_codec = QTextCodec::codecForName("UTF-16LE");
}

void TestWriter::init()
{
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
}

QFileInfoList TestWriter::fullTexts(const QStringList &relative) const
{
    QFileInfoList files;
    for (const QString &path : relative)
        files.append(QFileInfo(m_root + "/lib/" + path));
    return files;
}

void TestWriter::outputBytes()
{
    const QString out = m_root + "/bytes.enw";
    const QStringList lines({"%0 Journal Article\r\n", "%T Deep learning\r\n", QStringLiteral("%A 张三\r\n"),
                             "%R cr\rinside\r\n", "\r\n", "%0 Book\r\n", "%T  Nothing  here \r\n"});
    LogCapture capture;
    QCOMPARE(writeLinkedEnw(lines, fullTexts({"Deep learning.pdf"}), out, m_codec, 2), 1);

    const QByteArray bytes = readBytes(out);
    QCOMPARE(bytes.left(12), QByteArray("\xFF\xFE%\x00" "0\x00 \x00J\x00o\x00", 12));
    QCOMPARE(bytes, utf16WithMark(QStringLiteral("%0 Journal Article\r\n%T Deep learning\r\n%> ") + m_root
                                  + QStringLiteral("/lib/Deep learning.pdf\r\n%A 张三\r\n%R cr\rinside\r\n\r\n"
                                                   "%0 Book\r\n%T  Nothing  here \r\n")));
    QCOMPARE(capture.lines(), QStringList({"D:\"%T Deep learning\" ------ \"" + m_root + "/lib/Deep learning.pdf\"",
                                           "W:\"%T Nothing here\" " + missMessage}));
}

void TestWriter::emptyListGivesEmptyFile()
{
    const QString out = m_root + "/empty.enw";
    QVERIFY(writeBytes(out, "previous"));
    QCOMPARE(writeLinkedEnw({}, fullTexts({"a.pdf"}), out, m_codec, 2), 0);
    QVERIFY(QFileInfo::exists(out));
    QCOMPARE(readBytes(out), QByteArray());
}

void TestWriter::matching_data()
{
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("threshold");
    QTest::addColumn<QStringList>("written"); // the output, "@" standing for the library folder
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<int>("linked");

    const QByteArray utf8("UTF-8");
    QTest::newRow("exact") << utf8 << QStringList({"x/Other.pdf", "Deep learning.pdf"})
                           << QStringList({"%T Deep learning\r\n"}) << 2
                           << QStringList({"%T Deep learning\r\n", "%> @/Deep learning.pdf\r\n"})
                           << QStringList({"D:\"%T Deep learning\" ------ \"@/Deep learning.pdf\""}) << 1;
    for (const QString &blank : {QStringLiteral("\u3000"), QStringLiteral("\u00A0"), QStringLiteral("\t")}) {
        QTest::addRow("white space U+%04X is a blank", blank.at(0).unicode())
            << utf8 << QStringList({QStringLiteral("深度 学习.pdf")}) << QStringList({"%T 深度" + blank + "学习\r\n"}) << 0
            << QStringList({"%T 深度" + blank + "学习\r\n", QStringLiteral("%> @/深度 学习.pdf\r\n")})
            << QStringList({QStringLiteral("D:\"%T 深度 学习\" ------ \"@/深度 学习.pdf\"")}) << 1;
    }
    QTest::newRow("letter case only: near") << utf8 << QStringList({"deep Learning.pdf"})
                           << QStringList({"%T Deep learning\r\n"}) << 2
                           << QStringList({"%T Deep learning\r\n", "%> @/deep Learning.pdf\r\n"})
                           << QStringList({"W:\"%T Deep learning\" ------ \"@/deep Learning.pdf\""}) << 1;
    QTest::newRow("threshold 0: miss") << utf8 << QStringList({"Deep learnin.pdf"})
                           << QStringList({"%T Deep learning\r\n"}) << 0
                           << QStringList({"%T Deep learning\r\n"})
                           << QStringList({"W:\"%T Deep learning\" " + missMessage}) << 0;
    QTest::newRow("first within threshold beats a closer later file")
        << utf8 << QStringList({"a/Deep learn.pdf", "b/Deep learnin.pdf"})
        << QStringList({"%T Deep learning\r\n"}) << 3
        << QStringList({"%T Deep learning\r\n", "%> @/a/Deep learn.pdf\r\n"})
        << QStringList({"W:\"%T Deep learning\" ------ \"@/a/Deep learn.pdf\""}) << 1;
    QTest::newRow("exact beats an earlier near file")
        << utf8 << QStringList({"a/Deep learnin.pdf", "b/Deep learning.caj"})
        << QStringList({"%T Deep learning\r\n"}) << 2
        << QStringList({"%T Deep learning\r\n", "%> @/b/Deep learning.caj\r\n"})
        << QStringList({"D:\"%T Deep learning\" ------ \"@/b/Deep learning.caj\""}) << 1;
    QTest::newRow("duplicate base names: first in list")
        << utf8 << QStringList({"1/Title.pdf", "2/Title.caj", "Title.caj"})
        << QStringList({"%T Title\r\n"}) << 2
        << QStringList({"%T Title\r\n", "%> @/1/Title.pdf\r\n"})
        << QStringList({"D:\"%T Title\" ------ \"@/1/Title.pdf\""}) << 1;
    QTest::newRow("one file for several records")
        << utf8 << QStringList({"Title.pdf"})
        << QStringList({"%0 A\r\n", "%T Title\r\n", "\r\n", "%0 B\r\n", "%T Title\r\n"}) << 2
        << QStringList({"%0 A\r\n", "%T Title\r\n", "%> @/Title.pdf\r\n", "\r\n", "%0 B\r\n", "%T Title\r\n",
                        "%> @/Title.pdf\r\n"})
        << QStringList({"D:\"%T Title\" ------ \"@/Title.pdf\"", "D:\"%T Title\" ------ \"@/Title.pdf\""}) << 2;
    QTest::newRow("two title lines in one record count 2")
        << utf8 << QStringList({"One.pdf", "Two.pdf"})
        << QStringList({"%0 A\r\n", "%T One\r\n", "%T Two\r\n"}) << 2
        << QStringList({"%0 A\r\n", "%T One\r\n", "%> @/One.pdf\r\n", "%T Two\r\n", "%> @/Two.pdf\r\n"})
        << QStringList({"D:\"%T One\" ------ \"@/One.pdf\"", "D:\"%T Two\" ------ \"@/Two.pdf\""}) << 2;
    QTest::newRow("lower-case tag") << utf8 << QStringList({"Title.pdf"}) << QStringList({"%t Title\r\n"}) << 2
        << QStringList({"%t Title\r\n", "%> @/Title.pdf\r\n"})
        << QStringList({"D:\"%t Title\" ------ \"@/Title.pdf\""}) << 1;
    QTest::newRow("existing attachment line is kept")
        << utf8 << QStringList({"Title.pdf"}) << QStringList({"%T Title\r\n", "%> /old.pdf\r\n"}) << 2
        << QStringList({"%T Title\r\n", "%> @/Title.pdf\r\n", "%> /old.pdf\r\n"})
        << QStringList({QStringLiteral("W:\"附件已不存在:/old.pdf (Title)\""), "D:\"%T Title\" ------ \"@/Title.pdf\""}) << 1;
    QTest::newRow("a run over its own output adds no second line")
        << utf8 << QStringList({"Title.pdf", "Other.pdf"})
        << QStringList({"%T Title\r\n", "%> @/Title.pdf\r\n", "%T Other\r\n", "%> @/./Other.pdf \r\n"}) << 2
        << QStringList({"%T Title\r\n", "%> @/Title.pdf\r\n", "%T Other\r\n", "%> @/./Other.pdf \r\n"})
        << QStringList({"D:\"%T Title\" ------ \"@/Title.pdf\"", "D:\"%T Other\" ------ \"@/Other.pdf\""}) << 2;
    QTest::newRow("empty title: not even an empty base name")
        << utf8 << QStringList({"abc.pdf", ".pdf"}) << QStringList({"%T\r\n"}) << 2
        << QStringList({"%T\r\n"}) << QStringList({"W:\"%T\" " + missMessage}) << 0;
    QTest::newRow("empty title: no short base name")
        << utf8 << QStringList({"abc.pdf", "ab.pdf"}) << QStringList({"%T \r\n"}) << 2
        << QStringList({"%T \r\n"}) << QStringList({"W:\"%T\" " + missMessage}) << 0;
    QTest::newRow("a nul does not cut the title")
        << utf8 << QStringList({"ab.pdf"}) << QStringList({QString::fromUtf8("%T ab\0cd\r\n", 10)}) << 2
        << QStringList({QString::fromUtf8("%T ab\0cd\r\n", 10)})
        << QStringList({QString::fromUtf8("W:\"%T ab\\u0000cd\" ") + missMessage}) << 0;
    QTest::newRow("chinese on a western code page is not \"??\"")
        << QByteArray("windows-1252") << QStringList({QStringLiteral("数字.pdf")})
        << QStringList({QStringLiteral("%T 数据\r\n")}) << 2 << QStringList({QStringLiteral("%T 数据\r\n")})
        << QStringList({QStringLiteral("W:\"%T 数据\" ") + missMessage}) << 0;
    QTest::newRow("doubled spaces in a base name are no exact match")
        << utf8 << QStringList({"Graph  theory .pdf"}) << QStringList({"%T Graph   theory\r\n"}) << 2
        << QStringList({"%T Graph   theory\r\n", "%> @/Graph  theory .pdf\r\n"})
        << QStringList({"W:\"%T Graph theory\" ------ \"@/Graph  theory .pdf\""}) << 1;
    QTest::newRow("doubled spaces cost a byte each")
        << utf8 << QStringList({"Graph  theoryy .pdf"}) << QStringList({"%T Graph theory\r\n"}) << 2
        << QStringList({"%T Graph theory\r\n"}) << QStringList({"W:\"%T Graph theory\" " + missMessage}) << 0;
    QTest::newRow("title with a dot matches exactly")
        << utf8 << QStringList({"Version 2.0 notes.pdf"}) << QStringList({"%T Version 2.0 notes\r\n"}) << 0
        << QStringList({"%T Version 2.0 notes\r\n", "%> @/Version 2.0 notes.pdf\r\n"})
        << QStringList({"D:\"%T Version 2.0 notes\" ------ \"@/Version 2.0 notes.pdf\""}) << 1;
    QTest::newRow("tag directly followed by the title")
        << utf8 << QStringList({"Title.pdf"}) << QStringList({"%TTitle\r\n"}) << 0
        << QStringList({"%TTitle\r\n", "%> @/Title.pdf\r\n"})
        << QStringList({"D:\"%TTitle\" ------ \"@/Title.pdf\""}) << 1;
    QTest::newRow("markup and quotes in a title")
        << utf8 << QStringList({"p < 0.05 & \"more\".pdf"}) << QStringList({"%T p < 0.05 & \"more\"\r\n"}) << 0
        << QStringList({"%T p < 0.05 & \"more\"\r\n", "%> @/p < 0.05 & \"more\".pdf\r\n"})
        << QStringList({"D:\"%T p < 0.05 & \\\"more\\\"\" ------ \"@/p < 0.05 & \\\"more\\\".pdf\""}) << 1;
    QTest::newRow("one chinese character more, gbk")
        << QByteArray("GBK") << QStringList({QStringLiteral("数据挖掘方法.pdf")})
        << QStringList({QStringLiteral("%T 数据挖掘方法研\r\n")}) << 2
        << QStringList({QStringLiteral("%T 数据挖掘方法研\r\n"), QStringLiteral("%> @/数据挖掘方法.pdf\r\n")})
        << QStringList({QStringLiteral("W:\"%T 数据挖掘方法研\" ------ \"@/数据挖掘方法.pdf\"")}) << 1;
    QTest::newRow("one chinese character less, utf-8")
        << utf8 << QStringList({QStringLiteral("数据挖掘方法.pdf")})
        << QStringList({QStringLiteral("%T 数据挖掘方\r\n")}) << 2
        << QStringList({QStringLiteral("%T 数据挖掘方\r\n")})
        << QStringList({QStringLiteral("W:\"%T 数据挖掘方\" ") + missMessage}) << 0;
    // Download names, "title_first author", found only where both passes find nothing.
    const QString thesis = QStringLiteral("基于高光谱遥感数据的变化检测算法研究");
    QTest::newRow("download name, chinese")
        << QByteArray("GBK") << QStringList({thesis + QStringLiteral("_刘松.caj")})
        << QStringList({"%0 Thesis\r\n", QStringLiteral("%A 刘松\r\n"), "%T " + thesis + "\r\n"}) << 2
        << QStringList({"%0 Thesis\r\n", QStringLiteral("%A 刘松\r\n"), "%T " + thesis + "\r\n",
                        QStringLiteral("%> @/") + thesis + QStringLiteral("_刘松.caj\r\n")})
        << QStringList({"W:\"%T " + thesis + "\" ------ \"@/" + thesis + QStringLiteral("_刘松.caj\"")}) << 1;
    QTest::newRow("download name, family name, author after the title")
        << utf8 << QStringList({"Deep learning_Smith.pdf"})
        << QStringList({"%0 A\r\n", "%T Deep learning\r\n", "%A  Smith,  John \r\n", "%A Lee\r\n"}) << 0
        << QStringList({"%0 A\r\n", "%T Deep learning\r\n", "%> @/Deep learning_Smith.pdf\r\n",
                        "%A  Smith,  John \r\n", "%A Lee\r\n"})
        << QStringList({"W:\"%T Deep learning\" ------ \"@/Deep learning_Smith.pdf\""}) << 1;
    QTest::newRow("download name with forbidden characters, first file wins")
        << utf8 << QStringList({"b/Graph_ a survey__Lee.pdf", "a/Graph: a survey?_Lee.pdf"})
        << QStringList({"%0 A\r\n", "%A Lee\r\n", "%T Graph: a survey?\r\n"}) << 2
        << QStringList({"%0 A\r\n", "%A Lee\r\n", "%T Graph: a survey?\r\n", "%> @/b/Graph_ a survey__Lee.pdf\r\n"})
        << QStringList({"W:\"%T Graph: a survey?\" ------ \"@/b/Graph_ a survey__Lee.pdf\""}) << 1;
    QTest::newRow("records without a blank line between do not share an author")
        << utf8 << QStringList({"Deep learning_Smith.pdf"})
        << QStringList({"%0 A\r\n", "%A Lee\r\n", "%T Other\r\n", "%0 B\r\n", "%A Smith\r\n", "%T Deep learning\r\n"})
        << 0
        << QStringList({"%0 A\r\n", "%A Lee\r\n", "%T Other\r\n", "%0 B\r\n", "%A Smith\r\n", "%T Deep learning\r\n",
                        "%> @/Deep learning_Smith.pdf\r\n"})
        << QStringList({"W:\"%T Other\" " + missMessage, "W:\"%T Deep learning\" ------ \"@/Deep learning_Smith.pdf\""})
        << 1;
    QTest::newRow("no author in this record: no download name")
        << utf8 << QStringList({"Deep learning_Smith.pdf"})
        << QStringList({"%0 A\r\n", "%A Smith\r\n", "\r\n", "%0 B\r\n", "%T Deep learning\r\n"}) << 2
        << QStringList({"%0 A\r\n", "%A Smith\r\n", "\r\n", "%0 B\r\n", "%T Deep learning\r\n"})
        << QStringList({"W:\"%T Deep learning\" " + missMessage}) << 0;
    QTest::newRow("a download name beats an earlier near name")
        << utf8 << QStringList({"Deep learnin.pdf", "Deep learning_Smith.pdf"})
        << QStringList({"%0 A\r\n", "%A Smith\r\n", "%T Deep learning\r\n"}) << 2
        << QStringList({"%0 A\r\n", "%A Smith\r\n", "%T Deep learning\r\n", "%> @/Deep learning_Smith.pdf\r\n"})
        << QStringList({"W:\"%T Deep learning\" ------ \"@/Deep learning_Smith.pdf\""}) << 1;
    QTest::newRow("an empty author line names no author")
        << utf8 << QStringList({"Second author_Lee.pdf"})
        << QStringList({"%0 A\r\n", "%A\r\n", "%A Lee\r\n", "%T Second author\r\n"}) << 0
        << QStringList({"%0 A\r\n", "%A\r\n", "%A Lee\r\n", "%T Second author\r\n", "%> @/Second author_Lee.pdf\r\n"})
        << QStringList({"W:\"%T Second author\" ------ \"@/Second author_Lee.pdf\""}) << 1;
    QTest::newRow("a later %R that is no doi keeps the doi before it")
        << utf8 << QStringList({"10.1002_pam.21831.pdf"})
        << QStringList({"%0 A\r\n", "%R 10.1002/pam.21831\r\n", "%R CNKI:SUN:ZZXX.0.2004-02-047\r\n", "%T Unrelated\r\n"})
        << 0
        << QStringList({"%0 A\r\n", "%R 10.1002/pam.21831\r\n", "%R CNKI:SUN:ZZXX.0.2004-02-047\r\n", "%T Unrelated\r\n",
                        "%> @/10.1002_pam.21831.pdf\r\n"})
        << QStringList({"W:\"%T Unrelated\" ------ \"@/10.1002_pam.21831.pdf\""}) << 1;
    // Claims across the export.
    QTest::newRow("a shared title takes each record's own download name")
        << utf8 << QStringList({"Editorial.pdf", "Editorial_Smith.pdf", "Editorial_Jones.pdf"})
        << QStringList({"%0 A\r\n", "%A Smith\r\n", "%T Editorial\r\n", "\r\n", "%0 B\r\n", "%A Jones\r\n",
                        "%T Editorial\r\n"}) << 2
        << QStringList({"%0 A\r\n", "%A Smith\r\n", "%T Editorial\r\n", "%> @/Editorial_Smith.pdf\r\n", "\r\n",
                        "%0 B\r\n", "%A Jones\r\n", "%T Editorial\r\n", "%> @/Editorial_Jones.pdf\r\n"})
        << QStringList({"W:\"%T Editorial\" ------ \"@/Editorial_Smith.pdf\"",
                        "W:\"%T Editorial\" ------ \"@/Editorial_Jones.pdf\""}) << 2;
    QTest::newRow("a shared title without own names shares the bare file")
        << utf8 << QStringList({"Editorial.pdf", "Editorial_Lee.pdf"})
        << QStringList({"%0 A\r\n", "%A Smith\r\n", "%T Editorial\r\n", "\r\n", "%0 B\r\n", "%T Editorial\r\n"}) << 2
        << QStringList({"%0 A\r\n", "%A Smith\r\n", "%T Editorial\r\n", "%> @/Editorial.pdf\r\n", "\r\n",
                        "%0 B\r\n", "%T Editorial\r\n", "%> @/Editorial.pdf\r\n"})
        << QStringList({"D:\"%T Editorial\" ------ \"@/Editorial.pdf\"", "D:\"%T Editorial\" ------ \"@/Editorial.pdf\""})
        << 2;
    QTest::newRow("a near name another record holds exactly goes to the next near name")
        << utf8 << QStringList({"Deep learning.pdf", "Deep learnig.pdf"})
        << QStringList({"%0 A\r\n", "%T Deep learnin\r\n", "\r\n", "%0 B\r\n", "%T Deep learning\r\n"}) << 2
        << QStringList({"%0 A\r\n", "%T Deep learnin\r\n", "%> @/Deep learnig.pdf\r\n", "\r\n", "%0 B\r\n",
                        "%T Deep learning\r\n", "%> @/Deep learning.pdf\r\n"})
        << QStringList({"W:\"%T Deep learnin\" ------ \"@/Deep learnig.pdf\"",
                        "D:\"%T Deep learning\" ------ \"@/Deep learning.pdf\""}) << 2;
    QTest::newRow("a title asked again may share a near name")
        << utf8 << QStringList({"Deep learning.pdf", "Deep learnig.pdf"})
        << QStringList({"%0 A\r\n", "%T Deep learnin\r\n", "\r\n", "%0 B\r\n", "%T Deep learning\r\n", "\r\n",
                        "%0 C\r\n", "%T Deep learnigxx\r\n"}) << 2
        << QStringList({"%0 A\r\n", "%T Deep learnin\r\n", "%> @/Deep learnig.pdf\r\n", "\r\n", "%0 B\r\n",
                        "%T Deep learning\r\n", "%> @/Deep learning.pdf\r\n", "\r\n", "%0 C\r\n",
                        "%T Deep learnigxx\r\n", "%> @/Deep learnig.pdf\r\n"})
        << QStringList({"W:\"%T Deep learnin\" ------ \"@/Deep learnig.pdf\"",
                        "D:\"%T Deep learning\" ------ \"@/Deep learning.pdf\"",
                        "W:\"%T Deep learnigxx\" ------ \"@/Deep learnig.pdf\""}) << 3;
    QTest::newRow("a copy another record's own name holds is not taken")
        << utf8 << QStringList({"Graph theory_Lee - Copy.pdf"})
        << QStringList({"%0 A\r\n", "%A Lee\r\n", "%T Graph theory\r\n", "\r\n", "%0 B\r\n",
                        "%T Graph theory_Lee - Copy\r\n"}) << 0
        << QStringList({"%0 A\r\n", "%A Lee\r\n", "%T Graph theory\r\n", "\r\n", "%0 B\r\n",
                        "%T Graph theory_Lee - Copy\r\n", "%> @/Graph theory_Lee - Copy.pdf\r\n"})
        << QStringList({"W:\"%T Graph theory\" " + missMessage,
                        "D:\"%T Graph theory_Lee - Copy\" ------ \"@/Graph theory_Lee - Copy.pdf\""}) << 1;
    const QString part1 = QStringLiteral("面向大规模知识图谱的分布式存储与（一）查询优化关键技术研究以问答系统为例");
    const QString part2 = QStringLiteral("面向大规模知识图谱的分布式存储与（二）查询优化关键技术研究以问答系统为例");
    const QString seriesCut = QStringLiteral("面向大规模知识图谱的分布式存储与_省略_询优化关键技术研究以问答系统为例_王强.caj");
    QTest::newRow("a cut that fits two titles links neither")
        << utf8 << QStringList({seriesCut})
        << QStringList({"%0 A\r\n", QStringLiteral("%A 王强\r\n"), "%T " + part1 + "\r\n", "\r\n", "%0 B\r\n",
                        QStringLiteral("%A 王强\r\n"), "%T " + part2 + "\r\n"}) << 2
        << QStringList({"%0 A\r\n", QStringLiteral("%A 王强\r\n"), "%T " + part1 + "\r\n", "\r\n", "%0 B\r\n",
                        QStringLiteral("%A 王强\r\n"), "%T " + part2 + "\r\n"})
        << QStringList({"W:\"%T " + part1 + "\" " + missMessage, "W:\"%T " + part2 + "\" " + missMessage,
                        QStringLiteral("W:\"截断文件名对应多条题录，未按截断链接:@/") + seriesCut + " (2)\""}) << 0;
    const QStringList parts({"%0 A\r\n", "%A Smith, J.\r\n", "%D 2020\r\n", "%T Deep learning for cells: part one\r\n",
                             "\r\n", "%0 B\r\n", "%A Smith, J.\r\n", "%D 2021\r\n",
                             "%T Deep learning for cells: part two\r\n"});
    QTest::newRow("a manager's cut name that fits two titles links neither")
        << utf8 << QStringList({"Smith - 2020 - Deep learning for cells.pdf"}) << parts << 0 << parts
        << QStringList({"W:\"%T Deep learning for cells: part one\" " + missMessage,
                        "W:\"%T Deep learning for cells: part two\" " + missMessage,
                        QStringLiteral("W:\"截断文件名对应多条题录，未按截断链接:@/Smith - 2020 - Deep learning for cells.pdf (2)\"")})
        << 0;
    const QStringList editorials({"%0 A\r\n", "%A Jones\r\n", "%T Editorial\r\n", "\r\n", "%0 B\r\n",
                                  "%A Smith\r\n", "%T Editorial_\r\n"});
    QTest::newRow("a title with a closing _ is another title")
        << utf8 << QStringList({"Editorial.pdf", "Editorial_.pdf", "Editorial_Jones.pdf"}) << editorials << 0
        << QStringList({"%0 A\r\n", "%A Jones\r\n", "%T Editorial\r\n", "%> @/Editorial.pdf\r\n", "\r\n",
                        "%0 B\r\n", "%A Smith\r\n", "%T Editorial_\r\n", "%> @/Editorial_.pdf\r\n"})
        << QStringList({"D:\"%T Editorial\" ------ \"@/Editorial.pdf\"",
                        "D:\"%T Editorial_\" ------ \"@/Editorial_.pdf\""}) << 2;
    QTest::newRow("a cut that fits one title links it")
        << utf8 << QStringList({seriesCut})
        << QStringList({"%0 A\r\n", QStringLiteral("%A 王强\r\n"), "%T " + part1 + "\r\n"}) << 0
        << QStringList({"%0 A\r\n", QStringLiteral("%A 王强\r\n"), "%T " + part1 + "\r\n", "%> @/" + seriesCut + "\r\n"})
        << QStringList({"W:\"%T " + part1 + "\" ------ \"@/" + seriesCut + "\""}) << 1;
    QTest::newRow("a shared title passes its bare file on to the next file of that name only")
        << utf8 << QStringList({"Deep learning.pdf", "b/deep learning.caj", "Deep learning_Zhang.pdf"})
        << QStringList({"%0 A\r\n", "%A Zhang\r\n", "%T Deep learning\r\n", "\r\n", "%0 B\r\n", "%A Zhang\r\n",
                        "%T Deep learning\r\n"}) << 0
        << QStringList({"%0 A\r\n", "%A Zhang\r\n", "%T Deep learning\r\n", "%> @/Deep learning.pdf\r\n", "\r\n",
                        "%0 B\r\n", "%A Zhang\r\n", "%T Deep learning\r\n", "%> @/Deep learning.pdf\r\n"})
        << QStringList({"D:\"%T Deep learning\" ------ \"@/Deep learning.pdf\"",
                        "D:\"%T Deep learning\" ------ \"@/Deep learning.pdf\""}) << 2;
    // Reruns over a library that moved.
    QTest::newRow("a dead attachment is replaced by this run's file of its name")
        << utf8 << QStringList({"Deep learning.pdf"})
        << QStringList({"%0 A\r\n", "%T Deep learning\r\n", "%> /gone/Deep learning.pdf\r\n", "%A Lee\r\n"}) << 0
        << QStringList({"%0 A\r\n", "%T Deep learning\r\n", "%> @/Deep learning.pdf\r\n", "%A Lee\r\n"})
        << QStringList({QStringLiteral("W:\"附件已不存在:/gone/Deep learning.pdf (Deep learning)\""),
                        "D:\"%T Deep learning\" ------ \"@/Deep learning.pdf\""}) << 1;
    QTest::newRow("a dead attachment stays beside the file's own line")
        << utf8 << QStringList({"Deep learning.pdf"})
        << QStringList({"%0 A\r\n", "%T Deep learning\r\n", "%> @/Deep learning.pdf\r\n", "%> /gone/Deep learning.pdf\r\n"}) << 0
        << QStringList({"%0 A\r\n", "%T Deep learning\r\n", "%> @/Deep learning.pdf\r\n", "%> /gone/Deep learning.pdf\r\n"})
        << QStringList({QStringLiteral("W:\"附件已不存在:/gone/Deep learning.pdf (Deep learning)\""),
                        "D:\"%T Deep learning\" ------ \"@/Deep learning.pdf\""}) << 1;
    QTest::newRow("a dead attachment is replaced once, for the record's first title")
        << utf8 << QStringList({"a/Deep learning.pdf", "b/Deep learning.pdf"})
        << QStringList({"%0 A\r\n", "%T Deep learning\r\n", "%T Deep learnin\r\n", "%> /gone/Deep learning.pdf\r\n"}) << 2
        << QStringList({"%0 A\r\n", "%T Deep learning\r\n", "%T Deep learnin\r\n", "%> @/b/Deep learning.pdf\r\n",
                        "%> @/a/Deep learning.pdf\r\n"})
        << QStringList({QStringLiteral("W:\"附件已不存在:/gone/Deep learning.pdf (Deep learning)\""),
                        "D:\"%T Deep learning\" ------ \"@/a/Deep learning.pdf\"",
                        "W:\"%T Deep learnin\" ------ \"@/b/Deep learning.pdf\""}) << 2;
    QTest::newRow("a dead attachment of another name stays")
        << utf8 << QStringList({"Deep learning.pdf"})
        << QStringList({"%0 A\r\n", "%T Deep learning\r\n", "%> /gone/Other.pdf\r\n"}) << 0
        << QStringList({"%0 A\r\n", "%T Deep learning\r\n", "%> @/Deep learning.pdf\r\n", "%> /gone/Other.pdf\r\n"})
        << QStringList({QStringLiteral("W:\"附件已不存在:/gone/Other.pdf (Deep learning)\""),
                        "D:\"%T Deep learning\" ------ \"@/Deep learning.pdf\""}) << 1;
#ifdef Q_OS_WIN
    const QString fileUrl = QStringLiteral("%> file:///@/Deep%20learning.pdf\r\n"); // file:///C:/...
#else
    const QString fileUrl = QStringLiteral("%> file://@/Deep%20learning.pdf\r\n");
#endif
    QTest::newRow("a file url of the same file adds no line")
        << utf8 << QStringList({"Deep learning.pdf"})
        << QStringList({"%0 A\r\n", "%T Deep learning\r\n", fileUrl}) << 0
        << QStringList({"%0 A\r\n", "%T Deep learning\r\n", fileUrl})
        << QStringList({"D:\"%T Deep learning\" ------ \"@/Deep learning.pdf\""}) << 1;
    QTest::newRow("paths given unclean are written clean")
        << utf8 << QStringList({"a/./../One.pdf", "b//Two.pdf"}) << QStringList({"%T One\r\n", "%T Two\r\n"}) << 0
        << QStringList({"%T One\r\n", "%> @/One.pdf\r\n", "%T Two\r\n", "%> @/b/Two.pdf\r\n"})
        << QStringList({"D:\"%T One\" ------ \"@/One.pdf\"", "D:\"%T Two\" ------ \"@/b/Two.pdf\""}) << 2;
    QTest::newRow("empty full-text list") << utf8 << QStringList() << QStringList({"%T A\r\n", "%A b\r\n"}) << 2
        << QStringList({"%T A\r\n", "%A b\r\n"}) << QStringList({"W:\"%T A\" " + missMessage}) << 0;
}

void TestWriter::matching()
{
    QFETCH(QByteArray, locale);
    QFETCH(QStringList, files);
    QFETCH(QStringList, lines);
    QFETCH(int, threshold);
    QFETCH(QStringList, written);
    QFETCH(QStringList, log);
    QFETCH(int, linked);

    const LocaleCodec codec(locale.constData());
    const QString library = m_root + "/lib";
    const QString out = m_root + "/matching.enw";
    LogCapture capture;
    QCOMPARE(writeLinkedEnw(lines.replaceInStrings("@", library), fullTexts(files), out, m_codec, threshold,
                            [&capture] { capture.reset(); }),
             linked);
    QCOMPARE(readBytes(out), utf16WithMark(written.join(QString()).replace("@", library)));
    QCOMPARE(capture.lines(), log.replaceInStrings("@", library));
    int warnings = 0;
    for (const QString &line : log)
        warnings += line.startsWith("W:");
    QCOMPARE(capture.warningsWithReset, warnings);
}

void TestWriter::namingRules_data()
{
    // One record (authors, DOI, title, year) against a library; which file it links, if any.
    QTest::addColumn<QString>("author");
    QTest::addColumn<QString>("doi");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<int>("threshold");
    QTest::addColumn<int>("linked"); // position in `files`, -1 for none
    QTest::addColumn<bool>("exact");
    QTest::addColumn<QString>("year"); // of a "%D" line, none when empty

    const QString graph = QStringLiteral("图像分割：方法、应用与展望——一个综述");
    const QString kg = QStringLiteral("面向大规模知识图谱的分布式存储与查询优化关键技术研究——以开放领域问答系统为例");
    const QString mm = QStringLiteral("基于深度学习的多模态图像识别：面向复杂场景的鲁棒特征提取与融合方法研究");
    auto row = [](const char *name, const QString &author, const QString &title, const QStringList &files,
                  int linked, int threshold = 0, const QString &doi = QString(), bool exact = false,
                  const QString &year = QString()) {
        QTest::newRow(name) << author << doi << title << files << threshold << linked << exact << year;
    };
    // Reference managers' names: their authors, year and title, at distance 0.
    auto managed = [&row](const char *name, const QString &authors, const QString &year, const QString &title,
                          const QString &file, int linked) {
        row(name, authors, title, {file}, linked, 0, QString(), false, year);
    };
    const QString cells = QStringLiteral("Deep learning for cells: a survey of methods");
    managed("Zotero: two authors", "Smith, J.;Jones, A.", "2020", cells,
            "Smith and Jones - 2020 - Deep learning for cells a survey of methods.pdf", 0);
    managed("Zotero 6: et al., the title cut at 50", "Smith, J.;Jones, A.;Lee, K.", "2020",
            "Deep learning for cells and tissues in the age of single cell genomics",
            "Smith et al. - 2020 - Deep learning for cells and tissues in the age of s.pdf", 0);
    managed("Zotero in Chinese: 和", "Park, S.;Jin, H.", "2019", cells,
            QStringLiteral("Park和Jin - 2019 - Deep learning for cells a survey of methods.pdf"), 0);
    managed("Zotero in Chinese: 等", "Li, X.;Wang, Y.;Zhao, Z.", "2019", cells,
            QStringLiteral("Li 等 - 2019 - Deep learning for cells a survey of methods.pdf"), 0);
    managed("ZotFile: cut at the colon", "Smith, J.;Jones, A.", "2020", cells,
            "Smith_Jones_2020_Deep learning for cells.pdf", 0);
    managed("Mendeley: three authors", "Smith, J.;Jones, A.;Lee, K.", "2020", cells,
            "Smith, Jones, Lee - 2020 - Deep learning for cells a survey of methods.pdf", 0);
    managed("Mendeley: no year", "John Smith", "", cells, "Smith - Unknown - Deep learning for cells a survey of methods.pdf", 0);
    managed("JabRef: key with the first word", "Smith, J.", "2020 Mar", cells,
            "smith2020deep - Deep learning for cells_ a survey of methods.pdf", 0);
    managed("EndNote: cut at 20", "Smith, J.", "2020", cells, "Smith-2020-Deep learning for ce.pdf", 0);
    managed("print year one later", "Smith, J.", "2020", cells, "Smith - 2021 - Deep learning for cells a survey of methods.pdf", 0);
    managed("a year two apart", "Smith, J.", "2020", cells, "Smith - 2022 - Deep learning for cells a survey of methods.pdf", -1);
    managed("another author", "Smith, J.", "2020", cells, "Jones - 2020 - Deep learning for cells a survey of methods.pdf", -1);
    managed("the second author alone", "Smith, J.;Jones, A.", "2020", cells,
            "Jones - 2020 - Deep learning for cells a survey of methods.pdf", -1);
    managed("a cut under 20 characters", "Smith, J.", "2020", cells, "Smith - 2020 - Deep learning for.pdf", -1);
    managed("a year where the record has none", "Smith, J.", "", cells,
            "Smith - 1999 - Deep learning for cells a survey of methods.pdf", 0);
    row("of two managers' cut names, the first", "Smith, J.", cells,
        {"Smith - 2020 - Deep learning for cells.pdf", "Smith_2020_Deep learning for cells.pdf"}, 0, 0, QString(), false,
        "2020");
    managed("et al. for two authors", "Smith, J.;Jones, A.", "2020", cells,
            "Smith et al. - 2020 - Deep learning for cells a survey of methods.pdf", -1);
    // Publishers' names of the DOI.
    row("DOI suffix", "", cells, {"s41598-021-91064-y.pdf"}, 0, 0, "10.1038/s41598-021-91064-y");
    row("DOI's last segment", "", cells, {"btac020.pdf"}, 0, 0, "https://doi.org/10.1093/bioinformatics/btac020");
    row("a short DOI suffix", "", cells, {"a1234.pdf"}, -1, 0, "10.1000/a1234");
    row("a DOI suffix of digits", "", cells, {"3514221.pdf"}, -1, 0, "10.1145/3514221");
    row("a DOI suffix with dots", "", cells, {"3514221.3517872.pdf"}, 0, 0, "10.1145/3514221.3517872");
    row("another DOI that starts alike", "", cells, {"s41598-021-91064-y.pdf"}, -1, 0, "10.1038/s41598-021");
    row("bioRxiv", "", cells, {"2020.01.01.123456v2.full.pdf"}, 0, 0, "10.1101/2020.01.01.123456");
    row("arXiv", "", cells, {"2101.00001v3.pdf"}, 0, 0, "10.48550/arXiv.2101.00001");
    row("Elsevier", "", cells, {"1-s2.0-S0304397500001234-main.pdf"}, 0, 0, "10.1016/S0304-3975(00)00123-4");
    row("SSRN", "", cells, {"SSRN-id3456789.pdf"}, 0, 0, "10.2139/ssrn.3456789");
    // An "url:" stands for a "%U" line, which the reader hands over apart.
    row("arXiv, from its URL", "", cells, {"2101.00001.pdf"}, 0, 0, "url:https://arxiv.org/abs/2101.00001v2");
    row("Elsevier, from a ScienceDirect URL", "", cells, {"1-s2.0-S0304397500001234-main.pdf"}, 0, 0,
        "url:https://www.sciencedirect.com/science/article/pii/S0304397500001234");
    row("SSRN, from its URL", "", cells, {"ssrn-3456789.pdf"}, 0, 0,
        "url:https://papers.ssrn.com/sol3/papers.cfm?abstract_id=3456789");
    row("another site's URL", "", cells, {"2101.00001.pdf"}, -1, 0, "url:https://example.org/abs/2101.00001");
    row("an arXiv page that is no paper", "", cells, {"v2.pdf"}, -1, 0, "url:https://arxiv.org/list/cs.AI/recent");
    row("an SSRN-like suffix of another DOI", "", cells, {"ssrn-3456789.pdf"}, -1, 0, "10.1234/ssrn.3456789");
    row("old era: punctuation as _", QStringLiteral("李华"), graph,
        {QStringLiteral("图像分割_方法_应用与展望_一个综述_李华.pdf")}, 0);
    row("old era: upper-cased latin", "Lee", "Graph theory: a survey", {"GRAPH THEORY_A SURVEY_Lee.pdf"}, 0);
    row("old era: cut", QStringLiteral("王强"), kg,
        {QStringLiteral("面向大规模知识图谱的分布式存储与_省略_技术研究_以开放领域问答系统为例_王强.caj")}, 0);
    row("old era: cut of the renamed title", QStringLiteral("陈伟"), mm,
        {QStringLiteral("基于深度学习的多模态图像识别_面_省略_场景的鲁棒特征提取与融合方法研究_陈伟.caj")}, 0);
    row("old era: a cut one character short links nothing", QStringLiteral("陈伟"), mm,
        {QStringLiteral("基于深度学习的多模态图像识别__省略_场景的鲁棒特征提取与融合方法研究_陈伟.caj")}, -1);
    row("new era: cut", QStringLiteral("王强"), kg,
        {QStringLiteral("面向大规模知识图谱的分布式...——以开放领域问答系统为例_王强.pdf")}, 0);
    row("title only, cut", "", kg, {QStringLiteral("面向大规模知识图谱的分布式...——以开放领域问答系统为例.kdh")}, 0);
    row("title only, punctuation", "", graph, {QStringLiteral("图像分割_方法_应用与展望_一个综述.nh")}, 0);
    row("browser repeat mark", "Smith, J.", "Deep learning", {"Deep learning_Smith (1).pdf"}, 0);
    row("repeat marks one after another", "", QStringLiteral("知识图谱"), {QStringLiteral("知识图谱 - 副本 (2).pdf")}, 0);
    row("a full-width number is no repeat mark", "", QStringLiteral("知识图谱"), {QStringLiteral("知识图谱（1）.caj")}, -1);
    row("a repeat mark on a download name", QStringLiteral("刘松"), QStringLiteral("知识图谱"),
        {"x.pdf", QStringLiteral("知识图谱_刘松 (5).caj")}, 1);
    row("a repeat mark on a bare title numbers a part", "", QStringLiteral("Lecture notes on algebraic topology"),
        {"Lecture notes on algebraic topology (2).pdf"}, -1, 2);
    row("english copy mark", "", "Graph theory", {"Graph theory - Copy.pdf"}, 0);
    row("authors joined by ;", QStringLiteral("朴志勇;金东贤"), QStringLiteral("一种车辆用座椅"),
        {QStringLiteral("一种车辆用座椅_金东贤.pdf"), QStringLiteral("一种车辆用座椅_朴志勇.pdf")}, 1);
    row("authors joined by full-width ；", QStringLiteral("张三；李四"), QStringLiteral("车辆座椅"),
        {QStringLiteral("车辆座椅_张三.pdf")}, 0, 2);
    row("author with a forbidden character", "SAC/TC 28", "Steel plates",
        {"Steel plates_SAC_TC 28 (1).pdf", "Steel plates_SAC_TC 28.pdf"}, 1);
    row("every character windows forbids, as a download name", "Lee", "a\\b/c:d*e?f\"g<h>i|j",
        {"a_b_c_d_e_f_g_h_i_j_Lee (1).pdf", "a_b_c_d_e_f_g_h_i_j_Lee.pdf"}, 1);
    row("no download name longer than a file name can be", QString(300, 'x'), "T",
        {"T_" + QString(300, 'x') + ".pdf"}, -1);
    row("doi with @", "", "Unrelated", {"10.1002@pam.21831.pdf"}, 0, 0, "10.1002/pam.21831");
    row("doi with _, letter case and a resolver", "", "Unrelated", {"x.pdf", "10.1016_j.x.2020.01.002.PDF"},
        1, 0, "https://doi.org/10.1016/J.X.2020.01.002");
    row("decomposed name from a mac: exact", "", QStringLiteral("Café culture"),
        {QString::fromUtf8("Cafe\xcc\x81 culture.pdf")}, 0, 0, QString(), true);
    row("decomposed korean, download name", QStringLiteral("김"), QStringLiteral("한국어 연구"),
        {QStringLiteral("한국어 연구_김").normalized(QString::NormalizationForm_D) + ".pdf"}, 0);
    row("decomposed title, composed file, distance 0", "", QStringLiteral("한국어 연구").normalized(QString::NormalizationForm_D),
        {QStringLiteral("한국어 연구.pdf")}, 0, 0, QString(), true);
    // Pass order: exact, download name, folded name, near.
    row("download name beats an earlier near name", "Wu", "Deep learning",
        {"Deep learning_Li.pdf", "Deep learning_Wu.pdf"}, 1, 3);
    row("folded name beats an earlier near name", "Lee", "Graph theory: a survey",
        {"Graph theory: a surve.pdf", "GRAPH THEORY_A SURVEY_Lee.pdf"}, 1, 2);
    row("exact beats download and folded names", "Lee", "Graph theory: a survey",
        {"Graph theory_ a survey_Lee.pdf", "GRAPH THEORY A SURVEY.pdf", "Graph theory: a survey.pdf"}, 2, 2,
        QString(), true);
    row("an own name beats an earlier copy", "Lee", "Graph theory",
        {"a/graph theory_Lee - Copy.pdf", "b/GRAPH THEORY_LEE.caj"}, 1);
    row("first in list order among the own names", "Lee", "Graph: theory",
        {"a/graph_ theory_Lee.pdf", "b/GRAPH THEORY_LEE.caj", "c/Graph_ theory.pdf"}, 0);
    // Not this record's file.
    row("another author's download", QStringLiteral("李四"), QStringLiteral("车辆座椅"),
        {QStringLiteral("车辆座椅_张三.pdf")}, -1, 2);
    row("cut name whose tail does not fit", QStringLiteral("王强"), kg,
        {QStringLiteral("面向大规模知识图谱的分布式存储与_省略_其他完全不同的结尾部分_王强.caj")}, -1);
    row("cut name longer than the title", QStringLiteral("王强"), QStringLiteral("知识图谱研究"),
        {QStringLiteral("知识图谱_省略_图谱研究_王强.caj")}, -1);
    // CNKI cuts only titles longer than 32 (until 2021) or 29 (since 2022) characters.
    row("old era: 32 characters are not cut", "", QStringLiteral("面向大规模知识图谱的分布式存储与查询优化关键技术研究以问答系统为"), {QStringLiteral("面向大规模知识图谱的分布式存储与_省略_查询优化关键技术研究以问答系统为.caj")}, -1);
    row("old era: 33 characters are cut", "", QStringLiteral("面向大规模知识图谱的分布式存储与查询优化关键技术研究以问答系统为例"), {QStringLiteral("面向大规模知识图谱的分布式存储与_省略_询优化关键技术研究以问答系统为例.caj")}, 0);
    row("new era: 29 characters are not cut", "", QStringLiteral("面向大规模知识图谱的分布式存储与查询优化关键技术研究以问答"), {QStringLiteral("面向大规模知识图谱的分布式...查询优化关键技术研究以问答.pdf")}, -1);
    row("new era: 30 characters are cut", "", QStringLiteral("面向大规模知识图谱的分布式存储与查询优化关键技术研究以问答系"), {QStringLiteral("面向大规模知识图谱的分布式...询优化关键技术研究以问答系.pdf")}, 0);
    row("a title too short to be cut", QStringLiteral("王强"), QStringLiteral("知识图谱研究"),
        {QStringLiteral("知识图谱_省略_研究_王强.caj")}, -1);
    row("a DOI suffix that is CNKI's file code", "", QStringLiteral("中国科技期刊研究"), {"ZZXX200402047.caj"}, 0, 2,
        "10.1/ZZXX200402047");
    row("title of punctuation only", "", QStringLiteral("？"), {QStringLiteral("——.pdf"), "_.pdf"}, -1);
    // Another paper's file: numbers, symbols and marks are part of the title.
    row("a subscript", "", "CO adsorption on zeolite 13X", {QStringLiteral("CO₂ adsorption on zeolite 13X.pdf")}, -1, 2);
    row("a subscript at the end of a word", "", QStringLiteral("H₂O decomposition on platinum"),
        {QStringLiteral("H₂O₂ decomposition on platinum.pdf")}, -1, 2);
    row("superscripts", "", "Ca signalling in hippocampal neurons",
        {QStringLiteral("Ca²⁺ signalling in hippocampal neurons.pdf")}, -1, 2);
    row("plus and minus", "", QStringLiteral("Integer solutions of x² + 2y² = 1"),
        {QStringLiteral("Integer solutions of x² − 2y² = 1.pdf")}, -1);
    row("equal and unequal", "", "A proof that P = NP", {QStringLiteral("A proof that P ≠ NP.pdf")}, -1);
    row("a letter number", "", QStringLiteral("糖尿病并发症研究"), {QStringLiteral("糖尿病并发症研究Ⅱ.pdf")}, -1);
    row("plus signs", "", "C programming", {"C++ programming.pdf"}, -1);
    row("roman numerals", "", QStringLiteral("Ⅰ型糖尿病"), {QStringLiteral("Ⅱ型糖尿病.pdf")}, -1);
    row("full-width plus and minus", "", QStringLiteral("（＋）-儿茶素的合成"), {QStringLiteral("（－）-儿茶素的合成.pdf")}, -1);
    row("circled numbers", "", QStringLiteral("①号机组检修"), {QStringLiteral("②号机组检修.pdf")}, -1);
    row("a second volume", "", QStringLiteral("中国古代数学史话"), {QStringLiteral("中国古代数学史话（2）.pdf")}, -1, 2);
    row("a bracketed number after a renamed blank", "", "Survey", {"Survey_(2).pdf"}, -1, 2);
    row("dots inside a title are no cut", "", "C-H and O hydrogen bonds in crystals",
        {"C-H...O hydrogen bonds in crystals.pdf"}, -1, 2);
    row("an ellipsis in a title is no cut", "", "Publish or perish, or not", {"Publish or perish... or not.pdf"}, -1, 2);
    row("old era: a run of punctuation with its blanks", "Lee", "Graph theory: a survey", {"GRAPH THEORY_A SURVEY_Lee.pdf"}, 0);
    row("old era: every blank and mark", "", "Graph theory: a survey", {"Graph_theory__a_survey.pdf"}, 0);
    row("old era: a mark beyond 16 bits", "", QStringLiteral("Aegean\U00010100word list"), {"Aegean_word list.pdf"}, 0);
    row("a year after other digits", "Smith", "Graph theory", {"Smith - 2000 - Graph theory.pdf"}, -1, 0, "", false,
        "7 2020");
    row("a year at the last bound", "Smith", "Graph theory", {"Smith - 2000 - Graph theory.pdf",
                                                              "Smith - 2999 - Graph theory.pdf"}, 1, 0, "", false, "2999");
}

void TestWriter::namingRules()
{
    QFETCH(QString, author);
    QFETCH(QString, doi);
    QFETCH(QString, title);
    QFETCH(QStringList, files);
    QFETCH(int, threshold);
    QFETCH(int, linked);
    QFETCH(bool, exact);
    QFETCH(QString, year);

    const LocaleCodec codec("GBK");
    QStringList lines({"%0 Journal Article\r\n", "%A " + author + "\r\n", "%T " + title + "\r\n"});
    RecordUrls urls;
    if (doi.startsWith("url:"))
        urls.push_back({0, "%U " + doi.mid(4) + "\r\n"});
    else if (!doi.isEmpty())
        lines.append("%R " + doi + "\r\n");
    if (!year.isEmpty())
        lines.append("%D " + year + "\r\n");
    const QString out = m_root + "/rules.enw";
    LogCapture capture;
    QCOMPARE(writeLinkedEnw(lines, fullTexts(files), out, m_codec, threshold, {}, QString(), {}, nullptr, urls),
             linked < 0 ? 0 : 1);
    if (linked >= 0)
        lines.insert(3, "%> " + m_root + "/lib/" + files.at(linked) + "\r\n");
    QCOMPARE(readBytes(out), utf16WithMark(lines.join(QString())));
    QVERIFY(capture.lines().constFirst().startsWith(exact ? "D:" : "W:"));
}

void TestWriter::runReport()
{
    // Tabs and line breaks inside a field would shift the columns: blanks.
    const QString out = m_root + "/report.tsv";
    QString error;
    QVERIFY(writeRunReport(out,
                           {{"a\tb", "c\nd", "/x/e\rf.pdf", LinkHow::Near, 3}, {"g", "h", QString(), LinkHow::None, 0}},
                           {"/x/e\rf.pdf", "/x/i\tj.pdf", "/x/k.pdf"}, {1, 0, 2}, {}, &error));
    QCOMPARE(readBytes(out), QStringLiteral("\uFEFF题名\t第一作者\t全文\t链接方式\r\na b\tc d\t/x/e f.pdf\t近似（编辑距离3）\r\n"
                                            "g\th\t\t无\r\n\r\n未被题录链接的全文\r\n/x/i j.pdf\r\n\r\n"
                                            "被多条题录链接的全文\t题录数\r\n/x/k.pdf\t2\r\n").toUtf8());
}

void TestWriter::otherFormats_data()
{
    // `enw`: the source, records and all; "<lib>" stands for the full-text
    // folder, and in `expected` "<native>" for it with a separator after it in
    // the platform's spelling, "<bib>" for that escaped as BibTeX's file field
    // does, "<url>" for it as the path of a file:// URL. A line "%U …" of the
    // first record reaches the writer as the reader hands URLs over.
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("enw");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("expected");
    QTest::newRow("ris: every field") << "ris"
        << QStringLiteral("%0 Journal Article\n%A Smith, J.;Lee, K.;\n%A 王强\n%E Ed, A.\n%T Deep learning\n%J Nature\n"
                          "%D 2020\n%V 7\n%N 3\n%P 5-18\n%R 10.1/x\n%@ 1234-5678\n%I Pub\n%C Beijing\n"
                          "%K 深度学习;神经网络；CNN\n%X An abstract\nin two lines\n%U http://x.org/1\n%Z a note\n"
                          "%9 期刊\n%> file://<url>old.pdf\n")
        << QStringList({"Deep learning.pdf"})
        << QStringLiteral("TY  - JOUR\r\nUR  - http://x.org/1\r\nAU  - Smith, J.\r\nAU  - Lee, K.\r\nAU  - 王强\r\n"
                          "ED  - Ed, A.\r\nTI  - Deep learning\r\nT2  - Nature\r\nPY  - 2020\r\nVL  - 7\r\n"
                          "IS  - 3\r\nSP  - 5\r\nEP  - 18\r\nDO  - 10.1/x\r\nSN  - 1234-5678\r\nPB  - Pub\r\n"
                          "CY  - Beijing\r\nKW  - 深度学习\r\nKW  - 神经网络\r\nKW  - CNN\r\nAB  - An abstract in two lines\r\n"
                          "N1  - a note\r\nN1  - %9 期刊\r\nL1  - <native>Deep learning.pdf\r\nL1  - <native>old.pdf\r\nER  - \r\n\r\n");
    QTest::newRow("ris: second fields are notes") << "ris"
        << QStringLiteral("%0 Book Section\n%T One\n%T Two\n%J Journal\n%B Book\n%D 2001\n%D 2002\n%P 5\n%P 7-9\n")
        << QStringList()
        << QStringLiteral("TY  - CHAP\r\nTI  - One\r\nT2  - Journal\r\nPY  - 2001\r\nSP  - 5\r\nN1  - %T Two\r\n"
                          "N1  - %B Book\r\nN1  - %D 2002\r\nN1  - %P 7-9\r\nER  - \r\n\r\n");
    QTest::newRow("ris: types") << "ris"
        << QStringLiteral("%0 Book\n\n%0 Thesis\n\n%0 conference paper\n\n%0 Conference Proceedings\n\n%0 Patent\n\n"
                          "%0 Newspaper Article\n\n%0 Report\n\n%0 Standard\n\n%0 Electronic Article\n\n%0 Generic\n\n"
                          "%0 Serial\n")
        << QStringList()
        << QStringLiteral("TY  - BOOK\r\nER  - \r\n\r\nTY  - THES\r\nER  - \r\n\r\nTY  - CPAPER\r\nER  - \r\n\r\n"
                          "TY  - CONF\r\nER  - \r\n\r\nTY  - PAT\r\nER  - \r\n\r\nTY  - NEWS\r\nER  - \r\n\r\n"
                          "TY  - RPRT\r\nER  - \r\n\r\nTY  - STAND\r\nER  - \r\n\r\nTY  - EJOUR\r\nER  - \r\n\r\n"
                          "TY  - GEN\r\nER  - \r\n\r\nTY  - GEN\r\nN1  - %0 Serial\r\nER  - \r\n\r\n");
    QTest::newRow("ris: paths importers would unescape") << "ris"
        << QStringLiteral("%0 Journal Article\n%T R&D\n%> <lib>/a<b> c.pdf\n%> <lib>/50% ;{}\\.pdf\n")
        << QStringList({"R&D.pdf"})
        << QStringLiteral("TY  - JOUR\r\nTI  - R&D\r\nL1  - file://<url>R%26D.pdf\r\nL1  - file://<url>a%3Cb%3E%20c.pdf\r\n"
                          "L1  - <native>50% ;{}\\.pdf\r\nER  - \r\n\r\n");
    QTest::newRow("bib: every field") << "bib"
        << QStringLiteral("%0 Journal Article\n%A Smith, J.;Lee, K.\n%A Research and Development Group\n%E Ed, A.\n"
                          "%T 50% of {x} & $y_1 #2 ~ \\ ^\n%J Nature\n%D 2020\n%V 7\n%N 3\n%P 12-18\n%R 10.1/x_y\n"
                          "%@ 1234-5678\n%I Pub\n%C Beijing\n%K a;b；c\n%X An abstract\nin two lines\n%U http://x.org/1\n"
                          "%Z a note\n%9 期刊\n%> <lib>/old:1;{x}.caj\n")
        << QStringList()
        << QStringLiteral("@article{Smith2020,\n  url = {http://x.org/1},\n"
                          "  author = {Smith, J. and Lee, K. and {Research and Development Group}},\n"
                          "  editor = {Ed, A.},\n  title = {50\\% of \\{x\\} \\& \\$y\\_1 \\#2 \\~{} $\\backslash$ ^},\n"
                          "  journal = {Nature},\n  year = {2020},\n  volume = {7},\n  number = {3},\n  pages = {12--18},\n"
                          "  doi = {10.1/x\\_y},\n  issn = {1234-5678},\n  publisher = {Pub},\n  address = {Beijing},\n"
                          "  keywords = {a, b, c},\n  abstract = {An abstract\nin two lines},\n  note = {a note\n\\%9 期刊},\n"
                          "  file = {:<bib>old\\:1\\;\\{x\\}.caj:CAJ}\n}\n\n");
    QTest::newRow("bib: linked files") << "bib"
        << QStringLiteral("%0 Generic\n%T Deep learning\n%> <lib>/x.pdf\n%> <lib>/notes\n%> readme\n")
        << QStringList({"Deep learning.pdf"})
        << QStringLiteral("@misc{Anon,\n  note = {\\%0 Generic},\n  title = {Deep learning},\n"
                          "  file = {:<bib>Deep learning.pdf:PDF;:<bib>x.pdf:PDF;:<bib>notes:;:readme:}\n}\n\n");
    QTest::newRow("bib: keys and types") << "bib"
        << QStringLiteral("%0 Book\n%A Smith, J.\n%D 2020\n%@ 978-7\n\n%0 Thesis\n%A 王强\n%D 2020年\n%J 南昌大学\n%I 大学\n"
                          "%9 博士\n\n%0 Thesis\n%A John Smith\n%D 2020\n%9 碩士\n\n%0 Report\n%A Smith\n%D 2020\n%I Lab\n"
                          "\n%0 Book Section\n%@ 1-2\n\n%0 Conference Paper\n%A O'Neil, A.\n\n%0 Patent\n%A Smith, J.\n"
                          "%D 2020\n\n%0 Serial\n%A Smith\n%D 2020\n")
        << QStringList()
        << QStringLiteral("@book{Smith2020,\n  author = {Smith, J.},\n  year = {2020},\n  isbn = {978-7}\n}\n\n"
                          "@phdthesis{王强2020,\n  author = {王强},\n  year = {2020年},\n  school = {南昌大学},\n"
                          "  note = {\\%I 大学\n\\%9 博士}\n}\n\n"
                          "@mastersthesis{Smith2020a,\n  author = {John Smith},\n  year = {2020},\n  note = {\\%9 碩士}\n}\n\n"
                          "@techreport{Smith2020b,\n  author = {Smith},\n  year = {2020},\n  institution = {Lab}\n}\n\n"
                          "@incollection{Anon,\n  isbn = {1-2}\n}\n\n@inproceedings{ONeil,\n  author = {O'Neil, A.}\n}\n\n"
                          "@patent{Smith2020c,\n  author = {Smith, J.},\n  year = {2020}\n}\n\n"
                          "@misc{Smith2020d,\n  note = {\\%0 Serial},\n  author = {Smith},\n  year = {2020}\n}\n\n");
}

void TestWriter::otherFormats()
{
    QFETCH(QString, format);
    QFETCH(QString, enw);
    QFETCH(QStringList, files);
    QFETCH(QString, expected);
    const QString folder = m_root + "/lib";
    QStringList lines;
    RecordUrls urls;
    enw.replace("<url>", (folder.startsWith('/') ? "" : "/") + folder + "/");
    for (const QString &line : enw.replace("<lib>", folder).split('\n')) {
        if (line.startsWith("%U"))
            urls.push_back({0, line + "\r\n"});
        else if (!line.isEmpty() || lines.size() + 1 < enw.count('\n'))
            lines.append(line + "\r\n");
    }
    QVERIFY(makeFiles(folder, files));
    OutputFormat chosen = OutputFormat::Enw;
    QVERIFY(outputFormatNamed(format, &chosen));
    const QString out = m_root + "/out." + format;
    LogCapture capture;
    QCOMPARE(writeLinkedEnw(lines, fullTexts(files), out, m_codec, 0, {}, QString(), {}, nullptr, urls, chosen),
             files.size());
    const QByteArray mark = format == "ris" ? QByteArray("\xEF\xBB\xBF") : QByteArray();
    QString bib;
    for (const QChar c : QDir::toNativeSeparators(folder + "/")) {
        if (QStringLiteral(":;\\{}").contains(c))
            bib += '\\';
        bib += c;
    }
    expected.replace("<native>", QDir::toNativeSeparators(folder + "/")).replace("<bib>", bib);
    expected.replace("<url>", (folder.startsWith('/') ? "" : "/") + folder + "/");
    QCOMPARE(QString::fromUtf8(readBytes(out)), QString::fromUtf8(mark + expected.toUtf8()));
    QCOMPARE(readBytes(out).left(3) == "\xEF\xBB\xBF", !mark.isEmpty());
    for (const QString &file : files)
        QVERIFY(QFile::remove(folder + "/" + file));
}

void TestWriter::failures_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing folder") << "/no/such/folder/out.enw" << "";
    QTest::newRow("empty path") << "" << "No file name specified";
    QTest::newRow("a folder at that path") << "@folder" << "Filename refers to a directory";
    QTest::newRow("the source, through a link") << "@alias.enw" << QStringLiteral("与原Enw文件是同一个文件");
    QTest::newRow("a full text") << "@lib/Title.pdf" << QStringLiteral("这是一个全文文件");
    QTest::newRow("a fifo") << "@fifo" << QStringLiteral("不是普通文件");
}

void TestWriter::failures()
{
    QFETCH(QString, target);
    QFETCH(QString, reason);
    if (target == QLatin1String("@alias.enw") || target == QLatin1String("@fifo"))
        UNIX_ONLY("symbolic links and fifos");
    QVERIFY(QDir().mkpath(m_root + "/folder/inside"));
    QVERIFY(writeBytes(m_root + "/folder/inside/keep.txt", "keep"));
    QVERIFY(writeBytes(m_root + "/refs.enw", "%0 A\n") && makeFiles(m_root, {"lib/Title.pdf"}));
    QFile::link(m_root + "/refs.enw", m_root + "/alias.enw");
#ifdef Q_OS_UNIX
    ::mkfifo(QFile::encodeName(m_root + "/fifo").constData(), 0600);
#endif
    const QString out = target.replace("@", m_root + "/");
    const QStringList before = QDir(m_root).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    const QStringList beforeHere = QDir::current().entryList(QDir::AllEntries | QDir::Hidden);

    // Every format is refused alike.
    for (const OutputFormat format : {OutputFormat::Enw, OutputFormat::Ris, OutputFormat::Bib}) {
        LogCapture capture;
        QCOMPARE(writeLinkedEnw({"%T Title\r\n"}, fullTexts({"Title.pdf"}), out, m_codec, 2,
                                [&capture] { capture.reset(); }, m_root + "/refs.enw", {}, nullptr, {}, format),
                 0);
        QCOMPARE(capture.messages.size(), 1);
        const QString message = capture.lines().first();
        const QString start = QStringLiteral("W:\"无法写入新Enw文件:") + out + " (";
        QVERIFY2(message.startsWith(start) && message.endsWith(")\"") && message.size() > start.size() + 2,
                 qPrintable(message));
        if (!reason.isEmpty())
            QCOMPARE(message, start + reason + ")\"");
        QCOMPARE(capture.warningsWithReset, 1);
        QCOMPARE(QDir(m_root).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
        QCOMPARE(QDir::current().entryList(QDir::AllEntries | QDir::Hidden), beforeHere);
        QCOMPARE(readBytes(m_root + "/folder/inside/keep.txt"), QByteArray("keep"));
        QCOMPARE(readBytes(m_root + "/refs.enw"), QByteArray("%0 A\n"));
        QCOMPARE(readBytes(m_root + "/lib/Title.pdf"), QByteArray());
    }
}

void TestWriter::readOnlyFolder()
{
    UNIX_ONLY("file permissions and users");
#ifdef Q_OS_UNIX
    // Permissions do not bind root, so the write runs as an unprivileged user.
    QTemporaryDir shared(QStringLiteral("/tmp/enwlink-readonly-XXXXXX"));
    QVERIFY(shared.isValid());
    const QString folder = shared.path() + "/locked";
    QVERIFY(QDir().mkpath(folder));
    const QString out = folder + "/out.enw";
    QVERIFY(writeBytes(out, "previous"));
    QVERIFY(::chmod(QFile::encodeName(shared.path()).constData(), 0755) == 0);
    QVERIFY(::chmod(QFile::encodeName(out).constData(), 0444) == 0);
    QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0555) == 0);

    const QFileInfoList files = fullTexts({"Title.pdf"});
    const ChildResult child = runInChild(
        [&] { return writeLinkedEnw({"%T Title\r\n"}, files, out, m_codec, 2); }, true);
    QCOMPARE(child.status, 0);
    QCOMPARE(child.log.size(), 1);
    QVERIFY2(child.log.first().startsWith(QStringLiteral("W:\"无法写入新Enw文件:") + out + " ("),
             qPrintable(child.log.first()));
    QCOMPARE(readBytes(out), QByteArray("previous"));
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList({"out.enw"}));
    QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0755) == 0);
#endif
}

void TestWriter::fullDiskKeepsPreviousFile()
{
    UNIX_ONLY("file size limits of a forked child");
    const QString out = m_root + "/full.enw";
    const QByteArray previous("the previous output, which must survive");
    QVERIFY(writeBytes(out, previous));
    QStringList lines;
    for (int i = 0; i < 5000; ++i)
        lines << "%0 Journal Article\r\n" << QStringLiteral("%T Record %1\r\n").arg(i) << "\r\n";
    const QFileInfoList files = fullTexts({"Record 1.pdf"});
    for (const OutputFormat format : {OutputFormat::Enw, OutputFormat::Ris, OutputFormat::Bib}) {
        const ChildResult child = runInChild(
            [&] { return writeLinkedEnw(lines, files, out, m_codec, 0, {}, QString(), {}, nullptr, {}, format); },
            false, 4096);
        QCOMPARE(child.status, 0);
        QVERIFY(!child.log.isEmpty());
        // The reason names the cause (here the file size limit), not "Unknown error".
        QCOMPARE(child.log.last(), QStringLiteral("W:\"无法写入新Enw文件:") + out + " (File too large)\"");
        QCOMPARE(readBytes(out), previous);
        QCOMPARE(QDir(m_root).entryList({"full*"}, QDir::Files | QDir::Hidden), QStringList({"full.enw"}));
    }
}

QTEST_GUILESS_MAIN(TestWriter)
#include "tst_writer.moc"
