#include "engine/fulltextmatcher.h"

#include "engine/editdistance.h"
#include "engine/engineutil.h"

#include <algorithm>
#include <cstdlib>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

// A filter in front of a table: a bit per hash, four bits per slot, a sixteenth
// of the table's size; it keeps in the cache where the table does not, and
// most names looked for are in no table.
void addTo(std::vector<std::uint64_t> &filter, uint hash)
{
    const size_t bit = (size_t(hash) * 0x9E3779B9u >> 7) & (filter.size() * 64 - 1); // sizes are powers of two
    filter[bit / 64] |= std::uint64_t(1) << (bit % 64);
}

bool mayHold(const std::vector<std::uint64_t> &filter, uint hash)
{
    const size_t bit = (size_t(hash) * 0x9E3779B9u >> 7) & (filter.size() * 64 - 1);
    return filter[bit / 64] >> (bit % 64) & 1;
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

template<typename T>
void prefetch(const T *address)
{
#if defined(__GNUC__)
    __builtin_prefetch(address);
#else
    Q_UNUSED(address)
#endif
}

// Whether a piece that no edit touched can stand `shift` bytes from its place
// in a name when the title is `difference` bytes longer (negative: shorter):
// the edits before it move it by the shift, those after it make up the rest
// of the difference, so |shift| + |difference - shift| <= k.
bool reachable(int shift, int difference, int k)
{
    return std::abs(shift) + std::abs(difference - shift) <= k;
}

// The length of the pieces of a name of `length` bytes: k + 1 of them leave
// room for two more, so that they can step around a common opening or ending.
int pieceLengthOf(int length, int k)
{
    return std::max(1, length / (k + 3));
}

// Polynomial hashes of every prefix, so that any substring hashes in O(1).
// Two different pieces may share a key; that only adds a candidate to measure.
constexpr std::uint64_t base = 0x100000001b3ull;

} // namespace

struct IndexedFullTextMatcher::PrefixHashes
{
    std::vector<std::uint64_t> prefix{0};
    std::vector<std::uint64_t> power{1};

    void assign(const char *bytes, int size)
    {
        prefix.resize(size_t(size) + 1);
        if (power.size() < size_t(size) + 1) {
            const size_t had = power.size();
            power.resize(size_t(size) + 1);
            for (size_t i = had; i < power.size(); ++i)
                power[i] = power[i - 1] * base;
        }
        for (int i = 0; i < size; ++i)
            prefix[size_t(i) + 1] = prefix[size_t(i)] * base + uchar(bytes[i]) + 1;
    }

    std::uint64_t substring(int start, int size) const
    {
        return prefix[size_t(start + size)] - prefix[size_t(start)] * power[size_t(size)];
    }
};

namespace {

// Scratch of rarestPieces, kept from name to name.
struct PieceChoice
{
    std::vector<int> cost, from, starts;
};

// Where `pieces` disjoint pieces of `size` bytes start in a name whose
// substrings of that size are as common as `common` says: in order, the j-th
// at j * size + its skip, the skips rising, of least summed commonness (a
// small dynamic program over piece and skip).
const std::vector<int> &rarestPieces(const std::vector<int> &common, int pieces, int size, PieceChoice &choice)
{
    const int length = int(common.size()) + size - 1;
    const int room = length - pieces * size; // bytes no piece needs
    std::vector<int> &cost = choice.cost;
    std::vector<int> &from = choice.from;
    cost.assign(size_t(pieces) * size_t(room + 1), 0);
    from.assign(cost.size(), 0);
    for (int j = 0; j < pieces; ++j) {
        const int *before = j > 0 ? &cost[size_t(j - 1) * size_t(room + 1)] : nullptr;
        int best = 0; // the least costly skip, up to this one, of the piece before
        for (int skip = 0; skip <= room; ++skip) {
            if (before && before[skip] < before[best])
                best = skip;
            const size_t at = size_t(j) * size_t(room + 1) + size_t(skip);
            cost[at] = (before ? before[best] : 0) + common[size_t(j * size + skip)];
            from[at] = best;
        }
    }
    int skip = int(std::min_element(cost.end() - (room + 1), cost.end()) - (cost.end() - (room + 1)));
    choice.starts.resize(size_t(pieces));
    for (int j = pieces - 1; j >= 0; --j) {
        choice.starts[size_t(j)] = j * size + skip;
        skip = from[size_t(j) * size_t(room + 1) + size_t(skip)];
    }
    return choice.starts;
}

// Buckets of more pieces than this are sorted by key and place.
constexpr std::ptrdiff_t crowded = 8;

template<typename Piece>
bool comesFirst(const Piece &a, const Piece &b)
{
    return a.check != b.check ? a.check < b.check : a.start < b.start;
}

// The key of a piece: its bytes' hash, mixed with its length and spread over
// all 64 bits (the top ones choose the bucket).
std::uint64_t pieceKey(std::uint64_t hash, int length)
{
    const std::uint64_t key = (hash ^ (std::uint64_t(length) << 40)) * 0x9E3779B97F4A7C15ull;
    return key ^ (key >> 29);
}

// The filter's histograms, saturated at 255: the counts of the bytes in 32
// classes, then those of the pairs of neighbouring bytes in 32 classes.
template<typename Histogram>
void countBytes(const char *bytes, int size, Histogram &histogram)
{
    histogram.fill(0);
    auto count = [&histogram](size_t at) {
        if (histogram[at] < 255)
            ++histogram[at];
    };
    for (int i = 0; i < size; ++i) {
        count(uchar(bytes[i]) & 31);
        if (i > 0)
            count(32 + ((uchar(bytes[i - 1]) * 7u + uchar(bytes[i])) & 31));
    }
}

// Lower bounds of the edit distance of two strings from their histograms: an
// edit changes at most one byte count each way, and at most two pair counts
// each way, so the distance is at least half the summed difference of the
// byte counts and a quarter of that of the pair counts.
template<typename Histogram>
int histogramBound(const Histogram &a, const Histogram &b)
{
    int bytes = 0;
    int pairs = 0;
#ifdef __SSE2__
    auto sad = [&a, &b](size_t at) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(a.data() + at));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i *>(b.data() + at));
        const __m128i sum = _mm_sad_epu8(x, y);
        return _mm_cvtsi128_si32(sum) + _mm_extract_epi16(sum, 4);
    };
    bytes = sad(0) + sad(16);
    pairs = sad(32) + sad(48);
#else
    for (size_t i = 0; i < 32; ++i) {
        bytes += std::abs(int(a[i]) - int(b[i]));
        pairs += std::abs(int(a[i + 32]) - int(b[i + 32]));
    }
#endif
    return std::max((bytes + 1) / 2, (pairs + 3) / 4);
}

} // namespace

IndexedFullTextMatcher::~IndexedFullTextMatcher() = default;

IndexedFullTextMatcher::IndexedFullTextMatcher(const QFileInfoList &fullTexts, int threshold,
                                               NearSearch search)
    // No two strings the reader and the collector can give lie more than 2^28
    // bytes apart, so a larger threshold changes nothing but the arithmetic.
    : m_threshold(std::clamp(threshold, 0, 1 << 28)), m_search(search), m_hashes(new PrefixHashes)
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
    m_startFilter.assign(tableSize, 0);
    for (int i = 0; i < count; ++i) {
        std::uint64_t starts[nameStartLength];
        for (int n = nameStartHashes(baseName(i), starts); n > 0; --n)
            addTo(m_startFilter, slotHash(starts[n - 1]));
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
        if (copied.size() != name.size() && !copied.isEmpty())
            m_byCopy[nameKey(copied)].push_back(i);
        const QStringView repeated = withoutRepeatMarks(name);
        if (repeated.size() != name.size() && !repeated.isEmpty())
            m_byRepeat[nameKey(repeated)].push_back(i);
    }
    if (m_threshold == 0)
        return;

    const int k = m_threshold;
    const int pieces = k + 1;
    m_nameLengths.reserve(size_t(count));
    m_rankInLength.reserve(size_t(count));
    size_t characters = 0;
    for (int i = 0; i < count; ++i) // a composed name's span holds no size
        characters += size_t(baseName(i).size());
    std::vector<char> listed; // the bytes in list order
    listed.reserve(3 * characters); // room for most encodings at once; untouched pages cost nothing
    for (int i = 0; i < count; ++i) {
        const QStringView name = baseName(i);
        const size_t before = listed.size();
        if (isAscii(name)) {
            for (const QChar c : name)
                listed.push_back(char(c.unicode()));
        } else {
            const QByteArray bytes = localBytes(name.toString());
            listed.insert(listed.end(), bytes.constData(), bytes.constData() + bytes.size());
        }
        const int length = int(listed.size() - before);
        m_nameLengths.push_back(length);
        if (size_t(length) >= m_byLength.size())
            m_byLength.resize(size_t(length) + 1);
        m_rankInLength.push_back(int(m_byLength[size_t(length)].size()));
        m_byLength[size_t(length)].push_back(i);
        if (length < pieces)
            m_shortNames.push_back(i);
    }
    // Then the names of one length side by side, in list order, as a scan reads them.
    std::vector<std::uint32_t> groupAt(m_byLength.size(), 0);
    for (size_t length = 1; length < m_byLength.size(); ++length)
        groupAt[length] = groupAt[length - 1] + std::uint32_t((length - 1) * m_byLength[length - 1].size());
    m_bytes.resize(listed.size());
    m_nameAt.resize(size_t(count));
    for (size_t i = 0, from = 0; i < size_t(count); from += size_t(m_nameLengths[i]), ++i) {
        const size_t length = size_t(m_nameLengths[i]);
        m_nameAt[i] = groupAt[length] + std::uint32_t(length * size_t(m_rankInLength[i]));
        std::copy_n(listed.begin() + std::ptrdiff_t(from), length, m_bytes.begin() + m_nameAt[i]);
    }
    m_histogramsByLength.resize(m_byLength.size());
    m_seen.assign(size_t(count), 0);

    // How common each substring of piece length is, roughly: a hashed count,
    // saturated, over every fourth name (a piece common enough to matter is
    // common there too). The pieces of a name are chosen among the rarest.
    constexpr int sampled = 4;
    size_t grams = 0;
    for (int i = 0; i < count; i += sampled)
        grams += size_t(nameLength(i));
    int countBits = 10; // few enough to stay in the cache
    while ((size_t(1) << countBits) < grams && countBits < 20)
        ++countBits;
    std::vector<std::uint8_t> counts(size_t(1) << countBits, 0);
    PrefixHashes hashes;
    auto gramKey = [&hashes](int at, int size) { return pieceKey(hashes.substring(at, size), size); };
    for (int i = 0; i < count; i += sampled) {
        const int length = nameLength(i);
        if (length < pieces)
            continue;
        const int size = pieceLengthOf(length, k);
        hashes.assign(nameBytes(i), length);
        for (int at = 0; at + size <= length; ++at) {
            std::uint8_t &n = counts[gramKey(at, size) >> (64 - countBits)];
            n += n < 255;
        }
    }

    // Each name's k + 1 pieces where they are rarest, grouped by bucket with a
    // counting sort: about one piece per bucket.
    std::vector<std::pair<std::uint64_t, Piece>> keyed;
    keyed.reserve(size_t(count) * size_t(std::min(pieces, int(m_byLength.size())))); // no name has more pieces than bytes
    std::vector<int> common;
    PieceChoice choice;
    for (int i = 0; i < count; ++i) {
        const int length = nameLength(i);
        if (length < pieces)
            continue;
        const int size = pieceLengthOf(length, k);
        hashes.assign(nameBytes(i), length);
        common.resize(size_t(length - size + 1));
        for (int at = 0; at + size <= length; ++at)
            common[size_t(at)] = counts[gramKey(at, size) >> (64 - countBits)];
        for (const int at : rarestPieces(common, pieces, size, choice))
            keyed.push_back({gramKey(at, size), {0, i, at, length}});
    }
    // A bit per key, sixteen bits per piece, in front of the buckets: most
    // substrings of a title are no piece, and the filter stays in the cache.
    size_t filterBits = 1024;
    while (filterBits < 16 * keyed.size())
        filterBits *= 2;
    m_pieceFilter.assign(filterBits / 64, 0);
    for (const auto &entry : keyed)
        addTo(m_pieceFilter, uint(entry.first));
    int bits = 1;
    while (bits < 30 && (size_t(1) << bits) < keyed.size())
        ++bits;
    m_bucketShift = 64 - bits;
    m_bucketStart.assign((size_t(1) << bits) + 1, 0);
    for (const auto &entry : keyed)
        ++m_bucketStart[size_t(entry.first >> m_bucketShift) + 1];
    for (size_t b = 1; b < m_bucketStart.size(); ++b)
        m_bucketStart[b] += m_bucketStart[b - 1];
    m_pieces.resize(keyed.size());
    std::vector<std::uint32_t> next(m_bucketStart.begin(), m_bucketStart.end() - 1);
    for (auto &entry : keyed) {
        entry.second.check = std::uint32_t(entry.first);
        m_pieces[next[size_t(entry.first >> m_bucketShift)]++] = entry.second;
    }
    // A common piece fills its bucket: there, by key and place, so that a
    // lookup visits only the places near its own.
    for (size_t b = 0; b + 1 < m_bucketStart.size(); ++b) {
        if (m_bucketStart[b + 1] - m_bucketStart[b] > crowded)
            std::sort(m_pieces.begin() + m_bucketStart[b], m_pieces.begin() + m_bucketStart[b + 1], comesFirst<Piece>);
    }
}

FullTextMatch IndexedFullTextMatcher::find(const QString &givenTitle, const QString &givenAuthor,
                                           const QString &doi, const QString &savedTitle) const
{
    if (givenTitle.isEmpty())
        return {}; // says nothing about any file name
    const QString title = givenTitle.normalized(QString::NormalizationForm_C);
    // 1. The title itself.
    const int exact = firstNamed(title);
    const bool isExact = exact >= 0 && !isExcluded(exact);
    if (isExact && !m_cutMarks)
        return {exact, true, NameStrength::Exact};
    // No file name starts as this title does: no renaming of it is there (a
    // cut may keep less of the start; with cut names about, this is not asked).
    std::uint64_t starts[nameStartLength];
    if (!m_cutMarks && nameStartHashes(title, starts) == nameStartLength
        && !mayHold(m_startFilter, slotHash(starts[nameStartLength - 1])) && !doi.startsWith(QLatin1String("10."))) {
        const int near = m_threshold > 0 ? nearMatch(localBytes(title)) : -1;
        return {near, false, near >= 0 ? NameStrength::Near : NameStrength::None};
    }
    // 2. This record's own renamings: download names, CNKI's forms, the DOI.
    const QString firstAuthor = givenAuthor.normalized(QString::NormalizationForm_C);
    QStringList authors;
    for (const QStringView author : authorForms(firstAuthor))
        authors.append(author.toString());
    const RecordNames names = recordNames(
        title, authors, doi, savedTitle.isNull() ? title : savedTitle.normalized(QString::NormalizationForm_C),
        m_cutMarks);
    // The file the title's cuts name, linked or not: the writer counts the titles it fits.
    const int cut = firstCaseless(names.cuts, false);
    if (isExact)
        return {exact, true, NameStrength::Exact, false, false, cut};
    const int own = firstCaseless(names.own);
    if (own >= 0)
        return {own, false, NameStrength::Own, false, firstCaseless(names.tied) == own, cut};
    // 3. Cuts, and copies of this record's names.
    const int openCut = isExcluded(cut) ? firstCaseless(names.cuts) : cut;
    int weak = openCut;
    for (const int file : {firstIn(m_byCopy, names.own), firstIn(m_byCopy, names.cuts),
                           firstIn(m_byRepeat, names.tied), firstIn(m_byRepeat, names.tiedCuts)}) {
        if (file >= 0 && (weak < 0 || file < weak))
            weak = file;
    }
    if (weak >= 0)
        return {weak, false, NameStrength::Weak, weak == openCut, false, cut};
    // 4. A name within the edit distance.
    const int near = m_threshold > 0 ? nearMatch(localBytes(title)) : -1;
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

const std::vector<IndexedFullTextMatcher::Histogram> &IndexedFullTextMatcher::histogramsOf(int length) const
{
    // Made when a scan first needs them: the pieces do without.
    std::vector<Histogram> &histograms = m_histogramsByLength[size_t(length)];
    const std::vector<int> &files = m_byLength[size_t(length)];
    if (histograms.size() != files.size()) {
        histograms.resize(files.size());
        for (size_t i = 0; i < files.size(); ++i)
            countBytes(nameBytes(files[i]), length, histograms[i]);
    }
    return histograms;
}

bool IndexedFullTextMatcher::measure(int file, const QByteArray &title) const
{
    if (isExcluded(file))
        return false;
    const int k = m_threshold;
    // An edit spoils at most two of a name's pairs of neighbouring bytes; the
    // others stand in the title too. More than 2k pairs the title lacks put
    // the name beyond k.
    const char *name = nameBytes(file);
    int lacking = 0;
    for (int i = 1; i < nameLength(file); ++i) {
        const size_t pair = size_t(uchar(name[i - 1])) << 8 | uchar(name[i]);
        if (!(m_titlePairs[pair / 64] >> (pair % 64) & 1) && ++lacking > 2 * k)
            return false;
    }
    if (m_bitParallel)
        return m_distance.bounded(nameBytes(file), nameLength(file), k) <= k;
    return boundedEditDistance(nameBytes(file), nameLength(file),
                               title.constData(), title.size(), k)
           <= k;
}

int IndexedFullTextMatcher::nearMatch(const QByteArray &title) const
{
    const int k = m_threshold;
    const int titleLength = title.size();
    const int longest = int(m_byLength.size()) - 1;
    if (titleLength - k > longest)
        return -1; // no name is long enough

    // A word of bits per 64 bytes of the title against a band of 2k + 1 cells
    // per byte: the words win unless the title is long and k small.
    m_bitParallel = (titleLength + 63) / 64 <= std::max(1, (2 * k + 1) / 4);
    if (m_bitParallel)
        m_distance.assign(title.constData(), titleLength);
    // The pairs of neighbouring bytes the title holds, for measure.
    for (int i = 1; i < m_title.size(); ++i) // those of the title before
        m_titlePairs[size_t(uchar(m_title[i - 1])) << 2 | uchar(m_title[i]) >> 6] = 0;
    m_title = title;
    for (int i = 1; i < titleLength; ++i) {
        const size_t pair = size_t(uchar(title[i - 1])) << 8 | uchar(title[i]);
        m_titlePairs[pair / 64] |= std::uint64_t(1) << (pair % 64);
    }

    // The cost of each way: a piece lookup per substring of each piece length
    // (a cache miss) against a histogram comparison per name of a near length
    // (streamed, about sixteen of them in the time of one lookup), and whether
    // the pieces are long enough to find few.
    const int firstLength = std::max(0, titleLength - k);
    const int lastLength = std::min(titleLength + k, longest);
    size_t scanned = 0;
    for (int length = firstLength; length <= lastLength; ++length)
        scanned += m_byLength[size_t(length)].size();
    const int shortest = pieceLengthOf(std::max(firstLength, k + 1), k);
    const size_t lookups = size_t(pieceLengthOf(lastLength, k) - shortest + 1) * size_t(titleLength);
    if (m_search == NearSearch::Pieces
        || (m_search == NearSearch::Cheaper && shortest >= 2 && lookups < scanned))
        return nearByPieces(title, scanned);
    return nearByScan(title);
}

int IndexedFullTextMatcher::nearByPieces(const QByteArray &title, size_t scanned) const
{
    const int k = m_threshold;
    const int titleLength = title.size();
    const int longest = int(m_byLength.size()) - 1;
    if (++m_lookups == 0) { // the stamps wrapped around: start afresh
        std::fill(m_seen.begin(), m_seen.end(), 0);
        m_lookups = 1;
    }
    m_candidates.clear();

    // Every substring of the title of each piece length the names of a near
    // length have; a piece found counts when it stands near enough its place.
    PrefixHashes &hashes = *m_hashes;
    hashes.assign(title.constData(), titleLength);
    const int firstLength = std::max(k + 1, titleLength - k);
    const int lastLength = std::min(titleLength + k, longest);
    const int lastSize = firstLength > lastLength ? 0 : std::min(pieceLengthOf(lastLength, k), titleLength);
    for (int size = pieceLengthOf(firstLength, k); size <= lastSize; ++size) {
        // The keys that the filter lets through first, their buckets fetched
        // ahead: the lookups then wait on memory side by side, not one by one.
        m_keys.clear();
        m_starts.clear();
        for (int start = 0; start + size <= titleLength; ++start) {
            const std::uint64_t key = pieceKey(hashes.substring(start, size), size);
            if (mayHold(m_pieceFilter, uint(key))) {
                m_keys.push_back(key);
                m_starts.push_back(start);
                prefetch(&m_bucketStart[size_t(key >> m_bucketShift)]);
            }
        }
        size_t entries = m_candidates.size();
        for (const std::uint64_t key : m_keys) {
            const size_t bucket = size_t(key >> m_bucketShift);
            prefetch(&m_pieces[m_bucketStart[bucket]]);
            entries += m_bucketStart[bucket + 1] - m_bucketStart[bucket];
        }
        // Common pieces would find a good part of all names: the scan does better.
        if (m_search == NearSearch::Cheaper && entries > scanned / 4)
            return nearByScan(title);
        for (size_t found = 0; found < m_keys.size(); ++found) {
            const std::uint64_t key = m_keys[found];
            const int start = m_starts[found];
            const size_t bucket = size_t(key >> m_bucketShift);
            auto entry = m_pieces.cbegin() + m_bucketStart[bucket];
            auto end = m_pieces.cbegin() + m_bucketStart[bucket + 1];
            if (end - entry > crowded) {
                entry = std::lower_bound(entry, end, Piece{std::uint32_t(key), 0, start - k, 0}, comesFirst<Piece>);
                end = std::upper_bound(entry, end, Piece{std::uint32_t(key), 0, start + k, 0}, comesFirst<Piece>);
            }
            for (; entry != end; ++entry) {
                const Piece &piece = *entry;
                if (piece.check == std::uint32_t(key) && m_seen[size_t(piece.file)] != m_lookups
                    && reachable(start - piece.start, titleLength - piece.nameLength, k)) {
                    m_seen[size_t(piece.file)] = m_lookups;
                    m_candidates.push_back(piece.file);
                }
            }
        }
    }
    for (int file : m_shortNames) {
        if (std::abs(nameLength(file) - titleLength) <= k && m_seen[size_t(file)] != m_lookups)
            m_candidates.push_back(file);
    }

    std::sort(m_candidates.begin(), m_candidates.end());
    // Many candidates go through the scan's filter first.
    Histogram histogram;
    const bool filtered = m_candidates.size() > 8;
    if (filtered)
        countBytes(title.constData(), titleLength, histogram);
    for (int file : m_candidates) {
        if (filtered
            && histogramBound(histogramsOf(nameLength(file))[size_t(m_rankInLength[size_t(file)])], histogram) > k)
            continue;
        if (measure(file, title))
            return file;
    }
    return -1;
}

int IndexedFullTextMatcher::nearByScan(const QByteArray &title) const
{
    Histogram histogram;
    countBytes(title.constData(), title.size(), histogram);
    // The first match of each length, in list order; the earliest of them wins.
    const int k = m_threshold;
    const int titleLength = title.size();
    const int lastLength = std::min(titleLength + k, int(m_byLength.size()) - 1);
    int best = -1;
    for (int length = std::max(0, titleLength - k); length <= lastLength; ++length) {
        // The histograms of one length lie side by side: the filter streams.
        const std::vector<int> &files = m_byLength[size_t(length)];
        const std::vector<Histogram> &histograms = histogramsOf(length);
        for (size_t i = 0; i < files.size(); ++i) {
            if (best >= 0 && files[i] > best)
                break;
            if (histogramBound(histograms[i], histogram) <= k && measure(files[i], title)) {
                best = files[i];
                break;
            }
        }
    }
    return best;
}
