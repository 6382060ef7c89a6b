#ifndef ENWLINK_FULLTEXTMATCHER_H
#define ENWLINK_FULLTEXTMATCHER_H

#include <QByteArray>
#include <QFileInfoList>
#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <utility>
#include <vector>

// The name of a full-text file that is compared with titles: the file name
// without its folder and without its last suffix ("Version 2.0 notes.pdf"
// gives "Version 2.0 notes").
QString fullTextBaseName(const QFileInfo &file);

struct FullTextMatch
{
    int index = -1;     // position in the full-text list, -1 when nothing matched
    bool exact = false; // the base name equals the title
};

// Chooses the full text for a title: the first file in list order whose base
// name equals the title (case-sensitive); failing that, when the threshold is
// not 0, the first file in list order whose base name lies within the threshold
// by editDistance over the local 8-bit bytes. An empty title matches nothing.
//
// A title both passes leave without a file gets a third try with the names
// that downloads from the big Chinese databases carry, "title_first author":
// the first file in list order whose base name equals the title + "_" + the
// record's first author, or + "_" + the author's family name (the part before
// a comma), each also with the characters Windows forbids in file names
// replaced by "_" in the title. Such a link counts as a near match.
class FullTextMatcher
{
public:
    virtual ~FullTextMatcher() = default;
    virtual FullTextMatch find(const QString &title, const QString &firstAuthor = QString()) const = 0;
};

// The base names the third pass looks for (none without an author).
QStringList downloadNames(const QString &title, const QString &firstAuthor);

// The matcher used by the product: the same choice as a scan of the whole list,
// made through indexes built once.
//
// Exact pass: a hash from base name to its first position. Near pass: if two
// strings are at most k edits apart, then cutting one of them into k + 1 pieces
// leaves at least one piece untouched, and that piece stands in the other string
// no more than k bytes from where it started. Every base name is cut that way and
// its pieces are indexed by (length, piece number, bytes); a title looks up its
// substrings at those places, and only the files found (plus names too short to
// cut) are measured, in list order, with the bounded distance.
class IndexedFullTextMatcher final : public FullTextMatcher
{
public:
    IndexedFullTextMatcher(const QFileInfoList &fullTexts, int threshold);
    FullTextMatch find(const QString &title, const QString &firstAuthor = QString()) const override;

private:
    int nearMatch(const QByteArray &title) const;

    int m_threshold;
    QHash<QString, int> m_firstByName;
    std::vector<QByteArray> m_names;                    // local bytes of each base name
    std::vector<std::pair<std::uint64_t, int>> m_pieces; // (piece key, file), sorted
    std::vector<int> m_shortNames;                       // names shorter than k + 1 bytes
    std::vector<bool> m_lengthTaken;                     // whether some name has that many bytes
};

#endif
