#include "app/logrouting.h"
#include "dialog/enwdialog.h"
#include "support/testsupport.h"

#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QTextEdit>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

static const QString miss = QStringLiteral("\"未找到全文，1、全文不存在，2、或者文献标题与对应文件名不完全一致!\"");

class TestBatchRun : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void completeRun();
    void emptyInputs_data();
    void emptyInputs();
    void outputPathEmpty();
    void refusedOutputs_data();
    void refusedOutputs();
    void settingsTakenAtTheStart();
    void claimsReport();
    void longListsAreCut();
    void rerunThroughALinkedFolder();
    void missingSource();
    void missingFolder();
    void secondRunClearsTheFirst();
    void runAfterRedLineStartsBlack();
    void clickDuringRunStopsIt();
    void exampleLibrary();
    void realExports_data();
    void realExports();

private:
    void setPaths(const QString &source, const QString &folder, const QString &output);
    void start();
    QList<ConsoleLine> console() const;
    QString makeLibrary();

    QTemporaryDir *m_dir = nullptr;
    QString m_root;
    EnwDialog *m_dialog = nullptr;
    ConsoleRoute *m_route = nullptr;
};

void TestBatchRun::init()
{
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    m_root = QDir(m_dir->path()).canonicalPath();
    m_dialog = new EnwDialog;
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog));
    m_route = new ConsoleRoute(*m_dialog);
}

void TestBatchRun::cleanup()
{
    delete m_route;
    m_route = nullptr;
    delete m_dialog;
    delete m_dir;
}

void TestBatchRun::setPaths(const QString &source, const QString &folder, const QString &output)
{
    ::setPaths(*m_dialog, source, folder, output);
}

void TestBatchRun::start()
{
    clickStart(*m_dialog);
}

QList<ConsoleLine> TestBatchRun::console() const
{
    return consoleLines(consoleOf(*m_dialog));
}

// A source with three records and a library with an exact and a near file.
QString TestBatchRun::makeLibrary()
{
    const QString source = m_root + "/refs.enw";
    writeBytes(source, QByteArray("\xEF\xBB\xBF") + QStringLiteral("%0 Journal Article\r\n%T Deep learning\r\n%U http://a\r\n\r\n"
                                      "%0 Thesis\r\n%T 数据挖掘方法\r\n\r\n%0 Book\r\n%T Missing book\r\n")
                           .toUtf8());
    makeFiles(m_root + "/lib", {"A/Deep learning.pdf", QStringLiteral("数据挖掘方.caj"), "notes.txt"});
    return source;
}

// Removes a folder while the locale that named its files is still in force.
struct RemoveFolder
{
    QString path;
    ~RemoveFolder() { QDir(path).removeRecursively(); }
};

void TestBatchRun::completeRun()
{
    // Under GBK one Chinese character more or less is within the default threshold.
    const LocaleCodec codec("GBK");
    const RemoveFolder library{m_root + "/lib"};
    const QString source = makeLibrary();
    const QString output = m_root + "/out.enw";
    setPaths(source, m_root + "/lib", output);
    start();
    const QString lib = m_root + "/lib";
    QCOMPARE(console(),
             QList<ConsoleLine>({helpLine(),
                                 {"OutPut:\"enw文件路径:" + source + "\"", black},
                                 {"OutPut:\"全文数据库路径:" + lib + "\"", black},
                                 {"OutPut:File : \"" + lib + "/A/Deep learning.pdf\"", black},
                                 {"OutPut:File : \"" + lib + "/数据挖掘方.caj\"", black},
                                 {"OutPut:\"待检索全文的文献有：3\"", black},
                                 {"OutPut:\"全文数据库共有文献：2\"", black},
                                 {"OutPut:\"%T Deep learning\" ------ \"" + lib + "/A/Deep learning.pdf\"", black},
                                 {"Warning:\"%T 数据挖掘方法\" ------ \"" + lib + "/数据挖掘方.caj\"", red},
                                 {"Warning:\"%T Missing book\" " + miss, red},
                                 {"OutPut:\"检索到全文的文献有：2/3\"", black},
                                 {QStringLiteral("OutPut:\"已写入新Enw文件:") + output + "\"", black},
                                 {QStringLiteral("OutPut:\"需要核对的近似链接：1\""), black},
                                 {QStringLiteral("Warning:\"数据挖掘方法 ------ ") + lib
                                      + QStringLiteral("/数据挖掘方.caj (编辑距离2)\""), red},
                                 {QStringLiteral("OutPut:\"未找到全文的题录：1\""), black},
                                 {"OutPut:\"Missing book\"", black},
                                 {QStringLiteral("OutPut:\"按命名规则链接的题录：0\""), black},
                                 {QStringLiteral("OutPut:\"未被题录链接的全文有：0\""), black}}));
    QCOMPARE(readBytes(output),
             utf16WithMark("%0 Journal Article\r\n%T Deep learning\r\n%> " + lib + "/A/Deep learning.pdf\r\n\r\n"
                           "%0 Thesis\r\n%T 数据挖掘方法\r\n%> " + lib + "/数据挖掘方.caj\r\n\r\n"
                           "%0 Book\r\n%T Missing book\r\n"));
}

void TestBatchRun::emptyInputs_data()
{
    QTest::addColumn<bool>("withSource");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("both inputs empty") << false << QStringList({"Warning:\"enw文件不存在!\""});
    QTest::newRow("folder empty") << true
                                  << QStringList({"OutPut:\"enw文件路径:@\"",
                                                  "Warning:\"全文数据库所属路径文件夹不存在！\""});
}

void TestBatchRun::emptyInputs()
{
    QFETCH(bool, withSource);
    QFETCH(QStringList, texts);
    const QString source = m_root + "/refs.enw";
    const QString output = m_root + "/out.enw";
    setPaths(withSource ? source : QString(), QString(), output);
    start();
    QList<ConsoleLine> expected({helpLine()});
    for (const QString &text : texts)
        expected.append({QString(text).replace("@", source), text.startsWith("W") ? red : black});
    QCOMPARE(console(), expected);
    QVERIFY(!QFileInfo::exists(output));
}

void TestBatchRun::outputPathEmpty()
{
    const QString source = makeLibrary();
    setPaths(source, m_root + "/lib", QString());
    const QStringList before = QDir::current().entryList(QDir::AllEntries | QDir::Hidden);
    start();
    const QList<ConsoleLine> lines = console();
    // Refused before the walk: no line per full text.
    QCOMPARE(lines.size(), 7);
    QCOMPARE(lines.at(3), (ConsoleLine{"Warning:\"无法写入新Enw文件: (No file name specified)\"", red}));
    QCOMPARE(lines.at(5), (ConsoleLine{"OutPut:\"全文数据库共有文献：0\"", black}));
    QCOMPARE(lines.at(6), (ConsoleLine{"OutPut:\"检索到全文的文献有：0/3\"", black}));
    QCOMPARE(QDir::current().entryList(QDir::AllEntries | QDir::Hidden), before);
}

void TestBatchRun::refusedOutputs_data()
{
    QTest::addColumn<QString>("output"); // below the test's folder
    QTest::addColumn<QString>("reason");
    QTest::newRow("the source") << "refs.enw" << QStringLiteral("与原Enw文件是同一个文件");
    QTest::newRow("the target of a linked full text") << "store/real.pdf" << QStringLiteral("这是一个全文文件");
    QTest::newRow("a hard link of a full text") << "store/hard.bin" << QStringLiteral("这是一个全文文件");
    QTest::newRow("a link, under another name, to a full text") << "store/out.enw" << QStringLiteral("这是一个全文文件");
}

void TestBatchRun::refusedOutputs()
{
    QFETCH(QString, output);
    QFETCH(QString, reason);
    if (output.startsWith("store/"))
        UNIX_ONLY("symbolic and hard links");
    const QString source = makeLibrary();
#ifdef Q_OS_UNIX
    QVERIFY(makeFiles(m_root + "/store", {"real.pdf"}) && writeBytes(m_root + "/store/real.pdf", "%PDF"));
    QVERIFY(QFile::link(m_root + "/store/real.pdf", m_root + "/lib/Linked title.pdf"));
    QVERIFY(::link(QFile::encodeName(m_root + "/lib/A/Deep learning.pdf").constData(),
                   QFile::encodeName(m_root + "/store/hard.bin").constData()) == 0);
    QVERIFY(QFile::link(m_root + "/lib/A/Deep learning.pdf", m_root + "/store/out.enw"));
#endif
    const QString path = m_root + "/" + output;
    const QByteArray before = readBytes(path);
    setPaths(source, m_root + "/lib", path);
    start();
    QVERIFY(console().contains(ConsoleLine{"Warning:\"无法写入新Enw文件:" + path + " (" + reason + ")\"", red}));
    // The source is refused before the walk; a full text only the walk finds.
    QCOMPARE(console().at(3).text.startsWith("Warning:"), output == "refs.enw");
    QCOMPARE(readBytes(path), before);
    QCOMPARE(readBytes(m_root + "/lib/A/Deep learning.pdf"), QByteArray()); // the full text keeps its bytes
}

void TestBatchRun::settingsTakenAtTheStart()
{
    // The window handles events during a run; what the user changes then
    // applies to the next run, not to this one.
    const LocaleCodec codec("GBK");
    const RemoveFolder library{m_root + "/lib"};
    const QString source = makeLibrary();
    const QByteArray before = readBytes(source);
    setPaths(source, m_root + "/lib", source);
    auto *browser = m_dialog->findChild<QTextEdit *>(QStringLiteral("textBrowser"));
    const QMetaObject::Connection change = connect(browser, &QTextEdit::textChanged, [this] {
        m_dialog->findChild<QSpinBox *>(QStringLiteral("spinBoxEditDis"))->setValue(0);
        auto *sources = m_dialog->findChild<QComboBox *>(QStringLiteral("comboBoxEnw"));
        if (sources->count() == 1) { // another source picked
            sources->addItem(m_root + "/other.enw");
            sources->setCurrentIndex(1);
        }
    });
    start();
    disconnect(change);
    QVERIFY(console().contains(ConsoleLine{QStringLiteral("Warning:\"无法写入新Enw文件:") + source
                                               + QStringLiteral(" (与原Enw文件是同一个文件)\""), red}));
    QCOMPARE(readBytes(source), before);
    setPaths(source, m_root + "/lib", m_root + "/out.enw");
    m_dialog->findChild<QSpinBox *>(QStringLiteral("spinBoxEditDis"))->setValue(2);
    const QMetaObject::Connection zero = connect(browser, &QTextEdit::textChanged, [this] {
        m_dialog->findChild<QSpinBox *>(QStringLiteral("spinBoxEditDis"))->setValue(0);
    });
    start();
    disconnect(zero);
    QVERIFY(readBytes(m_root + "/out.enw").contains(utf16WithMark(QStringLiteral("数据挖掘方.caj")).mid(2)));
    m_dialog->findChild<QSpinBox *>(QStringLiteral("spinBoxEditDis"))->setValue(0); // chosen before the run
    start();
    QVERIFY(!readBytes(m_root + "/out.enw").contains(utf16WithMark(QStringLiteral("数据挖掘方.caj")).mid(2)));
}

void TestBatchRun::claimsReport()
{
    // Two records claim one file (one of them by its letter case), and two
    // files are claimed by none: listed in list order after the file written.
    QVERIFY(writeBytes(m_root + "/refs.enw", "%0 A\n%T Deep learning\n\n%0 B\n%T DEEP LEARNING\n%T Deep learning\n"));
    QVERIFY(makeFiles(m_root + "/lib", {"A/Deep learning.pdf", "B/other.pdf", "c.caj"}));
    setPaths(m_root + "/refs.enw", m_root + "/lib", m_root + "/out.enw");
    start();
    const QString lib = m_root + "/lib";
    QCOMPARE(console().mid(console().size() - 9),
             QList<ConsoleLine>({{"OutPut:\"检索到全文的文献有：3/2\"", black},
                                 {QStringLiteral("OutPut:\"已写入新Enw文件:") + m_root + "/out.enw\"", black},
                                 {QStringLiteral("OutPut:\"需要核对的近似链接：0\""), black},
                                 {QStringLiteral("OutPut:\"未找到全文的题录：0\""), black},
                                 {QStringLiteral("OutPut:\"按命名规则链接的题录：1\""), black},
                                 {QStringLiteral("OutPut:\"未被题录链接的全文有：2\""), black},
                                 {"OutPut:File : \"" + lib + "/B/other.pdf\"", black},
                                 {"OutPut:File : \"" + lib + "/c.caj\"", black},
                                 {QStringLiteral("Warning:\"被多条题录链接的全文：") + lib + "/A/Deep learning.pdf (2)\"", red}}));
}

void TestBatchRun::longListsAreCut()
{
    // 101 titles without a file and 101 files without a title: the window
    // lists a hundred of each and counts the one more.
    QByteArray source;
    QStringList files;
    for (int i = 0; i < 101; ++i) {
        source += "%0 A\n%T Missing " + QByteArray::number(i) + "\n\n";
        files.append(QStringLiteral("Other %1.pdf").arg(i, 3, 10, QLatin1Char('0')));
    }
    QVERIFY(writeBytes(m_root + "/refs.enw", source) && makeFiles(m_root + "/lib", files));
    setPaths(m_root + "/refs.enw", m_root + "/lib", m_root + "/out.enw");
    m_dialog->findChild<QSpinBox *>(QStringLiteral("spinBoxEditDis"))->setValue(0);
    start();
    QStringList lines;
    for (const ConsoleLine &line : console())
        lines.append(line.text);
    const int missing = int(lines.indexOf(QStringLiteral("OutPut:\"未找到全文的题录：101\"")));
    QVERIFY(missing > 0);
    QCOMPARE(lines.at(missing + 100), "OutPut:\"Missing 99\"");
    QCOMPARE(lines.at(missing + 101), QStringLiteral("OutPut:\"另有1条未列出\""));
    QCOMPARE(lines.at(missing + 102), QStringLiteral("OutPut:\"按命名规则链接的题录：0\""));
    QCOMPARE(lines.at(missing + 103), QStringLiteral("OutPut:\"未被题录链接的全文有：101\""));
    QCOMPARE(lines.at(missing + 203), "OutPut:File : \"" + m_root + "/lib/Other 099.pdf\"");
    QCOMPARE(lines.mid(missing + 204), QStringList(QStringLiteral("OutPut:\"另有1条未列出\"")));
}

void TestBatchRun::rerunThroughALinkedFolder()
{
    UNIX_ONLY("symbolic links");
    // The earlier output named the file by its real folder; this run walks a link to it.
    QVERIFY(makeFiles(m_root + "/lib", {"A/Deep learning.pdf"}) && QFile::link(m_root + "/lib", m_root + "/alias"));
    const QByteArray source = "%0 A\n%T Deep learning\n%> " + (m_root + "/lib/A/Deep learning.pdf").toUtf8() + "\n";
    QVERIFY(writeBytes(m_root + "/refs.enw", source));
    setPaths(m_root + "/refs.enw", m_root + "/alias", m_root + "/out.enw");
    start();
    QCOMPARE(readBytes(m_root + "/out.enw"),
             utf16WithMark("%0 A\r\n%T Deep learning\r\n%> " + m_root + "/lib/A/Deep learning.pdf\r\n"));
    QVERIFY(!console().contains(ConsoleLine{QStringLiteral("Warning:\"附件已不存在:") + m_root + "/lib/A/Deep learning.pdf (Deep learning)\"", red}));
}

void TestBatchRun::missingSource()
{
    makeLibrary();
    const QString source = m_root + "/gone.enw";
    const QString output = m_root + "/out.enw";
    setPaths(source, m_root + "/lib", output);
    start();
    const QString lib = m_root + "/lib";
    QCOMPARE(console(),
             QList<ConsoleLine>({helpLine(),
                                 {"OutPut:\"enw文件路径:" + source + "\"", black},
                                 {"OutPut:\"全文数据库路径:" + lib + "\"", black},
                                 {"Warning:\"" + source + "无法打开，请确认文件是否存在或者权限！\"", red},
                                 {"OutPut:\"待检索全文的文献有：0\"", black},
                                 {"OutPut:\"全文数据库共有文献：0\"", black},
                                 {"Warning:\"没有读到题录，未写入新Enw文件:" + output + "\"", red},
                                 {"OutPut:\"检索到全文的文献有：0/0\"", black}}));
    QVERIFY(!QFileInfo::exists(output));
}

void TestBatchRun::missingFolder()
{
    const QString source = makeLibrary();
    const QString folder = m_root + "/nowhere";
    QVERIFY(writeBytes(m_root + "/out.enw", "last run's links"));
    setPaths(source, folder, m_root + "/out.enw");
    start();
    QCOMPARE(console(),
             QList<ConsoleLine>({helpLine(),
                                 {"OutPut:\"enw文件路径:" + source + "\"", black},
                                 {"OutPut:\"全文数据库路径:" + folder + "\"", black},
                                 {QStringLiteral("Warning:\"全文数据库所属路径文件夹不存在！:") + folder + "\"", red},
                                 {"OutPut:\"待检索全文的文献有：3\"", black},
                                 {"OutPut:\"全文数据库共有文献：0\"", black},
                                 {"OutPut:\"检索到全文的文献有：0/3\"", black}}));
    QCOMPARE(readBytes(m_root + "/out.enw"), QByteArray("last run's links"));
}

void TestBatchRun::secondRunClearsTheFirst()
{
    const QString source = makeLibrary();
    setPaths(source, m_root + "/lib", m_root + "/out.enw");
    start();
    const QList<ConsoleLine> first = console();
    start();
    QCOMPARE(console(), first);
}

void TestBatchRun::runAfterRedLineStartsBlack()
{
    const QString source = makeLibrary();
    setPaths(source, QString(), QString());
    start();
    QCOMPARE(console().last().colour, red);
    setPaths(source, m_root + "/lib", m_root + "/out.enw");
    m_dialog->findChild<QSpinBox *>(QStringLiteral("spinBoxEditDis"))->setValue(0);
    start();
    const QList<ConsoleLine> lines = console();
    QCOMPARE(lines.first(), helpLine());
    QCOMPARE(lines.at(1), (ConsoleLine{"OutPut:\"enw文件路径:" + source + "\"", black}));
    QCOMPARE(lines.at(8), (ConsoleLine{"Warning:\"%T 数据挖掘方法\" " + miss, red}));
    // The tally, the file written, and the full text no record claimed at distance 0.
    QCOMPARE(lines.mid(lines.size() - 9),
             QList<ConsoleLine>({{"OutPut:\"检索到全文的文献有：1/3\"", black},
                                 {QStringLiteral("OutPut:\"已写入新Enw文件:") + m_root + "/out.enw\"", black},
                                 {QStringLiteral("OutPut:\"需要核对的近似链接：0\""), black},
                                 {QStringLiteral("OutPut:\"未找到全文的题录：2\""), black},
                                 {QStringLiteral("OutPut:\"数据挖掘方法\""), black},
                                 {"OutPut:\"Missing book\"", black},
                                 {QStringLiteral("OutPut:\"按命名规则链接的题录：0\""), black},
                                 {QStringLiteral("OutPut:\"未被题录链接的全文有：1\""), black},
                                 {QStringLiteral("OutPut:File : \"") + m_root + QStringLiteral("/lib/数据挖掘方.caj\""), black}}));
}

void TestBatchRun::clickDuringRunStopsIt()
{
    const QString source = makeLibrary();
    const QString output = m_root + "/out.enw";
    QVERIFY(writeBytes(output, "last run's links"));
    setPaths(source, m_root + "/lib", output);
    // The timer fires inside the first log line of the run, when events are
    // let through: a click and Return on the button, which now stops.
    int nested = 0;
    QTimer::singleShot(0, m_dialog, [&] {
        ++nested;
        start();
        QTest::keyClick(m_dialog, Qt::Key_Return);
    });
    start();
    QCOMPARE(nested, 1);
    QCOMPARE(console().mid(3), QList<ConsoleLine>({{"OutPut:\"待检索全文的文献有：3\"", black},
                                                   {"OutPut:\"全文数据库共有文献：0\"", black},
                                                   {QStringLiteral("Warning:\"已停止，未写入新Enw文件:") + output + "\"", red},
                                                   {"OutPut:\"检索到全文的文献有：0/3\"", black}}));
    QCOMPARE(readBytes(output), QByteArray("last run's links"));
    QCOMPARE(QDir(m_root).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList({"lib", "out.enw", "refs.enw"}));
    auto *button = m_dialog->findChild<QPushButton *>(QStringLiteral("pushButton"));
    QCOMPARE(button->text(), QStringLiteral("开始处理"));
    auto *report = m_dialog->findChild<QPushButton *>(QStringLiteral("pushButtonReport"));
    QVERIFY(!report->isEnabled());
    start(); // the next run goes to its end
    QVERIFY(readBytes(output).startsWith("\xFF\xFE"));
    QVERIFY(report->isEnabled());
    // During a run the last run's report is out of reach.
    bool enabledDuringRun = true;
    QTimer::singleShot(0, m_dialog, [&] { enabledDuringRun = report->isEnabled(); });
    start();
    QVERIFY(!enabledDuringRun);
}

void TestBatchRun::exampleLibrary()
{
    // The sample library in examples/ gives the tally the README promises.
    const QString examples = QStringLiteral(ENWLINK_EXAMPLES_DIR);
    const QString output = m_root + "/linked.enw";
    setPaths(examples + "/library.enw", examples + "/fulltexts", output);
    start();
    QStringList red;
    for (const ConsoleLine &line : console())
        if (line.colour == ::red)
            red.append(line.text.section(QLatin1Char('"'), 1, 1));
    QCOMPARE(red, QStringList({"%T Attention is all you need", "%T Graph theory: an introduction",
                               "%T A survey of reference management software",
                               QStringLiteral("%T 文献管理软件的比较研究"), "%T Protein folding with neural networks",
                               "%T Climate change and crop yields", QStringLiteral("%T 基于注意力机制的文本分类方法研究"),
                               "%T Literate programming",
                               QStringLiteral("%T 面向大规模知识图谱的分布式存储与查询优化关键技术研究——以开放领域问答系统为例"),
                               QStringLiteral("%T 图像分割：方法、应用与展望——一个综述"),
                               QStringLiteral("%T 基于多源遥感数据融合的城市地表温度反演与热岛效应时空演变分析——以长江三角洲城市群为例"),
                               QStringLiteral("%T 一种车辆用座椅调节装置"), "%T Why policy evaluations disagree",
                               "%T Reference management in the humanities: a survey",
                               "%T Citation practices across disciplines: evidence from ten fields",
                               "%T Open data sharing in ecology", "%T Sparse attention for long documents",
                               "Protein folding with neural networks ------ " + QFileInfo(examples).absoluteFilePath()
                                   + "/fulltexts/biology/Protein folding with neural network.pdf (编辑距离1)"}));
    QStringList ending;
    for (const ConsoleLine &line : console().mid(console().size() - 11))
        ending.append(line.text);
    QCOMPARE(ending, QStringList({QStringLiteral("OutPut:\"检索到全文的文献有：20/23\""),
                                  QStringLiteral("OutPut:\"已写入新Enw文件:") + output + "\"",
                                  QStringLiteral("OutPut:\"需要核对的近似链接：1\""),
                                  "Warning:\"Protein folding with neural networks ------ " + QFileInfo(examples).absoluteFilePath()
                                      + QStringLiteral("/fulltexts/biology/Protein folding with neural network.pdf (编辑距离1)\""),
                                  QStringLiteral("OutPut:\"未找到全文的题录：3\""),
                                  "OutPut:\"A survey of reference management software\"",
                                  QStringLiteral("OutPut:\"文献管理软件的比较研究\""),
                                  "OutPut:\"Climate change and crop yields\"",
                                  QStringLiteral("OutPut:\"按命名规则链接的题录：13\""),
                                  QStringLiteral("OutPut:\"未被题录链接的全文有：1\""),
                                  "OutPut:File : \"" + QFileInfo(examples).absoluteFilePath()
                                      + "/fulltexts/mathematics/Unrelated lecture notes.pdf\""}));
    QCOMPARE(readBytes(output).left(2), QByteArray("\xFF\xFE"));
}

void TestBatchRun::realExports_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("locale");
    const QString corpus = corpusFolder();
    if (corpus.isEmpty()) {
        QTest::newRow("no corpus") << QString() << QByteArray("UTF-8");
        return;
    }
    const QStringList files = QDir(corpus).entryList({"*.enw", "*.txt", "*.end"}, QDir::Files, QDir::Name);
    for (const QString &file : files)
        QTest::newRow(qPrintable(file)) << corpus + "/" + file
                                        << QByteArray(file.startsWith("D1") ? "GBK" : "UTF-8");
    // The GBK export on a system whose encoding is UTF-8 (Linux, macOS).
    for (const QString &file : files.filter(QRegularExpression("^D1")))
        QTest::newRow(qPrintable(file + " under utf-8")) << corpus + "/" + file << QByteArray("UTF-8");
}

// Splits decoded text into lines as the source file has them.
static QStringList sourceLines(const QString &path)
{
    const QByteArray bytes = readBytes(path);
    QTextCodec::ConverterState state;
    QString text = QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    if (state.invalidChars > 0)
        text = QTextCodec::codecForName("GBK")->toUnicode(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    QStringList lines = text.split(QRegularExpression("\r?\n"));
    if (lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

void TestBatchRun::realExports()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, locale);
    if (corpusFolder().isEmpty())
        QSKIP("The folder of real exports (../shared/corpus beside the project) is not here.");
    const LocaleCodec codec(locale.constData());
    const RemoveFolder library{m_root + "/lib"};

    // One empty PDF named after every title that can be a file name.
    const QStringList lines = sourceLines(file);
    const QString lib = m_root + "/lib";
    QVERIFY(QDir().mkpath(lib));
    QSet<QString> linkable;
    for (const QString &line : lines) {
        if (!line.startsWith("%T", Qt::CaseInsensitive))
            continue;
        const QString title = line.mid(2).simplified();
        if (title.isEmpty() || title.contains('/') || title.startsWith('.') || title.toUtf8().size() > 250)
            continue;
#ifdef Q_OS_WIN
        if (title.contains(QRegularExpression(QStringLiteral("[\\\\:*?\"<>|]")))) // not in Windows names
            continue;
#endif
        QVERIFY(writeBytes(lib + "/" + title + ".pdf", QByteArray()));
        linkable.insert(title);
    }

    const QString output = m_root + "/out.enw";
    setPaths(file, lib, output);
    start();

    const QByteArray bytes = readBytes(output);
    QVERIFY(bytes.isEmpty() || bytes.startsWith("\xFF\xFE"));
    const QString written = QTextCodec::codecForName("UTF-16LE")->toUnicode(bytes.mid(2));
    QStringList out = written.split("\r\n");
    QCOMPARE(out.takeLast(), QString());

    // Every retained title that has a file is followed by it.
    int titles = 0;
    QStringList kept, misses;
    for (int i = 0; i < out.size(); ++i) {
        if (out.at(i).startsWith("%> "))
            continue;
        kept.append(out.at(i));
        if (!out.at(i).startsWith("%T", Qt::CaseInsensitive))
            continue;
        const QString title = out.at(i).mid(2).simplified();
        if (!linkable.contains(title)) { // no file could be made for it: a miss
            QVERIFY2(!out.value(i + 1).startsWith("%> "), qPrintable(title));
            QString line;
            QDebug(&line) << out.at(i).simplified();
            misses.append("Warning:" + line + miss);
            continue;
        }
        QCOMPARE(out.value(i + 1), "%> " + lib + "/" + title + ".pdf");
        ++titles;
    }

    // The output holds the source's lines in order, less the URL lines inside
    // records and what stands outside them (after an empty line, up to a "%0").
    QStringList expected;
    int records = 0;
    int dropped = 0;
    bool inRecord = false;
    for (const QString &line : lines) {
        const bool url = line.startsWith("%U") || line.startsWith("http:");
        if (line.isEmpty()) {
            expected.append(line);
            inRecord = false;
        } else if (line.startsWith("%0")) {
            expected.append(line);
            inRecord = true;
            ++records;
        } else if (inRecord && !url) {
            expected.append(line);
        } else if (!url) {
            ++dropped;
        }
    }
    // A source without records leaves the output path alone.
    QCOMPARE(QFileInfo::exists(output), records > 0);
    if (records > 0)
        QCOMPARE(kept, expected);
    // No full text in the folder: the report after the file written says so.
    // After it the summary: the titles that found no file, the first hundred listed.
    QStringList ending({QStringLiteral("OutPut:\"检索到全文的文献有：%1/%2\"").arg(titles).arg(records)});
    const int missed = int(misses.size());
    if (records > 0)
        ending << QStringLiteral("OutPut:\"已写入新Enw文件:") + output + "\"" << QStringLiteral("OutPut:\"需要核对的近似链接：0\"")
               << QStringLiteral("OutPut:\"未找到全文的题录：%1\"").arg(missed);
    const int tally = int(console().indexOf({ending.first(), black}));
    QStringList last;
    for (const ConsoleLine &line : console().mid(tally, ending.size()))
        last.append(line.text);
    QCOMPARE(last, ending);
    if (records > 0)
        QVERIFY(console().value(tally + ending.size() + std::min(missed, 100) + (missed > 100 ? 1 : 0))
                    .text.startsWith(QStringLiteral("OutPut:\"按命名规则链接的题录：")));
    QStringList warnings, expectedWarnings;
    for (const ConsoleLine &line : console())
        if (line.text.startsWith("Warning:"))
            warnings.append(line.text);
    if (dropped > 0)
        expectedWarnings.append(QStringLiteral("Warning:\"已跳过不属于任何题录的行数:%1\"").arg(dropped));
    expectedWarnings += misses;
    if (records == 0)
        expectedWarnings.append(QStringLiteral("Warning:\"没有读到题录，未写入新Enw文件:") + output + "\"");
    QCOMPARE(warnings, expectedWarnings);
}

QTEST_MAIN(TestBatchRun)
#include "tst_batchrun.moc"
