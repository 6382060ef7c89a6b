#ifndef ENWLINK_BIBOUTPUT_H
#define ENWLINK_BIBOUTPUT_H

#include "engine/enwrecord.h"

#include <QHash>
#include <QSet>
#include <QString>

// The BibTeX entry type of an ENW record: "article", "book",
// "incollection", "phdthesis" or "mastersthesis" (by its "%9" line: 硕士,
// 碩士, Master), "inproceedings", "patent", "techreport", else "misc".
QLatin1String bibType(const EnwRecord &record);

// A value in BibTeX, with TeX's special characters escaped as the readers
// of BibTeX undo it: "\{", "\&", "\%", "$\backslash$", ….
QString bibValue(const QString &text);

// The keys given in one file.
struct BibKeys
{
    QSet<QString> given;
    QHash<QString, int> suffixes; // by key before its suffix: the last suffix given
};

// Appends one entry to `out`, lines ending in "\n", then an empty line. The key is the first
// author's family name (letters and digits only) and the year, followed by
// "a", "b", … when `keys` holds it already; the key given is added to
// `keys`. "file" lists every "%>" file as ":path:PDF" (the suffix, in
// capitals), with ":", ";", "\", "{" and "}" escaped by "\". A second field
// of one kind, and every field BibTeX has no name for, goes into "note"
// with its ENW tag, so nothing is lost.
void appendBibEntry(QString &out, const EnwRecord &record, BibKeys *keys);

#endif
