#include "app/logrouting.h"
#include "dialog/enwdialog.h"
#include "support/testsupport.h"

#include <QScrollBar>
#include <QTextEdit>
#include <QtTest>


class TestConsole : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void linePerLevel_data();
    void linePerLevel();
    void messagesShowLiterally_data();
    void messagesShowLiterally();
    void redCarriesOverUntilReset();
    void cursorAtEndAndLastLineVisible();

private:
    QList<ConsoleLine> linesAfterHelp() const;
    EnwDialog *m_dialog = nullptr;
    ConsoleRoute *m_route = nullptr;
};

void TestConsole::init()
{
    m_dialog = new EnwDialog;
    m_dialog->show();
    m_route = new ConsoleRoute(*m_dialog);
}

void TestConsole::cleanup()
{
    delete m_route;
    delete m_dialog;
}

QList<ConsoleLine> TestConsole::linesAfterHelp() const
{
    return consoleLines(consoleOf(*m_dialog)).mid(1);
}

void TestConsole::linePerLevel_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("colour");
    QTest::newRow("debug") << int(QtDebugMsg) << "T" << "OutPut:T" << black;
    QTest::newRow("empty debug") << int(QtDebugMsg) << "" << "OutPut:" << black;
    QTest::newRow("warning") << int(QtWarningMsg) << "T" << "Warning:T" << red;
    QTest::newRow("critical") << int(QtCriticalMsg) << "T" << "Critical:T" << red;
    QTest::newRow("info") << int(QtInfoMsg) << "T" << "T" << red;
    QTest::newRow("long debug line is cut")
        << int(QtDebugMsg) << QString(30000, 'a')
        << "OutPut:" + QString(10000, 'a') + QStringLiteral("……（此行过长，仅显示前10000个字符）") << black;
    QTest::newRow("long warning line is cut")
        << int(QtWarningMsg) << QString(10001, '<')
        << "Warning:" + QString(10000, '<') + QStringLiteral("……（此行过长，仅显示前10000个字符）") << red;
    QTest::newRow("line at the limit is whole") << int(QtDebugMsg) << QString(10000, 'b')
                                                << "OutPut:" + QString(10000, 'b') << black;
    QTest::newRow("chinese warning") << int(QtWarningMsg) << QStringLiteral("数据 挖掘")
                                     << QStringLiteral("Warning:数据 挖掘") << red;
}

void TestConsole::linePerLevel()
{
    QFETCH(int, level);
    QFETCH(QString, message);
    QFETCH(QString, line);
    QFETCH(QString, colour);
    logMessageHandler(QtMsgType(level), QMessageLogContext(), message);
    QCOMPARE(linesAfterHelp(), QList<ConsoleLine>({{line, colour}}));
}

void TestConsole::messagesShowLiterally_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("line");
    QTest::newRow("warning with comparison")
        << int(QtWarningMsg) << "\"p < 0.05 & more\"" << "Warning:\"p < 0.05 & more\"";
    QTest::newRow("warning with tags")
        << int(QtWarningMsg) << "<i>E. coli</i>" << "Warning:<i>E. coli</i>";
    QTest::newRow("warning with blanks") << int(QtWarningMsg) << "a  b   c" << "Warning:a  b   c";
    QTest::newRow("debug with tags") << int(QtDebugMsg) << "<b>bold</b>" << "OutPut:<b>bold</b>";
    QTest::newRow("debug starting with a tag")
        << int(QtDebugMsg) << "<i>E. coli</i> &amp;" << "OutPut:<i>E. coli</i> &amp;";
    QTest::newRow("info with entity") << int(QtInfoMsg) << "&lt;x&gt;" << "&lt;x&gt;";
}

void TestConsole::messagesShowLiterally()
{
    QFETCH(int, level);
    QFETCH(QString, message);
    QFETCH(QString, line);
    logMessageHandler(QtMsgType(level), QMessageLogContext(), message);
    const QList<ConsoleLine> lines = linesAfterHelp();
    QCOMPARE(lines.size(), 1);
    QCOMPARE(lines.first().text, line);
}

void TestConsole::redCarriesOverUntilReset()
{
    qDebug() << "first";
    qWarning() << "careful";
    qDebug() << "still red";
    consoleOf(*m_dialog)->setTextColor(QColor(0, 0, 0, 255));
    qDebug() << "black again";
    QCOMPARE(linesAfterHelp(), QList<ConsoleLine>({{"OutPut:first", black},
                                                   {"Warning:careful", red},
                                                   {"OutPut:still red", red},
                                                   {"OutPut:black again", black}}));
}

void TestConsole::cursorAtEndAndLastLineVisible()
{
    QTextEdit *console = consoleOf(*m_dialog);
    for (int i = 0; i < 200; ++i) {
        qDebug() << i;
        QVERIFY(console->textCursor().atEnd());
        QVERIFY(!console->textCursor().hasSelection());
    }
    QCOMPARE(linesAfterHelp().last().text, QStringLiteral("OutPut:199"));
    QScrollBar *bar = console->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QVERIFY(bar->value() > 0);
    QVERIFY(console->viewport()->rect().contains(console->cursorRect()));
}

QTEST_MAIN(TestConsole)
#include "tst_console.moc"
