#ifndef ENWLINK_NEARSEARCH_H
#define ENWLINK_NEARSEARCH_H

#include <QByteArray>
#include <QStringView>

#include "engine/editdistance.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// The near pass: the first name, in list order, within k edits of a title,
// counted over the names' local 8-bit bytes. One of two ways per title,
// whichever looks cheaper; both find the same file:
// - Pieces: if two strings are at most k edits apart, then any k + 1 disjoint
//   pieces of one of them leave at least one untouched, and that piece stands
//   in the other string shifted by s bytes, where |s| + |d - s| <= k for a
//   difference in length of d (the edits before the piece shift it, those
//   after make up the rest). Each name keeps k + 1 pieces of length / (k + 3)
//   bytes, chosen where they are rarest across all names (so a common opening
//   or ending stays out), hashed into buckets by bytes and length; a title
//   looks up each of its substrings of those lengths, and only the files found
//   near enough their place (plus names too short to cut) are measured.
// - Scan: every name whose length is within k of the title's, in list order,
//   first through a count filter (k edits change the counts of at most k
//   bytes and 2k pairs of neighbouring bytes each way, so the differences of
//   two names' histograms bound their distance from below), and only the names
//   it passes are measured. The histograms of a length are made when first
//   needed.
// Measuring counts the name's byte pairs the title lacks first (an edit spoils
// two at most), then the distance, bit-parallel for titles of a few words.
// Short pieces (high thresholds, short titles) find almost every name, so the
// scan serves there; long ones find few, so the pieces serve.
class NearNameSearch
{
public:
    // The cheaper way per title, or always one way (for tests: both must
    // choose what a scan of the whole list chooses).
    enum class Way { Cheaper, Pieces, Scan };

    // `names` in list order; `threshold` is k, at least 1.
    NearNameSearch(const std::vector<QStringView> &names, int threshold, Way way = Way::Cheaper);
    ~NearNameSearch();
    // The first name within k edits of `title` (local bytes) that `excluded`
    // (by position, when not null) does not pass over, or -1.
    int find(const QByteArray &title, const std::vector<bool> *excluded = nullptr) const;

private:
    using Histogram = std::array<std::uint8_t, 64>;
    struct PrefixHashes;

    int nearByPieces(const QByteArray &title, size_t scanned) const;
    int nearByScan(const QByteArray &title) const;
    const std::vector<Histogram> &histogramsOf(int length) const; // of the names of that byte length
    bool measure(int file, const QByteArray &title) const; // the bounded distance, no filter
    int nameLength(int file) const { return m_nameLengths[size_t(file)]; }
    const char *nameBytes(int file) const { return m_bytes.data() + m_nameAt[size_t(file)]; }

    int m_threshold;
    Way m_way;
    mutable const std::vector<bool> *m_excluded = nullptr; // of the lookup under way
    std::vector<char> m_bytes;                 // local bytes of every base name, those of a length
                                               // side by side, in list order
    std::vector<std::uint32_t> m_nameAt;       // where each name's bytes start
    std::vector<int> m_nameLengths;            // and how many they are
    std::vector<std::vector<int>> m_byLength;  // the names of each byte length, in list order
    std::vector<int> m_rankInLength;           // each name's place among those of its length
    mutable std::vector<std::vector<Histogram>> m_histogramsByLength; // their histograms, in the same order
    struct Piece
    {
        std::uint32_t check; // the key's low bits (its top bits chose the bucket)
        int file;
        int start;           // where it stands in the name
        int nameLength;
    };
    std::vector<Piece> m_pieces;               // grouped by bucket
    std::vector<std::uint32_t> m_bucketStart;  // bucket b is [m_bucketStart[b], m_bucketStart[b + 1])
    int m_bucketShift = 64;
    std::vector<int> m_shortNames;             // names shorter than k + 1 bytes
    mutable std::vector<int> m_candidates;     // scratch of one lookup
    std::vector<std::uint64_t> m_pieceFilter;  // which keys the pieces may have
    mutable std::vector<std::uint64_t> m_keys; // scratch of one lookup: the keys of title substrings
    mutable std::vector<int> m_starts;         // where those substrings start
    mutable std::vector<std::uint32_t> m_seen; // lookup number that last saw each file
    mutable std::uint32_t m_lookups = 0;
    std::unique_ptr<PrefixHashes> m_hashes;    // scratch of one lookup
    mutable BitParallelDistance m_distance;    // from the title of one lookup
    mutable bool m_bitParallel = false;        // whether that title is measured through it
    mutable std::vector<std::uint64_t> m_titlePairs = std::vector<std::uint64_t>(1024); // a bit per pair of bytes it holds
    mutable QByteArray m_title;                // its bytes, to clear those bits after
};

#endif
