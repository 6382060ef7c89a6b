#include "engine/namerules.h"

#include <QVector>

#include <algorithm>

namespace {

// No file name is longer than 255 UTF-16 units: longer names are never made.
constexpr int longestFileName = 255;

bool forbiddenInFileNames(QChar c)
{
    switch (c.unicode()) {
    case '\\': case '/': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
        return true;
    default:
        return false;
    }
}

// What CNKI's old names replace by "_", each character on its own: the
// blank, the hyphen, brackets, quotes and the marks of Chinese titles, and the
// characters Windows forbids.
bool replacedByOldEra(uint character)
{
    switch (character) {
    case ' ': case '-': case '(': case ')': case '/': case '\\': case ':': case '*': case '?': case '"':
    case '<': case '>': case '|':
    case 0xFF08: case 0xFF09: case 0xFF1A: case 0x3001: case 0x201C: case 0x201D: case 0x300A: case 0x300B:
        return true; // （ ） ： 、 “ ” 《 》
    default:
        return false;
    }
}

// Punctuation as a run of it is replaced. The full-width hyphen-minus is a
// minus sign in chemistry ("（－）"), a symbol like "＋", and stays.
bool isPunctuationOrBlank(uint character)
{
    if (character < 0x80) // letters and digits are most of every title
        return !((character >= 'a' && character <= 'z') || (character >= 'A' && character <= 'Z')
                 || (character >= '0' && character <= '9'))
               && (QChar::isPunct(character) || QChar::isSpace(character));
    if (character == 0xFF0D || (character >= 0x4E00 && character <= 0x9FFF))
        return false;
    return QChar::isPunct(character) || QChar::isSpace(character);
}

bool isBlank(uint character)
{
    return QChar::isSpace(character);
}

QString fromCharacters(const QVector<uint> &characters, int from, int count)
{
    return QString::fromUcs4(characters.constData() + from, count);
}

} // namespace

QString browserSavedName(QStringView text)
{
    QString saved = text.toString();
    std::replace_if(saved.begin(), saved.end(), forbiddenInFileNames, QLatin1Char('_'));
    return saved;
}

QString cnkiOldEraName(QStringView title)
{
    QString renamed = title.toString();
    QChar *out = renamed.data();
    for (qsizetype at = 0; at < title.size(); ++at) {
        const QChar c = title.at(at);
        if (c == QChar(0x2014) && at + 1 < title.size() && title.at(at + 1) == c) {
            *out++ = QLatin1Char('_'); // "——" is one mark
            ++at;
        } else {
            *out++ = replacedByOldEra(c.unicode()) ? QChar(QLatin1Char('_')) : c;
        }
    }
    renamed.resize(int(out - renamed.constData()));
    return renamed;
}

QString cnkiOldEraRunsName(QStringView title)
{
    // Code points: a surrogate pair stands for one character.
    auto characterAt = [&title](qsizetype at, int *units) -> uint {
        const QChar c = title.at(at);
        if (c.isHighSurrogate() && at + 1 < title.size() && title.at(at + 1).isLowSurrogate()) {
            *units = 2;
            return QChar::surrogateToUcs4(c, title.at(at + 1));
        }
        *units = 1;
        return c.unicode();
    };
    QString renamed;
    renamed.reserve(int(title.size()));
    for (qsizetype at = 0; at < title.size();) {
        int units = 1;
        qsizetype end = at;
        bool punctuation = false;
        for (uint c = characterAt(end, &units); isPunctuationOrBlank(c);) {
            punctuation = punctuation || !isBlank(c);
            end += units;
            if (end >= title.size())
                break;
            c = characterAt(end, &units);
        }
        if (end > at) {
            if (punctuation)
                renamed += QLatin1Char('_');
            else
                renamed.append(title.data() + at, int(end - at));
            at = end;
        } else {
            characterAt(at, &units);
            renamed.append(title.data() + at, units);
            at += units;
        }
    }
    return renamed;
}

QString cnkiOldEraCut(QStringView renamed)
{
    const QVector<uint> characters = renamed.toUcs4();
    if (characters.size() <= 32)
        return QString();
    return fromCharacters(characters, 0, 16) + QStringLiteral("_省略_") + fromCharacters(characters, characters.size() - 16, 16);
}

QString cnkiNewEraCut(QStringView saved)
{
    const QVector<uint> characters = saved.toUcs4();
    if (characters.size() <= 29)
        return QString();
    return fromCharacters(characters, 0, 13) + QStringLiteral("...") + fromCharacters(characters, characters.size() - 13, 13);
}

QStringList doiFileNames(QStringView doi)
{
    if (!doi.startsWith(QLatin1String("10.")))
        return {};
    QString at = doi.toString();
    QString underscore = at;
    at.replace(QLatin1Char('/'), QLatin1Char('@'));
    underscore.replace(QLatin1Char('/'), QLatin1Char('_'));
    return {at, underscore};
}

namespace {

// The name without a " (n)" at its end, or the name itself.
QStringView withoutNumberMark(QStringView name)
{
    if (!name.endsWith(QLatin1Char(')')))
        return name;
    const qsizetype open = name.lastIndexOf(QLatin1String(" ("));
    if (open < 0 || open + 3 >= name.size())
        return name;
    const QStringView digits = name.mid(open + 2, name.size() - open - 3);
    const bool number = std::all_of(digits.begin(), digits.end(),
                                    [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
    return number ? name.left(open) : name;
}

QStringView withoutMarks(QStringView name, bool repeatMarks)
{
    static const QString copyMarks[] = {QStringLiteral(" - 副本"), QStringLiteral(" - Copy")};
    for (;;) {
        const QStringView unnumbered = withoutNumberMark(name);
        bool taken = false;
        for (const QString &mark : copyMarks) {
            if (unnumbered.endsWith(mark)) { // "x - 副本" and "x - 副本 (2)"
                name = unnumbered.chopped(mark.size());
                taken = true;
                break;
            }
        }
        if (!taken && repeatMarks && unnumbered.size() != name.size()) {
            name = unnumbered;
            taken = true;
        }
        if (!taken)
            return name;
    }
}

// Appends `first` (+ "_" + `second`) to `names` when that fits a file name
// and holds more than "_" and blanks.
void addName(QVector<JoinedName> &names, const QString &first, const QString &second = QString())
{
    if (first.size() + (second.isNull() ? 0 : second.size() + 1) > longestFileName)
        return;
    const auto empty = [](const QString &text) {
        return std::all_of(text.begin(), text.end(), [](QChar c) { return c == QLatin1Char('_') || c.isSpace(); });
    };
    if (empty(first) && empty(second))
        return;
    names.append({first, second});
}

} // namespace

namespace {

bool isSeparator(QChar c)
{
    return c == QLatin1Char('_') || c.isSpace();
}

// Walks the key of `text`: calls `take` for each character of it (folded)
// and `separator` for each run of blanks and "_" ('_' or ' '), which the
// caller places or drops at the ends.
template<typename Take, typename Separator>
void walkKey(QStringView text, Take take, Separator separator)
{
    const QChar *const begin = text.data();
    const qsizetype size = text.size();
    for (qsizetype at = 0; at < size;) {
        const ushort u = begin[at].unicode();
        if (u < 0x80 && u != '_' && u != ' ' && (u < '\t' || u > '\r')) { // most of every name
            take(uint(u >= 'A' && u <= 'Z' ? u + 32 : u));
            ++at;
            continue;
        }
        const QChar c = begin[at];
        if (!isSeparator(c)) {
            uint character = u;
            if (c.isHighSurrogate() && at + 1 < size && begin[at + 1].isLowSurrogate()) {
                character = QChar::surrogateToUcs4(c, begin[at + 1]);
                ++at;
            }
            ++at;
            take(character < 0x80 ? character : QChar::toCaseFolded(character));
            continue;
        }
        bool underscore = false;
        for (; at < size && isSeparator(begin[at]); ++at)
            underscore = underscore || begin[at] == QLatin1Char('_');
        separator(underscore ? '_' : ' ');
    }
}

} // namespace

QString nameKey(QStringView name)
{
    QString key;
    key.reserve(int(name.size()));
    char pending = 0;
    walkKey(
        name,
        [&](uint character) {
            if (pending == '_' || (pending == ' ' && !key.isEmpty()))
                key += QLatin1Char(pending);
            pending = 0;
            if (QChar::requiresSurrogates(character)) {
                key += QChar(QChar::highSurrogate(character));
                key += QChar(QChar::lowSurrogate(character));
            } else {
                key += QChar(ushort(character));
            }
        },
        [&](char run) { pending = pending == '_' ? '_' : run; });
    if (pending == '_')
        key += QLatin1Char('_');
    return key;
}

SkeletonHash &SkeletonHash::add(QStringView text)
{
    std::uint64_t hash = m_hash; // in registers for the loop
    std::uint64_t word = m_word;
    int units = m_units;
    for (const QChar c : text) {
        ushort u = c.unicode();
        if (uint(u - 'a') < 26u || uint(u - '0') < 10u) {
            // most of every name
        } else if (uint(u - 'A') < 26u) {
            u += 32;
        } else if (u >= 0x3400 && u <= 0x9FFF) {
            // Chinese characters: no case, no punctuation
        } else if (u < 0x80 ? u <= ' ' || QChar::isPunct(u) || forbiddenInFileNames(c) || u == 0x7F
                            : c.isPunct() || c.isSpace() || c.isSurrogate()) {
            continue;
        } else if (u >= 0x80) {
            u = QChar::toCaseFolded(u);
        }
        word = word << 16 | u;
        if (++units == 4) {
            hash = mixNameWord(hash, word);
            word = 0;
            units = 0;
        }
    }
    m_hash = hash;
    m_word = word;
    m_units = units;
    return *this;
}

std::uint64_t SkeletonHash::value() const
{
    return m_units == 0 ? m_hash : mixNameWord(m_hash, m_word | std::uint64_t(m_units) << 62);
}

NameKeyHash &NameKeyHash::add(QStringView text)
{
    const auto take = [this](uint character) {
        if (m_pending == '_' || (m_pending == ' ' && m_started))
            hashUnit(ushort(m_pending));
        m_pending = 0;
        m_started = true;
        if (QChar::requiresSurrogates(character)) {
            hashUnit(QChar::highSurrogate(character));
            hashUnit(QChar::lowSurrogate(character));
        } else {
            hashUnit(ushort(character));
        }
    };
    const auto separator = [this](char run) { m_pending = m_pending == '_' ? '_' : run; };
    // Runs of ASCII that is no separator, most of every name, straight; the
    // rest as walkKey takes it.
    // (Chinese characters have no case and are no separator.)
    const auto plain = [](ushort u) {
        return u < 0x80 ? u != '_' && u != ' ' && (u < '\t' || u > '\r') : u >= 0x3400 && u <= 0x9FFF;
    };
    const QChar *at = text.begin();
    const QChar *const end = text.end();
    while (at != end) {
        ushort u = at->unicode();
        if (plain(u)) {
            take(uint(u >= 'A' && u <= 'Z' ? u + 32 : u));
            std::uint64_t hash = m_hash; // in registers for the run
            std::uint64_t word = m_word;
            int units = m_units;
            const auto append = [&](ushort unit) {
                word = word << 16 | unit;
                if (++units == 4) {
                    hash = mixNameWord(hash, word);
                    word = 0;
                    units = 0;
                }
            };
            while (++at != end) {
                u = at->unicode();
                if (!plain(u)) {
                    // A single blank between plain characters stays one, as in the key.
                    if (u != ' ' || at + 1 == end || !plain(at[1].unicode()))
                        break;
                    append(' ');
                    u = (++at)->unicode();
                }
                append(u >= 'A' && u <= 'Z' ? u + 32 : u);
            }
            m_hash = hash;
            m_word = word;
            m_units = units;
            continue;
        }
        const QChar *const from = at;
        while (++at != end && !plain(at->unicode())) {
        }
        walkKey(QStringView(from, at), take, separator);
    }
    return *this;
}

std::uint64_t NameKeyHash::value() const
{
    NameKeyHash end = *this;
    if (end.m_pending == '_')
        end.hashUnit('_');
    // The units left over, tagged with their number: "a" and "\0a" differ.
    return end.m_units == 0 ? end.m_hash : mixNameWord(end.m_hash, end.m_word | std::uint64_t(end.m_units) << 62);
}

std::uint64_t JoinedName::keyHash() const
{
    NameKeyHash hash;
    hash.add(first);
    if (!second.isNull())
        hash.add(u"_").add(second);
    return hash.value();
}

QStringView withoutCopyMarks(QStringView name)
{
    return withoutMarks(name, false);
}

QStringView withoutRepeatMarks(QStringView name)
{
    return withoutMarks(name, true);
}

RecordNames recordNames(const QString &title, const QStringList &authorForms, const QString &doi,
                        const QString &cutTitle, bool withCuts)
{
    RecordNames names;
    // Most titles hold blanks but no mark: then two renamings are the title.
    bool marks = false;
    bool forbidden = false;
    for (const QChar c : title) {
        const ushort u = c.unicode();
        if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == ' '
            || (u >= 0x4E00 && u <= 0x9FFF))
            continue;
        forbidden = forbidden || forbiddenInFileNames(c);
        marks = marks || isPunctuationOrBlank(u) || c.isSurrogate();
    }
    const QString saved = forbidden ? browserSavedName(title) : title;
    const QString oldEra = cnkiOldEraName(title);
    const QString oldEraRuns = marks ? cnkiOldEraRunsName(title) : title;
    QStringList renamings({title});
    for (const QString &renamed : {saved, oldEra, oldEraRuns}) {
        if (!renamings.contains(renamed))
            renamings.append(renamed);
    }
    QStringList cuts;
    if (withCuts) {
        const bool same = cutTitle == title;
        for (const QString &cut : {cnkiOldEraCut(same ? oldEra : cnkiOldEraName(cutTitle)),
                                   cnkiOldEraCut(same ? oldEraRuns : cnkiOldEraRunsName(cutTitle)),
                                   cnkiNewEraCut(same ? saved : browserSavedName(cutTitle))}) {
            if (!cut.isNull() && !cuts.contains(cut))
                cuts.append(cut);
        }
    }
    QStringList authors; // as they stand and as a browser saves them
    for (const QString &author : authorForms) {
        for (const QString &form : {author, browserSavedName(author)}) {
            if (!form.isEmpty() && !authors.contains(form))
                authors.append(form);
        }
    }
    for (const QString &renamed : renamings) {
        addName(names.own, renamed);
        for (const QString &author : authors) {
            addName(names.own, renamed, author);
            addName(names.tied, renamed, author);
        }
    }
    for (const QString &doiName : doiFileNames(doi)) {
        addName(names.own, doiName);
        addName(names.tied, doiName);
    }
    for (const QString &cut : cuts) {
        addName(names.cuts, cut);
        for (const QString &author : authors) {
            addName(names.cuts, cut, author);
            addName(names.tiedCuts, cut, author);
        }
    }
    return names;
}
