#include "dialog/enwdialog.h"
#include "support/testsupport.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QToolButton>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QUrl>
#include <QDragEnterEvent>
#include <QtTest>

#include <functional>

// Drives the real, non-native file dialogs that the browse buttons open.
class TestPickers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void sourcePick();
    void samePathTwiceGivesOneItem();
    void letterCaseGivesTwoItems();
    void cancelChangesNothing_data();
    void cancelChangesNothing();
    void folderPick();
    void outputPick();
    void outputPickerFollowsEveryPick();
    void typedMissingSourceIsAccepted();
    void typedPathIsAPick();
    void reportAndFolderAfterARun();
    void outputPickerStartsBesideTheSource();
    void drops_data();
    void drops();
    void settingsComeBack();
    void oldEntryUsedInARunIsKept();
    void damagedSettings_data();
    void damagedSettings();

private:
    struct Seen
    {
        QString title;
        QString directory;
        QStringList nameFilters;
        QDir::Filters filter;
        QFileDialog::Options options;
    };
    // Clicks `button`; when its dialog shows, records what it shows, then picks
    // `path` (relative to the fixture) or cancels when `path` is empty.
    Seen pick(const char *button, const QString &path, const QString &nameFilter = QString());
    QComboBox *combo(const char *name) const;
    QStringList items(const char *name) const;

    QTemporaryDir *m_dir = nullptr;
    QString m_root;
    QString m_startDir;
    EnwDialog *m_dialog = nullptr;
};

void TestPickers::initTestCase()
{
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    m_startDir = QDir::currentPath();
}

void TestPickers::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    m_root = QDir(m_dir->path()).canonicalPath();
    QVERIFY(makeFiles(m_root, {"refs/a.enw", "refs/A.enw", "refs/b.txt", "lib/x/p.pdf", "Lib/q.pdf", "work/w.txt"}));
    QVERIFY(QDir::setCurrent(m_root + "/work"));
    m_dialog = new EnwDialog;
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog));
}

void TestPickers::cleanup()
{
    delete m_dialog;
    QDir::setCurrent(m_startDir);
    delete m_dir;
    QVERIFY(!QApplication::activeModalWidget());
}

QComboBox *TestPickers::combo(const char *name) const
{
    return m_dialog->findChild<QComboBox *>(QString::fromLatin1(name));
}

QStringList TestPickers::items(const char *name) const
{
    QStringList texts;
    for (int i = 0; i < combo(name)->count(); ++i)
        texts.append(combo(name)->itemText(i));
    return texts;
}

TestPickers::Seen TestPickers::pick(const char *button, const QString &path, const QString &nameFilter)
{
    Seen seen;
    bool looked = false;
    QTimer waiter;
    waiter.setInterval(5);
    connect(&waiter, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        if (!looked) {
            seen = {dialog->windowTitle(), dialog->directory().absolutePath(), dialog->nameFilters(),
                    dialog->filter(), dialog->options()};
            looked = true;
        }
        if (path.isEmpty()) {
            waiter.stop();
            dialog->reject();
            return;
        }
        // selectFile leaves the name field alone while it has the focus, which
        // it gets at some moment after the dialog shows; accepting then would
        // take the dialog's folder instead. So the focus goes first, and the
        // dialog is accepted only once it holds the path.
        if (QWidget *focused = dialog->focusWidget())
            focused->clearFocus();
        if (!nameFilter.isEmpty())
            dialog->selectNameFilter(nameFilter);
        dialog->selectFile(m_root + "/" + path);
        if (dialog->selectedFiles() != QStringList(m_root + "/" + path))
            return; // again at the next tick
        waiter.stop();
        QMetaObject::invokeMethod(dialog, "accept");
    });
    waiter.start();
    m_dialog->findChild<QAbstractButton *>(QString::fromLatin1(button))->click();
    return seen;
}

void TestPickers::sourcePick()
{
    // With an empty row the dialog opens in the folder that holds the working directory.
    const Seen seen = pick("toolButtonOpenEnw", "refs/a.enw");
    QCOMPARE(seen.title, QStringLiteral("打开enw格式的txt/enw文件"));
    QCOMPARE(seen.directory, m_root);
    QCOMPARE(seen.nameFilters, QStringList({QStringLiteral("enw格式文件(*.txt *.enw)")}));
    QCOMPARE(seen.filter, QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot);
    QCOMPARE(items("comboBoxEnw"), QStringList({m_root + "/refs/a.enw"}));
    QCOMPARE(combo("comboBoxEnw")->currentText(), m_root + "/refs/a.enw");
    QCOMPARE(QDir::currentPath(), m_root + "/refs");

    // With a current entry it opens in that file's folder, even once the file is gone.
    QVERIFY(QFile::remove(m_root + "/refs/a.enw"));
    QDir::setCurrent(m_root + "/work");
    QCOMPARE(pick("toolButtonOpenEnw", QString()).directory, m_root + "/refs");
}

void TestPickers::samePathTwiceGivesOneItem()
{
    pick("toolButtonOpenEnw", "refs/a.enw");
    pick("toolButtonOpenEnw", "refs/b.txt");
    QCOMPARE(combo("comboBoxEnw")->currentIndex(), 1);
    pick("toolButtonOpenEnw", "refs/a.enw"); // the newest use goes last
    QCOMPARE(items("comboBoxEnw"), QStringList({m_root + "/refs/b.txt", m_root + "/refs/a.enw"}));
    QCOMPARE(combo("comboBoxEnw")->currentIndex(), 1);
}

void TestPickers::letterCaseGivesTwoItems()
{
    UNIX_ONLY("file names that differ only in letter case");
    pick("toolButtonOpenEnw", "refs/a.enw");
    pick("toolButtonOpenEnw", "refs/A.enw");
    QCOMPARE(items("comboBoxEnw"), QStringList({m_root + "/refs/a.enw", m_root + "/refs/A.enw"}));
    pick("toolButtonOpenSearchPath", "lib");
    pick("toolButtonOpenSearchPath", "Lib");
    QCOMPARE(items("comboBoxPath"), QStringList({m_root + "/lib", m_root + "/Lib"}));
    QCOMPARE(combo("comboBoxPath")->currentIndex(), 1);
}

void TestPickers::cancelChangesNothing_data()
{
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<QByteArray>("row");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::newRow("source") << QByteArray("toolButtonOpenEnw") << QByteArray("comboBoxEnw") << "refs/a.enw"
                            << "refs/b.txt";
    QTest::newRow("folder") << QByteArray("toolButtonOpenSearchPath") << QByteArray("comboBoxPath") << "lib"
                            << "lib/x";
    QTest::newRow("output") << QByteArray("toolButtonSave") << QByteArray("comboBoxSave") << "work/new.enw"
                            << "refs/new.enw";
}

void TestPickers::cancelChangesNothing()
{
    QFETCH(QByteArray, button);
    QFETCH(QByteArray, row);
    QFETCH(QString, first);
    QFETCH(QString, second);
    pick(button.constData(), first);
    pick(button.constData(), second);
    combo(row.constData())->setCurrentIndex(0);
    QDir::setCurrent(m_root + "/work");
    const QStringList before = items(row.constData());

    pick(button.constData(), QString());
    QCOMPARE(items(row.constData()), before);
    QCOMPARE(combo(row.constData())->currentIndex(), 0);
    QCOMPARE(QDir::currentPath(), m_root + "/work");
}

void TestPickers::folderPick()
{
    Seen seen = pick("toolButtonOpenSearchPath", "lib");
    QCOMPARE(seen.title, QStringLiteral("打开全文数据库目录"));
    QCOMPARE(seen.directory, m_root + "/work");
    QVERIFY(seen.options.testFlag(QFileDialog::ShowDirsOnly));
    QVERIFY(seen.options.testFlag(QFileDialog::DontResolveSymlinks));
    QCOMPARE(items("comboBoxPath"), QStringList({m_root + "/lib"}));
    QCOMPARE(QDir::currentPath(), m_root + "/lib");

    // With a current entry the dialog opens in that folder itself.
    QDir::setCurrent(m_root + "/work");
    seen = pick("toolButtonOpenSearchPath", "lib/x");
    QCOMPARE(seen.directory, m_root + "/lib");
    QCOMPARE(QDir::currentPath(), m_root + "/lib/x");
}

void TestPickers::outputPick()
{
    const Seen seen = pick("toolButtonSave", "refs/new.enw");
    QCOMPARE(seen.title, QStringLiteral("新建enw格式的题录文件"));
    QCOMPARE(seen.directory, m_root + "/work");
    QCOMPARE(seen.nameFilters, QStringList({"Enw File(*.enw)", "RIS File(*.ris)", "BibTeX File(*.bib)",
                                            "Text files (*.txt)"}));
    QCOMPARE(items("comboBoxSave"), QStringList({m_root + "/refs/new.enw"}));
    QCOMPARE(QDir::currentPath(), m_root + "/refs");
    QVERIFY(!QFileInfo::exists(m_root + "/refs/new.enw"));
    // A name without a suffix takes the chosen filter's; one with a suffix keeps it.
    pick("toolButtonSave", "refs/plain");
    pick("toolButtonSave", "refs/zotero", "RIS File(*.ris)");
    pick("toolButtonSave", "refs/jabref", "BibTeX File(*.bib)");
    pick("toolButtonSave", "refs/kept.txt", "RIS File(*.ris)");
    QCOMPARE(items("comboBoxSave").mid(1), QStringList({m_root + "/refs/plain.enw", m_root + "/refs/zotero.ris",
                                                        m_root + "/refs/jabref.bib", m_root + "/refs/kept.txt"}));
}

void TestPickers::outputPickerFollowsEveryPick()
{
    // The output picker ignores its row and opens where the last pick was made.
    pick("toolButtonSave", "work/one.enw");
    pick("toolButtonOpenEnw", "refs/b.txt");
    QCOMPARE(pick("toolButtonSave", QString()).directory, m_root + "/refs");
    pick("toolButtonOpenSearchPath", "lib/x");
    QCOMPARE(pick("toolButtonSave", QString()).directory, m_root + "/lib/x");
    pick("toolButtonSave", "Lib/two.enw");
    QCOMPARE(pick("toolButtonSave", QString()).directory, m_root + "/Lib");
}

void TestPickers::reportAndFolderAfterARun()
{
    QVERIFY(writeBytes(m_root + "/refs/a.enw", "%0 A\n%T p\n\n%0 B\n%T nothing here\n"));
    pick("toolButtonOpenEnw", "refs/a.enw");
    pick("toolButtonOpenSearchPath", "lib");
    pick("toolButtonSave", "work/out.enw");
    m_dialog->findChild<QPushButton *>(QStringLiteral("pushButton"))->click();
    const Seen seen = pick("pushButtonReport", "work/report.tsv");
    QCOMPARE(seen.title, QStringLiteral("保存报告"));
    QCOMPARE(seen.directory, m_root + "/work");
    QCOMPARE(QString::fromUtf8(readBytes(m_root + "/work/report.tsv").mid(3)).split("\r\n").mid(0, 3),
             QStringList({QStringLiteral("题名\t第一作者\t全文\t链接方式"),
                          QStringLiteral("p\t\t%1/lib/x/p.pdf\t完全一致").arg(m_root), QStringLiteral("nothing here\t\t\t无")}));
    QList<QUrl> opened;
    m_dialog->setUrlOpener([&opened](const QUrl &url) {
        opened.append(url);
        return true;
    });
    m_dialog->findChild<QPushButton *>(QStringLiteral("pushButtonOpenFolder"))->click();
    QCOMPARE(opened, QList<QUrl>({QUrl::fromLocalFile(m_root + "/work")}));
}

void TestPickers::typedPathIsAPick()
{
    QLineEdit *edit = combo("comboBoxEnw")->lineEdit();
    edit->setFocus();
    QTest::keyClicks(edit, "../refs/b.txt");
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(items("comboBoxEnw"), QStringList({m_root + "/refs/b.txt"}));
    QCOMPARE(combo("comboBoxEnw")->currentIndex(), 0);
    QCOMPARE(QDir::currentPath(), m_root + "/refs");
    // Return also starts a run. The same path again, and an emptied row, add nothing.
    QTest::keyClick(edit, Qt::Key_Return);
    edit->clear();
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(items("comboBoxEnw"), QStringList({m_root + "/refs/b.txt"}));
}

void TestPickers::outputPickerStartsBesideTheSource()
{
    pick("toolButtonOpenEnw", "refs/a.enw");
    pick("toolButtonOpenSearchPath", "lib/x");
    QCOMPARE(pick("toolButtonSave", QString()).directory, m_root + "/refs");
    QCOMPARE(pick("toolButtonSave", QString()).directory, m_root + "/lib/x");
}

void TestPickers::typedMissingSourceIsAccepted()
{
    pick("toolButtonOpenEnw", "refs/not there.enw");
    QCOMPARE(combo("comboBoxEnw")->currentText(), m_root + "/refs/not there.enw");
    QCOMPARE(QDir::currentPath(), m_root + "/refs");
}

namespace {

// Drops `urls` on `target` as a file manager would; whether it was taken.
bool drop(QWidget *target, const QList<QUrl> &urls)
{
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(1, 1), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent dropped(QPointF(1, 1), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &dropped);
    return enter.isAccepted() && dropped.isAccepted();
}

} // namespace

void TestPickers::drops_data()
{
    QTest::addColumn<QByteArray>("target"); // object name; empty: the window itself
    QTest::addColumn<QStringList>("dropped"); // below the test's folder; "http:" for a remote one
    QTest::addColumn<QByteArray>("row");      // the row it fills; empty: refused
    QTest::newRow("a folder on the window") << QByteArray() << QStringList({"lib"}) << QByteArray("comboBoxPath");
    QTest::newRow("a file on the window") << QByteArray() << QStringList({"refs/b.txt"}) << QByteArray("comboBoxEnw");
    QTest::newRow("a file on the output row") << QByteArray("comboBoxSave") << QStringList({"refs/a.enw"})
                                              << QByteArray("comboBoxSave");
    QTest::newRow("a file on the output row's button") << QByteArray("toolButtonSave") << QStringList({"refs/a.enw"})
                                                       << QByteArray("comboBoxSave");
    QTest::newRow("a file on the folder's button") << QByteArray("toolButtonOpenSearchPath")
                                                   << QStringList({"refs/a.enw"}) << QByteArray();
    QTest::newRow("a folder on the source row") << QByteArray("comboBoxEnw") << QStringList({"lib"}) << QByteArray();
    QTest::newRow("several: the first counts") << QByteArray() << QStringList({"lib/x", "refs/a.enw"})
                                               << QByteArray("comboBoxPath");
    QTest::newRow("not a local file") << QByteArray() << QStringList({"http:"}) << QByteArray();
}

void TestPickers::drops()
{
    QFETCH(QByteArray, target);
    QFETCH(QStringList, dropped);
    QFETCH(QByteArray, row);
    QList<QUrl> urls;
    for (const QString &path : dropped)
        urls.append(path == "http:" ? QUrl("http://example.org/a.enw") : QUrl::fromLocalFile(m_root + "/" + path));
    QWidget *widget = target.isEmpty() ? static_cast<QWidget *>(m_dialog)
                                       : m_dialog->findChild<QWidget *>(QString::fromLatin1(target));
    QCOMPARE(drop(widget, urls), !row.isEmpty());
    for (const char *name : {"comboBoxEnw", "comboBoxPath", "comboBoxSave"}) {
        // A drop does what a pick does: history, current entry, working folder.
        const QString path = m_root + "/" + dropped.first();
        QCOMPARE(items(name), row == name ? QStringList({path}) : QStringList());
        if (row == name)
            QCOMPARE(QDir::currentPath(), row == "comboBoxPath" ? path : QFileInfo(path).absolutePath());
    }
    if (row.isEmpty())
        QCOMPARE(QDir::currentPath(), m_root + "/work");
}

void TestPickers::settingsComeBack()
{
    // Settings of the test's own, in its folder: the user's stay untouched.
    QSettings settings(m_root + "/enwlink.ini", QSettings::IniFormat);
    m_dialog->useSettings(&settings);
    for (int i = 0; i < 22; ++i) // two more than a row keeps
        QVERIFY(writeBytes(m_root + QStringLiteral("/refs/%1.enw").arg(i), "") &&
                drop(m_dialog, {QUrl::fromLocalFile(m_root + QStringLiteral("/refs/%1.enw").arg(i))}));
    drop(m_dialog, {QUrl::fromLocalFile(m_root + "/refs/5.enw")}); // an older entry chosen again
    pick("toolButtonOpenSearchPath", "refs"); // a short history keeps its oldest entry
    pick("toolButtonOpenSearchPath", "lib");
    m_dialog->findChild<QSpinBox *>(QStringLiteral("spinBoxEditDis"))->setValue(7);
    pick("toolButtonSave", "refs/out.enw");
    delete m_dialog;
    QDir::setCurrent(m_root + "/work");

    QSettings again(m_root + "/enwlink.ini", QSettings::IniFormat);
    m_dialog = new EnwDialog;
    m_dialog->useSettings(&again);
    QStringList sources; // the twenty used last, the newest use last
    for (int i : {2, 3, 4, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 5})
        sources.append(m_root + QStringLiteral("/refs/%1.enw").arg(i));
    QCOMPARE(items("comboBoxEnw"), sources);
    QCOMPARE(combo("comboBoxEnw")->currentText(), m_root + "/refs/5.enw");
    QCOMPARE(items("comboBoxPath"), QStringList({m_root + "/refs", m_root + "/lib"}));
    QCOMPARE(combo("comboBoxSave")->currentText(), m_root + "/refs/out.enw");
    QCOMPARE(m_dialog->findChild<QSpinBox *>(QStringLiteral("spinBoxEditDis"))->value(), 7);
    QCOMPARE(QDir::currentPath(), m_root + "/refs"); // where the pickers last were
}

void TestPickers::oldEntryUsedInARunIsKept()
{
    // Before, the oldest entry, chosen again and run, was trimmed away, and the
    // row opened empty at the next start.
    QSettings settings(m_root + "/enwlink.ini", QSettings::IniFormat);
    m_dialog->useSettings(&settings);
    for (int i = 0; i < 20; ++i)
        QVERIFY(writeBytes(m_root + QStringLiteral("/refs/%1.enw").arg(i), "") &&
                drop(m_dialog, {QUrl::fromLocalFile(m_root + QStringLiteral("/refs/%1.enw").arg(i))}));
    pick("toolButtonOpenEnw", "refs/a.enw"); // a twenty-first
    combo("comboBoxEnw")->setCurrentIndex(0);
    m_dialog->findChild<QSpinBox *>(QStringLiteral("spinBoxEditDis"))->setValue(4); // changed just before the run
    m_dialog->resize(920, 530);
    m_dialog->findChild<QPushButton *>(QStringLiteral("pushButton"))->click();
    delete m_dialog;
    QSettings again(m_root + "/enwlink.ini", QSettings::IniFormat);
    m_dialog = new EnwDialog;
    m_dialog->useSettings(&again);
    QCOMPARE(items("comboBoxEnw").size(), 20);
    QCOMPARE(items("comboBoxEnw").first(), m_root + "/refs/2.enw");
    QCOMPARE(items("comboBoxEnw").mid(18), QStringList({m_root + "/refs/a.enw", m_root + "/refs/0.enw"}));
    QCOMPARE(combo("comboBoxEnw")->currentText(), m_root + "/refs/0.enw");
    QCOMPARE(m_dialog->findChild<QSpinBox *>(QStringLiteral("spinBoxEditDis"))->value(), 4);
    QCOMPARE(m_dialog->size(), QSize(920, 530));
}

void TestPickers::damagedSettings_data()
{
    QTest::addColumn<QByteArray>("file"); // "$" stands for the test's folder
    QTest::addColumn<QStringList>("sources");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("distance");
    QByteArray many = "[rows]\nsource\\current=5\nsource\\history=";
    for (int i = 0; i < 100000; ++i)
        many += (i ? ", $/" : "$/") + QByteArray::number(i);
    QTest::newRow("100,000 entries, the current one old")
        << many + "\n" << QStringList({"$/99981", "$/99999", "$/5"}) << 19 << 2;
    // A list said to hold 2^31 - 1 entries: reading it allocated them, or aborted.
    QTest::newRow("a crafted variant beside good values")
        << QByteArray("[General]\ndistance=7\n[rows]\nsource\\history=@Variant(\\0\\0\\0\\v\\0\\x7f\\xff\\xff\\xff)\n"
                      "folder\\history=$/lib\nfolder\\current=0\n")
        << QStringList() << -1 << 7;
    QTest::newRow("values of the wrong type")
        << QByteArray("[General]\ndistance=seven\ngeometry=12\npickerFolder=@Rect(1 2 3 4)\n"
                      "[rows]\nsource\\history=@Size(1 2)\nsource\\current=x\n")
        << QStringList() << -1 << 2;
    QTest::newRow("a distance beyond the spin box") << QByteArray("[General]\ndistance=11\n") << QStringList() << -1 << 2;
    QTest::newRow("the last distance allowed") << QByteArray("[General]\ndistance=10\n") << QStringList() << -1 << 10;
    QTest::newRow("a current entry beyond the list")
        << QByteArray("[rows]\nsource\\history=$/a, $/b\nsource\\current=2\n") << QStringList({"$/a", "$/b"}) << -1 << 2;
    QTest::newRow("one entry, the current one")
        << QByteArray("[rows]\nsource\\history=$/a\nsource\\current=0\n") << QStringList({"$/a"}) << 0 << 2;
}

void TestPickers::damagedSettings()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, sources);
    QFETCH(int, current);
    QFETCH(int, distance);
    const QString path = m_root + "/enwlink.ini";
    QVERIFY(writeBytes(path, file.replace("$", m_root.toUtf8())));
    dropUnreadableSettings(path);
    QVERIFY(!readBytes(path).contains("@Variant("));
    QSettings settings(path, QSettings::IniFormat);
    m_dialog->useSettings(&settings);
    const QStringList shown = items("comboBoxEnw");
    QCOMPARE(shown.size(), sources.size() == 3 ? 20 : sources.size()); // three: the first of 20 and the last two
    if (sources.size() == 3)
        QCOMPARE(QStringList({shown.first(), shown.at(18), shown.at(19)}), sources.replaceInStrings("$", m_root));
    else
        QCOMPARE(shown, sources.replaceInStrings("$", m_root));
    QCOMPARE(combo("comboBoxEnw")->currentIndex(), current);
    QCOMPARE(m_dialog->findChild<QSpinBox *>(QStringLiteral("spinBoxEditDis"))->value(), distance);
    QCOMPARE(QDir::currentPath(), m_root + "/work");
}

QTEST_MAIN(TestPickers)
#include "tst_pickers.moc"
