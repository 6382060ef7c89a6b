#include "engine/fulltextmatcher.h"
#include "support/linearmatcher.h"
#include "support/testsupport.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>

// The indexed matcher must choose exactly the file that scanning the whole list
// chooses, for every title, threshold and local encoding.
class TestMatcher : public QObject
{
    Q_OBJECT

private slots:
    void sameChoiceAsLinearScan_data();
    void sameChoiceAsLinearScan();
    void largeLibraryByDefaultSearch_data();
    void largeLibraryByDefaultSearch();
    void knownChoices();
};

namespace {

const QString pieces[] = {QStringLiteral("a"),  QStringLiteral("b"),  QStringLiteral("ab"),
                          QStringLiteral(" "),  QStringLiteral("."),  QStringLiteral("数"),
                          QStringLiteral("据"), QStringLiteral("A"),  QStringLiteral("Deep "),
                          QStringLiteral("learning"), QStringLiteral("_"), QStringLiteral("?"),
                          QStringLiteral(":"), QStringLiteral(","), QStringLiteral("é"),
                          QStringLiteral("——"), QStringLiteral("...")};

QString randomText(QRandomGenerator &random, int maxPieces)
{
    QString text;
    const int count = random.bounded(maxPieces + 1);
    for (int i = 0; i < count; ++i)
        text += pieces[random.bounded(int(std::size(pieces)))];
    return text;
}

// A near copy: a few pieces replaced, inserted or removed, or the case changed.
QString mutate(QRandomGenerator &random, QString text)
{
    for (int edits = random.bounded(4); edits > 0; --edits) {
        const int at = text.isEmpty() ? 0 : random.bounded(text.size());
        switch (random.bounded(4)) {
        case 0:
            text.insert(at, pieces[random.bounded(int(std::size(pieces)))]);
            break;
        case 1:
            text.remove(at, 1);
            break;
        case 2:
            if (!text.isEmpty())
                text[at] = text[at].isUpper() ? text[at].toLower() : text[at].toUpper();
            break;
        default:
            text.insert(at, QLatin1Char(' '));
        }
    }
    return text;
}

// A name a CNKI download of that title might carry: punctuation as "_" and
// cut with "_省略_" (old), or kept and cut with "..." (new); with or without
// the author and a repeat mark.
QString cnkiName(QRandomGenerator &random, QString title, const QString &author)
{
    const bool old = random.bounded(2);
    if (old)
        title.replace(QRegularExpression(QStringLiteral("——|[ :：,?.]")), QStringLiteral("_"));
    // CNKI's own shapes (16 + 16 over 32, 13 + 13 over 29), or any other cut.
    const int keep = random.bounded(2) ? (old ? 16 : 13) : 1 + random.bounded(4);
    if (title.size() > 2 * keep && random.bounded(2))
        title = title.left(keep) + (old ? "_省略_" : "...") + title.right(keep);
    if (random.bounded(3))
        title += '_' + author.section(',', 0, 0);
    return title + QStringList({"", " (1)", QStringLiteral("（2）"), " - Copy"}).at(random.bounded(4));
}

} // namespace

void TestMatcher::sameChoiceAsLinearScan_data()
{
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("search"); // IndexedFullTextMatcher::NearSearch
    for (const char *locale : {"UTF-8", "GBK"})
        for (quint32 seed = 1; seed <= 6; ++seed)
            QTest::addRow("%s seed %u, search %u", locale, seed, seed % 3)
                << QByteArray(locale) << seed << int(seed % 3);
}

void TestMatcher::sameChoiceAsLinearScan()
{
    QFETCH(QByteArray, locale);
    QFETCH(quint32, seed);
    QFETCH(int, search);
    const LocaleCodec codec(locale.constData());
    QRandomGenerator random(seed);
    int compared = 0;
    int nearFound = 0;
    int downloads = 0; // found only by the rule passes
    int folded = 0;    // found by the folded names
    int managed = 0;   // found through the authors, year and identifiers, at distance 0

    // Under the sanitizers, which make every allocation of the oracle costly,
    // a third of the libraries: they look for memory faults, not for choices.
#ifdef __SANITIZE_ADDRESS__
    constexpr int libraries = 15;
#else
    constexpr int libraries = 45;
#endif
    for (int library = 0; library < libraries; ++library) {
        QStringList seeds;
        for (int i = 0; i < 6; ++i)
            seeds.append(randomText(random, 1 + random.bounded(12)));
        // Another paper's title that differs in a symbol, a number or a mark,
        // and a title long enough for CNKI to cut.
        static const QStringList marks({QStringLiteral("₂"), QStringLiteral("²⁺"), QStringLiteral("Ⅱ"),
                                        QStringLiteral("①"), QStringLiteral("＋"), QStringLiteral("－"), " + 1",
                                        QStringLiteral(" − 1"), QStringLiteral("（2）"), " (2)", QStringLiteral("≠")});
        seeds.append(seeds.at(0) + marks.at(random.bounded(marks.size())));
        if (library % 4 == 0)
            seeds.append(randomText(random, 24));
        const QStringList authors({QString(), QStringLiteral("刘松"), QStringLiteral("Smith, John"),
                                   randomText(random, 3).simplified()});
        const QStringList dois({QString(), "10.1/ab", "10.2/X.y", "10.1/ab1234567", "10.48550/arXiv.2101.00001"});
        QFileInfoList files;
        const int fileCount = random.bounded(40);
        for (int i = 0; i < fileCount; ++i) {
            QString name = mutate(random, seeds.at(random.bounded(seeds.size())));
            if (random.bounded(8) == 0)
                name = seeds.at(random.bounded(seeds.size())); // duplicate base names
            if (random.bounded(4) == 0) { // a download name, as saved or not
                name = seeds.at(random.bounded(seeds.size())).simplified();
                if (random.bounded(2))
                    name.replace('?', '_').replace(':', '_');
                name += '_' + QStringList({"刘松", "Smith, John", "Smith"}).at(random.bounded(3));
            }
            if (random.bounded(4) == 0)
                name = cnkiName(random, seeds.at(random.bounded(seeds.size())).simplified(),
                                authors.at(1 + random.bounded(3)));
            if (random.bounded(6) == 0) { // a reference manager's name, of a whole or cut title
                static const QStringList heads({"Smith - 2020 - ", "Smith_Jones_2021_", "Smith, Jones, Lee - 2019 - ",
                                                "smith2020 - ", "Smith-2022-", QStringLiteral("刘松等 - 2020 - "),
                                                "Smith - ", "Smith et al. - 2020 - "});
                const QString title = seeds.at(random.bounded(seeds.size())).simplified();
                name = heads.at(random.bounded(heads.size())) + (random.bounded(2) ? title : title.left(18 + random.bounded(6)));
            }
            if (random.bounded(40) == 0)
                name = QStringList({"10.1@ab", "10.1_AB", "10.2@x.Y", "ab1234567", "2101.00001v2"}).at(random.bounded(5));
            if (random.bounded(8) == 0)
                name = name.normalized(QString::NormalizationForm_D); // from a Mac
            const QString folder = QStringLiteral("/lib/f%1/").arg(random.bounded(3));
            files.append(QFileInfo(folder + name + (random.bounded(2) ? ".pdf" : ".caj")));
        }
        QStringList titles({QString()});
        for (int i = 0; i < 25; ++i)
            titles.append(mutate(random, seeds.at(random.bounded(seeds.size()))).simplified());
        for (const QString &seed : seeds)
            titles.append(seed.simplified());

        for (const int threshold : {0, 1, 2, 3, 4, 6, 10}) {
            const LinearFullTextMatcher linear(files, threshold);
            const IndexedFullTextMatcher indexed(files, threshold,
                                                 IndexedFullTextMatcher::NearSearch(search));
            for (const QString &title : titles) {
                const QString author = authors.at(random.bounded(authors.size()));
                const QString doi = dois.at(random.bounded(dois.size()));
                static const QList<QStringList> families({{}, {"Smith"}, {"Smith", "Jones"}, {"Smith", "Jones", "Lee"},
                                                          {QStringLiteral("刘松")}});
                RecordFields fields;
                fields.authorYear.families = families.at(random.bounded(families.size()));
                fields.authorYear.authors = fields.authorYear.families.size() + random.bounded(2);
                fields.authorYear.year = QList<int>({0, 2020, 2022}).at(random.bounded(3));
                const FullTextMatch expected = linear.find(title, author, doi, QString(), fields);
                const FullTextMatch actual = indexed.find(title, author, doi, QString(), fields);
                if (actual.index != expected.index || actual.exact != expected.exact
                    || actual.strength != expected.strength || actual.cutFile != expected.cutFile
                    || actual.tied != expected.tied || actual.cut != expected.cut)
                    QFAIL(qPrintable(QStringLiteral("title '%1' by '%5', threshold %2: %3 instead of %4")
                                         .arg(title).arg(threshold).arg(actual.index).arg(expected.index)
                                         .arg(author)));
                ++compared;
                if (threshold == 0) // at one threshold: the question costs a scan
                    managed += expected.index >= 0 && linear.find(title, author, doi).index != expected.index;
                nearFound += expected.index >= 0 && !expected.exact;
                downloads += expected.index >= 0 && linear.find(title).index < 0;
                folded += expected.index >= 0 && !expected.exact
                          && LinearFullTextMatcher(files, 0).find(title).index == expected.index;
            }
        }
    }
    // The libraries must exercise the near pass, not only misses and exact hits.
    QVERIFY(compared > 8000 * libraries / 45);
    QVERIFY(nearFound > compared / 10);
    QVERIFY(downloads > compared / 500);
    QVERIFY(folded > compared / 100);
    QVERIFY(managed > compared / 1500);
}

void TestMatcher::largeLibraryByDefaultSearch_data()
{
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<bool>("shared"); // most names open and end alike
    QTest::addColumn<int>("search");  // IndexedFullTextMatcher::NearSearch
    for (const char *locale : {"UTF-8", "GBK"}) {
        QTest::addRow("%s", locale) << QByteArray(locale) << false << 0;
        for (int search = 0; search < 3; ++search)
            QTest::addRow("%s, shared openings, search %d", locale, search) << QByteArray(locale) << true << search;
    }
}

void TestMatcher::largeLibraryByDefaultSearch()
{
    // Thousands of names of like length: the default search then looks pieces
    // up instead of scanning, and must still choose what the scan chooses;
    // so must every search where a few openings and endings fill the pieces.
    QFETCH(QByteArray, locale);
    QFETCH(bool, shared);
    QFETCH(int, search);
    const LocaleCodec codec(locale.constData());
    QRandomGenerator random(7);
    const QString alphabet = QStringLiteral("abcdefgh数据挖掘 ");
    const QStringList openings({QStringLiteral("基于深度学习的"), QStringLiteral("A survey of "), QStringLiteral("面向")});
    const QStringList endings({QString(), QStringLiteral("方法研究"), QStringLiteral(": a review")});
    QStringList names;
    QFileInfoList files;
    for (int i = 0; i < (shared ? 700 : 2000); ++i) {
        QString name = shared ? openings.at(random.bounded(openings.size())) : QString();
        for (int length = name.size() + (shared ? 6 : 24) + random.bounded(4); name.size() < length;)
            name += alphabet.at(random.bounded(alphabet.size()));
        if (shared)
            name += endings.at(random.bounded(endings.size()));
        names.append(name);
        files.append(QFileInfo(QStringLiteral("/lib/%1/%2.pdf").arg(i % 7).arg(name)));
    }
    for (const int threshold : {1, 2, 3, 10}) {
        const LinearFullTextMatcher linear(files, threshold);
        const IndexedFullTextMatcher indexed(files, threshold, IndexedFullTextMatcher::NearSearch(search));
        int near = 0;
        for (int i = 0; i < 40; ++i) {
            const QString title = mutate(random, names.at(random.bounded(names.size()))).simplified();
            const FullTextMatch expected = linear.find(title);
            const FullTextMatch actual = indexed.find(title);
            QCOMPARE(actual.index, expected.index);
            QCOMPARE(actual.exact, expected.exact);
            near += expected.index >= 0 && !expected.exact;
        }
        QVERIFY(near > 5);
    }
}

void TestMatcher::knownChoices()
{
    const LocaleCodec codec("UTF-8");
    const QFileInfoList files({QFileInfo("/l/abcdefgh.pdf"), QFileInfo("/l/abcdefgX.pdf"),
                               QFileInfo("/l/xbcdefgh.caj"), QFileInfo("/l/abcdefgh.caj")});
    const IndexedFullTextMatcher two(files, 2);
    QCOMPARE(two.find("abcdefgh").index, 0);
    QVERIFY(two.find("abcdefgh").exact);
    QCOMPARE(two.find("Ybcdefgh").index, 0); // the first within 2, not the closest (2)
    QVERIFY(!two.find("Ybcdefgh").exact);
    QCOMPARE(two.find("abc").index, -1);
    const IndexedFullTextMatcher zero(files, 0);
    QCOMPARE(zero.find("xbcdefgh").index, 2);
    QCOMPARE(zero.find("Ybcdefgh").index, -1);
    QCOMPARE(zero.find("XBCDEFGH").index, 2); // folded: letter case aside
    const IndexedFullTextMatcher huge(files, std::numeric_limits<int>::max()); // not sized by the threshold
    QCOMPARE(huge.find("a completely different and much longer title").index, 0);
    // Before, a library of one decomposed name (from a Mac) ended the run at any distance but 0.
    const IndexedFullTextMatcher mac({QFileInfo(QString::fromUtf8("/l/e\xcc\x81.pdf"))}, 1);
    QCOMPARE(mac.find(QStringLiteral("é")).index, 0);
    QCOMPARE(mac.find(QStringLiteral("éa")).index, 0);
}

QTEST_GUILESS_MAIN(TestMatcher)
#include "tst_matcher.moc"
