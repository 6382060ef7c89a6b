#ifndef ENWLINK_COMMANDLINE_H
#define ENWLINK_COMMANDLINE_H

// Whether the arguments ask for a run without the window: any argument but
// the toolkit's own single-dash options (-style fusion, -platform ...) does.
bool wantsCommandLine(int argc, char **argv);

// enwlink SOURCE FOLDER OUTPUT [--distance N], --help, --version: the same run
// as the window's, its console lines printed as plain text, ordinary ones to
// standard output and warnings to standard error (red where that is a
// terminal). Returns 0 when the output was written, 1 when the run refused or
// failed, 2 for arguments it cannot use (with the usage on standard error).
// Needs a QCoreApplication.
int runCommandLine();

#endif
