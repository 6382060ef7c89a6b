#ifndef ENWLINK_RISOUTPUT_H
#define ENWLINK_RISOUTPUT_H

#include "engine/enwrecord.h"

#include <QString>

// The RIS type of an ENW record type ("Journal Article" gives "JOUR"), "GEN"
// for types RIS has no name for.
QString risType(const QString &enwType);

// Appends one record in RIS to `out`, lines ending in "\r\n", from "TY  - " to "ER  - " and an
// empty line. Each field goes to its RIS tag ("%T" TI, "%A" AU, "%P" SP and
// EP, "%>" L1, …); a second title, journal or year, and every field RIS has
// no tag for, go into an N1 line with their ENW tag, so nothing is lost.
void appendRisRecord(QString &out, const EnwRecord &record);

// A file's path as an L1 line gives it: the native absolute path, or a
// file:// URL where the path holds "&", "<" or ">", which importers unescape
// as HTML.
QString risFilePath(const QString &path);

#endif
