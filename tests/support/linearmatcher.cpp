#include "support/linearmatcher.h"

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

// Words of letters and decimal digits, joined by "_", without letter case.
QString fold(const QString &text)
{
    QStringList words({QString()});
    for (const uint code : text.toUcs4()) {
        const QChar::Category category = QChar::category(code);
        if ((category >= QChar::Letter_Uppercase && category <= QChar::Letter_Other)
            || category == QChar::Number_DecimalDigit)
            words.last() += QString::fromUcs4(&code, 1);
        else if (!words.last().isEmpty())
            words.append(QString());
    }
    if (words.last().isEmpty())
        words.removeLast();
    return words.join(QLatin1Char('_')).toCaseFolded();
}

QString withoutCopyMarks(QString name)
{
    static const QRegularExpression marks(QStringLiteral("(?: \\([0-9]+\\)|（[0-9]+）| - 副本| - Copy)+$"));
    return name.remove(marks);
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

} // namespace

LinearFullTextMatcher::LinearFullTextMatcher(const QFileInfoList &fullTexts, int threshold)
    : m_fullTexts(fullTexts), m_threshold(threshold)
{
    for (const QFileInfo &file : fullTexts) {
        m_names << nameWithoutLastSuffix(file);
        m_stripped << withoutCopyMarks(m_names.last());
        m_folded << fold(m_stripped.last());
        QList<QPair<QString, QString>> cuts; // folded head and tail at each mark
        for (const QString &mark : {QStringLiteral("_省略_"), QStringLiteral("...")}) {
            const QString &stripped = m_stripped.last();
            for (int at = stripped.indexOf(mark); at >= 0; at = stripped.indexOf(mark, at + 1))
                cuts.append({fold(stripped.left(at)), fold(stripped.mid(at + mark.size()))});
        }
        m_cuts.append(cuts);
        m_bytes.append(bytesOf(m_names.last()));
        m_counts.push_back(countsOf(m_bytes.last()));
    }
}

FullTextMatch LinearFullTextMatcher::find(const QString &givenTitle, const QString &givenAuthor,
                                          const QString &doi) const
{
    if (givenTitle.isEmpty())
        return {};
    const QString title = givenTitle.normalized(QString::NormalizationForm_C);
    const QString firstAuthor = givenAuthor.normalized(QString::NormalizationForm_C);
    const int exact = m_names.indexOf(title);
    if (exact >= 0)
        return {exact, true};
    // The author forms a name can hold: the first author and the family name.
    QStringList authors;
    if (!firstAuthor.isEmpty() && firstAuthor.size() <= 255) {
        authors << firstAuthor;
        const int comma = firstAuthor.indexOf(QLatin1Char(','));
        const QString family = comma < 0 ? firstAuthor : firstAuthor.left(comma).trimmed();
        if (!family.isEmpty() && family != firstAuthor)
            authors << family;
    }
    // Download names: "title_author" and "title_family name", as they stand
    // or as a browser saves them.
    auto saved = [](const QString &text) {
        QString result;
        for (const QChar c : text)
            result += QStringLiteral("\\/:*?\"<>|").contains(c) ? QChar(QLatin1Char('_')) : c;
        return result;
    };
    QStringList downloadNames; // per author: as they stand, with the title saved, all saved
    for (const QString &author : authors) {
        const QString whole = title + QLatin1Char('_') + author;
        if (whole.size() <= 255)
            downloadNames << whole << saved(title) + QLatin1Char('_') + author << saved(whole);
    }
    for (int i = 0; i < m_fullTexts.size() && !downloadNames.isEmpty(); ++i) {
        if (holds(downloadNames, m_names.at(i)))
            return {i, false};
    }
    // Folded names: whole, cut at "_省略_" or "...", or the DOI.
    const QString foldedTitle = fold(title);
    QStringList forms;
    if (!foldedTitle.isEmpty()) {
        forms << foldedTitle;
        for (const QString &author : authors) {
            const QString form = fold(title + QLatin1Char('_') + author);
            if (!forms.contains(form))
                forms << form;
        }
    }
    QStringList doiNames;
    if (doi.startsWith(QLatin1String("10.")))
        doiNames << QString(doi).replace(QLatin1Char('/'), QLatin1Char('@')) << QString(doi).replace(QLatin1Char('/'), QLatin1Char('_'));
    for (int i = 0; i < m_fullTexts.size(); ++i) {
        const QString &name = m_names.at(i);
        if (holds(forms, m_folded.at(i)))
            return {i, false};
        for (const auto &cut : m_cuts.at(i)) {
            const QString &head = cut.first;
            const QString &tail = cut.second;
            if (head.isEmpty() || tail.isEmpty() || !foldedTitle.startsWith(head))
                continue;
            for (const QString &form : forms) {
                if (form.endsWith(tail) && form.size() >= head.size() + tail.size())
                    return {i, false};
            }
        }
        for (const QString &doiName : doiNames) {
            if (doiName.compare(name, Qt::CaseInsensitive) == 0)
                return {i, false};
        }
    }
    if (m_threshold > 0) {
        const QByteArray titleBytes = bytesOf(title);
        const ByteCounts titleCounts = countsOf(titleBytes);
        for (int i = 0; i < m_fullTexts.size(); ++i) {
            // Two strings are at least as many edits apart as their lengths
            // differ, and as half the bytes their counts differ by.
            const QByteArray &bytes = m_bytes.at(i);
            if (std::abs(bytes.size() - titleBytes.size()) > m_threshold
                || countsApart(m_counts.at(i), titleCounts) > 2 * m_threshold)
                continue;
            if (levenshtein(bytes, titleBytes, m_threshold) <= m_threshold)
                return {i, false};
        }
    }
    return {};
}
