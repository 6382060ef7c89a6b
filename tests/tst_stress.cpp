#include "dialog/enwdialog.h"
#include "engine/enwreader.h"
#include "support/testsupport.h"

#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

#include <sys/stat.h>

static const QString miss = QStringLiteral("\"未找到全文，1、全文不存在，2、或者文献标题与对应文件名不完全一致!\"");

// Large inputs, odd trees and failing disks: every run ends with its tally,
// says what went wrong, and leaves alone every file it was not asked to write.
class TestStress : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void hugeSourceFile();
    void twentyMegabyteLine();
    void twentyMegabyteLineInConsole();
    void overlongLineIsRefused();
    void thousandEmptyLines();
    void hundredThousandFiles();
    void deepChainAndLinks();
    void unreadableSubfolder();
    void awkwardFileNames();
    void outputOverSource();
    void outputInReadOnlyFolder();
    void outputOnFullDisk();

private:
    // Counts what a run logs and keeps its first and last lines.
    struct Run
    {
        QStringList first;
        QStringList last;
        int debug = 0;
        int warnings = 0;
    };
    Run run(const QString &source, const QString &folder, const QString &output);
    void setPaths(const QString &source, const QString &folder, const QString &output);
    void start();
    QList<ConsoleLine> runInConsole();

    QTemporaryDir *m_dir = nullptr;
    QString m_root;
    EnwDialog *m_dialog = nullptr;
};

namespace {
struct Counter
{
    QStringList first, last;
    int debug = 0, warnings = 0;
    bool afterWritten = false;
} *counter = nullptr;

void countMessage(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    // What follows the line that names the written file (the claims report)
    // is left out; that line itself is checked and dropped by run().
    if (counter->afterWritten)
        return;
    counter->afterWritten = text.startsWith(QStringLiteral("\"已写入新Enw文件:"));
    const QString line = (type == QtDebugMsg ? QStringLiteral("D:") : QStringLiteral("W:")) + text.left(8000);
    (type == QtDebugMsg ? counter->debug : counter->warnings)++;
    if (counter->first.size() < 8)
        counter->first.append(line);
    counter->last.append(line);
    if (counter->last.size() > 8)
        counter->last.removeFirst();
}
} // namespace

void TestStress::init()
{
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    m_root = QDir(m_dir->path()).canonicalPath();
    m_dialog = new EnwDialog;
}

void TestStress::cleanup()
{
    delete m_dialog;
    delete m_dir;
}

void TestStress::setPaths(const QString &source, const QString &folder, const QString &output)
{
    ::setPaths(*m_dialog, source, folder, output);
}

void TestStress::start()
{
    clickStart(*m_dialog);
}

// A run shown in the window's console, as the user sees it.
QList<ConsoleLine> TestStress::runInConsole()
{
    m_dialog->show();
    if (!QTest::qWaitForWindowExposed(m_dialog))
        return {};
    const ConsoleRoute route(*m_dialog);
    start();
    return consoleLines(consoleOf(*m_dialog));
}

TestStress::Run TestStress::run(const QString &source, const QString &folder, const QString &output)
{
    setPaths(source, folder, output);
    Counter count;
    counter = &count;
    const QtMessageHandler previous = qInstallMessageHandler(countMessage);
    start();
    qInstallMessageHandler(previous);
    counter = nullptr;
    // A run that wrote its output names it last; the tests look at what came before.
    const QString written = QStringLiteral("D:\"已写入新Enw文件:") + QFileInfo(output).absoluteFilePath() + "\"";
    if (!count.last.isEmpty() && count.last.last() == written) {
        count.last.removeLast();
        --count.debug;
    }
    return {count.first, count.last, count.debug, count.warnings};
}

void TestStress::hugeSourceFile()
{
    // 500,000 records, 200 MB; the first thousand titles have a file.
    const QString source = m_root + "/huge.enw";
    {
        QFile file(source);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray filler(330, 'x');
        for (int i = 0; i < 500000; ++i) {
            file.write("%0 Journal Article\r\n%A Author, A.\r\n%T " + QByteArray(i < 1000 ? "Paper with a file " : "Record number ") + QByteArray::number(i)
                       + "\r\n%X " + filler + "\r\n%U http://example.org/" + QByteArray::number(i) + "\r\n\r\n");
        }
        file.flush();
        QVERIFY(file.size() > 200 * 1000 * 1000);
    }
    QStringList names;
    for (int i = 0; i < 1000; ++i)
        names.append(QStringLiteral("d%1/Paper with a file %2.pdf").arg(i % 10).arg(i));
    QVERIFY(makeFiles(m_root + "/lib", names));

    const Run result = run(source, m_root + "/lib", m_root + "/out.enw");
    QCOMPARE(result.last.last(), QStringLiteral("D:\"检索到全文的文献有：1000/500000\""));
    QCOMPARE(result.warnings, 499000);
    const QFileInfo out(m_root + "/out.enw");
    // Each record loses its URL line and the thousand linked ones gain a path.
    QVERIFY(out.size() > 2 * (200 * 1000 * 1000 - 500000 * 40));
}

void TestStress::twentyMegabyteLine()
{
    const QString source = m_root + "/long.enw";
    QByteArray bytes("%0 Journal Article\n%T ");
    bytes += QByteArray(20 * 1024 * 1024, 'a');
    bytes += "\n%T Title\n";
    QVERIFY(writeBytes(source, bytes));
    QVERIFY(makeFiles(m_root + "/lib", {"Title.pdf", "aaaa.pdf"}));
    const Run result = run(source, m_root + "/lib", m_root + "/out.enw");
    QCOMPARE(result.warnings, 1);
    QCOMPARE(result.last.last(), QStringLiteral("D:\"检索到全文的文献有：1/1\""));
    QCOMPARE(QFileInfo(m_root + "/out.enw").size(), qint64(2 + 2 * (bytes.size() + 3 + 3 + m_root.size() + 14 + 2)));
}

void TestStress::twentyMegabyteLineInConsole()
{
    // The console shows the start of the line instead of stalling on all of it.
    QVERIFY(writeBytes(m_root + "/long.enw", "%0 A\n%T " + QByteArray(20 * 1024 * 1024, 'a') + "\n"));
    QVERIFY(QDir().mkpath(m_root + "/lib"));
    setPaths(m_root + "/long.enw", m_root + "/lib", m_root + "/out.enw");
    const QList<ConsoleLine> lines = runInConsole();
    QCOMPARE(lines.size(), 13); // then the file written, the summary, and that no full text was left over
    QCOMPARE(lines.at(5), (ConsoleLine{"Warning:\"%T " + QString(10000 - 4, 'a')
                                           + QStringLiteral("……（此行过长，仅显示前10000个字符）"),
                                       red}));
    QCOMPARE(lines.at(6).text, QStringLiteral("OutPut:\"检索到全文的文献有：0/1\""));
    QCOMPARE(QFileInfo(m_root + "/out.enw").size(), qint64(2 + 2 * (20 * 1024 * 1024 + 11)));
}

void TestStress::overlongLineIsRefused()
{
    // A line of exactly the limit is read; one byte more is refused.
    QVERIFY(writeBytes(m_root + "/long.enw", "%0 A\n%T " + QByteArray(64 * 1024 * 1024 - 3, 'a') + "\r\n"));
    QStringList lines;
    QCOMPARE(readEnwFile(m_root + "/long.enw", lines), 1);
    lines.clear();
    QVERIFY(writeBytes(m_root + "/long.enw", "%0 A\n%T " + QByteArray(64 * 1024 * 1024 - 2, 'a') + "\n"));
    QVERIFY(writeBytes(m_root + "/out.enw", "previous"));
    QVERIFY(QDir().mkpath(m_root + "/lib"));
    const Run result = run(m_root + "/long.enw", m_root + "/lib", m_root + "/out.enw");
    QCOMPARE(result.last, QStringList({"D:\"enw文件路径:" + m_root + "/long.enw\"",
                                       "D:\"全文数据库路径:" + m_root + "/lib\"",
                                       "W:\"enw文件中有一行过长，无法处理:" + m_root + "/long.enw\"",
                                       QStringLiteral("D:\"待检索全文的文献有：0\""),
                                       QStringLiteral("D:\"全文数据库共有文献：0\""),
                                       "W:\"没有读到题录，未写入新Enw文件:" + m_root + "/out.enw\"",
                                       QStringLiteral("D:\"检索到全文的文献有：0/0\"")}));
    QCOMPARE(readBytes(m_root + "/out.enw"), QByteArray("previous"));
}

void TestStress::thousandEmptyLines()
{
    const QString source = m_root + "/empty.enw";
    QVERIFY(writeBytes(source, "%0 A\n%T Title\n" + QByteArray(1000, '\n') + "%0 B\n"));
    QVERIFY(makeFiles(m_root + "/lib", {"Title.pdf"}));
    const Run result = run(source, m_root + "/lib", m_root + "/out.enw");
    QCOMPARE(result.last.last(), QStringLiteral("D:\"检索到全文的文献有：1/2\""));
    QCOMPARE(readBytes(m_root + "/out.enw"),
             utf16WithMark("%0 A\r\n%T Title\r\n%> " + m_root + "/lib/Title.pdf\r\n" + QString("\r\n").repeated(1000)
                           + "%0 B\r\n"));
}

void TestStress::hundredThousandFiles()
{
    QStringList names;
    for (int i = 0; i < 100000; ++i)
        names.append(QStringLiteral("f%1/g%2/Paper %3.pdf").arg(i % 20).arg(i % 7).arg(i));
    QVERIFY(makeFiles(m_root + "/lib", names));
    QVERIFY(writeBytes(m_root + "/refs.enw", "%0 A\n%T Paper 99999\n\n%0 B\n%T Something else entirely\n\n%0 C\n%T Paper 5\n"));
    const Run result = run(m_root + "/refs.enw", m_root + "/lib", m_root + "/out.enw");
    QCOMPARE(result.debug, 2 + 100000 + 2 + 2 + 1);
    QCOMPARE(result.warnings, 1);
    QCOMPARE(result.last.mid(result.last.size() - 4),
             QStringList({"D:\"%T Paper 99999\" ------ \"" + m_root + "/lib/f19/g4/Paper 99999.pdf\"",
                          "W:\"%T Something else entirely\" " + miss,
                          "D:\"%T Paper 5\" ------ \"" + m_root + "/lib/f5/g5/Paper 5.pdf\"",
                          QStringLiteral("D:\"检索到全文的文献有：2/3\"")}));
}

void TestStress::deepChainAndLinks()
{
    // 2,000 levels: each folder is looked at in time that does not grow with
    // the depth beyond the length of its path.
    QString deep = m_root + "/lib";
    for (int i = 0; i < 2000; ++i)
        deep += "/d";
    QVERIFY(QDir().mkpath(deep));
    QVERIFY(writeBytes(deep + "/Bottom.pdf", QByteArray()));
    QVERIFY(QFile::link(m_root + "/lib", m_root + "/lib/d/d/loop"));
    QVERIFY(QFile::link(m_root + "/nowhere", m_root + "/lib/d/broken.pdf"));
    QVERIFY(writeBytes(m_root + "/refs.enw", "%0 A\n%T Bottom\n"));
    const Run result = run(m_root + "/refs.enw", m_root + "/lib", m_root + "/out.enw");
    QCOMPARE(result.last.mid(result.last.size() - 2),
             QStringList({"D:\"%T Bottom\" ------ \"" + deep + "/Bottom.pdf\"",
                          QStringLiteral("D:\"检索到全文的文献有：1/1\"")}));
}

void TestStress::unreadableSubfolder()
{
    // Permissions do not bind root: the run is made as an unprivileged user.
    QTemporaryDir shared(QStringLiteral("/tmp/enwlink-stress-XXXXXX"));
    QVERIFY(shared.isValid());
    const QString root = shared.path();
    QVERIFY(makeFiles(root + "/lib", {"open/Open paper.pdf", "closed/Closed document.pdf",
                                      "noentry/Closed document.pdf"}));
    QVERIFY(writeBytes(root + "/refs.enw", "%0 A\n%T Open paper\n%T Closed document\n"));
    QVERIFY(QDir().mkpath(root + "/out"));
    for (const QString &path : {root, root + "/lib", root + "/lib/open"})
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0755) == 0);
    QVERIFY(::chmod(QFile::encodeName(root + "/refs.enw").constData(), 0644) == 0);
    QVERIFY(::chmod(QFile::encodeName(root + "/out").constData(), 0777) == 0);
    QVERIFY(::chmod(QFile::encodeName(root + "/lib/closed").constData(), 0300) == 0);
    QVERIFY(::chmod(QFile::encodeName(root + "/lib/noentry").constData(), 0644) == 0); // read, not enter

    setPaths(root + "/refs.enw", root + "/lib", root + "/out/out.enw");
    const ChildResult child = runInChild([this] { start(); return 0; }, true);
    QVERIFY(::chmod(QFile::encodeName(root + "/lib/closed").constData(), 0755) == 0);
    QVERIFY(::chmod(QFile::encodeName(root + "/lib/noentry").constData(), 0755) == 0);
    QCOMPARE(child.status, 0);
    QVERIFY(child.log.contains(QStringLiteral("W:\"文件夹无法读取，已跳过:") + root + "/lib/closed\""));
    QVERIFY(child.log.contains(QStringLiteral("W:\"文件夹无法读取，已跳过:") + root + "/lib/noentry\""));
    QVERIFY(child.log.contains(QStringLiteral("D:\"检索到全文的文献有：1/1\"")));
    QVERIFY(child.log.contains("W:\"%T Closed document\" " + miss));
}

void TestStress::awkwardFileNames()
{
    // Markup characters, quotes and backslashes reach the console and the file literally.
    const QStringList names({"a <b> & c.pdf", "say \"hi\".pdf", "back\\slash.caj", "it's.pdf"});
    QVERIFY(makeFiles(m_root + "/lib", names));
    QVERIFY(writeBytes(m_root + "/refs.enw",
                       "%0 A\n%T a <b> & c\n%T say \"hi\"\n%T back\\slas\n%T it's\n%T <i>none</i>\n"));
    setPaths(m_root + "/refs.enw", m_root + "/lib", m_root + "/out.enw");
    QStringList texts;
    for (const ConsoleLine &line : runInConsole().mid(9))
        texts.append(line.text);
    const QString lib = m_root + "/lib";
    QCOMPARE(texts, QStringList({"OutPut:\"%T a <b> & c\" ------ \"" + lib + "/a <b> & c.pdf\"",
                                 "OutPut:\"%T say \\\"hi\\\"\" ------ \"" + lib + "/say \\\"hi\\\".pdf\"",
                                 "Warning:\"%T back\\\\slas\" ------ \"" + lib + "/back\\\\slash.caj\"",
                                 "OutPut:\"%T it's\" ------ \"" + lib + "/it's.pdf\"",
                                 "Warning:\"%T <i>none</i>\" " + miss,
                                 QStringLiteral("OutPut:\"检索到全文的文献有：4/1\""),
                                 QStringLiteral("OutPut:\"已写入新Enw文件:") + m_root + "/out.enw\"",
                                 QStringLiteral("OutPut:\"需要核对的近似链接：1\""),
                                 "Warning:\"back\\\\slas ------ " + lib + QStringLiteral("/back\\\\slash.caj (编辑距离1)\""),
                                 QStringLiteral("OutPut:\"未找到全文的题录：1\""), "OutPut:\"<i>none</i>\"",
                                 QStringLiteral("OutPut:\"按命名规则链接的题录：0\""),
                                 QStringLiteral("OutPut:\"未被题录链接的全文有：0\"")}));
}

void TestStress::outputOverSource()
{
    const QString source = m_root + "/refs.enw";
    QVERIFY(writeBytes(source, "%0 A\r\n%T Title\r\n%U http://x\r\n"));
    QVERIFY(makeFiles(m_root + "/lib", {"Title.pdf"}));
    QVERIFY(QFile::link(source, m_root + "/alias.enw"));
    const Run result = run(source, m_root + "/lib", m_root + "/alias.enw");
    // Refused before the walk, so no full text is counted.
    QCOMPARE(result.last.mid(result.last.size() - 4),
             QStringList({"W:\"无法写入新Enw文件:" + m_root + QStringLiteral("/alias.enw (与原Enw文件是同一个文件)\""),
                          QStringLiteral("D:\"待检索全文的文献有：1\""), QStringLiteral("D:\"全文数据库共有文献：0\""),
                          QStringLiteral("D:\"检索到全文的文献有：0/1\"")}));
    QCOMPARE(readBytes(source), QByteArray("%0 A\r\n%T Title\r\n%U http://x\r\n"));
}

void TestStress::outputInReadOnlyFolder()
{
    QTemporaryDir shared(QStringLiteral("/tmp/enwlink-stress-XXXXXX"));
    QVERIFY(shared.isValid());
    const QString root = shared.path();
    QVERIFY(makeFiles(root + "/lib", {"Title.pdf"}));
    QVERIFY(writeBytes(root + "/refs.enw", "%0 A\n%T Title\n"));
    QVERIFY(QDir().mkpath(root + "/locked"));
    QVERIFY(writeBytes(root + "/locked/out.enw", "previous"));
    for (const QString &path : {root, root + "/lib", root + "/locked"})
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0755) == 0);
    QVERIFY(::chmod(QFile::encodeName(root + "/locked").constData(), 0555) == 0);

    setPaths(root + "/refs.enw", root + "/lib", root + "/locked/out.enw");
    const ChildResult child = runInChild([this] { start(); return 0; }, true);
    QVERIFY(::chmod(QFile::encodeName(root + "/locked").constData(), 0755) == 0);
    QCOMPARE(child.status, 0);
    // Refused before the walk: no line per full text.
    QCOMPARE(child.log.size(), 6);
    QVERIFY2(child.log.at(2).startsWith(QStringLiteral("W:\"无法写入新Enw文件:") + root + "/locked/out.enw ("),
             qPrintable(child.log.at(2)));
    QCOMPARE(child.log.at(5), QStringLiteral("D:\"检索到全文的文献有：0/1\""));
    QCOMPARE(readBytes(root + "/locked/out.enw"), QByteArray("previous"));
}

void TestStress::outputOnFullDisk()
{
    QByteArray source;
    for (int i = 0; i < 3000; ++i)
        source += "%0 Journal Article\n%T Record " + QByteArray::number(i) + "\n\n";
    QVERIFY(writeBytes(m_root + "/refs.enw", source));
    QVERIFY(makeFiles(m_root + "/lib", {"Record 7.pdf"}));
    QVERIFY(writeBytes(m_root + "/out.enw", "previous"));
    setPaths(m_root + "/refs.enw", m_root + "/lib", m_root + "/out.enw");
    const ChildResult child = runInChild([this] { start(); return 0; }, false, 16 * 1024);
    QCOMPARE(child.status, 0);
    QVERIFY2(child.log.value(child.log.size() - 2).startsWith(QStringLiteral("W:\"无法写入新Enw文件:") + m_root + "/out.enw ("),
             qPrintable(child.log.value(child.log.size() - 2)));
    QCOMPARE(child.log.last(), QStringLiteral("D:\"检索到全文的文献有：0/3000\""));
    QCOMPARE(readBytes(m_root + "/out.enw"), QByteArray("previous"));
    QCOMPARE(QDir(m_root).entryList({"out*"}, QDir::Files | QDir::Hidden), QStringList({"out.enw"}));
}

QTEST_MAIN(TestStress)
#include "tst_stress.moc"
