#ifndef ENWLINK_LINKCLAIMS_H
#define ENWLINK_LINKCLAIMS_H

#include "engine/fulltextmatcher.h"

#include <QVector>

#include <functional>
#include <vector>

// One title line of the export and the file it links.
struct TitleLink
{
    int line = -1;     // in the line list
    int record = -1;   // the line its record starts at
    int title = -1;    // the same number, from 0 on, for the same title (as nameKey compares it)
    FullTextMatch match;
    QString firstAuthor;          // of its record
    QStringList attachments;      // the paths its record's "%>" lines name
    QVector<int> attachmentLines; // and where those lines are
};

// Asks the matcher again for a title, with `excluded` files passed over.
using AskAgain = std::function<FullTextMatch(const TitleLink &link, const std::vector<bool> &excluded)>;

// Decides across the whole export which file each title keeps, from what
// each title found on its own, in this order:
// 1. A cut name that fits the titles of two or more records links none of
//    them by the cut rule (the parts of a series, theses on one template);
//    such files are listed in `ambiguousCuts` with the number of titles.
// 2. A record whose title other records share takes its own download name
//    (one that holds its author or DOI) over the bare title.
// 3. A file that a record of another title claims by a stronger rule is not
//    given to a record by a weaker one; records of one title share their file.
// A title that loses its file is asked again without the files others claim.
void settleClaims(std::vector<TitleLink> &links, int fullTexts, const AskAgain &askAgain,
                  QVector<QPair<int, int>> *ambiguousCuts);

#endif
