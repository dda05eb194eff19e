#include "app/help_location.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

QString under(const QString& folder, const QString& relative) { return QDir::cleanPath(folder + '/' + relative); }

}  // namespace

QStringList helpCandidates(HelpSystem system, const HelpPlaces& places) {
    QStringList files{under(places.currentFolder, QStringLiteral("help.chm"))};
    if (system == HelpSystem::Windows)
        files << under(places.programFolder, QStringLiteral("help.chm"));
    else
        files << under(places.programFolder, QStringLiteral("../share/doc/zave/manual/index.html"));
    return files;
}

QString helpToOpen(HelpSystem system, const HelpPlaces& places, const std::function<bool(const QString&)>& exists) {
    const QStringList files = helpCandidates(system, places);
    for (const QString& file : files)
        if (exists(file)) return file;
    return files.front();
}

QString helpToOpenHere() {
#ifdef _WIN32
    constexpr HelpSystem here = HelpSystem::Windows;
#else
    constexpr HelpSystem here = HelpSystem::Linux;
#endif
    const HelpPlaces places{QDir::currentPath(), QCoreApplication::applicationDirPath()};
    return helpToOpen(here, places, [](const QString& f) { return QFileInfo(f).isFile(); });
}
