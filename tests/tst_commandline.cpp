#include "support/testsupport.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "app/commandline.h"

#ifdef Q_OS_UNIX
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

// The program run from a command line: the same run as the window's, its
// lines on standard output and standard error, and an exit status.
class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void runs_data();
    void runs();
    void toolkitOptions_data();
    void toolkitOptions();
#ifdef Q_OS_UNIX
    void streams_data();
    void streams();
    void windowStartsWithItsSettings();
#endif
};

void TestCommandLine::runs_data()
{
    QTest::addColumn<QStringList>("arguments"); // "@" stands for the test's folder
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");  // a line standard output must hold
    QTest::addColumn<QString>("err");  // a line standard error must hold
    QTest::newRow("help") << QStringList({"--help"}) << 0 << "  SOURCE             The ENW file to read." << "";
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
    QTest::newRow("the default distance links a near name") << QStringList({"@/refs.enw", "@/lib", "@/out.enw"}) << 0
                                                            << "" << "Warning:\"%T Missing\" ------ \"@/lib/Missin.pdf\"";
    QTest::newRow("the largest distance") << QStringList({"@/refs.enw", "@/lib", "@/out.enw", "--distance", "10"}) << 0
                                          << QStringLiteral("OutPut:\"检索到全文的文献有：2/2\"") << "";
    QTest::newRow("a distance that is no number") << QStringList({"@/refs.enw", "@/lib", "@/o.enw", "--distance", "x"})
                                                  << 2 << "" << "--distance takes a whole number from 0 to 10.";
    QTest::newRow("written, nothing linked") << QStringList({"@/refs.enw", "@/empty", "@/out.enw"}) << 0
                                             << QStringLiteral("OutPut:\"检索到全文的文献有：0/2\"") << "";
    QTest::newRow("a relative output is named absolute") << QStringList({"refs.enw", "lib", "out.enw"}) << 0
                                                         << QStringLiteral("OutPut:\"已写入新Enw文件:@/out.enw\"") << "";
    QTest::newRow("after --, an option-like path") << QStringList({"@/refs.enw", "@/lib", "--", "-style"}) << 0
                                                   << QStringLiteral("OutPut:\"已写入新Enw文件:@/-style\"") << "";
    QTest::newRow("toolkit options beside the paths") << QStringList({"-style", "fusion", "@/refs.enw", "@/lib", "@/out.enw"})
                                                      << 0 << QStringLiteral("OutPut:\"检索到全文的文献有：2/2\"") << "";
    QTest::newRow("a missing source") << QStringList({"@/gone.enw", "@/lib", "@/out.enw"}) << 1 << ""
                                      << QStringLiteral("Warning:\"@/gone.enw无法打开，请确认文件是否存在或者权限！\"");
    QTest::newRow("a folder as the source") << QStringList({"@/lib", "@/lib", "@/out.enw"}) << 1 << ""
                                            << QStringLiteral("Warning:\"@/lib是一个文件夹，不是enw文件！\"");
    QTest::newRow("a file as the folder") << QStringList({"@/refs.enw", "@/refs.enw", "@/out.enw"}) << 1 << ""
                                          << QStringLiteral("Warning:\"全文数据库所属路径文件夹不存在！:@/refs.enw\"");
    QTest::newRow("a library that moved") << QStringList({"@/moved.enw", "@/lib", "@/out.enw"}) << 0
                                          << QStringLiteral("OutPut:\"已替换失效附件：1\"") << "";
    QTest::newRow("RIS by the suffix") << QStringList({"@/refs.enw", "@/lib", "@/out.RIS"}) << 0
                                       << QStringLiteral("OutPut:\"已写入新RIS文件:@/out.RIS\"") << "";
    QTest::newRow("BibTeX by --format") << QStringList({"@/refs.enw", "@/lib", "@/out.enw", "--format", "bib"}) << 0
                                        << QStringLiteral("OutPut:\"已写入新BibTeX文件:@/out.enw\"") << "";
    QTest::newRow("ENW by --format, whatever the suffix")
        << QStringList({"@/refs.enw", "@/lib", "--format", "ENW", "@/o.bib"}) << 0
        << QStringLiteral("OutPut:\"已写入新Enw文件:@/o.bib\"") << "";
    QTest::newRow("quiet: summary without the lines per file and title")
        << QStringList({"@/refs.enw", "@/lib", "@/out.enw", "--quiet", "--distance", "0"}) << 0
        << QStringLiteral("OutPut:\"未找到全文的题录：1\"") << "";
    QTest::newRow("a report") << QStringList({"@/refs.enw", "@/lib", "@/out.enw", "--report", "@/report.tsv"}) << 0
                              << QStringLiteral("OutPut:\"需要核对的近似链接：1\"")
                              << QStringLiteral("Warning:\"Missing ------ @/lib/Missin.pdf (编辑距离1)\"");
    QTest::newRow("a report that cannot be written")
        << QStringList({"@/refs.enw", "@/lib", "@/out.enw", "--report", "@/no/report.tsv"}) << 3 << "" << "";
    for (const char *kept : {"refs.enw", "out.enw", "lib/Title.pdf"}) {
        QTest::addRow("a report in place of %s", kept)
            << QStringList({"@/refs.enw", "@/lib", "@/out.enw", "--report", QStringLiteral("@/") + kept}) << 3 << ""
            << QStringLiteral("Warning:\"无法写入报告:@/%1 (这是原Enw文件、新文件或一个全文文件)\"").arg(kept);
    }
    QTest::newRow("an unknown format") << QStringList({"@/refs.enw", "@/lib", "@/o.enw", "--format", "xml"}) << 2 << ""
                                       << "--format takes enw, ris or bib.";
#ifndef Q_OS_WIN // a Western code page decodes any byte
    QTest::newRow("lines no encoding decodes") << QStringList({"@/bad.enw", "@/lib", "@/out.enw"}) << 4 << ""
                                               << QStringLiteral("Warning:\"无法解码的行数:1\"");
#endif
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
    QVERIFY(writeBytes(root + "/refs.enw", "%0 A\n%T Title\n\n%0 B\n%T Missing\n")
            && writeBytes(root + "/bad.enw", "%0 A\n%T Title \x81\xFF\n")
            && writeBytes(root + "/moved.enw", "%0 A\n%T Title\n%> /gone/Title.pdf\n")
            && makeFiles(root, {"lib/Title.pdf", "lib/Missin.pdf", "empty/notes.txt"}));
    const QByteArray source = readBytes(root + "/refs.enw");

    QProcess program;
    program.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    program.setWorkingDirectory(root);
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
    // The file the written-path line names is in the format it names.
    for (const QString &line : outLines.filter(QStringLiteral("OutPut:\"已写入新"))) {
        const int colon = line.indexOf(':', 8);
        const QByteArray bytes = readBytes(line.mid(colon + 1).chopped(1));
        const QString format = line.mid(12, colon - 14);
        QVERIFY2(bytes.startsWith(format == "RIS" ? "\xEF\xBB\xBFTY  - GEN" : format == "BibTeX" ? "@misc{" : "\xFF\xFE%"),
                 qPrintable(line));
    }
    if (arguments.contains("--quiet")) {
        QCOMPARE(outLines.filter(QStringLiteral("File :")), QStringList());
        QCOMPARE(outLines.filter(QStringLiteral("%T")) + errLines.filter(QStringLiteral("%T")), QStringList());
    }
    if (arguments.contains(root + "/report.tsv")) {
        QVERIFY(readBytes(root + "/report.tsv").startsWith("\xEF\xBB\xBF"));
        QCOMPARE(QString::fromUtf8(readBytes(root + "/report.tsv").mid(3)).split("\r\n"),
                 QStringList({QStringLiteral("题名\t第一作者\t全文\t链接方式"),
                              QStringLiteral("Title\t\t%1/lib/Title.pdf\t完全一致").arg(root),
                              QStringLiteral("Missing\t\t%1/lib/Missin.pdf\t近似（编辑距离1）").arg(root), "",
                              QStringLiteral("未被题录链接的全文"), "",
                              QStringLiteral("被多条题录链接的全文\t题录数"), ""}));
    }
    const bool written = status == 0 || status == 3 || status == 4;
    const bool named = arguments.contains("out.enw") || arguments.contains(root + "/out.enw");
    QCOMPARE(QFileInfo::exists(root + "/out.enw"), written && named);
    QCOMPARE(readBytes(root + "/lib/Title.pdf"), QByteArray()); // a full text keeps its bytes
}

// `program` and `arguments` as main gets them, ending in a null pointer; the
// bytes live in `storage`.
static std::vector<char *> argumentVector(const QByteArray &program, const QStringList &arguments,
                                          QList<QByteArray> &storage)
{
    storage = {program};
    for (const QString &argument : arguments)
        storage.append(QFile::encodeName(argument));
    std::vector<char *> argv;
    for (QByteArray &argument : storage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    return argv;
}

void TestCommandLine::toolkitOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("commandLine");
    QTest::newRow("none") << QStringList() << false;
    QTest::newRow("a style") << QStringList({"-style", "fusion"}) << false;
    QTest::newRow("options alone and with values")
        << QStringList({"-reverse", "-platform", "offscreen", "-widgetcount", "-qwindowtitle", "x"}) << false;
    QTest::newRow("a path") << QStringList({"refs.enw"}) << true;
    QTest::newRow("a style, then a path") << QStringList({"-style", "fusion", "refs.enw"}) << true;
    QTest::newRow("an option-like path after --") << QStringList({"--", "-style"}) << true;
    QTest::newRow("help") << QStringList({"--help"}) << true;
}

void TestCommandLine::toolkitOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, commandLine);
    QList<QByteArray> bytes;
    std::vector<char *> argv = argumentVector("enwlink", arguments, bytes);
    QCOMPARE(wantsCommandLine(int(argv.size()) - 1, argv.data()), commandLine); // the null pointer aside
}

#ifdef Q_OS_UNIX
void TestCommandLine::streams_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("streams"); // "closed", "broken pipe" or "full"
    QTest::addColumn<int>("status");
    const QStringList run({"refs.enw", "lib", "out.enw"});
    QTest::newRow("both streams closed") << run << "closed" << 0;
    QTest::newRow("a reader that quit") << run << "broken pipe" << 3;
    QTest::newRow("a full disk") << run << "full" << 3;
    QTest::newRow("help on a full disk") << QStringList({"--help"}) << "full" << 3;
    QTest::newRow("version to a reader that quit") << QStringList({"--version"}) << "broken pipe" << 3;
    QTest::newRow("usage on a full disk") << QStringList({"refs.enw"}) << "full" << 2;
    QTest::newRow("an output past the file size limit") << run << "size limit" << 1;
}

void TestCommandLine::streams()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, streams);
    QFETCH(int, status);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = QDir(dir.path()).canonicalPath();
    QVERIFY(writeBytes(root + "/refs.enw", "%0 A\n%T Title\n\n%0 B\n%T Missing\n")
            && makeFiles(root, {"lib/Title.pdf"}));
    QList<QByteArray> bytes;
    std::vector<char *> argv = argumentVector(ENWLINK_PROGRAM, arguments, bytes);
    const QByteArray folder = QFile::encodeName(root);
    int ends[2];
    QVERIFY(::pipe(ends) == 0);
    ::close(ends[0]); // no reader: every write fails with EPIPE
    const pid_t child = ::fork();
    if (child == 0) {
        if (::chdir(folder.constData()) != 0)
            ::_exit(100);
        if (streams == "closed") {
            ::close(1);
            ::close(2);
        } else if (streams == "size limit") { // a write fails as on a full disk
            const rlimit limit{100, 100};
            ::signal(SIGXFSZ, SIG_IGN);
            ::setrlimit(RLIMIT_FSIZE, &limit);
            ::dup2(::open("/dev/null", O_WRONLY), 1);
        } else {
            const int target = streams == "full" ? ::open("/dev/full", O_WRONLY) : ends[1];
            ::dup2(target, 1);
            ::dup2(target, 2);
        }
        ::execv(argv[0], argv.data());
        ::_exit(101);
    }
    ::close(ends[1]);
    int result = 0;
    QCOMPARE(::waitpid(child, &result, 0), child);
    QVERIFY2(WIFEXITED(result), "ended by a signal");
    QCOMPARE(WEXITSTATUS(result), status);
    if (status == 1)
        QVERIFY(!QFileInfo::exists(root + "/out.enw"));
    else if (arguments.size() == 3) { // the output holds the records and nothing else
        QCOMPARE(readBytes(root + "/out.enw"),
                 utf16WithMark("%0 A\r\n%T Title\r\n%> " + root + "/lib/Title.pdf\r\n\r\n%0 B\r\n%T Missing\r\n"));
    }
}
#endif

#ifdef Q_OS_UNIX
void TestCommandLine::windowStartsWithItsSettings()
{
    // The window the program opens takes the user's settings: their picker
    // folder becomes its working folder, which /proc shows from outside.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = QDir(dir.path()).canonicalPath();
    QVERIFY(makeFiles(root, {"picked/a.enw", "config/enwlink/x"}));
    QVERIFY(writeBytes(root + "/config/enwlink/enwlink.conf", "[General]\npickerFolder=" + QFile::encodeName(root)
                                                                  + "/picked\n"));
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", root + "/config");
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(root);
    program.start(QStringLiteral(ENWLINK_PROGRAM), QStringList());
    QVERIFY(program.waitForStarted());
    const QString cwd = QStringLiteral("/proc/%1/cwd").arg(program.processId());
    QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(cwd).canonicalFilePath(), root + "/picked", 20000);
    program.kill();
    program.waitForFinished();
}
#endif

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
