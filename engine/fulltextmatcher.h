#ifndef ENWLINK_FULLTEXTMATCHER_H
#define ENWLINK_FULLTEXTMATCHER_H

#include <QByteArray>
#include <QFileInfoList>
#include <QHash>
#include <QString>
#include <QStringList>

#include "engine/authoryearnames.h"
#include "engine/namerules.h"
#include "engine/nearsearch.h"

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

// What else a record says that names its file: its authors and year, as
// reference managers name files, and its URLs, as publishers do.
struct RecordFields
{
    AuthorYearFields authorYear;
    QStringList urls;
};

// Chooses the full text for a title in four passes, each tried only when the
// ones before found nothing; in each, the first file in list order wins:
// 1. exact: the base name equals the title (case-sensitive);
// 2. own: compared without letter case, the base name is one of this record's
//    own names (recordNames: the title, or its browser-saved or CNKI renaming,
//    alone or + "_" + the first author or the author's family name, the DOI's
//    file name, or a publisher's name of it, publisherFileNames), or a
//    reference manager's name of its authors, year and title (AuthorYearNames;
//    one with a cut title counts as a cut);
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
    const std::vector<bool> *excluded() const { return m_excluded; }
    // `savedTitle`, when not null, is the title with its blanks as the line
    // has them (the title itself has them simplified): CNKI cuts that one.
    virtual FullTextMatch find(const QString &title, const QString &firstAuthor = QString(),
                               const QString &doi = QString(), const QString &savedTitle = QString(),
                               const RecordFields &fields = RecordFields()) const = 0;

private:
    mutable const std::vector<bool> *m_excluded = nullptr; // of one writing's second look
};

// The matcher used by the product: the same choice as a scan of the whole list,
// made through indexes built once: hashes from each base name, and from each
// case-folded one, to its first position (the files of one case-folded name
// chained in list order, for when some are passed over); the names with copy
// and repeat marks by their names without them; the near search (NearNameSearch).
class IndexedFullTextMatcher final : public FullTextMatcher
{
public:
    // How the near pass searches: the cheaper way per title, or always one
    // way (for tests: both must choose what the scan of the whole list chooses).
    using NearSearch = NearNameSearch::Way;
    struct AuthorForms; // the first author and the family name, as views

    IndexedFullTextMatcher(const QFileInfoList &fullTexts, int threshold,
                           NearSearch search = NearSearch::Cheaper);
    ~IndexedFullTextMatcher() override;
    FullTextMatch find(const QString &title, const QString &firstAuthor = QString(),
                       const QString &doi = QString(), const QString &savedTitle = QString(),
                       const RecordFields &fields = RecordFields()) const override;

private:
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
    int nearMatch(const QString &title) const;
    struct ManagerNames
    {
        int whole = -1;  // the first open file named with the whole title
        int cut = -1;    // the first open file named with a cut one
        int anyCut = -1; // the same, open or not
    };
    ManagerNames managerNames(const QString &title, const AuthorYearFields &fields) const;
    QStringView baseName(int file) const // in NFC
    {
        const NameSpan &span = m_nameSpans[size_t(file)];
        if (span.size < 0)
            return m_composedNames[size_t(span.start)];
        return QStringView(m_paths[size_t(file)]).mid(span.start, span.size);
    }

    int m_threshold;
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
    std::vector<std::uint64_t> m_skeletonFilter; // the names' skeletons (SkeletonHash), marked ones also unmarked
    std::unique_ptr<NearNameSearch> m_near;    // when the threshold is not 0
    std::vector<std::pair<std::uint64_t, int>> m_byLeadingWord; // names a manager may have made, by
                                               // leadingWordHash, sorted
    std::vector<std::uint64_t> m_leadingFilter; // which of those hashes there are
    mutable std::vector<QString> m_leadingKeys; // their nameKey, made when first asked
};

#endif
