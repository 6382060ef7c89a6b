#ifndef ENWLINK_HELPTEXT_H
#define ENWLINK_HELPTEXT_H

#include <QString>

// The help paragraph shown when the window opens and at the start of every run.
QString helpText();

#endif
