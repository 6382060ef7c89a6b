#ifndef ENWLINK_COMMANDLINE_H
#define ENWLINK_COMMANDLINE_H

// What the command line's exit status says.
enum class CommandLineStatus {
    Written = 0,     // the output was written (linked or not)
    Failed = 1,      // the run refused or failed: nothing written
    Usage = 2,       // arguments it cannot use (the usage on standard error)
    LogLost = 3,     // the output was written, but a console line (or --help,
                     // --version) could not be written to its stream, or the
                     // report asked for could not be written
    Undecodable = 4, // the output was written, but some source lines decoded in
                     // no encoding and hold replacement characters
};

// Makes sure descriptors 0, 1 and 2 are open (on /dev/null where they were
// closed), so no file the program opens takes one of them, and ignores
// SIGPIPE, so a reader that quits early costs the log, not the output. Call
// first of all. Does nothing on Windows.
void keepStandardStreamsOpen();

// Whether the arguments ask for a run without the window: any argument but
// the toolkit's own single-dash options (-style fusion, -platform ...) does,
// and so does anything after "--".
bool wantsCommandLine(int argc, char **argv);

// enwlink SOURCE FOLDER OUTPUT [--distance N], --help, --version: the same run
// as the window's, its console lines printed as plain text, ordinary ones to
// standard output and warnings to standard error (red where that is a
// terminal). Returns a CommandLineStatus. Needs a QCoreApplication.
int runCommandLine();

#endif
