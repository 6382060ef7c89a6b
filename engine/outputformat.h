#ifndef ENWLINK_OUTPUTFORMAT_H
#define ENWLINK_OUTPUTFORMAT_H

#include "engine/biboutput.h"

#include <QString>
#include <QStringView>

// The formats a run writes. ENW is what EndNote and Citavi import with
// their attachments; RIS and BibTeX are what the other managers do.
enum class OutputFormat { Enw, Ris, Bib };

// ".ris" gives RIS, ".bib" BibTeX (any letter case), anything else ENW.
OutputFormat outputFormatOf(const QString &outputPath);

// "enw", "ris" or "bib" (any letter case); false for any other name.
bool outputFormatNamed(const QString &name, OutputFormat *format);

// The format's name in the console's written-path line: "Enw", "RIS", "BibTeX".
QString outputFormatName(OutputFormat format);

// Turns the ENW text a run writes into RIS or BibTeX, record by record: the
// text comes in pieces of whole or partial lines, as written, and each
// record goes out once its end is seen.
class RecordConverter
{
public:
    explicit RecordConverter(OutputFormat format) : m_format(format) {}

    // The converted text of the records `enwText` completes.
    QString take(QStringView enwText);
    // The converted text of the last record.
    QString finish();

private:
    void addLine(QStringView line, QString &out);
    void endRecord(QString &out);

    OutputFormat m_format;
    QString m_partialLine;
    EnwRecord m_record;
    BibKeys m_bibKeys; // given so far
};

#endif
