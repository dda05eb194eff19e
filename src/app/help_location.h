// Where the help command finds the operator's manual: help.chm in the current
// folder first (where the program has always looked), then the manual
// installed with the program.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

enum class HelpSystem { Windows, Linux };

struct HelpPlaces {
    QString currentFolder;  // the process's current folder
    QString programFolder;  // the folder of the running program
};

// The files to try, in order: help.chm in the current folder; then on Windows
// help.chm beside the program (where the installer and the zip put it), on
// Linux the HTML manual's index in the package's documentation folder
// (<prefix>/share/doc/zave/manual/index.html beside <prefix>/bin/zave).
QStringList helpCandidates(HelpSystem system, const HelpPlaces& places);

// The first candidate that exists; the first candidate when none does (the
// desktop is then handed a missing file, as it always was, and nothing is
// reported).
QString helpToOpen(HelpSystem system, const HelpPlaces& places, const std::function<bool(const QString&)>& exists);

// The same for the running program on the system it was built for.
QString helpToOpenHere();
