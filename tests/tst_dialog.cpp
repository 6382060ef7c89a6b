#include "dialog/enwdialog.h"
#include "support/testsupport.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMetaMethod>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTextEdit>
#include <QToolButton>
#include <QtTest>

class TestDialog : public QObject
{
    Q_OBJECT

private slots:
    void childWidgetsInCreationOrder();
    void layoutPlacesEveryWidget();
    void formTexts_data();
    void formTexts();
    void windowAndControls();
    void sizePolicies();
    void slotTable();
    void classIdentity();
    void buttonsCallTheirSlotsOnce();
    void escapeClosesAndReturnClicksStart();
    void widerWindowKeepsControlsCentred();
};

void TestDialog::childWidgetsInCreationOrder()
{
    EnwDialog dialog;
    QStringList names;
    QStringList types;
    for (QObject *child : dialog.children()) {
        names.append(child->objectName());
        types.append(QString::fromLatin1(child->metaObject()->className()));
    }
    // The outer layout is the dialog's first child; the widgets follow in the
    // order the form creates them.
    QCOMPARE(names, QStringList({"gridLayout_2", "label", "comboBoxEnw", "toolButtonOpenEnw",
                                 "label_3", "comboBoxSave", "toolButtonSave", "label_2",
                                 "comboBoxPath", "toolButtonOpenSearchPath", "label_4",
                                 "spinBoxEditDis", "pushButton", "pushButtonReport", "pushButtonOpenFolder",
                                 "textBrowser"}));
    QCOMPARE(types, QStringList({"QGridLayout", "QLabel", "QComboBox", "QToolButton", "QLabel",
                                 "QComboBox", "QToolButton", "QLabel", "QComboBox", "QToolButton",
                                 "QLabel", "QSpinBox", "QPushButton", "QPushButton", "QPushButton", "QTextEdit"}));
    QCOMPARE(dialog.objectName(), QStringLiteral("EnwDialog"));
}

void TestDialog::layoutPlacesEveryWidget()
{
    EnwDialog dialog;
    auto *outer = qobject_cast<QGridLayout *>(dialog.layout());
    QVERIFY(outer);
    QCOMPARE(outer->objectName(), QStringLiteral("gridLayout_2"));
    QCOMPARE(outer->spacing(), 6);
    QCOMPARE(outer->contentsMargins(), QMargins(11, 11, 11, 11));
    QCOMPARE(outer->count(), 3);

    auto *grid = qobject_cast<QGridLayout *>(outer->itemAtPosition(0, 0)->layout());
    QVERIFY(grid);
    QCOMPARE(grid->objectName(), QStringLiteral("gridLayout"));
    QCOMPARE(grid->spacing(), 6);
    const char *cells[3][3] = {{"label", "comboBoxEnw", "toolButtonOpenEnw"},
                               {"label_3", "comboBoxSave", "toolButtonSave"},
                               {"label_2", "comboBoxPath", "toolButtonOpenSearchPath"}};
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            QCOMPARE(grid->itemAtPosition(row, column)->widget()->objectName(),
                     QString::fromLatin1(cells[row][column]));

    auto *controls = qobject_cast<QHBoxLayout *>(outer->itemAtPosition(1, 0)->layout());
    QVERIFY(controls);
    QCOMPARE(controls->objectName(), QStringLiteral("horizontalLayout"));
    QCOMPARE(controls->spacing(), 6);
    QCOMPARE(controls->count(), 7);
    for (int i : {0, 6}) {
        QSpacerItem *spacer = controls->itemAt(i)->spacerItem();
        QVERIFY(spacer);
        QCOMPARE(spacer->sizeHint(), QSize(40, 20));
        QCOMPARE(spacer->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
        QCOMPARE(spacer->sizePolicy().verticalPolicy(), QSizePolicy::Minimum);
    }
    QCOMPARE(controls->itemAt(1)->widget()->objectName(), QStringLiteral("label_4"));
    QCOMPARE(controls->itemAt(2)->widget()->objectName(), QStringLiteral("spinBoxEditDis"));
    QCOMPARE(controls->itemAt(3)->widget()->objectName(), QStringLiteral("pushButton"));
    QCOMPARE(controls->itemAt(4)->widget()->objectName(), QStringLiteral("pushButtonReport"));
    QCOMPARE(controls->itemAt(5)->widget()->objectName(), QStringLiteral("pushButtonOpenFolder"));
    QCOMPARE(outer->itemAtPosition(2, 0)->widget()->objectName(), QStringLiteral("textBrowser"));
}

void TestDialog::formTexts_data()
{
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QString>("text");
    QTest::newRow("source label") << "label" << QStringLiteral("原Enw文件");
    QTest::newRow("output label") << "label_3" << QStringLiteral("新Enw文件");
    QTest::newRow("folder label") << "label_2" << QStringLiteral("搜索 目录");
    QTest::newRow("threshold label") << "label_4" << QStringLiteral("文献标题和附件名之间的编辑距离");
    QTest::newRow("start button") << "pushButton" << QStringLiteral("开始处理");
    QTest::newRow("report button") << "pushButtonReport" << QStringLiteral("保存报告…");
    QTest::newRow("open-folder button") << "pushButtonOpenFolder" << QStringLiteral("打开所在文件夹");
    QTest::newRow("source browse") << "toolButtonOpenEnw" << QStringLiteral("...");
    QTest::newRow("output browse") << "toolButtonSave" << QStringLiteral("...");
    QTest::newRow("folder browse") << "toolButtonOpenSearchPath" << QStringLiteral("...");
}

void TestDialog::formTexts()
{
    QFETCH(QString, objectName);
    QFETCH(QString, text);
    EnwDialog dialog;
    QObject *widget = dialog.findChild<QObject *>(objectName);
    QVERIFY(widget);
    QCOMPARE(widget->property("text").toString(), text);
}

void TestDialog::windowAndControls()
{
    EnwDialog dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Enw文件批处理"));
    QCOMPARE(dialog.size(), QSize(1183, 532));

    auto *spin = dialog.findChild<QSpinBox *>(QStringLiteral("spinBoxEditDis"));
    QCOMPARE(spin->minimum(), 0);
    QCOMPARE(spin->maximum(), 10);
    QCOMPARE(spin->value(), 2);
    QCOMPARE(spin->minimumSize(), QSize(60, 0));

    for (const char *name : {"comboBoxEnw", "comboBoxSave", "comboBoxPath"}) {
        auto *combo = dialog.findChild<QComboBox *>(QString::fromLatin1(name));
        QVERIFY(combo->isEditable()); // a path may be typed or pasted
        QCOMPARE(combo->count(), 0);
        QCOMPARE(combo->currentText(), QString());
    }
    QCOMPARE(dialog.findChild<QComboBox *>(QStringLiteral("comboBoxEnw"))->whatsThis(), QString());

    auto *start = dialog.findChild<QPushButton *>(QStringLiteral("pushButton"));
    QCOMPARE(start->minimumSize(), QSize(240, 0));
    QCOMPARE(start->focusPolicy(), Qt::StrongFocus);

    QTextEdit *console = consoleOf(dialog);
    QVERIFY(console->isReadOnly());
    QCOMPARE(consoleLines(console), QList<ConsoleLine>({helpLine()}));
    QCOMPARE(console->document()->blockCount(), 1);
}

void TestDialog::sizePolicies()
{
    EnwDialog dialog;
    struct Expected { const char *name; QSizePolicy::Policy horizontal, vertical; };
    const Expected expected[] = {
        {"comboBoxEnw", QSizePolicy::Expanding, QSizePolicy::Fixed},
        {"comboBoxPath", QSizePolicy::Expanding, QSizePolicy::Fixed},
        {"label_4", QSizePolicy::Minimum, QSizePolicy::Preferred},
        {"spinBoxEditDis", QSizePolicy::Maximum, QSizePolicy::Fixed},
        {"pushButton", QSizePolicy::Minimum, QSizePolicy::Preferred},
    };
    for (const Expected &e : expected) {
        const QSizePolicy policy = dialog.findChild<QWidget *>(QString::fromLatin1(e.name))->sizePolicy();
        QCOMPARE(policy.horizontalPolicy(), e.horizontal);
        QCOMPARE(policy.verticalPolicy(), e.vertical);
        QCOMPARE(policy.horizontalStretch(), 0);
        QCOMPARE(policy.verticalStretch(), 0);
    }
    // The output row keeps the combo box default.
    const QSizePolicy save = dialog.findChild<QWidget *>(QStringLiteral("comboBoxSave"))->sizePolicy();
    QCOMPARE(save, QComboBox().sizePolicy());
}

void TestDialog::slotTable()
{
    const QMetaObject &meta = EnwDialog::staticMetaObject;
    QCOMPARE(QByteArray(meta.className()), QByteArray("EnwDialog"));
    QCOMPARE(meta.superClass(), &QDialog::staticMetaObject);
    QCOMPARE(meta.methodCount() - meta.methodOffset(), 7);
    const QByteArray expected[] = {
        "on_toolButtonOpenEnw_clicked()",
        "on_toolButtonOpenSearchPath_clicked()",
        "on_toolButtonSave_clicked()",
        "on_pushButton_clicked()",
        "parseUTF16EnwFile(QString,QStringList&,QTextCodec*)",
        "getAllFullText(QString,QFileInfoList&)",
        "createNewEnwFile(QStringList,QFileInfoList,QString,QTextCodec*)",
    };
    const char *results[] = {"void", "void", "void", "void", "int", "bool", "int"};
    for (int i = 0; i < 7; ++i) {
        const QMetaMethod method = meta.method(meta.methodOffset() + i);
        QCOMPARE(method.methodSignature(), expected[i]);
        QCOMPARE(method.methodType(), QMetaMethod::Slot);
        QCOMPARE(method.access(), QMetaMethod::Private);
        QCOMPARE(QByteArray(method.typeName()), QByteArray(results[i]));
    }
    QCOMPARE(meta.method(meta.methodOffset() + 4).parameterNames(),
             QList<QByteArray>({"enwFilePath", "dataList", "enwCode"}));
    QCOMPARE(meta.method(meta.methodOffset() + 6).parameterNames(),
             QList<QByteArray>({"dataList", "fullTextList", "newEnwFilePath", "enwCodec"}));
    QCOMPARE(meta.propertyCount(), meta.propertyOffset());
    QCOMPARE(meta.enumeratorCount(), meta.enumeratorOffset());
}

void TestDialog::classIdentity()
{
    EnwDialog dialog;
    QObject *object = &dialog;
    QCOMPARE(qobject_cast<EnwDialog *>(object), &dialog);
    QVERIFY(object->inherits("EnwDialog"));
    QVERIFY(object->inherits("QDialog"));
    QCOMPARE(dialog.qt_metacast("EnwDialog"), static_cast<void *>(&dialog));
    QCOMPARE(dialog.qt_metacast("QDialog"), static_cast<void *>(static_cast<QDialog *>(&dialog)));
    QVERIFY(!dialog.qt_metacast("QLabel"));
}

void TestDialog::buttonsCallTheirSlotsOnce()
{
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    EnwDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    // Each browse button opens exactly one modal dialog per click.
    int opened = 0;
    QTimer closer;
    closer.setInterval(10);
    connect(&closer, &QTimer::timeout, [&opened] {
        if (auto *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
            ++opened;
            modal->reject();
        }
    });
    closer.start();
    for (const char *name : {"toolButtonOpenEnw", "toolButtonOpenSearchPath", "toolButtonSave"}) {
        opened = 0;
        dialog.findChild<QAbstractButton *>(QString::fromLatin1(name))->click();
        QCOMPARE(opened, 1);
    }
    closer.stop();

    // The start button runs once: with no paths, a run logs one warning.
    LogCapture capture;
    dialog.findChild<QAbstractButton *>(QStringLiteral("pushButton"))->click();
    QCOMPARE(capture.lines(), QStringList({QStringLiteral("W:\"enw文件不存在!\"")}));
}

void TestDialog::escapeClosesAndReturnClicksStart()
{
    EnwDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *start = dialog.findChild<QPushButton *>(QStringLiteral("pushButton"));
    QVERIFY(start->isDefault());

    // Return on the spin box (which does not take it) clicks the start button:
    // with no paths picked, the run stops at its first warning.
    QSignalSpy clicks(start, &QPushButton::clicked);
    auto *spin = dialog.findChild<QSpinBox *>(QStringLiteral("spinBoxEditDis"));
    spin->setFocus();
    QTest::keyClick(spin, Qt::Key_Return);
    QCOMPARE(clicks.count(), 1);

    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

void TestDialog::widerWindowKeepsControlsCentred()
{
    EnwDialog dialog;
    dialog.resize(1600, 700);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *start = dialog.findChild<QPushButton *>(QStringLiteral("pushButton"));
    auto *last = dialog.findChild<QPushButton *>(QStringLiteral("pushButtonOpenFolder"));
    auto *label = dialog.findChild<QLabel *>(QStringLiteral("label_4"));
    auto *combo = dialog.findChild<QComboBox *>(QStringLiteral("comboBoxEnw"));
    auto *console = consoleOf(dialog);
    QVERIFY(start->width() >= 240);
    const int left = label->geometry().left();
    const int right = dialog.width() - last->geometry().right();
    QVERIFY2(qAbs(left - right) <= 2, qPrintable(QStringLiteral("%1 vs %2").arg(left).arg(right)));
    QVERIFY(combo->width() > 1300);
    QVERIFY(console->height() > 500);
}

QTEST_MAIN(TestDialog)
#include "tst_dialog.moc"
