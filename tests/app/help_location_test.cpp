// Which manual the help command opens: the current folder's help.chm first,
// then the manual installed with the program, on each system.
#include <QSet>
#include <gtest/gtest.h>

#include "app/help_location.h"

namespace {

const HelpPlaces kPlaces{"/home/operator/work", "/opt/zave/bin"};
const QString kHere = "/home/operator/work/help.chm";
const QString kBesideProgram = "/opt/zave/bin/help.chm";
const QString kInstalledHtml = "/opt/zave/share/doc/zave/manual/index.html";

struct Case {
    const char* what;
    HelpSystem system;
    QSet<QString> existing;
    QString opened;
};

TEST(HelpLocation, TheCurrentFolderComesFirstThenTheInstalledManual) {
    const Case cases[] = {
        {"windows, both", HelpSystem::Windows, {kHere, kBesideProgram}, kHere},
        {"windows, installed only", HelpSystem::Windows, {kBesideProgram}, kBesideProgram},
        {"windows, current folder only", HelpSystem::Windows, {kHere}, kHere},
        {"windows, an HTML manual does not count", HelpSystem::Windows, {kInstalledHtml}, kHere},
        {"windows, none: the current folder's name as always", HelpSystem::Windows, {}, kHere},
        {"linux, both", HelpSystem::Linux, {kHere, kInstalledHtml}, kHere},
        {"linux, installed only", HelpSystem::Linux, {kInstalledHtml}, kInstalledHtml},
        {"linux, a chm beside the program does not count", HelpSystem::Linux, {kBesideProgram}, kHere},
        {"linux, none", HelpSystem::Linux, {}, kHere},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QStringList asked;
        const QString opened = helpToOpen(c.system, kPlaces, [&](const QString& f) {
            asked << f;
            return c.existing.contains(f);
        });
        EXPECT_EQ(opened.toStdString(), c.opened.toStdString());
        ASSERT_FALSE(asked.isEmpty());
        EXPECT_EQ(asked.front().toStdString(), kHere.toStdString()) << "the current folder is tried first";
    }
}

TEST(HelpLocation, CandidatesInOrderOnEachSystem) {
    EXPECT_EQ(helpCandidates(HelpSystem::Windows, kPlaces), QStringList({kHere, kBesideProgram}));
    EXPECT_EQ(helpCandidates(HelpSystem::Linux, kPlaces), QStringList({kHere, kInstalledHtml}));
    // Windows folders with drive letters and a trailing separator.
    const HelpPlaces windows{"C:/Users/op/", "C:/Program Files/Orvatone Zave"};
    EXPECT_EQ(helpCandidates(HelpSystem::Windows, windows),
              QStringList({"C:/Users/op/help.chm", "C:/Program Files/Orvatone Zave/help.chm"}));
}

}  // namespace
