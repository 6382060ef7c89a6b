#ifndef ENWLINK_NAMERULES_H
#define ENWLINK_NAMERULES_H

#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVector>

#include <cstdint>

// How sure a link is, weakest first: a file another record claims by a
// stronger rule is not given to a record by a weaker one.
enum class NameStrength {
    None,
    Near,  // within the edit distance
    Weak,  // a cut name, or a copy of one of this record's names
    Own,   // a renaming of this record's title, author or DOI
    Exact, // the base name is the title
};

// The renamings that programs saving a full text make of a record's fields.
// Each keeps every letter, digit, number (₂ ² Ⅱ ①) and symbol (+ − = ≠ °) of
// the title: two titles that differ in one never share a name.

// As a browser or the system saves a name: each of \ / : * ? " < > | becomes
// "_" (also CNKI's names since 2022, which keep all other punctuation).
QString browserSavedName(QStringView text);

// CNKI's names until 2021: each blank, hyphen, bracket, quote, Chinese mark
// (：、“”《》) and character Windows forbids becomes "_", the doubled dash
// "——" one "_".
QString cnkiOldEraName(QStringView title);

// The same as real names also show it: each run of punctuation, with the
// blanks around it, becomes one "_"; other blanks stay.
QString cnkiOldEraRunsName(QStringView title);

// CNKI's cuts of a long (already renamed) title: until 2021 its first 16 and
// last 16 characters around "_省略_" when it has more than 32; since 2022 its
// first 13 and last 13 around "..." when it has more than 29. Null when the
// title is too short to be cut.
QString cnkiOldEraCut(QStringView renamed);
QString cnkiNewEraCut(QStringView saved);

// The names a file named after a DOI has: "/" written as "@" or as "_". None
// for a text that is no DOI ("10." first).
QStringList doiFileNames(QStringView doi);

// A name without the marks the system gives copies (" - 副本", " - Copy", each
// perhaps followed by " (n)"), taken off one after the other; the name itself
// when it has none.
QStringView withoutCopyMarks(QStringView name);

// A name without a browser's repeat mark " (n)" (ASCII brackets, a blank
// before) and copy marks; the name itself when it has none. A full-width
// "（2）" is never a mark: it numbers a part of a series.
QStringView withoutRepeatMarks(QStringView name);

// How names are compared: without letter case, and with every run of blanks
// and "_" as one (a run holding "_" as "_", else as a blank), none at either
// end. Titles come with their blanks simplified, names as they were saved.
QString nameKey(QStringView name);

// Four UTF-16 units to a word, a multiply per word: names are hashed by the
// hundred thousand.
inline std::uint64_t mixNameWord(std::uint64_t hash, std::uint64_t word)
{
    hash = (hash ^ word) * 0x9E3779B97F4A7C15ull;
    return hash ^ (hash >> 29);
}

// The hash of nameKey(text), made as the text is given piece by piece, so a
// name joined of parts hashes without being put together.
class NameKeyHash
{
public:
    NameKeyHash &add(QStringView text);
    std::uint64_t value() const; // of what was added so far

private:
    void hashUnit(ushort unit)
    {
        m_word = m_word << 16 | unit;
        if (++m_units == 4) {
            m_hash = mixNameWord(m_hash, m_word);
            m_word = 0;
            m_units = 0;
        }
    }
    std::uint64_t m_hash = 0xcbf29ce484222325ull;
    std::uint64_t m_word = 0; // the units not yet mixed in
    int m_units = 0;          // and how many
    char m_pending = 0; // a run of blanks (' ') or of "_" and blanks ('_') not yet hashed
    bool m_started = false;
};

// The hash of the characters of a text that no renaming touches (neither
// punctuation, blank, "_" nor a character Windows forbids), case-folded,
// made as the text is given piece by piece. Every own name of a title is a
// renaming of it, alone or joined to an author form: its skeleton is the
// title's, or the title's carried on by the author's. A title whose
// skeletons no file name has needs no renaming at all.
class SkeletonHash
{
public:
    SkeletonHash &add(QStringView text);
    std::uint64_t value() const;

private:
    std::uint64_t m_hash = 0xcbf29ce484222325ull;
    std::uint64_t m_word = 0; // up to four characters not yet mixed in
    int m_units = 0;
};

// A name made of a record's fields: `first`, or `first` + "_" + `second`
// when that is not null.
struct JoinedName
{
    QString first;
    QString second;
    QString text() const { return second.isNull() ? first : first + QLatin1Char('_') + second; }
    std::uint64_t keyHash() const;
};

// The names this record's own fields make: `own` the renamings of the title,
// alone and joined to an author form, and the DOI names; `tied` those of them
// that hold the author or the DOI (a repeat mark counts only on them); `cuts`
// the cuts of the title, alone and joined to an author form, and `tiedCuts`
// those joined to one. None longer than a file name can be, none of "_" and
// blanks alone.
struct RecordNames
{
    QVector<JoinedName> own;
    QVector<JoinedName> tied;
    QVector<JoinedName> cuts;
    QVector<JoinedName> tiedCuts;
};
// The cuts are made of `cutTitle`: the title with its blanks as they were;
// none when `cuts` is false (no name to find has a cut mark).
RecordNames recordNames(const QString &title, const QStringList &authorForms, const QString &doi,
                        const QString &cutTitle, bool cuts = true);

#endif
