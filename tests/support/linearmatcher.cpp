#include "support/linearmatcher.h"

#include <QHash>
#include <QRegularExpression>
#include <QTextCodec>

#include <algorithm>
#include <cstdlib>
#include <vector>

// The oracle's own plain versions of the name, the bytes and the distance, so
// that a fault in the product's helpers cannot pass unseen.
namespace {

QString nameWithoutLastSuffix(const QFileInfo &file)
{
    const QString name = file.fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return (dot < 0 ? name : name.left(dot)).normalized(QString::NormalizationForm_C);
}

// The renamings, each written out plainly.
QString saved(const QString &text)
{
    QString result;
    for (const QChar c : text)
        result += QStringLiteral("\\/:*?\"<>|").contains(c) ? QChar(QLatin1Char('_')) : c;
    return result;
}

bool punctuationOrBlank(uint code)
{
    if (code == 0xFF0D) // the full-width minus of "（－）"
        return false;
    const QChar::Category category = QChar::category(code);
    return (category >= QChar::Punctuation_Connector && category <= QChar::Punctuation_Other)
           || category == QChar::Separator_Space || code == '\t';
}

QString oldEra(const QString &title)
{
    static const QRegularExpression replaced(QStringLiteral("——|[ \\-()（）/\\\\:：、“”《》*?\"<>|]"));
    return QString(title).replace(replaced, QStringLiteral("_"));
}

// Without case, with runs of blanks and "_" as one ("_" if the run holds one).
QString keyOf(const QString &name)
{
    QString key;
    QString run;
    for (const QChar c : name) {
        if (c == QLatin1Char('_') || c.isSpace()) {
            run += c;
            continue;
        }
        if (!run.isEmpty())
            key += run.contains(QLatin1Char('_')) ? QStringLiteral("_") : QStringLiteral(" ");
        run.clear();
        key += c;
    }
    if (run.contains(QLatin1Char('_')))
        key += QLatin1Char('_');
    if (key.startsWith(QLatin1Char(' ')))
        key.remove(0, 1);
    return key.toCaseFolded();
}

QString oldEraRuns(const QString &title)
{
    const QVector<uint> codes = title.toUcs4();
    QString result;
    int i = 0;
    while (i < codes.size()) {
        if (!punctuationOrBlank(codes[i])) {
            result += QString::fromUcs4(&codes[i++], 1);
            continue;
        }
        QString run;
        bool mark = false;
        while (i < codes.size() && punctuationOrBlank(codes[i])) {
            mark = mark || (QChar::category(codes[i]) != QChar::Separator_Space && codes[i] != '\t');
            run += QString::fromUcs4(&codes[i++], 1);
        }
        result += mark ? QStringLiteral("_") : run;
    }
    return result;
}

QString cut(const QString &text, int keep, int over, const QString &mark)
{
    const QVector<uint> codes = text.toUcs4();
    if (codes.size() <= over)
        return QString();
    return QString::fromUcs4(codes.constData(), keep) + mark + QString::fromUcs4(codes.constData() + codes.size() - keep, keep);
}

QString withoutMarks(QString name, bool repeats)
{
    static const QRegularExpression copies(QStringLiteral("(?: - 副本| - Copy)(?: \\([0-9]+\\))?$"));
    static const QRegularExpression all(QStringLiteral("(?: \\([0-9]+\\)| - 副本| - Copy)+$"));
    if (repeats)
        return name.remove(all);
    QString before;
    while (before != name) {
        before = name;
        name.remove(copies);
    }
    return name;
}

QByteArray bytesOf(const QString &text)
{
    QTextCodec *codec = QTextCodec::codecForLocale();
    QByteArray bytes;
    for (int at = 0; at < text.size(); ++at) {
        QString character(text.at(at));
        if (text.at(at).isHighSurrogate() && at + 1 < text.size() && text.at(at + 1).isLowSurrogate())
            character += text.at(++at);
        const QByteArray local = codec->fromUnicode(character);
        bytes += codec->toUnicode(local) == character ? local : character.toUtf8();
    }
    return bytes;
}

// The whole table, row by row; no row's least value is below the one before,
// so a row beyond `limit` ends it early (the value returned is then > limit).
int levenshtein(const QByteArray &a, const QByteArray &b, int limit)
{
    std::vector<int> above(size_t(b.size()) + 1), row(size_t(b.size()) + 1);
    for (int j = 0; j <= b.size(); ++j)
        above[size_t(j)] = j;
    for (int i = 1; i <= a.size(); ++i) {
        row[0] = i;
        for (int j = 1; j <= b.size(); ++j)
            row[size_t(j)] = std::min({above[size_t(j)] + 1, row[size_t(j) - 1] + 1,
                                       above[size_t(j) - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
        above.swap(row);
        if (*std::min_element(above.begin(), above.end()) > limit)
            return limit + 1;
    }
    return above[size_t(b.size())];
}

// QStringList::contains, with the lengths compared inline first.
bool holds(const QStringList &list, const QString &text)
{
    return std::any_of(list.begin(), list.end(),
                       [&text](const QString &item) { return item.size() == text.size() && item == text; });
}

LinearFullTextMatcher::ByteCounts countsOf(const QByteArray &bytes)
{
    LinearFullTextMatcher::ByteCounts counts{};
    for (const char byte : bytes)
        ++counts[uchar(byte)];
    return counts;
}

int countsApart(const LinearFullTextMatcher::ByteCounts &a, const LinearFullTextMatcher::ByteCounts &b)
{
    int apart = 0;
    for (size_t i = 0; i < a.size(); ++i)
        apart += std::abs(a[i] - b[i]);
    return apart;
}

// The publishers' names, from the DOI's parts and the URLs.
QStringList publisherNames(const QString &doi, const QStringList &urls)
{
    QStringList names;
    auto versions = [&names](const QString &id, const QString &after) {
        for (const char *v : {"v1", "v2", "v3", "v4", "v5", "v6", "v7", "v8", "v9"})
            names << id + QLatin1String(v) + after;
    };
    auto longEnough = [](const QString &part) {
        bool digits = true;
        for (const QChar c : part)
            digits = digits && c >= QLatin1Char('0') && c <= QLatin1Char('9');
        return part.size() >= 6 && !digits;
    };
    const int slash = doi.indexOf('/');
    if (doi.startsWith(QLatin1String("10.")) && slash > 3 && slash + 1 < doi.size()) {
        const QString prefix = doi.left(slash), suffix = doi.mid(slash + 1);
        const QStringList segments = suffix.split(QLatin1Char('/'));
        if (segments.size() == 1 && longEnough(suffix))
            names << suffix;
        if (segments.size() > 1 && longEnough(segments.last()))
            names << segments.last();
        if (prefix == QLatin1String("10.1101") && longEnough(suffix))
            versions(suffix, QStringLiteral(".full"));
        if (prefix == QLatin1String("10.48550") && suffix.left(6).toLower() == QLatin1String("arxiv.")) {
            names << suffix.mid(6);
            versions(suffix.mid(6), QString());
        }
        if (prefix == QLatin1String("10.1016") && suffix.at(0).toUpper() == QLatin1Char('S')) {
            QString pii;
            for (const QChar c : suffix)
                if ((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('z')))
                    pii += c.toUpper();
            if (pii.size() == 17)
                names << QStringLiteral("1-s2.0-%1-main").arg(pii);
        }
        if (prefix == QLatin1String("10.2139") && suffix.left(5).toLower() == QLatin1String("ssrn."))
            names << QStringLiteral("ssrn-") + suffix.mid(5) << QStringLiteral("SSRN-id") + suffix.mid(5);
    }
    for (const QString &url : urls) {
        const QString lower = url.toLower();
        const int abs = std::max(lower.indexOf(QLatin1String("arxiv.org/abs/")), lower.indexOf(QLatin1String("arxiv.org/pdf/")));
        if (abs > 0 && lower.startsWith(QLatin1String("http"))) {
            QString id = url.mid(abs + 14);
            static const QRegularExpression ending(QStringLiteral("(v[0-9]+)?(\\.pdf)?$"), QRegularExpression::CaseInsensitiveOption);
            static const QRegularExpression newId(QStringLiteral("^[0-9]{4}\\.[0-9]{4,5}$"));
            id.remove(ending);
            if (newId.match(id).hasMatch()) {
                names << id;
                versions(id, QString());
            }
        }
        static const QRegularExpression piiPath(QStringLiteral("sciencedirect\\.com/science/article/(abs/)?pii/([0-9A-Za-z]{17})"));
        const QRegularExpressionMatch pii = piiPath.match(url);
        if (pii.hasMatch())
            names << QStringLiteral("1-s2.0-") + pii.captured(2).toUpper() + QStringLiteral("-main");
        static const QRegularExpression ssrnId(QStringLiteral("ssrn\\.com/.*abstract(_id)?=([0-9]+)"),
                                               QRegularExpression::CaseInsensitiveOption);
        const QRegularExpressionMatch ssrn = ssrnId.match(url);
        if (ssrn.hasMatch() && ssrn.captured(2).size() >= 4)
            names << QStringLiteral("ssrn-") + ssrn.captured(2) << QStringLiteral("SSRN-id") + ssrn.captured(2);
    }
    QStringList keys;
    for (const QString &name : names)
        keys << keyOf(name);
    return keys;
}

// The reference managers' names, as regular expressions of the part before
// the title, and the title's forms each may end with.
struct ManagerForms
{
    QStringList literalHeads;  // where the record has a year: written out
    QStringList yearlessHeads; // where it has none: "####" for any year
    QStringList wholes, cuts;
};

ManagerForms managerForms(const QString &title, const AuthorYearFields &fields)
{
    ManagerForms forms;
    if (fields.families.isEmpty() || keyOf(fields.families.first()).isEmpty())
        return forms;
    QStringList f;
    for (const QString &family : fields.families)
        f << keyOf(family);
    QStringList authors({f[0]});
    if (fields.authors == 2 && f.size() >= 2)
        authors << f[0] + " and " + f[1] << f[0] + "_" + f[1] << f[0] + ", " + f[1] << f[0] + " & " + f[1]
                << f[0] + QStringLiteral("和") + f[1];
    if (fields.authors == 3 && f.size() >= 3)
        authors << f[0] + ", " + f[1] + ", " + f[2];
    if (fields.authors >= 3)
        authors << f[0] + " et al" << f[0] + " et al." << f[0] + QStringLiteral("等") << f[0] + QStringLiteral(" 等");
    QString word = keyOf(title);
    word = word.left(int(std::find_if(word.begin(), word.end(), [](QChar c) { return !c.isLetter(); }) - word.begin()));
    if (fields.year != 0) {
        for (const QString &a : authors) {
            for (int year = fields.year - 1; year <= fields.year + 1; ++year) {
                const QString y = QString::number(year);
                forms.literalHeads << a + y + " - ";
                if (!word.isEmpty())
                    forms.literalHeads << a + y + word + " - ";
                for (const QString &s : {QStringLiteral(" - "), QStringLiteral("_"), QStringLiteral("-")})
                    forms.literalHeads << a + s + y + s;
            }
        }
    }
    // Without a year: any year, or none, or "unknown" ("#" stands for a digit).
    for (const QString &a : fields.year == 0 ? authors : QStringList()) {
        forms.yearlessHeads << a + "#### - ";
        if (!word.isEmpty())
            forms.yearlessHeads << a + "####" + word + " - ";
        for (const QString &s : {QStringLiteral(" - "), QStringLiteral("_"), QStringLiteral("-")})
            forms.yearlessHeads << a + s + "####" + s << a + s << a + s + "unknown" + s;
    }
    auto rules = [](const QString &text) {
        QString deleted, dashed, underscored;
        for (const QChar c : text) {
            const bool forbidden = QStringLiteral("/\\?*:|\"<>").contains(c);
            deleted += forbidden ? QString() : QString(c);
            dashed += c == QLatin1Char('/') || c == QLatin1Char('\\') ? QStringLiteral("-")
                      : c == QLatin1Char('?') || c == QLatin1Char(':') ? QStringLiteral(" -") : QString(c);
            underscored += forbidden ? QStringLiteral("_") : QString(c);
        }
        QStringList keys;
        for (const QString &form : {text, deleted, dashed, underscored})
            if (!keyOf(form).isEmpty() && !keys.contains(keyOf(form)))
                keys << keyOf(form);
        return keys;
    };
    forms.wholes = rules(title);
    // (Not a pattern: a title may hold bytes that are no UTF-16, which no pattern matches.)
    int mark = -1;
    for (int i = 0; i < title.size() && mark < 0; ++i)
        mark = QStringLiteral(":.?!").contains(title.at(i)) ? i : -1;
    if (mark > 0)
        for (const QString &key : rules(title.left(mark).trimmed()))
            if (!forms.wholes.contains(key))
                forms.cuts << key;
    return forms;
}

// 2 for a name of the whole title, 1 for one of a cut title, else 0.
int managerFit(const ManagerForms &forms, const QString &caseless)
{
    int best = 0;
    QStringList rests;
    for (const QString &head : forms.literalHeads) {
        // A year is never followed by another digit.
        if (!caseless.startsWith(head))
            continue;
        const QChar next = caseless.size() > head.size() ? caseless.at(head.size()) : QChar();
        if (!(head.back().isDigit() && next.isDigit()))
            rests << caseless.mid(head.size());
    }
    for (const QString &head : forms.yearlessHeads) {
        if (caseless.size() < head.size())
            continue;
        bool fits = true;
        for (int i = 0; i < head.size() && fits; ++i) {
            const bool digit = head.at(i) == QLatin1Char('#');
            const bool first = digit && (i == 0 || head.at(i - 1) != QLatin1Char('#'));
            fits = digit ? caseless.at(i).isDigit() && caseless.at(i).unicode() < 0x80
                               && (!first || caseless.at(i) == QLatin1Char('1') || caseless.at(i) == QLatin1Char('2'))
                         : caseless.at(i) == head.at(i);
            const bool last = digit && (i + 1 == head.size() || head.at(i + 1) != QLatin1Char('#'));
            if (fits && last && i + 1 < caseless.size() && caseless.at(i + 1).isDigit())
                fits = false; // a year is never followed by another digit
        }
        if (fits)
            rests << caseless.mid(head.size());
    }
    for (QString rest : rests) {
        rest = rest.trimmed();
        if (rest.isEmpty())
            continue;
        if (forms.wholes.contains(rest))
            best = 2;
        else if (forms.cuts.contains(rest) || (rest.size() >= 20 && std::any_of(forms.wholes.begin(), forms.wholes.end(), [&](const QString &w) { return w.startsWith(rest); }))
                 || (rest.size() >= 20 && std::any_of(forms.cuts.begin(), forms.cuts.end(), [&](const QString &w) { return w.startsWith(rest); })))
            best = std::max(best, 1);
    }
    return best;
}

} // namespace

LinearFullTextMatcher::LinearFullTextMatcher(const QFileInfoList &fullTexts, int threshold)
    : m_fullTexts(fullTexts), m_threshold(threshold)
{
    for (const QFileInfo &file : fullTexts) {
        m_names << nameWithoutLastSuffix(file);
        m_caseless << keyOf(m_names.last());
        m_copied << keyOf(withoutMarks(m_names.last(), false));
        m_repeated << keyOf(withoutMarks(m_names.last(), true));
        m_bytes.append(bytesOf(m_names.last()));
        m_counts.push_back(countsOf(m_bytes.last()));
    }
}

FullTextMatch LinearFullTextMatcher::find(const QString &givenTitle, const QString &givenAuthor,
                                          const QString &doi, const QString &savedTitle,
                                          const RecordFields &fields) const
{
    if (givenTitle.isEmpty())
        return {};
    const QString title = givenTitle.normalized(QString::NormalizationForm_C);
    const QString firstAuthor = givenAuthor.normalized(QString::NormalizationForm_C);
    const int exact = m_names.indexOf(title);
    const bool isExact = exact >= 0 && !isExcluded(exact);
    // The author forms a name can hold: the first author and the family name.
    QStringList authors;
    if (!firstAuthor.isEmpty() && firstAuthor.size() <= 255) {
        authors << firstAuthor;
        const int comma = firstAuthor.indexOf(QLatin1Char(','));
        const QString family = comma < 0 ? firstAuthor : firstAuthor.left(comma).trimmed();
        if (!family.isEmpty() && family != firstAuthor)
            authors << family;
    }
    // Own names: the title and its renamings, alone or with an author form
    // (as it stands or saved), and the DOI's names; then its cuts.
    QStringList renamings({title});
    for (const QString &renamed : {saved(title), oldEra(title), oldEraRuns(title)})
        if (!renamings.contains(renamed))
            renamings << renamed;
    QStringList cuts;
    const QString whole = savedTitle.isNull() ? title : savedTitle.normalized(QString::NormalizationForm_C);
    for (const QString &c : {cut(oldEra(whole), 16, 32, QStringLiteral("_省略_")),
                             cut(oldEraRuns(whole), 16, 32, QStringLiteral("_省略_")),
                             cut(saved(whole), 13, 29, QStringLiteral("..."))})
        if (!c.isEmpty())
            cuts << c;
    QStringList authorNames;
    for (const QString &author : authors)
        authorNames << author << saved(author);
    QStringList own, tied, cutNames, tiedCuts;
    auto add = [](QStringList &list, const QString &name) {
        static const QRegularExpression separators(QStringLiteral("[_\\s]"));
        if (name.size() <= 255 && !QString(name).remove(separators).isEmpty())
            list << keyOf(name);
    };
    for (const QString &renamed : renamings) {
        add(own, renamed);
        for (const QString &author : authorNames) {
            add(own, renamed + "_" + author);
            add(tied, renamed + "_" + author);
        }
    }
    if (doi.startsWith(QLatin1String("10."))) {
        for (const QChar separator : {QChar('@'), QChar('_')}) {
            add(own, QString(doi).replace('/', separator));
            add(tied, QString(doi).replace('/', separator));
        }
    }
    for (const QString &name : publisherNames(doi, fields.urls)) {
        add(own, name);
        add(tied, name);
    }
    for (const QString &c : cuts) {
        add(cutNames, c);
        for (const QString &author : authorNames) {
            add(cutNames, c + "_" + author);
            add(tiedCuts, c + "_" + author);
        }
    }
    // How each file fits the managers' names of the record.
    // (Every such name starts with the first family name: only those are tried.)
    std::vector<int> managerFits;
    const QString firstFamily = fields.authorYear.families.isEmpty() ? QString() : keyOf(fields.authorYear.families.first());
    ManagerForms managers;
    bool made = false;
    for (int i = 0; i < m_fullTexts.size() && !firstFamily.isEmpty(); ++i) {
        const QString &name = m_caseless.at(i);
        if (name.isEmpty() || name.at(0) != firstFamily.at(0) || !name.startsWith(firstFamily))
            continue;
        managerFits.resize(size_t(m_fullTexts.size()), 0);
        if (!made) {
            // The same question comes again at every threshold: the forms are kept.
            thread_local QHash<QString, ManagerForms> made;
            const AuthorYearFields &ay = fields.authorYear;
            const QString key = QStringList({title, ay.families.join('\n'), QString::number(ay.authors),
                                             QString::number(ay.year)}).join(QChar(0));
            if (made.size() > 4096)
                made.clear();
            if (!made.contains(key))
                made.insert(key, managerForms(title, ay));
            managers = made.value(key);
        }
        made = true;
        managerFits[size_t(i)] = managerFit(managers, m_caseless.at(i));
    }
    // The first file a cut names, excluded or not: the writer counts the records it fits.
    int cutFile = -1;
    for (int i = 0; i < m_fullTexts.size() && cutFile < 0; ++i) {
        if (holds(cutNames, m_caseless.at(i)) || (!managerFits.empty() && managerFits[size_t(i)] == 1))
            cutFile = i;
    }
    if (isExact)
        return {exact, true, NameStrength::Exact, false, false, cutFile};
    for (int i = 0; i < m_fullTexts.size(); ++i) {
        if (isExcluded(i))
            continue;
        if (holds(own, m_caseless.at(i)))
            return {i, false, NameStrength::Own, false, holds(tied, m_caseless.at(i)), cutFile};
        if (!managerFits.empty() && managerFits[size_t(i)] > 0)
            return {i, false, NameStrength::Own, managerFits[size_t(i)] == 1, true, cutFile};
    }
    for (int i = 0; i < m_fullTexts.size(); ++i) {
        if (isExcluded(i))
            continue;
        const bool copied = m_copied.at(i) != m_caseless.at(i);
        const bool repeated = m_repeated.at(i) != m_caseless.at(i);
        if (holds(cutNames, m_caseless.at(i)))
            return {i, false, NameStrength::Weak, true, false, cutFile};
        if ((copied && (holds(own, m_copied.at(i)) || holds(cutNames, m_copied.at(i))))
            || (repeated && (holds(tied, m_repeated.at(i)) || holds(tiedCuts, m_repeated.at(i)))))
            return {i, false, NameStrength::Weak, false, false, cutFile};
    }
    if (m_threshold > 0) {
        const QByteArray titleBytes = bytesOf(title);
        const ByteCounts titleCounts = countsOf(titleBytes);
        for (int i = 0; i < m_fullTexts.size(); ++i) {
            // Two strings are at least as many edits apart as their lengths
            // differ, and as half the bytes their counts differ by.
            const QByteArray &bytes = m_bytes.at(i);
            if (isExcluded(i) || std::abs(bytes.size() - titleBytes.size()) > m_threshold
                || countsApart(m_counts.at(i), titleCounts) > 2 * m_threshold)
                continue;
            if (levenshtein(bytes, titleBytes, m_threshold) <= m_threshold)
                return {i, false, NameStrength::Near, false, false, cutFile};
        }
    }
    return {-1, false, NameStrength::None, false, false, cutFile};
}
