#include "engine/fulltextcollector.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QProcess>
#include <QtTest>

#include <cstdio>
#ifdef Q_OS_UNIX
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

class TestCollector : public QObject
{
    Q_OBJECT

private slots:
    void collects_data();
    void collects();
    void logsEachFileQuoted();
    void missingFolderAddsNothing();
    void linkLoopEnds();
    void linkedFolderCollectedOnce();
    void repeatedCallsAppend();
    void undecodableNameIsReported();
    void beyondThePathLimitIsReported();
};

static QStringList relativePaths(const QString &root, const QFileInfoList &files)
{
    QStringList paths;
    for (const QFileInfo &file : files)
        paths.append(QDir(root).relativeFilePath(file.absoluteFilePath()));
    return paths;
}

void TestCollector::collects_data()
{
    QTest::addColumn<QStringList>("tree");
    QTest::addColumn<QStringList>("collected");
    QTest::newRow("name order ignores case, folders interleaved")
        << QStringList({"a.pdf", "B/c.pdf", "d.pdf"}) << QStringList({"a.pdf", "B/c.pdf", "d.pdf"});
    QTest::newRow("suffix in any case")
        << QStringList({"1.PDF", "2.Pdf", "3.CAJ", "4.caj", "5.cAj"})
        << QStringList({"1.PDF", "2.Pdf", "3.CAJ", "4.caj", "5.cAj"});
    QTest::newRow("only the last suffix counts")
        << QStringList({"x.pdf.bak", "x.tar.pdf", "pdf", "caj", "notes.txt", ".pdf.x"})
        << QStringList({"x.tar.pdf"});
#ifndef Q_OS_WIN // one file there
    QTest::newRow("names that differ only in letter case")
        << QStringList({"b.pdf", "B.pdf", "a.pdf"}) << QStringList({"a.pdf", "B.pdf", "b.pdf"});
#endif
    QTest::newRow("the database readers' formats")
        << QStringList({"a.nh", "b.KDH", "c.Nh", "d.kd", "e.nhx", "f.h", "nh"}) << QStringList({"a.nh", "b.KDH", "c.Nh"});
    QTest::newRow("folder named like a full text is walked")
        << QStringList({"y.pdf/inner.caj", "z.pdf"}) << QStringList({"y.pdf/inner.caj", "z.pdf"});
    QTest::newRow("hidden files and folders are skipped")
        << QStringList({".hidden.pdf", ".secret/a.pdf", "shown/.b.pdf", "shown/c.pdf"})
        << QStringList({"shown/c.pdf"});
    QTest::newRow("depth-first pre-order")
        << QStringList({"m/z/deep.pdf", "m/a.pdf", "b.caj", "M2/x.pdf", "n.pdf", "A/q.pdf"})
        << QStringList({"A/q.pdf", "b.caj", "m/a.pdf", "m/z/deep.pdf", "M2/x.pdf", "n.pdf"});
    QTest::newRow("empty tree") << QStringList({"empty/readme.txt"}) << QStringList();
}

void TestCollector::collects()
{
    QFETCH(QStringList, tree);
    QFETCH(QStringList, collected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(makeFiles(dir.path(), tree));
    QFileInfoList files;
    LogCapture capture;
    collectFullTexts(dir.path(), files);
    QCOMPARE(relativePaths(dir.path(), files), collected);
    QCOMPARE(capture.messages.size(), collected.size());
}

void TestCollector::logsEachFileQuoted()
{
    UNIX_ONLY("file names with quotes, backslashes and line breaks");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(makeFiles(dir.path(), {"sub/say \"hi\".pdf", "back\\slash.caj", "数据 挖掘.pdf",
                                   "Graph\n\ntheory.pdf", "new\rline/a.pdf"}));
    const QString root = QDir(dir.path()).canonicalPath();
    QFileInfoList files;
    LogCapture capture;
    collectFullTexts(root, files, [&capture] { capture.reset(); });
    QCOMPARE(files.size(), 3);
    QCOMPARE(capture.warningsWithReset, 2);
    QCOMPARE(capture.lines(),
             QStringList({"D:File : \"" + root + "/back\\\\slash.caj\"",
                          QStringLiteral("W:\"文件名含有换行符，已跳过:") + root + "/Graph\\n\\ntheory.pdf\"",
                          QStringLiteral("W:\"文件名含有换行符，已跳过:") + root + "/new\\rline/a.pdf\"",
                          "D:File : \"" + root + "/sub/say \\\"hi\\\".pdf\"",
                          QStringLiteral("D:File : \"") + root + QStringLiteral("/数据 挖掘.pdf\"")}));
}

void TestCollector::missingFolderAddsNothing()
{
    QFileInfoList files;
    LogCapture capture;
    collectFullTexts(QStringLiteral("/no/such/folder"), files);
    QVERIFY(files.isEmpty());
    QVERIFY(capture.messages.isEmpty());
}

void TestCollector::linkLoopEnds()
{
    UNIX_ONLY("symbolic links");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(makeFiles(dir.path(), {"a/b/c.pdf", "z.pdf"}));
    QVERIFY(QFile::link(dir.path() + "/a", dir.path() + "/a/b/up"));
    QVERIFY(QFile::link(dir.path(), dir.path() + "/a/root"));
    QVERIFY(QFile::link(dir.path() + "/missing", dir.path() + "/a/broken"));
    QFileInfoList files;
    LogCapture capture;
    collectFullTexts(dir.path(), files);
    QCOMPARE(relativePaths(dir.path(), files), QStringList({"a/b/c.pdf", "z.pdf"}));
}

void TestCollector::linkedFolderCollectedOnce()
{
    UNIX_ONLY("symbolic links");
    // Each level links twice to the next: walked per path, the last folder
    // would be listed 2^levels times.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(makeFiles(dir.path(), {"real/x.pdf", "l0/.k", "l1/.k", "l2/.k", "l3/end.pdf"}));
    QVERIFY(QFile::link(dir.path() + "/real", dir.path() + "/alias"));
    QVERIFY(QFile::link(dir.path() + "/real/x.pdf", dir.path() + "/y.pdf"));
    for (int level = 0; level < 3; ++level) {
        const QString next = dir.path() + QStringLiteral("/l%1").arg(level + 1);
        QVERIFY(QFile::link(next, dir.path() + QStringLiteral("/l%1/a").arg(level)));
        QVERIFY(QFile::link(next, dir.path() + QStringLiteral("/l%1/b").arg(level)));
    }
    QFileInfoList files;
    LogCapture capture;
    collectFullTexts(dir.path(), files);
    QCOMPARE(relativePaths(dir.path(), files),
             QStringList({"alias/x.pdf", "l0/a/a/a/end.pdf", "y.pdf"}));
}

void TestCollector::repeatedCallsAppend()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(makeFiles(dir.path(), {"one.pdf"}));
    QFileInfoList files;
    LogCapture capture;
    collectFullTexts(dir.path(), files);
    collectFullTexts(dir.path(), files);
    QCOMPARE(relativePaths(dir.path(), files), QStringList({"one.pdf", "one.pdf"}));
}

void TestCollector::undecodableNameIsReported()
{
    UNIX_ONLY("file names that are raw bytes");
#ifdef Q_OS_UNIX
    // A Linux file name that is not valid UTF-8 cannot be written into the
    // output as a path that leads back to the file.
    const LocaleCodec codec("UTF-8");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = QDir(dir.path()).canonicalPath();
    QVERIFY(makeFiles(root, {"a.pdf", "z.pdf"}));
    // A hidden one is skipped like any hidden entry, without a word.
    const QByteArray raw = QFile::encodeName(root) + "/m\xFF\xFEname.pdf";
    const QByteArray hidden = QFile::encodeName(root) + "/.\xFF.pdf";
    const QByteArray high = QFile::encodeName(root) + "/n\x80.pdf"; // 0x80 is no ASCII
    for (const QByteArray &name : {raw, hidden, high}) {
        FILE *handle = std::fopen(name.constData(), "w");
        QVERIFY(handle);
        std::fclose(handle);
    }
    struct Unlink { QByteArray path; ~Unlink() { ::unlink(path.constData()); } } unlinkLater{raw}, unlinkHidden{hidden}, unlinkHigh{high};

    QFileInfoList files;
    LogCapture capture;
    collectFullTexts(root, files, [&capture] { capture.reset(); });
    QCOMPARE(relativePaths(root, files), QStringList({"a.pdf", "z.pdf"}));
    QCOMPARE(capture.lines(), QStringList({QStringLiteral("W:\"文件名编码无法识别，已跳过:") + root
                                               + QStringLiteral("/m\uFFFD\uFFFDname.pdf\""),
                                           QStringLiteral("W:\"文件名编码无法识别，已跳过:") + root
                                               + QStringLiteral("/n\uFFFD.pdf\""),
                                           "D:File : \"" + root + "/a.pdf\"",
                                           "D:File : \"" + root + "/z.pdf\""}));
    QCOMPARE(capture.warningsWithReset, 2);
#endif
}

void TestCollector::beyondThePathLimitIsReported()
{
    UNIX_ONLY("the system's path limit");
#ifdef Q_OS_UNIX
    // Before, a folder past PATH_MAX was left out without a word.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = QDir(dir.path()).canonicalPath();
    QVERIFY(makeFiles(root, {"a.pdf"}));
    const QString level(200, QLatin1Char('d'));
    int folder = ::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY);
    QString reachable = root;
    while (reachable.size() + 1 + level.size() < PATH_MAX) { // built through descriptors: paths that long fail
        QVERIFY(::mkdirat(folder, level.toLatin1().constData(), 0700) == 0);
        const int next = ::openat(folder, level.toLatin1().constData(), O_RDONLY | O_DIRECTORY);
        ::close(folder);
        folder = next;
        reachable += "/" + level;
    }
    const QString longName = QString(PATH_MAX - reachable.size(), QLatin1Char('x')) + ".pdf"; // crosses the limit
    QVERIFY(longName.size() < 255);
    QVERIFY(::mkdirat(folder, level.toLatin1().constData(), 0700) == 0);
    const int last = ::openat(folder, level.toLatin1().constData(), O_RDONLY | O_DIRECTORY);
    QVERIFY(last >= 0);
    ::close(::openat(last, "deep.pdf", O_CREAT | O_WRONLY, 0600));
    ::close(::openat(folder, longName.toLatin1().constData(), O_CREAT | O_WRONLY, 0600));
    ::close(last);
    ::close(folder);

    QFileInfoList files;
    LogCapture capture;
    collectFullTexts(root, files, [&capture] { capture.reset(); });
    QCOMPARE(relativePaths(root, files), QStringList({"a.pdf"}));
    QCOMPARE(capture.lines(), QStringList({"D:File : \"" + root + "/a.pdf\"",
                                           QStringLiteral("W:\"文件夹无法读取，已跳过:") + reachable + "/" + level
                                               + QStringLiteral(" (路径过长)\""),
                                           QStringLiteral("W:\"全文路径过长，已跳过:") + reachable + "/" + longName + "\""}));
    QCOMPARE(capture.warningsWithReset, 2);
    // QTemporaryDir cannot remove a tree this deep by its paths.
    QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), root});
#endif
}

QTEST_GUILESS_MAIN(TestCollector)
#include "tst_collector.moc"
