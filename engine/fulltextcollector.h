#ifndef ENWLINK_FULLTEXTCOLLECTOR_H
#define ENWLINK_FULLTEXTCOLLECTOR_H

#include "engine/engineutil.h"

#include <QByteArray>
#include <QFileInfoList>
#include <QString>

// Walks `folderPath` and every folder below it, depth-first in pre-order, and
// appends each file whose suffix (after the last dot) is "pdf", "caj", "nh" or
// "kdh" in any letter case to `fullTexts`, logging "File :" and its absolute
// path first (unless `report.details` is off).
//
// - One QDir listing per folder with QDir's defaults: sorted by name ignoring
//   case, files and folders interleaved, hidden entries skipped.
// - Links are followed, but every folder is walked once, at its first place in
//   the order (links back up the tree and to folders seen before are passed over).
// - A full text whose path holds a line break is left out with a warning,
//   reported through `report`, where its "File :" line would have stood.
// - A missing folder adds nothing, quietly; one that exists but may not be
//   read adds nothing and gets a warning, reported through `report`. An empty
//   path walks the working directory, as QDir does.
// - An entry whose name cannot be decoded in the local encoding (so that no
//   path made of it leads back to it) is passed over; on Unix each one gets a
//   warning before the folder's files, reported through `report`.
// - Entries already in `fullTexts` stay in front.
// - With `linkTargets`, the identities (fileIdentity) of the files that full
//   texts which are file links lead to are appended there: a full text and its
//   target may have different names.
void collectFullTexts(const QString &folderPath, QFileInfoList &fullTexts,
                      const RunReport &report = {},
                      QList<QByteArray> *linkTargets = nullptr);

#endif
