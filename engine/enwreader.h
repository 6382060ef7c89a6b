#ifndef ENWLINK_ENWREADER_H
#define ENWLINK_ENWREADER_H

#include "engine/engineutil.h"

#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

// A record's "%U" lines (and lines that are a URL alone) as read, "\r\n" and
// all, each with the position of its record's "%0" line, in line order.
using RecordUrls = std::vector<std::pair<int, QString>>;

// The largest source the reader takes, and the longest line in it (bytes, or
// characters for UTF-16 and UTF-32 files). Real exports stay far below both
// (500,000 records make about 200 MB; the longest abstracts a few KB); they
// keep what the reader holds in memory well within a desktop machine's reach.
constexpr qint64 maxEnwFileBytes = qint64(512) << 20;
constexpr int maxEnwLineBytes = 64 << 20;

// Reads the ENW file at `enwFilePath` and appends its retained lines to `lines`,
// each followed by "\r\n"; returns the number of records ("%0" lines).
//
// - Every empty line is kept as "\r\n", wherever it stands.
// - A record runs from a "%0" line to the next empty line, "%0" line or the end;
//   non-empty lines outside records are dropped, and so are "%U" and "http:"
//   lines inside them (both case-sensitive).
// - Decoding: a byte-order mark selects UTF-32, UTF-16 or UTF-8; without one the
//   file is read as UTF-8 when most lines beyond ASCII are valid UTF-8, else in
//   the locale's 8-bit encoding, and when that cannot decode it either, in
//   GB18030 where that can (a Chinese export on a UTF-8 system; a line says
//   so). When the encoding chosen meets bytes it cannot decode, one warning is
//   logged, and the number of such lines is stored in `undecodableLines`.
// - Lines end at LF or CR LF; a CR at the very end of the file is dropped too,
//   any other CR stays in the line. A file with CR but no LF at all (old Mac
//   files) is split at CR. A byte-order mark at the start of a line is dropped.
// - Non-empty lines outside records (URL lines aside) are counted, and the
//   count is logged as a warning after reading, reported through `report`.
// - A path that is not a regular file, a file that cannot be opened, and a
//   file over the size limits each log one warning, leave `lines` as it was and
//   return 0.
// - "%U" and "http:" lines are left out of `lines`; those of records whose
//   address may name a file (mayNameFile), or all with `everyUrl`, go into
//   `urls`, when given.
int readEnwFile(const QString &enwFilePath, QStringList &lines,
                const RunReport &report = {}, int *undecodableLines = nullptr,
                RecordUrls *urls = nullptr, bool everyUrl = false);

#endif
