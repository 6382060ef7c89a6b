#include "support/testsupport.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

// The program run from a command line: the same run as the window's, its
// lines on standard output and standard error, and an exit status.
class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void runs_data();
    void runs();
};

void TestCommandLine::runs_data()
{
    QTest::addColumn<QStringList>("arguments"); // "@" stands for the test's folder
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");  // a line standard output must hold
    QTest::addColumn<QString>("err");  // a line standard error must hold
    QTest::newRow("help") << QStringList({"--help"}) << 0 << "  SOURCE          The ENW file to read." << "";
    QTest::newRow("version") << QStringList({"--version"}) << 0 << "enwlink " ENWLINK_VERSION << "";
    QTest::newRow("a run") << QStringList({"@/refs.enw", "@/lib", "@/out.enw", "--distance", "0"}) << 0
                           << QStringLiteral("OutPut:\"已写入新Enw文件:@/out.enw\"")
                           << QStringLiteral("Warning:\"%T Missing\" \"未找到全文，1、全文不存在，2、或者文献标题与对应文件名不完全一致!\"");
    QTest::newRow("no record to read") << QStringList({"@/lib/Title.pdf", "@/lib", "@/out.enw"}) << 1
                                       << QStringLiteral("OutPut:\"检索到全文的文献有：0/0\"")
                                       << QStringLiteral("Warning:\"没有读到题录，未写入新Enw文件:@/out.enw\"");
    QTest::newRow("an output refused") << QStringList({"@/refs.enw", "@/lib", "@/refs.enw"}) << 1 << ""
                                       << QStringLiteral("Warning:\"无法写入新Enw文件:@/refs.enw (与原Enw文件是同一个文件)\"");
    QTest::newRow("two paths") << QStringList({"@/refs.enw", "@/lib"}) << 2 << ""
                               << "Three paths are needed: SOURCE FOLDER OUTPUT.";
    QTest::newRow("a distance beyond 10") << QStringList({"@/refs.enw", "@/lib", "@/o.enw", "--distance", "11"}) << 2
                                          << "" << "--distance takes a whole number from 0 to 10.";
    QTest::newRow("an unknown option") << QStringList({"--fast"}) << 2 << "" << "Unknown option 'fast'.";
}

void TestCommandLine::runs()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = QDir(dir.path()).canonicalPath();
    QVERIFY(writeBytes(root + "/refs.enw", "%0 A\n%T Title\n\n%0 B\n%T Missing\n") && makeFiles(root, {"lib/Title.pdf"}));
    const QByteArray source = readBytes(root + "/refs.enw");

    QProcess program;
    program.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    program.start(QStringLiteral(ENWLINK_PROGRAM), arguments.replaceInStrings("@", root));
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), status);
    // Written to a pipe in the local encoding, with the platform's line ends:
    // what that encoding can spell of each line is what comes back.
    const QRegularExpression lineEnd(QStringLiteral("\r?\n"));
    auto spelled = [](const QString &text) { return QString::fromLocal8Bit(text.toLocal8Bit()); };
    const QStringList outLines = QString::fromLocal8Bit(program.readAllStandardOutput()).split(lineEnd);
    const QStringList errLines = QString::fromLocal8Bit(program.readAllStandardError()).split(lineEnd);
    if (!out.isEmpty())
        QVERIFY2(outLines.contains(spelled(out.replace("@", root))), qPrintable(outLines.join('\n')));
    if (!err.isEmpty())
        QVERIFY2(errLines.contains(spelled(err.replace("@", root))), qPrintable(errLines.join('\n')));
    // Ordinary lines never go to standard error, warnings never to standard output.
    QVERIFY(errLines.filter(QStringLiteral("OutPut:")).isEmpty());
    QVERIFY(outLines.filter(QStringLiteral("Warning:")).isEmpty());
    QVERIFY(!errLines.join(QString()).contains(QChar(0x1B))); // no colour where it is no terminal
    QCOMPARE(readBytes(root + "/refs.enw"), source);
    QCOMPARE(QFileInfo::exists(root + "/out.enw"), status == 0 && arguments.contains(root + "/out.enw"));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
