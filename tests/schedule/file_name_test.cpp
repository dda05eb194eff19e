#include <gtest/gtest.h>

#include "schedule/file_name.h"

TEST(DocumentFileName, PtmIsAppendedUnlessTheExtensionIsPtmInAnyCase) {
    struct Row { const char* chosen; const char* saved; };
    const Row rows[] = {
        {"plan", "plan.ptm"},
        {"plan.txt", "plan.txt.ptm"},
        {"PLAN.PTM", "PLAN.PTM"},
        {"plan.Ptm", "plan.Ptm"},
        {"/home/op/plan", "/home/op/plan.ptm"},
        {"/home/op.ptm/plan", "/home/op.ptm/plan.ptm"},   // a dot in the folder does not count
        {"C:\\Мои\\неделя.ptm", "C:\\Мои\\неделя.ptm"},
        {"plan.", "plan..ptm"},
        {"plan.ptmx", "plan.ptmx.ptm"},
        {".ptm", ".ptm"},
    };
    for (const Row& r : rows) EXPECT_EQ(zave::withDocumentExtension(r.chosen), r.saved) << r.chosen;
}

TEST(DocumentFileName, FilePartDropsTheFolder) {
    EXPECT_EQ(zave::filePart("/tmp/a/plan.ptm"), "plan.ptm");
    EXPECT_EQ(zave::filePart("C:\\x\\plan.ptm"), "plan.ptm");
    EXPECT_EQ(zave::filePart("plan.ptm"), "plan.ptm");
}
