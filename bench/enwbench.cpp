// Measures the whole repair (read, collect, link, write) on synthetic libraries,
// against the linear scan the linker started from, and once through the window.
//
//   enwbench [--quick]                  the table (each measurement in a child process)
//   enwbench --engine product|linear DIR [THRESHOLD]  one engine run on the library in DIR
//                                        (linear: the oracle, its answers worked out on every core)
//   enwbench --floor DIR                 read, list and write alone, on the library in DIR
//   enwbench --window DIR                one run through the real window
//   enwbench --generate DIR N [FILES]    writes the N x N library of the table into DIR (FILES full texts)
//   enwbench --generate-shared DIR N     the same with titles that share openings and endings
//   enwbench --downloads DIR N           N records whose full texts carry download names
//   enwbench --managers DIR N            N records whose full texts carry reference managers'
//                                        and publishers' names (and the linear oracle's run)
//   enwbench --check DIR                 checks DIR/out-product.enw of such a library
//   enwbench --formats DIR N             the N x N library written as ENW, RIS and BibTeX, in turns
//   enwbench --screenshots EXAMPLES DOCS [--high-dpi]  the README's pictures (scripts/screenshots.sh)

#include "app/logrouting.h"
#include "dialog/enwdialog.h"
#include "engine/enwreader.h"
#include "engine/enwwriter.h"
#include "engine/fulltextcollector.h"
#include "engine/fulltextmatcher.h"
#include "support/linearmatcher.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QTextCodec>
#include <QTextEdit>
#include <QTextStream>
#include <QThread>
#include <QtTest>

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <memory>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

const char *const englishWords[] = {
    "analysis", "of", "the", "deep", "learning", "network", "model", "data", "mining", "method",
    "study", "on", "a", "an", "for", "with", "in", "and", "approach", "system", "design",
    "evaluation", "performance", "graph", "theory", "neural", "image", "recognition", "protein",
    "structure", "prediction", "climate", "change", "effects", "crop", "yield", "survey", "review",
    "novel", "framework", "based", "efficient", "algorithm", "optimization", "distributed",
    "learning", "reinforcement", "language", "processing", "natural", "semantic", "retrieval",
    "information", "management", "reference", "software", "library", "digital", "education",
    "students", "teachers", "pandemic", "health", "public", "policy", "economic", "growth",
    "China", "urban", "rural", "development", "sustainable", "energy", "solar", "wind", "power",
    "grid", "control", "robust", "adaptive", "estimation", "signal", "noise", "wireless",
    "communication", "channel", "coding", "security", "privacy", "attack", "detection", "anomaly",
    "time", "series", "forecasting", "regression", "Bayesian", "inference", "sampling", "Monte",
    "Carlo", "simulation", "fluid", "dynamics", "turbulence", "flow", "heat", "transfer",
    "material", "composite", "steel", "concrete", "bridge", "soil", "water", "quality", "river",
    "basin", "ecology", "species", "diversity", "gene", "expression", "cell", "cancer", "therapy",
    "clinical", "trial", "patients", "risk", "factors", "children", "older", "adults", "mental",
    "stress", "social", "media", "network", "analysis", "case", "evidence", "from", "towards",
    "understanding", "measuring", "comparing", "two", "three", "new", "large-scale", "real-time"};

const QString chineseCharacters = QStringLiteral(
    "的一是在不了有和人这中大为上个国我以要他时来用们生到作地于出就分对成会可主发年动同工也能下过子说产种面"
    "而方后多定行学法所民得经十三之进着等部度家电力里如水化高自二理起小物现实加量都两体制机当使点从业本去把"
    "性好应开它合还因由其些然前外天政四日那社义事平形相全表间样与关各重新线内数正心反你明看原又么利比或但质"
    "气第向道命此变条只没结解问意建月公无系军很情者最立代想已通并提直题党程展五果料象员革位入常文总次品式活"
    "设及管特件长求老头基资边流路级少图山统接知较将组见计别她手角期根论运农指几九区强放决西被干做必战先回则"
    "任取据处府研究基于深度学习图像识别方法综述文献软件比较中国古代史数据挖掘网络模型分析系统设计优化算法");

class Generator
{
public:
    explicit Generator(quint32 seed) : m_random(seed) {}

    QString title()
    {
        QString text;
        if (m_random.bounded(100) < 60) {
            const int words = 5 + m_random.bounded(16);
            for (int i = 0; i < words; ++i) {
                if (i > 0)
                    text += m_random.bounded(100) < 4 ? QStringLiteral(": ") : QStringLiteral(" ");
                text += QString::fromLatin1(englishWords[m_random.bounded(int(std::size(englishWords)))]);
            }
            text[0] = text[0].toUpper();
            if (m_random.bounded(100) < 5)
                text += QStringLiteral(" 2.0");
            if (m_random.bounded(100) < 8)
                text += QLatin1Char('?');
        } else {
            const int characters = 8 + m_random.bounded(23);
            for (int i = 0; i < characters; ++i)
                text += chineseCharacters.at(m_random.bounded(chineseCharacters.size()));
            if (m_random.bounded(100) < 10)
                text.insert(text.size() / 2, QStringLiteral("："));
        }
        return text;
    }

    // A title as real libraries have many of: a common opening (about a
    // third of the title), a body, and often a common ending.
    QString sharedTitle()
    {
        static const QStringList chineseOpenings({
            QStringLiteral("基于深度学习的"), QStringLiteral("基于改进遗传算法的"), QStringLiteral("基于机器学习的"),
            QStringLiteral("基于卷积神经网络的"), QStringLiteral("面向大数据的"), QStringLiteral("关于加强"),
            QStringLiteral("我国"), QStringLiteral("新时代背景下"), QStringLiteral("浅谈"), QStringLiteral("试论"),
            QStringLiteral("基于多源数据融合的"), QStringLiteral("一种新的"), QStringLiteral("基于注意力机制的"),
            QStringLiteral("中国特色社会主义"), QStringLiteral("高校思想政治教育"), QStringLiteral("乡村振兴战略下"),
            QStringLiteral("基于物联网的"), QStringLiteral("基于有限元分析的")});
        static const QStringList chineseEndings({QStringLiteral("方法研究"), QStringLiteral("的研究"),
                                                 QStringLiteral("研究进展"), QStringLiteral("综述"),
                                                 QStringLiteral("的设计与实现"), QStringLiteral("问题研究")});
        static const QStringList englishOpenings({
            QStringLiteral("A survey of "), QStringLiteral("Towards "), QStringLiteral("On the "),
            QStringLiteral("A novel method for "), QStringLiteral("Deep learning for "), QStringLiteral("Research on "),
            QStringLiteral("Analysis of the "), QStringLiteral("A study on the "), QStringLiteral("The effects of "),
            QStringLiteral("An empirical study of "), QStringLiteral("Machine learning approaches to "),
            QStringLiteral("A systematic review of "), QStringLiteral("Understanding the "),
            QStringLiteral("A framework for "), QStringLiteral("Evaluation of ")});
        static const QStringList englishEndings({QStringLiteral(": a review"), QStringLiteral(" in China"),
                                                 QStringLiteral(": a case study"), QStringLiteral(" revisited")});
        // The body twice as long as the opening, give or take a character or word.
        QString text;
        if (m_random.bounded(100) < 50) {
            text = chineseOpenings.at(m_random.bounded(chineseOpenings.size()));
            for (int i = 2 * text.size() + m_random.bounded(3) - 1; i > 0; --i)
                text += chineseCharacters.at(m_random.bounded(chineseCharacters.size()));
            if (m_random.bounded(100) < 50)
                text += chineseEndings.at(m_random.bounded(chineseEndings.size()));
        } else {
            text = englishOpenings.at(m_random.bounded(englishOpenings.size()));
            const int opening = text.size();
            while (text.size() < 3 * opening) {
                text += QString::fromLatin1(englishWords[m_random.bounded(int(std::size(englishWords)))]);
                text += QLatin1Char(' ');
            }
            text.chop(1);
            if (m_random.bounded(100) < 50)
                text += englishEndings.at(m_random.bounded(englishEndings.size()));
        }
        return text;
    }

    // A file name a user might have given the same document.
    QString nearName(QString name)
    {
        const int at = m_random.bounded(name.size());
        switch (m_random.bounded(5)) {
        case 0:
            name[at] = QLatin1Char('_');
            break;
        case 1:
            name[0] = name[0].isUpper() ? name[0].toLower() : name[0].toUpper();
            if (name[0] == name.at(0).toLower() && !name[0].isLetter())
                name[at] = QLatin1Char('_');
            break;
        case 2:
            name.insert(at, QLatin1Char(' '));
            break;
        case 3:
            name.remove(at, 1);
            break;
        default:
            name.insert(at, name.at(at));
        }
        return name.trimmed().isEmpty() ? name + QLatin1Char('x') : name;
    }

    QString folder()
    {
        const int depth = m_random.bounded(4);
        QString path;
        for (int i = 0; i < depth; ++i)
            path += QStringLiteral("/d%1").arg(m_random.bounded(i == 0 ? 10 : 6));
        return path;
    }

    QString suffix()
    {
        const int pick = m_random.bounded(100);
        return pick < 75 ? QStringLiteral(".pdf") : pick < 95 ? QStringLiteral(".caj") : QStringLiteral(".PDF");
    }

    int percent() { return m_random.bounded(100); }

    // Chinese titles as the databases list them: with punctuation, some long.
    QString punctuated(QString title)
    {
        if (title.at(0).unicode() < 0x2000)
            return title;
        static const QStringList marks({QStringLiteral("："), QStringLiteral("、"), QStringLiteral("——"),
                                        QStringLiteral("《"), QStringLiteral("》"), QStringLiteral("“"),
                                        QStringLiteral("”"), QStringLiteral("（"), QStringLiteral("）"),
                                        QStringLiteral(" "), QStringLiteral("-"), QStringLiteral("+")});
        if (m_random.bounded(100) < 30)
            title += title.left(4 + m_random.bounded(12)) + title.mid(3, 10);
        for (int i = m_random.bounded(4); i > 0; --i)
            title.insert(1 + m_random.bounded(title.size() - 1), marks.at(m_random.bounded(marks.size())));
        return title;
    }

    // The name a download of that title by that (first) author carries: CNKI's
    // old rule (punctuation as "_", long titles cut to 16 + "_省略_" + 16) or
    // its new one (punctuation kept, 13 + "..." + 13), some without the author,
    // some with the author a second download " (1)".
    QString downloadName(const QString &title, const QString &author)
    {
        QString name = title;
        const bool chinese = title.at(0).unicode() > 0x2000;
        const bool old = chinese && m_random.bounded(2);
        if (old) {
            name.replace(QRegularExpression(QStringLiteral("——|[/:：、“”《》()（） -]")), QStringLiteral("_"));
            if (name.size() > 32)
                name = name.left(16) + QStringLiteral("_省略_") + name.right(16);
        } else {
            for (QChar &c : name)
                if (QStringLiteral("\\/:*?\"<>|").contains(c))
                    c = QLatin1Char('_');
            if (chinese && name.size() > 30)
                name = name.left(13) + QStringLiteral("...") + name.right(13);
        }
        if (!chinese && m_random.bounded(100) < 10)
            name = name.toUpper();
        const bool withAuthor = !chinese || m_random.bounded(100) >= 10;
        if (withAuthor)
            name += QLatin1Char('_') + author;
        // A second download: CNKI's names carry the author then ("title_author
        // (1)"); a bare title with a number is a part of a series.
        if (m_random.bounded(100) < 5 && withAuthor)
            name += QStringLiteral(" (1)");
        return name;
    }

    // A first author as the record has it: "Surname, X." or a Chinese name.
    QString author(bool chinese)
    {
        if (chinese) {
            QString name;
            for (int i = 2 + m_random.bounded(2); i > 0; --i)
                name += chineseCharacters.at(m_random.bounded(chineseCharacters.size()));
            if (m_random.bounded(100) < 10) // a patent: all inventors on one line
                name += QStringLiteral(";") + chineseCharacters.mid(m_random.bounded(chineseCharacters.size() - 3), 3);
            return name;
        }
        QString surname = QString::fromLatin1(englishWords[m_random.bounded(int(std::size(englishWords)))]);
        surname[0] = surname[0].toUpper();
        return surname + QStringLiteral(", ") + QChar(QLatin1Char('A' + char(m_random.bounded(26))))
               + QLatin1Char('.');
    }

private:
    QRandomGenerator m_random;
};

bool touch(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

// Writes DIR/refs.enw with `records` records and DIR/fulltexts with `files` files.
// With `downloads`, the full texts carry the names downloads from the Chinese
// databases have, "title_first author" (English ones "title_family name"), and
// DIR/owners.txt lists, per record with a file, its title and that file's name.
enum class Titles { Plain, Downloads, Shared, Managers };

// The name a reference manager or a publisher gives the file of a record:
// `kind` 0 Zotero 7, 1 ZotFile, 2 Mendeley, 3 the DOI's suffix, 4 arXiv or
// Elsevier. `doi` is the record's, made to fit.
QString managerName(int kind, int number, const QString &family, int year, const QString &title, QString *doi)
{
    QString name;
    switch (kind) {
    case 0: {
        QString kept = title;
        kept.remove(QRegularExpression(QStringLiteral("[\\\\/:*?\"<>|]")));
        name = family + QStringLiteral(" - ") + QString::number(year) + QStringLiteral(" - ") + kept.left(100).trimmed();
        break;
    }
    case 1: {
        const QString cut = title.section(QRegularExpression(QStringLiteral("[:.?!]")), 0, 0).trimmed();
        name = family + QLatin1Char('_') + QString::number(year) + QLatin1Char('_') + (cut.isEmpty() ? title : cut).left(80);
        break;
    }
    case 2: {
        QString kept = title;
        kept.remove(QRegularExpression(QStringLiteral("[:?]")));
        name = family + QStringLiteral(" - ") + QString::number(year) + QStringLiteral(" - ") + kept;
        break;
    }
    case 3:
        *doi = QStringLiteral("10.1038/s41598-0%1-x").arg(number, 6, 10, QLatin1Char('0'));
        name = doi->mid(8);
        break;
    default:
        if (number % 2) {
            *doi = QStringLiteral("10.48550/arXiv.2%1.%2").arg(number % 1000, 3, 10, QLatin1Char('0')).arg(number, 5, 10, QLatin1Char('0'));
            name = doi->mid(15) + QStringLiteral("v1");
        } else {
            *doi = QStringLiteral("10.1016/S0%1-%2(20)%3-X").arg(number % 1000, 3, 10, QLatin1Char('0'))
                       .arg(number % 10000, 4, 10, QLatin1Char('0')).arg(number, 5, 10, QLatin1Char('0'));
            QString pii = doi->mid(8);
            pii.remove(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")));
            name = QStringLiteral("1-s2.0-") + pii + QStringLiteral("-main");
        }
    }
    return name;
}

void generateLibrary(const QString &dir, int records, int files, Titles titles = Titles::Plain)
{
    const bool downloads = titles == Titles::Downloads;
    const bool managers = titles == Titles::Managers;
    Generator generate(quint32(records) * 7919u + 17u);
    QDir().mkpath(dir);
    QFile enw(dir + QStringLiteral("/refs.enw"));
    if (!enw.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot write the library into %s: %s\n", qPrintable(dir), qPrintable(enw.errorString()));
        std::exit(1);
    }
    QTextStream out(&enw);
    out.setCodec("UTF-8");
    out.setGenerateByteOrderMark(true);
    QStringList names;
    QFile ownersFile(dir + QStringLiteral("/owners.txt"));
    QTextStream owners(&ownersFile);
    owners.setCodec("UTF-8");
    if (downloads || managers)
        ownersFile.open(QIODevice::WriteOnly);
    for (int i = 0; i < records; ++i) {
        const QString title = downloads || managers ? generate.punctuated(generate.title())
                              : titles == Titles::Shared ? generate.sharedTitle() : generate.title();
        const bool chinese = title.at(0).unicode() > 0x2000;
        const QString author = downloads || managers ? generate.author(chinese) : QStringLiteral("Author, A.");
        const int kind = generate.percent();
        const int year = managers ? 2010 + generate.percent() % 15 : 2020;
        QString doi;
        if (managers && kind < 70) {
            const QString family = chinese ? author.section(QLatin1Char(';'), 0, 0) : author.section(QLatin1Char(','), 0, 0);
            names.append(managerName(kind % 5, i, family, year + kind % 3 - 1, title, &doi));
            owners << title << '\t' << names.last() << '\n';
        }
        out << "%0 Journal Article\r\n%A " << author << "\r\n%T " << title << "\r\n%J Journal of Studies\r\n"
            << "%D " << year << "\r\n%U https://example.org/" << i << "\r\n";
        if (!doi.isEmpty())
            out << "%R " << doi << "\r\n";
        out << "\r\n";
        if (managers) {
            if (kind >= 70 && kind < 85)
                names.append(title);
        } else if (downloads && kind < 70) {
            names.append(generate.downloadName(title, chinese ? author.section(QLatin1Char(';'), 0, 0)
                                                              : author.section(QLatin1Char(','), 0, 0)));
            owners << title << '\t' << names.last() << '\n';
        } else if (kind < 50) {
            names.append(title);
        } else if (kind < 70) {
            names.append(generate.nearName(title));
        }
    }
    while (names.size() < files)
        names.append(titles == Titles::Shared ? generate.sharedTitle() : generate.title());
    names = names.mid(0, files);
    const QString root = dir + QStringLiteral("/fulltexts");
    for (const QString &name : names) {
        const QString folder = root + generate.folder();
        QDir().mkpath(folder);
        touch(folder + QLatin1Char('/') + name + generate.suffix());
    }
}

void discardMessages(QtMsgType, const QMessageLogContext &, const QString &) {}

// The linear matcher's answers, worked out on every core before the output is
// written: the baseline of the largest libraries then takes minutes, not hours,
// and every choice is still the linear matcher's own.
class AnsweredMatcher final : public FullTextMatcher
{
public:
    struct Question
    {
        QString title, author, doi, saved;
        RecordFields fields;
        QString key() const
        {
            const AuthorYearFields &ay = fields.authorYear;
            return QStringList({title, author, doi, saved, ay.families.join(QChar(1)), QString::number(ay.authors),
                                QString::number(ay.year), fields.urls.join(QChar(1))})
                .join(QChar(0));
        }
    };
    FullTextMatch find(const QString &title, const QString &author, const QString &doi, const QString &saved,
                       const RecordFields &fields) const override
    {
        const Question question{title, author, doi, saved, fields};
        const auto answer = answers.constFind(question.key());
        if (answer != answers.constEnd())
            return *answer;
        asked.append(question);
        return {};
    }
    void answer(const FullTextMatcher &matcher)
    {
        std::vector<FullTextMatch> found(size_t(asked.size()));
        const int cores = std::max(1, QThread::idealThreadCount());
        std::vector<std::thread> workers;
        for (int core = 0; core < cores; ++core) {
            workers.emplace_back([&, core] {
                for (int i = core; i < asked.size(); i += cores) {
                    const Question &q = asked.at(i);
                    found[size_t(i)] = matcher.find(q.title, q.author, q.doi, q.saved, q.fields);
                }
            });
        }
        for (std::thread &worker : workers)
            worker.join();
        for (int i = 0; i < asked.size(); ++i)
            answers.insert(asked.at(i).key(), found[size_t(i)]);
    }

private:
    mutable QList<Question> asked;
    QHash<QString, FullTextMatch> answers;
};

int runEngine(const QString &mode, const QString &dir, int threshold, const QString &formatName = QString())
{
    OutputFormat format = OutputFormat::Enw;
    outputFormatNamed(formatName, &format);
    qInstallMessageHandler(discardMessages);
    QElapsedTimer timer;
    timer.start();
    QTextCodec *codec = QTextCodec::codecForName("UTF-16LE");
    QStringList lines;
    RecordUrls urls; // as a run hands them to the matcher
    readEnwFile(dir + QStringLiteral("/refs.enw"), lines, {}, nullptr, &urls, format != OutputFormat::Enw);
    const qint64 read = timer.nsecsElapsed();
    QFileInfoList fullTexts;
    collectFullTexts(dir + QStringLiteral("/fulltexts"), fullTexts);
    const qint64 collected = timer.nsecsElapsed();
    const QString output = dir + QStringLiteral("/out-") + mode + QStringLiteral(".")
                           + (formatName.isEmpty() ? QStringLiteral("enw") : formatName);
    int linked;
    if (mode == QLatin1String("linear")) {
        // A first writing asks the questions, the linear matcher answers them
        // all, a second writing uses the answers.
        AnsweredMatcher answered;
        writeLinkedEnw(lines, fullTexts, output, codec, answered, {}, QString(), {}, nullptr, urls);
        answered.answer(LinearFullTextMatcher(fullTexts, threshold));
        linked = writeLinkedEnw(lines, fullTexts, output, codec, answered, {}, QString(), {}, nullptr, urls);
    } else {
        linked = writeLinkedEnw(lines, fullTexts, output, codec, threshold, {}, QString(), {}, nullptr, urls, format);
    }
    const qint64 total = timer.nsecsElapsed();
    std::fprintf(stderr, "read %.3f collect %.3f link and write %.3f\n", read / 1e9,
                 (collected - read) / 1e9, (total - collected) / 1e9);
    std::printf("%.3f %d\n", total / 1e9, linked);
    return 0;
}

// What no implementation can avoid: reading the source, listing the tree and
// writing as many UTF-16 bytes as the output has.
int runFloor(const QString &dir)
{
    QElapsedTimer timer;
    timer.start();
    QFile source(dir + QStringLiteral("/refs.enw"));
    source.open(QIODevice::ReadOnly);
    const QString text = QString::fromUtf8(source.readAll());
    long entries = 0;
    std::vector<QByteArray> folders{QFile::encodeName(dir + QStringLiteral("/fulltexts"))};
    while (!folders.empty()) {
        const QByteArray folder = folders.back();
        folders.pop_back();
        DIR *listing = opendir(folder.constData());
        if (!listing)
            continue;
        while (const dirent *entry = readdir(listing)) {
            if (entry->d_name[0] == '.')
                continue;
            ++entries;
            if (entry->d_type == DT_DIR)
                folders.push_back(folder + '/' + entry->d_name);
        }
        closedir(listing);
    }
    // As many UTF-16 bytes as the product's output has, encoded from the text.
    const qint64 outputSize = QFileInfo(dir + QStringLiteral("/out-product.enw")).size();
    QFile output(dir + QStringLiteral("/out-floor.enw"));
    output.open(QIODevice::WriteOnly);
    QTextCodec::ConverterState state;
    QTextCodec *utf16 = QTextCodec::codecForName("UTF-16LE");
    for (qint64 written = 0; written < outputSize && !text.isEmpty();) {
        const int chunk = int(std::min<qint64>(text.size(), (outputSize - written) / 2 + 1));
        const QByteArray bytes = utf16->fromUnicode(text.constData(), chunk, &state);
        output.write(bytes);
        written += bytes.size();
    }
    output.close();
    std::printf("%.3f %ld\n", timer.nsecsElapsed() / 1e9, entries);
    return 0;
}

int runWindow(const QString &dir)
{
    EnwDialog dialog;
    dialog.show();
    logDialog = &dialog;
    qInstallMessageHandler(logMessageHandler);
    dialog.findChild<QComboBox *>(QStringLiteral("comboBoxEnw"))->addItem(dir + QStringLiteral("/refs.enw"));
    dialog.findChild<QComboBox *>(QStringLiteral("comboBoxPath"))->addItem(dir + QStringLiteral("/fulltexts"));
    dialog.findChild<QComboBox *>(QStringLiteral("comboBoxSave"))->addItem(dir + QStringLiteral("/out-window.enw"));
    QElapsedTimer timer;
    timer.start();
    dialog.findChild<QPushButton *>(QStringLiteral("pushButton"))->click();
    const double seconds = timer.nsecsElapsed() / 1e9;
    qInstallMessageHandler(nullptr);
    logDialog = nullptr;
    const int lines = dialog.findChild<QTextEdit *>(QStringLiteral("textBrowser"))->document()->blockCount() - 1;
    std::printf("%.3f %d\n", seconds, lines);
    return 0;
}

struct ChildRun
{
    bool ok = false;
    double seconds = 0;
    long value = 0;     // titles linked, or console lines
    long peakKiB = 0;
};

// Runs this program again with `arguments`, so that each measurement starts
// from a fresh process and its peak memory is its own.
ChildRun runChild(const QStringList &arguments)
{
    ChildRun run;
    int fds[2];
    if (pipe(fds) != 0)
        return run;
    const QByteArray program = QFile::encodeName(QCoreApplication::applicationFilePath());
    QList<QByteArray> encoded;
    for (const QString &argument : arguments)
        encoded.append(QFile::encodeName(argument));
    std::vector<char *> argv{const_cast<char *>(program.constData())};
    for (QByteArray &argument : encoded)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        execv(program.constData(), argv.data());
        _exit(127);
    }
    close(fds[1]);
    QByteArray output;
    char buffer[256];
    ssize_t got;
    while ((got = read(fds[0], buffer, sizeof buffer)) > 0)
        output.append(buffer, int(got));
    close(fds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const QList<QByteArray> fields = output.trimmed().split(' ');
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && fields.size() == 2;
    if (run.ok) {
        run.seconds = fields.at(0).toDouble();
        run.value = fields.at(1).toLong();
    }
    run.peakKiB = usage.ru_maxrss;
    return run;
}

bool sameBytes(const QString &a, const QString &b)
{
    QFile first(a), second(b);
    if (!first.open(QIODevice::ReadOnly) || !second.open(QIODevice::ReadOnly))
        return false;
    while (!first.atEnd() || !second.atEnd()) {
        if (first.read(1 << 20) != second.read(1 << 20))
            return false;
    }
    return true;
}

QString machine()
{
    QFile cpuinfo(QStringLiteral("/proc/cpuinfo"));
    QString model;
    if (cpuinfo.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : cpuinfo.readAll().split('\n'))
            if (line.startsWith("model name")) {
                model = QString::fromLatin1(line.mid(line.indexOf(':') + 1).trimmed());
                break;
            }
    }
    return QStringLiteral("%1, %2 cores, %3").arg(model).arg(sysconf(_SC_NPROCESSORS_ONLN))
        .arg(QSysInfo::prettyProductName());
}

int runTable(bool quick)
{
    struct Size { int records; QList<int> thresholds; Titles titles; };
    QList<Size> sizes{{1000, {2}, Titles::Plain}, {5000, {2}, Titles::Plain}};
    if (!quick)
        sizes += QList<Size>{{20000, {0, 2, 5, 10}, Titles::Plain}, {80000, {2}, Titles::Plain},
                             {100000, {2, 10}, Titles::Plain}, {20000, {2, 10}, Titles::Shared},
                             {80000, {2}, Titles::Shared}, {100000, {2, 10}, Titles::Shared}};

    std::printf("Machine: %s\n\n", qPrintable(machine()));
    std::printf("| library | records x files | edit distance | engine (s) | floor (s) | engine / floor "
                "| peak memory (MB) | titles linked | linear oracle (s) | outputs identical |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|\n");
    std::fflush(stdout);
    for (const Size &size : sizes) {
        QTemporaryDir dir;
        generateLibrary(dir.path(), size.records, size.records, size.titles);
        for (int threshold : size.thresholds) {
            const QString t = QString::number(threshold);
            const ChildRun product = runChild({QStringLiteral("--engine"), QStringLiteral("product"), dir.path(), t});
            // The floor in the same run, writing as many bytes as this output has.
            const ChildRun floor = runChild({QStringLiteral("--floor"), dir.path()});
            const ChildRun baseline = runChild({QStringLiteral("--engine"), QStringLiteral("linear"), dir.path(), t});
            const bool same = sameBytes(dir.path() + QStringLiteral("/out-product.enw"),
                                        dir.path() + QStringLiteral("/out-linear.enw"))
                              && baseline.ok && baseline.value == product.value;
            std::printf("| %s | %d x %d | %d | %.3f | %.3f | %.1f | %.0f | %ld | %.1f | %s |\n",
                        size.titles == Titles::Shared ? "shared openings" : "plain", size.records,
                        size.records, threshold, product.seconds, floor.seconds, product.seconds / floor.seconds,
                        product.peakKiB / 1024.0, product.value, baseline.seconds, same ? "yes" : "NO");
            std::fflush(stdout);
        }
    }

    const int windowSize = quick ? 5000 : 20000;
    QTemporaryDir dir;
    generateLibrary(dir.path(), windowSize, windowSize);
    const ChildRun window = runChild({QStringLiteral("--window"), dir.path()});
    std::printf("\nThrough the window (offscreen), %d x %d: %.1f s for %ld console lines, %.3f ms per line.\n",
                windowSize, windowSize, window.seconds, window.value,
                window.value ? window.seconds * 1000.0 / double(window.value) : 0.0);
    return 0;
}

// Checks DIR/out-product.enw against DIR/owners.txt: how many records that
// have a file got linked, and how many links go to a file not their own.
int runCheck(const QString &dir)
{
    QHash<QString, QString> owner;
    QFile ownersFile(dir + QStringLiteral("/owners.txt"));
    ownersFile.open(QIODevice::ReadOnly);
    for (const QString &line : QString::fromUtf8(ownersFile.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        owner.insert(line.section(QLatin1Char('\t'), 0, 0), line.section(QLatin1Char('\t'), 1));
    QFile written(dir + QStringLiteral("/out-product.enw"));
    written.open(QIODevice::ReadOnly);
    const QStringList lines = QTextCodec::codecForName("UTF-16LE")->toUnicode(written.readAll().mid(2)).split(QStringLiteral("\r\n"));
    int wrong = 0;
    int owned = 0;
    for (int i = 0; i + 1 < lines.size(); ++i) {
        if (!lines.at(i).startsWith(QLatin1String("%T ")) || !lines.at(i + 1).startsWith(QLatin1String("%> ")))
            continue;
        const QString title = lines.at(i).mid(3);
        const QString base = QFileInfo(lines.at(i + 1).mid(3)).completeBaseName();
        const bool own = owner.contains(title) ? base == owner.value(title) : base == title;
        wrong += !own;
        owned += own && owner.contains(title);
    }
    std::printf("%d records with a download-named file: %d linked to it (%.1f%%), %d links to a file not their own\n",
                int(owner.size()), owned, 100.0 * owned / std::max(1, int(owner.size())), wrong);
    return 0;
}

// Links a library of download names (or of reference managers' and
// publishers' names) and checks each link against the file the generator made
// for that record.
int runDownloads(const QString &dir, int size, Titles titles = Titles::Downloads)
{
    generateLibrary(dir, size, size, titles);
    const ChildRun product = runChild({QStringLiteral("--engine"), QStringLiteral("product"), dir});
    std::printf("%d records, %ld titles linked in %.3f s\n", size, product.value, product.seconds);
    if (titles == Titles::Managers) {
        const ChildRun linear = runChild({QStringLiteral("--engine"), QStringLiteral("linear"), dir});
        std::printf("linear oracle: %ld titles linked in %.1f s, outputs %s\n", linear.value, linear.seconds,
                    sameBytes(dir + QStringLiteral("/out-product.enw"), dir + QStringLiteral("/out-linear.enw"))
                        ? "identical" : "DIFFERENT");
    }
    return runCheck(dir);
}

// The whole run writing ENW, RIS and BibTeX in turns on one library: the
// median of seven runs each, and the size of each output.
int runFormats(const QString &dir, int size)
{
    generateLibrary(dir, size, size);
    const QStringList formats({QStringLiteral("enw"), QStringLiteral("ris"), QStringLiteral("bib")});
    QVector<QVector<double>> seconds(formats.size());
    for (int round = 0; round < 7; ++round) {
        for (int i = 0; i < formats.size(); ++i) {
            const ChildRun run = runChild({QStringLiteral("--engine"), QStringLiteral("product"), dir,
                                           QStringLiteral("2"), formats.at(i)});
            if (!run.ok)
                return 1;
            seconds[i].append(run.seconds);
        }
    }
    std::printf("| output | run, median of 7 (s) | against ENW | size (MB) |\n|---|---|---|---|\n");
    double enw = 0;
    for (int i = 0; i < formats.size(); ++i) {
        std::sort(seconds[i].begin(), seconds[i].end());
        const double median = seconds[i].at(3);
        if (i == 0)
            enw = median;
        std::printf("| %s | %.3f | %+.1f%% | %.1f |\n", qPrintable(formats.at(i)), median, 100.0 * (median / enw - 1),
                    QFileInfo(dir + QStringLiteral("/out-product.") + formats.at(i)).size() / 1e6);
    }
    return 0;
}

// The README's two pictures: the window as it opens, and after a run on the
// sample library. Meant for a real (virtual) X display with Chinese fonts.
// With `highDpi` only the finished run, as docs/high-dpi.png (the display's
// Xft.dpi sets the scale); else also the window as it opens and a run
// being stopped, on a generated library large enough to show its progress.
int runScreenshots(const QString &examples, const QString &docs, bool highDpi)
{
    QApplication::setStyle(QStringLiteral("fusion"));
    EnwDialog dialog;
    dialog.show();
    logDialog = &dialog;
    qInstallMessageHandler(logMessageHandler);
    QTest::qWait(500);
    bool ok = highDpi || dialog.grab().save(docs + QStringLiteral("/window.png"));
    auto setPaths = [&dialog](const QString &source, const QString &folder, const QString &output) {
        for (const auto &row : {std::make_pair("comboBoxEnw", source), std::make_pair("comboBoxPath", folder),
                                std::make_pair("comboBoxSave", output)}) {
            auto *combo = dialog.findChild<QComboBox *>(QLatin1String(row.first));
            combo->addItem(row.second);
            combo->setCurrentIndex(combo->count() - 1);
        }
    };
    auto *start = dialog.findChild<QPushButton *>(QStringLiteral("pushButton"));
    if (!highDpi) {
        QTemporaryDir large;
        generateLibrary(large.path(), 3000, 3000);
        setPaths(large.path() + QStringLiteral("/refs.enw"), large.path() + QStringLiteral("/fulltexts"),
                 large.path() + QStringLiteral("/out.enw"));
        // Inside the run, once it has found a thousand full texts: the picture, then the stop.
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            if (!start->text().contains(QStringLiteral("全文1")) && !start->text().contains(QStringLiteral("题录")))
                return;
            watcher.stop();
            ok = dialog.grab().save(docs + QStringLiteral("/stopping.png")) && ok;
            start->click();
        });
        watcher.start(1);
        start->click();
        watcher.stop();
    }
    setPaths(examples + QStringLiteral("/library.enw"), examples + QStringLiteral("/fulltexts"),
             examples + QStringLiteral("/library-linked.enw"));
    start->click();
    QTest::qWait(500);
    ok = dialog.grab().save(docs + (highDpi ? QStringLiteral("/high-dpi.png") : QStringLiteral("/finished-run.png")))
         && ok;
    qInstallMessageHandler(nullptr);
    logDialog = nullptr;
    QFile::remove(examples + QStringLiteral("/library-linked.enw"));
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode == QLatin1String("--screenshots") && argc > 3) {
        // As the program sets it: scaled with the display's dots per inch.
        QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
        QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
        QApplication app(argc, argv);
        return runScreenshots(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                              argc > 4 && QString::fromLocal8Bit(argv[4]) == QLatin1String("--high-dpi"));
    }
    if (mode == QLatin1String("--window") && argc > 2) {
        QApplication app(argc, argv);
        return runWindow(QString::fromLocal8Bit(argv[2]));
    }
    QCoreApplication app(argc, argv);
    if ((mode == QLatin1String("--generate") || mode == QLatin1String("--generate-shared")) && argc > 3) {
        const int size = QString::fromLocal8Bit(argv[3]).toInt();
        const int files = argc > 4 ? QString::fromLocal8Bit(argv[4]).toInt() : size;
        generateLibrary(QString::fromLocal8Bit(argv[2]), size, files,
                        mode == QLatin1String("--generate") ? Titles::Plain : Titles::Shared);
        return 0;
    }
    if (mode == QLatin1String("--check") && argc > 2)
        return runCheck(QString::fromLocal8Bit(argv[2]));
    if (mode == QLatin1String("--downloads") && argc > 3)
        return runDownloads(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]).toInt());
    if (mode == QLatin1String("--managers") && argc > 3)
        return runDownloads(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]).toInt(), Titles::Managers);
    if (mode == QLatin1String("--engine") && argc > 3)
        return runEngine(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                         argc > 4 ? QString::fromLocal8Bit(argv[4]).toInt() : 2,
                         argc > 5 ? QString::fromLocal8Bit(argv[5]) : QString());
    if (mode == QLatin1String("--formats") && argc > 3)
        return runFormats(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]).toInt());
    if (mode == QLatin1String("--floor") && argc > 2)
        return runFloor(QString::fromLocal8Bit(argv[2]));
    return runTable(mode == QLatin1String("--quick"));
}
