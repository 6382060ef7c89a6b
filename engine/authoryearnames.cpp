#include "engine/authoryearnames.h"

#include "engine/namerules.h"

#include <algorithm>
#include <cstdlib>

namespace {

bool isHan(ushort u)
{
    return (u >= 0x3400 && u <= 0x4DBF) || (u >= 0x4E00 && u <= 0x9FFF);
}

bool isLatinName(const QString &text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x250; });
}

// The title up to its first ":", ".", "?" or "!", or a null string when it
// has none there.
QString beforeFirstMark(const QString &title)
{
    const auto mark = std::find_if(title.begin(), title.end(), [](QChar c) {
        return c == QLatin1Char(':') || c == QLatin1Char('.') || c == QLatin1Char('?') || c == QLatin1Char('!');
    });
    if (mark == title.end() || mark == title.begin())
        return QString();
    return title.left(int(mark - title.begin())).trimmed();
}

// The managers' character rules: Zotero and Mendeley delete what file names
// may not hold, ZotFile makes "/" and "\" a "-", JabRef and browsers an "_".
QStringList underRules(const QString &title)
{
    QString deleted;
    deleted.reserve(title.size());
    for (const QChar c : title) {
        if (!QStringView(u"/\\?*:|\"<>").contains(c))
            deleted += c;
    }
    QString dashed = title;
    dashed.replace(QLatin1Char('/'), QLatin1Char('-')).replace(QLatin1Char('\\'), QLatin1Char('-'));
    dashed.replace(QLatin1Char('?'), QStringLiteral(" -")).replace(QLatin1Char(':'), QStringLiteral(" -"));
    QStringList keys;
    for (const QString &name : {title, deleted, dashed, browserSavedName(title)}) {
        const QString key = nameKey(name);
        if (!key.isEmpty() && !keys.contains(key))
            keys.append(key);
    }
    return keys;
}

} // namespace

QString familyNameOf(const QString &author)
{
    const QString &name = author;
    const int comma = name.indexOf(QLatin1Char(','));
    if (comma >= 0)
        return name.left(comma).trimmed();
    if (name.contains(QLatin1Char(' ')) && isLatinName(name))
        return name.section(QLatin1Char(' '), -1);
    return name;
}

AuthorYearNames::AuthorYearNames(const QString &title, const AuthorYearFields &fields) : m_year(fields.year)
{
    QStringList families;
    for (const QString &family : fields.families)
        families.append(nameKey(family));
    if (families.isEmpty() || families.first().isEmpty())
        return;
    const QString &first = families.first();
    m_authorParts.append(first);
    if (families.size() >= 2 && fields.authors == 2) {
        for (const QLatin1String joiner : {QLatin1String(" and "), QLatin1String("_"), QLatin1String(", "),
                                           QLatin1String(" & ")})
            m_authorParts.append(first + joiner + families.at(1));
        m_authorParts.append(first + QStringLiteral("和") + families.at(1));
    }
    if (families.size() >= 3 && fields.authors == 3)
        m_authorParts.append(first + QStringLiteral(", ") + families.at(1) + QStringLiteral(", ") + families.at(2));
    if (fields.authors >= 3) {
        for (const QString &more : {QStringLiteral(" et al"), QStringLiteral(" et al."), QStringLiteral("等"),
                                    QStringLiteral(" 等")})
            m_authorParts.append(first + more);
    }
    m_wholes = underRules(title);
    const QString cut = beforeFirstMark(title);
    if (!cut.isNull()) {
        for (const QString &key : underRules(cut)) {
            if (!m_wholes.contains(key))
                m_cuts.append(key);
        }
    }
    const QString titleKey = nameKey(title);
    const auto wordEnd = std::find_if(titleKey.begin(), titleKey.end(), [](QChar c) { return !c.isLetter(); });
    m_firstWord = titleKey.left(int(wordEnd - titleKey.begin()));
}

AuthorYearFit AuthorYearNames::fit(QStringView key) const
{
    AuthorYearFit best = AuthorYearFit::None;
    for (const QString &authors : m_authorParts) {
        if (key.startsWith(authors))
            best = std::max(best, afterAuthors(key.mid(authors.size())));
    }
    return best;
}

AuthorYearFit AuthorYearNames::afterAuthors(QStringView rest) const
{
    static const QLatin1String dash(" - ");
    AuthorYearFit best = AuthorYearFit::None;
    // JabRef's key: the year right after the name, perhaps the title's first word.
    if (isYear(rest)) {
        QStringView key = rest.mid(4);
        if (!m_firstWord.isEmpty() && key.startsWith(m_firstWord) && key.mid(m_firstWord.size()).startsWith(dash))
            best = std::max(best, titleFit(key.mid(m_firstWord.size() + dash.size())));
        if (key.startsWith(dash))
            best = std::max(best, titleFit(key.mid(dash.size())));
    }
    for (const QLatin1String separator : {dash, QLatin1String("_"), QLatin1String("-")}) {
        if (!rest.startsWith(separator))
            continue;
        const QStringView afterFirst = rest.mid(separator.size());
        if (isYear(afterFirst) && afterFirst.mid(4).startsWith(separator))
            best = std::max(best, titleFit(afterFirst.mid(4 + separator.size())));
        if (m_year == 0) {
            const QString unknown = QStringLiteral("unknown") + separator;
            if (afterFirst.startsWith(unknown))
                best = std::max(best, titleFit(afterFirst.mid(unknown.size())));
            best = std::max(best, titleFit(afterFirst));
        }
    }
    return best;
}

AuthorYearFit AuthorYearNames::titleFit(QStringView rest) const
{
    const QStringView title = rest.trimmed();
    if (title.isEmpty())
        return AuthorYearFit::None;
    if (m_wholes.contains(title))
        return AuthorYearFit::Whole;
    if (m_cuts.contains(title))
        return AuthorYearFit::Cut;
    if (title.size() < 20)
        return AuthorYearFit::None;
    const auto starts = [&title](const QString &name) { return name.startsWith(title); };
    return std::any_of(m_wholes.begin(), m_wholes.end(), starts) || std::any_of(m_cuts.begin(), m_cuts.end(), starts)
               ? AuthorYearFit::Cut
               : AuthorYearFit::None;
}

bool AuthorYearNames::isYear(QStringView text) const
{
    if (text.size() < 4 || (text.size() > 4 && text.at(4).isDigit()))
        return false;
    int year = 0;
    for (int i = 0; i < 4; ++i) {
        const ushort u = text.at(i).unicode();
        if (u < '0' || u > '9')
            return false;
        year = 10 * year + (u - '0');
    }
    return m_year == 0 ? year >= 1000 && year <= 2999 : std::abs(year - m_year) <= 1;
}

std::uint64_t leadingWordHash(QStringView text)
{
    std::uint64_t hash = 0xcbf29ce484222325ull;
    int letters = 0;
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (isHan(u)) {
            if (letters == 0) {
                hash = (hash ^ u) * 0x100000001b3ull;
                ++letters;
            }
            break;
        }
        if (!c.isLetter())
            break;
        hash = (hash ^ (u < 0x80 ? (u >= 'A' && u <= 'Z' ? u + 32 : u) : QChar::toCaseFolded(u))) * 0x100000001b3ull;
        ++letters;
    }
    return letters == 0 ? 0 : hash;
}
