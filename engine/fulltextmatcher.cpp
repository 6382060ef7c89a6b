#include "engine/fulltextmatcher.h"

#include "engine/editdistance.h"
#include "engine/engineutil.h"
#include "engine/hashfilter.h"
#include "engine/publishernames.h"

#include <algorithm>

QStringView fullTextBaseName(const QString &filePath)
{
    // What QFileInfo::completeBaseName gives, without copying the name out.
    const QStringView name = fileNameIn(filePath);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

namespace {

// No file name is longer than 255 bytes (or UTF-16 units, on Windows): longer
// download names are never looked for.
constexpr int longestFileName = 255;

} // namespace

// The record's first author and that author's family name (before a comma).
struct IndexedFullTextMatcher::AuthorForms
{
    QStringView forms[2];
    int count = 0;
    const QStringView *begin() const { return forms; }
    const QStringView *end() const { return forms + count; }
};

namespace {

IndexedFullTextMatcher::AuthorForms authorForms(const QString &firstAuthor)
{
    IndexedFullTextMatcher::AuthorForms result;
    if (firstAuthor.isEmpty() || firstAuthor.size() > longestFileName)
        return result;
    result.forms[result.count++] = firstAuthor;
    const qsizetype comma = firstAuthor.indexOf(QLatin1Char(','));
    const QStringView family = QStringView(firstAuthor).left(comma < 0 ? firstAuthor.size() : comma).trimmed();
    if (!family.isEmpty() && family != QStringView(firstAuthor))
        result.forms[result.count++] = family;
    return result;
}

// The names' hash, FNV-1a over UTF-16 units: it can be carried on from one
// part of a name to the next, so "title" + "_" + "author" hashes without
// being put together.
constexpr std::uint64_t hashStart = 0xcbf29ce484222325ull;

std::uint64_t extendHash(std::uint64_t hash, QStringView text)
{
    for (const QChar c : text) {
        hash ^= c.unicode();
        hash *= 0x100000001b3ull;
    }
    return hash;
}

std::uint64_t joinedHash(QStringView first, QStringView second)
{
    return second.isNull() ? extendHash(hashStart, first)
                           : extendHash(extendHash(extendHash(hashStart, first), u"_"), second);
}

// Whether a name is in NFC without asking Unicode's tables: every character
// lies where no character decomposes or combines with its neighbours (ASCII,
// Latin-1 and Latin Extended, dashes and quotes, CJK punctuation and
// ideographs, full-width ASCII), as all Chinese and English titles do.
bool surelyComposed(QStringView name)
{
    return std::all_of(name.begin(), name.end(), [](QChar c) {
        const ushort u = c.unicode();
        return u < 0x300 || (u >= 0x4E00 && u <= 0x9FFF) || (u >= 0x3000 && u <= 0x303F)
               || (u >= 0x2010 && u <= 0x2027) || (u >= 0x3400 && u <= 0x4DBF) || (u >= 0xFF01 && u <= 0xFF5E);
    });
}

uint slotHash(std::uint64_t hash)
{
    hash ^= hash >> 33;
    hash *= 0xff51afd7ed558ccdull;
    return uint(hash ^ (hash >> 32));
}

// Open addressing: the slot of `hash` that holds a name `sameName` accepts,
// or else the free slot where that name goes.
template<typename Table, typename Same>
auto &slotFor(Table &table, uint hash, Same sameName)
{
    const size_t mask = table.size() - 1;
    for (size_t at = hash & mask;; at = (at + 1) & mask) {
        auto &slot = table[at];
        if (slot.file < 0 || (slot.hash == hash && sameName(slot.file)))
            return slot;
    }
}

// Whether `name` is `first` (+ "_" + `second`, unless that is null).
bool isJoined(QStringView name, QStringView first, QStringView second)
{
    if (second.isNull())
        return name == first;
    return name.size() == first.size() + 1 + second.size() && name.startsWith(first)
           && name.at(first.size()) == QLatin1Char('_') && name.endsWith(second);
}

} // namespace

IndexedFullTextMatcher::~IndexedFullTextMatcher() = default;

IndexedFullTextMatcher::IndexedFullTextMatcher(const QFileInfoList &fullTexts, int threshold,
                                               NearSearch search)
    // No two strings the reader and the collector can give lie more than 2^28
    // bytes apart, so a larger threshold changes nothing but the arithmetic.
    : m_threshold(std::clamp(threshold, 0, 1 << 28))
{
    // The base names are views into the full texts' paths (shared, not
    // copied), and the exact pass's table holds the first position of each.
    const int count = fullTexts.size();
    m_paths.reserve(size_t(count));
    m_nameSpans.reserve(size_t(count));
    for (const QFileInfo &fullText : fullTexts) {
        m_paths.push_back(fullText.filePath());
        const QStringView name = fullTextBaseName(m_paths.back());
        m_nameSpans.push_back({int(name.data() - m_paths.back().constData()), int(name.size())});
        if (!surelyComposed(name)) {
            // Names from a Mac come decomposed (NFD); titles are composed.
            const QString given = name.toString();
            const QString composed = given.normalized(QString::NormalizationForm_C);
            if (composed.constData() != given.constData() && composed != given) {
                m_nameSpans.back() = {int(m_composedNames.size()), -1};
                m_composedNames.push_back(composed);
            }
        }
    }
    size_t tableSize = 16;
    while (tableSize < 2 * size_t(count))
        tableSize *= 2;
    m_firstByName.resize(tableSize);
    m_nameFilter.assign(tableSize / 16, 0);
    for (int i = 0; i < count; ++i) {
        const QStringView name = baseName(i);
        const uint hash = slotHash(extendHash(hashStart, name));
        Slot &slot = slotFor(m_firstByName, hash, [&](int file) { return baseName(file) == name; });
        if (slot.file < 0) { // else an earlier file of that name keeps the slot
            slot = {i, hash};
            addTo(m_nameFilter, hash);
        }
    }

    // The second and third passes: the names without letter case, and those
    // with marks of copies without them.
    m_firstByCaseless.resize(tableSize);
    m_caselessFilter.assign(tableSize / 16, 0);
    m_nextCaseless.assign(size_t(count), -1);
    std::vector<int> lastCaseless(size_t(count), -1); // of each name's chain, by its first file
    m_skeletonFilter.assign(tableSize / 8, 0);
    for (int i = 0; i < count; ++i) {
        addTo(m_skeletonFilter, slotHash(SkeletonHash().add(baseName(i)).value()));
        const uint hash = slotHash(NameKeyHash().add(baseName(i)).value());
        Slot &slot = slotFor(m_firstByCaseless, hash, [&](int file) { return caselessName(file) == caselessName(i); });
        if (slot.file < 0) {
            slot = {i, hash};
            addTo(m_caselessFilter, hash);
            lastCaseless[size_t(i)] = i;
        } else {
            m_nextCaseless[size_t(lastCaseless[size_t(slot.file)])] = i;
            lastCaseless[size_t(slot.file)] = i;
        }
        const QStringView name = baseName(i);
        if (!m_cutMarks && std::any_of(name.begin(), name.end(), [](QChar c) {
                return c == QLatin1Char('.') || c == QChar(0x7701); // "..." or "_省略_"
            }))
            m_cutMarks = name.contains(QLatin1String("...")) || name.contains(QStringLiteral("_省略_"));
        if (!name.endsWith(QLatin1Char(')')) && !name.endsWith(QStringLiteral("副本")) && !name.endsWith(QLatin1String("Copy")))
            continue;
        // The first file of each name keeps it: names come in list order.
        const QStringView copied = withoutCopyMarks(name);
        if (copied.size() != name.size() && !copied.isEmpty()) {
            m_byCopy[nameKey(copied)].push_back(i);
            addTo(m_skeletonFilter, slotHash(SkeletonHash().add(copied).value()));
        }
        const QStringView repeated = withoutRepeatMarks(name);
        if (repeated.size() != name.size() && !repeated.isEmpty()) {
            m_byRepeat[nameKey(repeated)].push_back(i);
            addTo(m_skeletonFilter, slotHash(SkeletonHash().add(repeated).value()));
        }
    }
    // The names a reference manager may have made: a word, then a "-", "_"
    // or a digit.
    for (int i = 0; i < count; ++i) {
        const QStringView name = baseName(i);
        const std::uint64_t word = leadingWordHash(name);
        if (word != 0 && std::any_of(name.begin(), name.end(), [](QChar c) {
                return c == QLatin1Char('-') || c == QLatin1Char('_') || (c >= QLatin1Char('0') && c <= QLatin1Char('9'));
            }))
            m_byLeadingWord.push_back({word, i});
    }
    std::sort(m_byLeadingWord.begin(), m_byLeadingWord.end());
    m_leadingKeys.resize(m_byLeadingWord.size());
    m_leadingFilter.assign(std::max<size_t>(16, tableSize / 16), 0);
    for (const auto &entry : m_byLeadingWord)
        addTo(m_leadingFilter, slotHash(entry.first));

    if (m_threshold > 0) {
        std::vector<QStringView> names;
        names.reserve(size_t(count));
        for (int i = 0; i < count; ++i)
            names.push_back(baseName(i));
        m_near = std::make_unique<NearNameSearch>(names, m_threshold, search);
    }
}

FullTextMatch IndexedFullTextMatcher::find(const QString &givenTitle, const QString &givenAuthor,
                                           const QString &doi, const QString &savedTitle,
                                           const RecordFields &fields) const
{
    if (givenTitle.isEmpty())
        return {}; // says nothing about any file name
    const QString title = givenTitle.normalized(QString::NormalizationForm_C);
    // 1. The title itself; and the reference managers' names of the record,
    // whose cuts are counted like CNKI's.
    const int exact = firstNamed(title);
    const bool isExact = exact >= 0 && !isExcluded(exact);
    const ManagerNames managers = managerNames(title, fields.authorYear);
    if (isExact && !m_cutMarks)
        return {exact, true, NameStrength::Exact, false, false, managers.anyCut};
    const QStringList publisherNames = publisherFileNames(doi, fields.urls);
    // No file name is a renaming of the title, alone or joined to the first
    // author (a cut may keep less of it, a DOI name none; with those about,
    // this is not asked): the near pass is all there is.
    const QString firstAuthor = givenAuthor.normalized(QString::NormalizationForm_C);
    if (!m_cutMarks && !doi.startsWith(QLatin1String("10.")) && publisherNames.isEmpty() && managers.whole < 0
        && managers.anyCut < 0) {
        SkeletonHash skeleton;
        skeleton.add(title);
        bool named = mayHold(m_skeletonFilter, slotHash(skeleton.value()));
        for (const QStringView author : authorForms(firstAuthor))
            named = named || mayHold(m_skeletonFilter, slotHash(SkeletonHash(skeleton).add(author).value()));
        if (!named) {
            const int near = nearMatch(title);
            return {near, false, near >= 0 ? NameStrength::Near : NameStrength::None};
        }
    }
    // 2. This record's own renamings: download names, CNKI's forms, the DOI
    // and the publishers' names, and the reference managers' names.
    QStringList authors;
    for (const QStringView author : authorForms(firstAuthor))
        authors.append(author.toString());
    RecordNames names = recordNames(
        title, authors, doi, savedTitle.isNull() ? title : savedTitle.normalized(QString::NormalizationForm_C),
        m_cutMarks);
    for (const QString &name : publisherNames) {
        names.own.append({name, QString()});
        names.tied.append({name, QString()});
    }
    // The file the title's cuts name, linked or not: the writer counts the titles it fits.
    int cut = firstCaseless(names.cuts, false);
    if (managers.anyCut >= 0 && (cut < 0 || managers.anyCut < cut))
        cut = managers.anyCut;
    if (isExact)
        return {exact, true, NameStrength::Exact, false, false, cut};
    const int renamed = firstCaseless(names.own);
    int own = renamed;
    for (const int file : {managers.whole, managers.cut}) {
        if (file >= 0 && (own < 0 || file < own))
            own = file;
    }
    if (own >= 0) {
        const bool byCut = own == managers.cut && own != managers.whole && own != renamed;
        const bool tied = own != renamed || firstCaseless(names.tied) == own;
        return {own, false, NameStrength::Own, byCut, tied, cut};
    }
    // 3. Cuts, and copies of this record's names.
    const int openCut = firstCaseless(names.cuts);
    int weak = openCut;
    for (const int file : {firstIn(m_byCopy, names.own), firstIn(m_byCopy, names.cuts),
                           firstIn(m_byRepeat, names.tied), firstIn(m_byRepeat, names.tiedCuts)}) {
        if (file >= 0 && (weak < 0 || file < weak))
            weak = file;
    }
    if (weak >= 0)
        return {weak, false, NameStrength::Weak, weak == openCut, false, cut};
    // 4. A name within the edit distance.
    const int near = nearMatch(title);
    return {near, false, near >= 0 ? NameStrength::Near : NameStrength::None, false, false, cut};
}

QString IndexedFullTextMatcher::caselessName(int file) const
{
    return nameKey(baseName(file));
}

int IndexedFullTextMatcher::firstCaseless(const QVector<JoinedName> &names, bool skipExcluded) const
{
    int first = -1;
    NameKeyHash prefix; // of the first part, shared by the names that follow it
    const QChar *prefixOf = nullptr;
    for (const JoinedName &name : names) {
        if (name.first.constData() != prefixOf) {
            prefix = NameKeyHash().add(name.first);
            prefixOf = name.first.constData();
        }
        const uint hash = slotHash(name.second.isNull() ? prefix.value()
                                                        : NameKeyHash(prefix).add(u"_").add(name.second).value());
        if (!mayHold(m_caselessFilter, hash))
            continue;
        const QString key = nameKey(name.text());
        int file = slotFor(m_firstByCaseless, hash, [&](int at) { return caselessName(at) == key; }).file;
        while (skipExcluded && file >= 0 && isExcluded(file)) // a later file of the name is still open
            file = m_nextCaseless[size_t(file)];
        if (file >= 0 && (first < 0 || file < first))
            first = file;
    }
    return first;
}

int IndexedFullTextMatcher::firstIn(const QHash<QString, std::vector<int>> &table,
                                    const QVector<JoinedName> &names) const
{
    int first = -1;
    if (table.isEmpty())
        return first;
    for (const JoinedName &name : names) {
        const auto files = table.constFind(nameKey(name.text()));
        if (files == table.constEnd())
            continue;
        const auto open = std::find_if(files->begin(), files->end(), [this](int file) { return !isExcluded(file); });
        if (open != files->end() && (first < 0 || *open < first))
            first = *open;
    }
    return first;
}

int IndexedFullTextMatcher::firstNamed(QStringView first, QStringView second) const
{
    const uint hash = slotHash(joinedHash(first, second));
    if (!mayHold(m_nameFilter, hash))
        return -1;
    return slotFor(m_firstByName, hash, [&](int file) { return isJoined(baseName(file), first, second); }).file;
}

int IndexedFullTextMatcher::nearMatch(const QString &title) const
{
    return m_near ? m_near->find(localBytes(title), excluded()) : -1;
}

IndexedFullTextMatcher::ManagerNames IndexedFullTextMatcher::managerNames(const QString &title,
                                                                          const AuthorYearFields &fields) const
{
    ManagerNames found;
    if (fields.families.isEmpty() || m_byLeadingWord.empty())
        return found;
    const std::uint64_t word = leadingWordHash(fields.families.first());
    if (word == 0 || !mayHold(m_leadingFilter, slotHash(word)))
        return found;
    const auto first = std::lower_bound(m_byLeadingWord.begin(), m_byLeadingWord.end(), std::make_pair(word, -1));
    if (first == m_byLeadingWord.end() || first->first != word)
        return found;
    const AuthorYearNames names(title, fields);
    for (auto entry = first; entry != m_byLeadingWord.end() && entry->first == word; ++entry) {
        const int file = entry->second; // in list order
        QString &key = m_leadingKeys[size_t(entry - m_byLeadingWord.begin())];
        if (key.isNull())
            key = caselessName(file);
        const AuthorYearFit fit = names.fit(key);
        if (fit == AuthorYearFit::Whole && found.whole < 0 && !isExcluded(file))
            found.whole = file;
        if (fit == AuthorYearFit::Cut) {
            if (found.anyCut < 0)
                found.anyCut = file;
            if (found.cut < 0 && !isExcluded(file))
                found.cut = file;
        }
    }
    return found;
}
