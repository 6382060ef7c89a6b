#ifndef ENWLINK_FULLTEXTMATCHER_H
#define ENWLINK_FULLTEXTMATCHER_H

#include <QByteArray>
#include <QFileInfoList>
#include <QHash>
#include <QString>
#include <QStringList>

#include "engine/editdistance.h"
#include "engine/namerules.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// The name of a full-text file that is compared with titles: the file name
// without its folder and without its last suffix ("Version 2.0 notes.pdf"
// gives "Version 2.0 notes"). A view into `filePath`.
QStringView fullTextBaseName(const QString &filePath);

struct FullTextMatch
{
    int index = -1;     // position in the full-text list, -1 when nothing matched
    bool exact = false; // the base name equals the title
    NameStrength strength = NameStrength::None;
    bool cut = false;   // linked as a cut of the title
    bool tied = false;  // an own name that holds the author or the DOI
    int cutFile = -1;   // the first file one of the title's cuts names (when any name is cut)
};

// Chooses the full text for a title in four passes, each tried only when the
// ones before found nothing; in each, the first file in list order wins:
// 1. exact: the base name equals the title (case-sensitive);
// 2. own: compared without letter case, the base name is one of this record's
//    own names (recordNames: the title, or its browser-saved or CNKI renaming,
//    alone or + "_" + the first author or the author's family name, or the
//    DOI's file name);
// 3. weak: it is one of this record's cut names, or, with its copy marks
//    (" - 副本", " - Copy") taken off, an own or cut name, or, with its repeat
//    marks (" (1)") taken off too, an own or cut name that holds the author or
//    the DOI;
// 4. near, when the threshold is not 0: it lies within the threshold by
//    editDistance over the local 8-bit bytes.
// Titles, authors and names are compared in Unicode's composed form (NFC). An
// empty title matches nothing. Only the first pass counts as exact.
class FullTextMatcher
{
public:
    virtual ~FullTextMatcher() = default;
    // Files that find passes over as if they were not there (claimed by other
    // records), by position; none when null. Not owned.
    void setExcluded(const std::vector<bool> *excluded) const { m_excluded = excluded; }
    bool isExcluded(int file) const { return m_excluded && file >= 0 && (*m_excluded)[size_t(file)]; }
    // `savedTitle`, when not null, is the title with its blanks as the line
    // has them (the title itself has them simplified): CNKI cuts that one.
    virtual FullTextMatch find(const QString &title, const QString &firstAuthor = QString(),
                               const QString &doi = QString(), const QString &savedTitle = QString()) const = 0;

private:
    mutable const std::vector<bool> *m_excluded = nullptr; // of one writing's second look
};

// The matcher used by the product: the same choice as a scan of the whole list,
// made through indexes built once.
//
// Exact pass: a hash from base name to its first position. Near pass, one of two
// ways per title, whichever looks cheaper; both find the same file:
// - Pieces: if two strings are at most k edits apart, then any k + 1 disjoint
//   pieces of one of them leave at least one untouched, and that piece stands
//   in the other string shifted by s bytes, where |s| + |d - s| <= k for a
//   difference in length of d (the edits before the piece shift it, those
//   after make up the rest). Each base name keeps k + 1 pieces of length / (k
//   + 3) bytes, chosen where they are rarest across all names (so a common
//   opening or ending stays out), hashed into buckets by bytes and length; a
//   title looks up each of its substrings of those lengths, and only the files
//   found near enough their place (plus names too short to cut) are measured.
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
class IndexedFullTextMatcher final : public FullTextMatcher
{
public:
    // How the near pass searches: the cheaper way per title, or always one
    // way (for tests: both must choose what the scan of the whole list chooses).
    enum class NearSearch { Cheaper, Pieces, Scan };
    struct AuthorForms; // the first author and the family name, as views

    IndexedFullTextMatcher(const QFileInfoList &fullTexts, int threshold,
                           NearSearch search = NearSearch::Cheaper);
    ~IndexedFullTextMatcher() override;
    FullTextMatch find(const QString &title, const QString &firstAuthor = QString(),
                       const QString &doi = QString(), const QString &savedTitle = QString()) const override;

private:
    using Histogram = std::array<std::uint8_t, 64>;
    struct PrefixHashes;

    // The first file whose base name is `first` (+ "_" + `second`, unless that
    // is null), or -1.
    int firstNamed(QStringView first, QStringView second = QStringView()) const;
    // The first file whose base name, case-folded, is one of `names`, or -1.
    // Unless `skipExcluded` is false, excluded files are passed over (a later
    // file of the same name counts).
    int firstCaseless(const QVector<JoinedName> &names, bool skipExcluded = true) const;
    // The same for the names with their copy marks, or all their marks, taken
    // off; an excluded file counts as none.
    int firstIn(const QHash<QString, std::vector<int>> &table, const QVector<JoinedName> &names) const;
    QString caselessName(int file) const;
    int nearMatch(const QByteArray &title) const;
    int nearByPieces(const QByteArray &title, size_t scanned) const;
    int nearByScan(const QByteArray &title) const;
    const std::vector<Histogram> &histogramsOf(int length) const; // of the names of that byte length
    bool measure(int file, const QByteArray &title) const; // the bounded distance, no filter
    QStringView baseName(int file) const // in NFC
    {
        const NameSpan &span = m_nameSpans[size_t(file)];
        if (span.size < 0)
            return m_composedNames[size_t(span.start)];
        return QStringView(m_paths[size_t(file)]).mid(span.start, span.size);
    }
    int nameLength(int file) const { return m_nameLengths[size_t(file)]; }
    const char *nameBytes(int file) const { return m_bytes.data() + m_nameAt[size_t(file)]; }

    int m_threshold;
    NearSearch m_search;
    struct NameSpan
    {
        int start;
        int size;
    };
    std::vector<QString> m_paths;              // of the full texts, in list order
    std::vector<NameSpan> m_nameSpans;         // where each base name lies in its path (size -1:
                                               // m_composedNames[start] holds it, composed)
    std::vector<QString> m_composedNames;      // the base names that were not in NFC, composed
    struct Slot
    {
        int file = -1;                         // the first position of a name, or -1 for a free slot
        uint hash = 0;                         // that name's hash
    };
    std::vector<Slot> m_firstByName;           // open addressing
    std::vector<Slot> m_firstByCaseless;       // the same for the case-folded names
    std::vector<int> m_nextCaseless;           // each file's next file of its case-folded name, or -1
    std::vector<std::uint64_t> m_nameFilter;   // which hashes the two tables may hold
    std::vector<std::uint64_t> m_caselessFilter;
    QHash<QString, std::vector<int>> m_byCopy; // names with copy marks, without them, case-folded: their files
    QHash<QString, std::vector<int>> m_byRepeat; // names with any marks, without them, the same
    bool m_cutMarks = false;                   // whether any name holds "..." or "_省略_"
    std::vector<std::uint64_t> m_startFilter;  // the names' starts (nameStartHashes), every length
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
