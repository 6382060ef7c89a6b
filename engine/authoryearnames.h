#ifndef ENWLINK_AUTHORYEARNAMES_H
#define ENWLINK_AUTHORYEARNAMES_H

#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>

// What a record says of the names reference managers give its file.
struct AuthorYearFields
{
    QStringList families; // the family names of its first three authors, in order
    int authors = 0;      // how many authors it lists
    int year = 0;         // of its "%D" line; 0 when it has none
};

// The family name in one author field, its blanks simplified: before a comma
// ("Smith, J."), else the last word of a name in Latin letters ("John
// Smith"), else the whole ("王强").
QString familyNameOf(const QString &author);

enum class AuthorYearFit { None, Cut, Whole };

// The names reference managers make of a record's first authors, its year
// and its title:
//   Zotero    "Smith and Jones - 2020 - Title" (deleting / \ ? * : | " < >)
//   ZotFile   "Smith_Jones_2020_Title" (the title up to its first ":", ".",
//             "?" or "!")
//   Mendeley  "Smith, Jones, Lee - 2020 - Title" ("Unknown" without a year)
//   JabRef    "Smith2020 - Title", "smith2020deep - Title"
//   EndNote   "Smith-2020-Title"
// The authors as one family name, two joined by " and ", "_", ", ", " & " or
// "和", three by ", ", or the first with "et al", "et al." or "等" (three or
// more); the year the record's or one either side (online and print years
// differ), any year or none when the record has none; the title whole, cut
// at its first ":", ".", "?" or "!", or any start of it of 20 characters or
// more (the managers cut at 20 to 100). Only this record's authors and year
// make a name, so a like title of another paper does not fit.
class AuthorYearNames
{
public:
    AuthorYearNames(const QString &title, const AuthorYearFields &fields);
    // How a file's name, as nameKey gives it, fits: as the whole title, as a
    // cut one, or not.
    AuthorYearFit fit(QStringView key) const;

private:
    AuthorYearFit afterAuthors(QStringView rest) const;
    AuthorYearFit titleFit(QStringView rest) const;
    bool isYear(QStringView text) const; // starts with a year this record may carry

    QStringList m_authorParts; // as nameKey gives them
    QStringList m_wholes;      // the title under each manager's character rule, as nameKey gives it
    QStringList m_cuts;        // the same of the title up to its first ":", ".", "?" or "!"
    QString m_firstWord;       // the title's, as a JabRef key ends with it
    int m_year = 0;
};

// The hash of the first word of a name, case-folded (of a name in Chinese
// characters, its first character), or 0 when it starts with none: the
// managers' names start with the first author's family name.
std::uint64_t leadingWordHash(QStringView text);

#endif
