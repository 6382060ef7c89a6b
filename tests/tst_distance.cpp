#include "engine/editdistance.h"
#include "support/testsupport.h"

#include <QRandomGenerator>
#include <QtTest>

class TestDistance : public QObject
{
    Q_OBJECT

private slots:
    void distance_data();
    void distance();
    void chineseCountsBytes_data();
    void chineseCountsBytes();
    void boundedAgreesWithFull();
    void bytesCompared_data();
    void bytesCompared();
};

void TestDistance::distance_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<int>("expected");
    QTest::newRow("cat cart") << QByteArray("cat") << QByteArray("cart") << 1;
    QTest::newRow("sunday saturday") << QByteArray("sunday") << QByteArray("saturday") << 3;
    QTest::newRow("letter case") << QByteArray("Deep Learning") << QByteArray("Deep learning") << 1;
    QTest::newRow("double space") << QByteArray("Graph  theory") << QByteArray("Graph theory") << 1;
    QTest::newRow("both empty") << QByteArray() << QByteArray() << 0;
    QTest::newRow("first empty") << QByteArray() << QByteArray("abcde") << 5;
    QTest::newRow("second empty") << QByteArray("abc") << QByteArray() << 3;
    QTest::newRow("identical long") << QByteArray(5000, 'x') << QByteArray(5000, 'x') << 0;
    QTest::newRow("all different") << QByteArray("abcd") << QByteArray("wxyz") << 4;
    QTest::newRow("raw high bytes") << QByteArray("\xE6\x95\xB0") << QByteArray("\xE6\x95\xB1") << 1;
}

void TestDistance::distance()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QFETCH(int, expected);
    QCOMPARE(editDistance(first.toStdString(), second.toStdString()), expected);
    QCOMPARE(editDistance(second.toStdString(), first.toStdString()), expected);
}

void TestDistance::chineseCountsBytes_data()
{
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<int>("expected");
    QTest::newRow("gbk replace") << QByteArray("GBK") << QStringLiteral("数据") << QStringLiteral("数字") << 2;
    QTest::newRow("gbk delete") << QByteArray("GBK") << QStringLiteral("数据") << QStringLiteral("数") << 2;
    QTest::newRow("utf-8 replace") << QByteArray("UTF-8") << QStringLiteral("数据") << QStringLiteral("数字") << 3;
    QTest::newRow("utf-8 delete") << QByteArray("UTF-8") << QStringLiteral("数据") << QStringLiteral("数") << 3;
    // A western code page cannot spell either title; "??" and "??" are not 0 apart.
    QTest::newRow("western code page") << QByteArray("windows-1252") << QStringLiteral("数据")
                                       << QStringLiteral("数字") << 3;
}

void TestDistance::chineseCountsBytes()
{
    QFETCH(QByteArray, locale);
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(int, expected);
    const LocaleCodec codec(locale.constData());
    const std::string a = localBytes(first).toStdString();
    const std::string b = localBytes(second).toStdString();
    QCOMPARE(editDistance(a, b), expected);
    QCOMPARE(editDistance(b, a), expected);
}

void TestDistance::boundedAgreesWithFull()
{
    // The bounded distance is the full one, capped just above the limit.
    QRandomGenerator random(20261207);
    const char alphabet[] = "ab c\xE6\x95";
    for (int round = 0; round < 20000; ++round) {
        std::string a, b;
        // Most within a machine word, some across two or three.
        const bool across = random.bounded(100) < 20;
        const int lengthA = across ? 50 + random.bounded(150) : random.bounded(12);
        const int lengthB = across ? lengthA + random.bounded(-6, 7) : random.bounded(12);
        for (int i = 0; i < lengthA; ++i)
            a += alphabet[random.bounded(6)];
        b = a.substr(0, size_t(std::min(lengthA, lengthB)));
        for (int i = int(b.size()); i < lengthB; ++i)
            b += alphabet[random.bounded(6)];
        for (int edits = random.bounded(4); edits > 0 && !b.empty(); --edits)
            b[size_t(random.bounded(int(b.size())))] = alphabet[random.bounded(6)];
        const int limit = random.bounded(across ? 41 : 11);
        const int full = editDistance(a, b);
        const int bounded = boundedEditDistance(a.data(), int(a.size()), b.data(), int(b.size()), limit);
        BitParallelDistance parallel;
        parallel.assign(a.data(), int(a.size()));
        const int fromFirst = parallel.bounded(b.data(), int(b.size()), limit);
        if (bounded != std::min(full, limit + 1) || fromFirst != bounded)
            QFAIL(qPrintable(QStringLiteral("'%1' '%2' limit %3: %4 and %5 vs %6")
                                 .arg(QString::fromStdString(a), QString::fromStdString(b))
                                 .arg(limit).arg(bounded).arg(fromFirst).arg(full)));
    }
}

void TestDistance::bytesCompared_data()
{
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray("UTF-8") << QString() << QByteArray();
    QTest::newRow("nul kept") << QByteArray("UTF-8") << QString::fromUtf8("ab\0cd", 5) << QByteArray("ab\0cd", 5);
    QTest::newRow("utf-8") << QByteArray("UTF-8") << QStringLiteral("数") << QByteArray("\xE6\x95\xB0");
    QTest::newRow("gbk") << QByteArray("GBK") << QStringLiteral("数a") << QByteArray("\xCA\xFD" "a");
    QTest::newRow("outside gbk") << QByteArray("GBK") << QStringLiteral("数\U0001F600")
                                 << QByteArray("\xCA\xFD\xF0\x9F\x98\x80");
    QTest::newRow("western") << QByteArray("windows-1252") << QStringLiteral("é数")
                             << QByteArray("\xE9\xE6\x95\xB0");
}

void TestDistance::bytesCompared()
{
    QFETCH(QByteArray, locale);
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    const LocaleCodec codec(locale.constData());
    QCOMPARE(localBytes(text), bytes);
}

QTEST_GUILESS_MAIN(TestDistance)
#include "tst_distance.moc"
