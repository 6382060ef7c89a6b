#include "support/linearmatcher.h"

#include <QTextCodec>

#include <algorithm>
#include <vector>

// The oracle's own plain versions of the name, the bytes and the distance, so
// that a fault in the product's helpers cannot pass unseen.
namespace {

QString nameWithoutLastSuffix(const QFileInfo &file)
{
    const QString name = file.fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
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

int levenshtein(const QByteArray &a, const QByteArray &b)
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
    }
    return above[size_t(b.size())];
}

} // namespace

LinearFullTextMatcher::LinearFullTextMatcher(const QFileInfoList &fullTexts, int threshold)
    : m_fullTexts(fullTexts), m_threshold(threshold)
{
}

FullTextMatch LinearFullTextMatcher::find(const QString &title, const QString &firstAuthor) const
{
    if (title.isEmpty())
        return {};
    for (int i = 0; i < m_fullTexts.size(); ++i) {
        if (nameWithoutLastSuffix(m_fullTexts.at(i)) == title)
            return {i, true};
    }
    if (m_threshold > 0) {
        const QByteArray titleBytes = bytesOf(title);
        for (int i = 0; i < m_fullTexts.size(); ++i) {
            if (levenshtein(bytesOf(nameWithoutLastSuffix(m_fullTexts.at(i))), titleBytes) <= m_threshold)
                return {i, false};
        }
    }
    if (firstAuthor.isEmpty())
        return {};
    // Download names: "title_author" and "title_family name", the title also
    // as a browser saves it.
    QString saved;
    for (const QChar c : title)
        saved += QStringLiteral("\\/:*?\"<>|").contains(c) ? QChar(QLatin1Char('_')) : c;
    const int comma = firstAuthor.indexOf(QLatin1Char(','));
    const QString family = comma < 0 ? firstAuthor : firstAuthor.left(comma).trimmed();
    for (int i = 0; i < m_fullTexts.size(); ++i) {
        const QString name = nameWithoutLastSuffix(m_fullTexts.at(i));
        for (const QString &start : {title, saved})
            for (const QString &author : {firstAuthor, family})
                if (!author.isEmpty() && name == start + QLatin1Char('_') + author)
                    return {i, false};
    }
    return {};
}
