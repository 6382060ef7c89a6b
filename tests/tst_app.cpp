#include "app/logrouting.h"
#include "dialog/enwdialog.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QStyle>
#include <QTextEdit>
#include <QtTest>

#include <functional>

// Started with "-style windows" on the command line (see CMakeLists.txt).
class TestApp : public QObject
{
    Q_OBJECT

private slots:
    void fusionWinsOverStyleOption();
    void closingDuringRunStopsIt();
};

// Runs the dialog's event loop and calls `act` once the window shows.
static int runAndAct(EnwDialog &dialog, const std::function<void()> &act)
{
    QTimer waiter;
    waiter.setInterval(10);
    QObject::connect(&waiter, &QTimer::timeout, &dialog, [&] {
        if (!dialog.isVisible() || !QTest::qWaitForWindowExposed(&dialog, 0))
            return;
        waiter.stop();
        act();
    });
    waiter.start();
    return runLoggingDialog(dialog);
}

void TestApp::fusionWinsOverStyleOption()
{
    QCOMPARE(QApplication::style()->objectName(), QStringLiteral("windows"));

    EnwDialog dialog;
    QString styleWhileShown;
    bool visibleWhileShown = false;
    const int status = runAndAct(dialog, [&] {
        styleWhileShown = QApplication::style()->objectName();
        visibleWhileShown = true;
        qDebug() << "routed";
        qWarning() << "warned";
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });

    QCOMPARE(status, 0);
    QCOMPARE(styleWhileShown, QStringLiteral("fusion"));
    QVERIFY(visibleWhileShown);
    // Once the loop has ended the dialog no longer receives messages.
    QCOMPARE(logDialog, nullptr);
    qDebug() << "after the loop";
    // (The offscreen platform may log a line of its own when the window is shown.)
    const QList<ConsoleLine> lines = consoleLines(consoleOf(dialog));
    QCOMPARE(lines.size() >= 3, true);
    QCOMPARE(lines.at(lines.size() - 2).text, QStringLiteral("OutPut:routed"));
    QCOMPARE(lines.last(), (ConsoleLine{"Warning:warned", "#ff0000"}));
}

void TestApp::closingDuringRunStopsIt()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QByteArray source;
    for (int i = 0; i < 300; ++i) {
        source += "%0 Journal Article\n%T Record " + QByteArray::number(i) + "\n\n";
        QVERIFY(makeFiles(dir.path() + "/lib", {QStringLiteral("Record %1.pdf").arg(i)}));
    }
    QVERIFY(writeBytes(dir.path() + "/refs.enw", source) && writeBytes(dir.path() + "/out.enw", "last run's links"));

    EnwDialog dialog;
    setPaths(dialog, dir.path() + "/refs.enw", dir.path() + "/lib", dir.path() + "/out.enw");
    bool closedDuringRun = false;
    const int status = runAndAct(dialog, [&] {
        // Fires inside the run's first log line.
        QTimer::singleShot(0, &dialog, [&] {
            dialog.close();
            closedDuringRun = !dialog.isVisible();
        });
        clickStart(dialog);
    });
    QCOMPARE(status, 0);

    QVERIFY(closedDuringRun);
    QCOMPARE(readBytes(dir.path() + "/out.enw"), QByteArray("last run's links"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"out.enw", "refs.enw"}));
    const auto lines = consoleLines(consoleOf(dialog));
    QCOMPARE(lines.at(lines.size() - 2).text, QStringLiteral("Warning:\"已停止，未写入新Enw文件:") + dir.path() + "/out.enw\"");
    QCOMPARE(lines.last().text, QStringLiteral("OutPut:\"检索到全文的文献有：0/300\""));
}

QTEST_MAIN(TestApp)
#include "tst_app.moc"
