#include "engine/nearsearch.h"

#include "engine/engineutil.h"
#include "engine/hashfilter.h"

#include <algorithm>
#include <cstdlib>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

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

struct NearNameSearch::PrefixHashes
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

NearNameSearch::~NearNameSearch() = default;

NearNameSearch::NearNameSearch(const std::vector<QStringView> &names, int threshold, Way way)
    : m_threshold(threshold), m_way(way), m_hashes(new PrefixHashes)
{
    const int count = int(names.size());
    const int k = m_threshold;
    const int pieces = k + 1;
    m_nameLengths.reserve(size_t(count));
    m_rankInLength.reserve(size_t(count));
    size_t characters = 0;
    for (int i = 0; i < count; ++i)
        characters += size_t(names[size_t(i)].size());
    std::vector<char> listed; // the bytes in list order
    listed.reserve(3 * characters); // room for most encodings at once; untouched pages cost nothing
    for (int i = 0; i < count; ++i) {
        const QStringView name = names[size_t(i)];
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

const std::vector<NearNameSearch::Histogram> &NearNameSearch::histogramsOf(int length) const
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

bool NearNameSearch::measure(int file, const QByteArray &title) const
{
    if (m_excluded && (*m_excluded)[size_t(file)])
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

int NearNameSearch::find(const QByteArray &title, const std::vector<bool> *excluded) const
{
    m_excluded = excluded;
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
    if (m_way == Way::Pieces
        || (m_way == Way::Cheaper && shortest >= 2 && lookups < scanned))
        return nearByPieces(title, scanned);
    return nearByScan(title);
}

int NearNameSearch::nearByPieces(const QByteArray &title, size_t scanned) const
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
        if (m_way == Way::Cheaper && entries > scanned / 4)
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

int NearNameSearch::nearByScan(const QByteArray &title) const
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
