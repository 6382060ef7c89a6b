#include "app/logrouting.h"
#include "dialog/enwdialog.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QStyle>
#include <QTextEdit>
#include <QtTest>

// Started with "-style windows" on the command line (see CMakeLists.txt).
class TestApp : public QObject
{
    Q_OBJECT

private slots:
    void fusionWinsOverStyleOption();
};

void TestApp::fusionWinsOverStyleOption()
{
    QCOMPARE(QApplication::style()->objectName(), QStringLiteral("windows"));

    EnwDialog dialog;
    QString styleWhileShown;
    bool visibleWhileShown = false;
    QTimer waiter;
    waiter.setInterval(10);
    connect(&waiter, &QTimer::timeout, &dialog, [&] {
        if (!dialog.isVisible() || !QTest::qWaitForWindowExposed(&dialog, 0))
            return;
        waiter.stop();
        styleWhileShown = QApplication::style()->objectName();
        visibleWhileShown = true;
        qDebug() << "routed";
        qWarning() << "warned";
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    waiter.start();
    const int status = runLoggingDialog(dialog);

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

QTEST_MAIN(TestApp)
#include "tst_app.moc"
