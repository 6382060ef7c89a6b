#ifndef ENWLINK_ENWRUN_H
#define ENWLINK_ENWRUN_H

#include "engine/engineutil.h"
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
};

struct RunResult
{
    int records = 0;      // read from the source
    int linked = 0;       // title lines that got a full text
    bool written = false; // the output was written
    int undecodableLines = 0; // source lines no encoding decoded cleanly
};

// One whole repair, with every line the console shows after the help text:
// the paths, the full texts found, the counts, one line per title, the tally,
// and after a write the file written and the full texts no record or several
// records claimed. Warnings are each reported through `report`. Nothing is
// written when the source holds no record or the folder does not exist.
RunResult runRepair(const RunSettings &settings, const RunReport &report = {});

#endif
