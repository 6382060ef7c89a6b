#ifndef ENWLINK_ENWRUN_H
#define ENWLINK_ENWRUN_H

#include "engine/engineutil.h"
#include "engine/enwwriter.h"
#include "engine/outputformat.h"

#include <QString>

#include <optional>

// What a run is given, taken once when it starts.
struct RunSettings
{
    QString source;   // the ENW file to read
    QString folder;   // the folder of full texts
    QString output;   // the file to write
    int distance = 2; // the edit distance of the near pass (0: none)
    std::optional<OutputFormat> format; // else by the output's suffix (outputFormatOf)
    QString report;   // where to write the run's report (writeRunReport), if anywhere
};

struct RunResult
{
    int records = 0;      // read from the source
    int linked = 0;       // title lines that got a full text
    bool written = false; // the output was written
    int undecodableLines = 0; // source lines no encoding decoded cleanly
    bool reportLost = false;  // the report asked for could not be written
    // For the report, after a run that wrote: what each title line got, the
    // full texts and how many records linked each.
    QVector<TitleOutcome> titles;
    QStringList fullTexts;
    QVector<int> recordsPerFullText;
};

// One whole repair, with every line the console shows after the help text:
// the paths, the full texts found, the counts, one line per title, the tally,
// and after a write the file written, the summary (reportSummary) and the
// full texts no record or several records claimed, and the report when one is
// asked for. Warnings are each reported through `report`, whose list limit and
// details the front end sets. Nothing is written when the source holds no
// record or the folder does not exist.
RunResult runRepair(const RunSettings &settings, const RunReport &report = {});

#endif
