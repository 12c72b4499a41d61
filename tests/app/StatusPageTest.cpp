// The page "Backup" alone, and the status lines that show a run's progress on it.
#include "StatusPage.h"

#include "RunGuard.h"
#include "RunStatusLines.h"

#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QListWidget>

#include <gtest/gtest.h>

namespace {

struct StatusPageTest : ::testing::Test
{
    StatusPage page;
    QLabel* line(const char* name) const { return page.findChild<QLabel*>(name); }
    QListWidget* failures() const { return page.findChild<QListWidget*>("failedFoldersList"); }
    bool failuresShown() const { return !failures()->isHidden() && !line("failedFoldersLabel")->isHidden(); }
};

TEST_F(StatusPageTest, TheLatestRunsFailuresStandUnderTheirHeadingOnlyWhileThereAreAny)
{
    EXPECT_FALSE(failures()->isVisibleTo(&page) || line("failedFoldersLabel")->isVisibleTo(&page));
    page.showFailures({"/mnt/server/Racuni: fascikla nije dostupna", "/srv/kasa/baza/a.mdb: u upotrebi"});
    EXPECT_TRUE(failuresShown());
    ASSERT_EQ(failures()->count(), 2);
    EXPECT_EQ(failures()->item(1)->text(), "/srv/kasa/baza/a.mdb: u upotrebi");
    page.showFailures({"/mnt/usb: fascikla nije dostupna"}); // a later run's failures replace the earlier ones
    EXPECT_EQ(failures()->count(), 1);
    page.hideFailures();
    EXPECT_FALSE(failures()->isVisibleTo(&page) || line("failedFoldersLabel")->isVisibleTo(&page));
    page.showFailures({});
    EXPECT_EQ(failures()->count(), 0);
    EXPECT_FALSE(failures()->isVisibleTo(&page) || line("failedFoldersLabel")->isVisibleTo(&page));
}

// The counts stay whole; of a path too long for the line its beginning and its end are kept.
TEST_F(StatusPageTest, AProgressLineKeepsTheCountsAndLeavesOutTheMiddleOfALongPath)
{
    QLabel* label = line("nextRunLine");
    const QString counts = "Kopirano datoteka: 1186 (1,4 GB)";
    // The page is made wide in the font's own measure: where no font is installed, glyphs are boxes twice as wide,
    // and a fixed width would leave room for only a few letters of the path.
    page.resize(page.minimumSizeHint().width() + 3 * label->fontMetrics().horizontalAdvance(counts), 300);
    page.show();
    page.layout()->activate();
    const QString deep = "/srv/kasa/" + QString("godina-2026/").repeated(20) + "arhiva.mdb";
    page.showProgressLine(counts, deep);
    EXPECT_TRUE(label->text().startsWith(counts + " - /srv/")) << label->text().toStdString();
    EXPECT_TRUE(label->text().endsWith(".mdb")) << label->text().toStdString();
    EXPECT_TRUE(label->text().contains(QChar(0x2026))); // "…"
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width());

    page.showProgressLine(counts, "/srv/a.mdb");
    EXPECT_EQ(label->text(), counts + " - /srv/a.mdb");
    page.showProgressLine(counts, "");
    EXPECT_EQ(label->text(), counts);
}

// What the program sets while a run shows its progress is kept, and comes back when the progress ends; news of a
// run that is over no longer covers the lines.
TEST_F(StatusPageTest, LinesSetWhileARunShowsItsProgressComeBackWhenItEnds)
{
    RunStatusLines lines(page);
    lines.setStatusLine("Rezervna kopija je izradjena 04.12.2026 u 20:00");
    {
        RunGuard running;
        lines.reportProgress(RunProgress{"/srv/kasa/baza", "/srv/kasa/baza/a.mdb", 3, 2048});
        QCoreApplication::processEvents();
        EXPECT_EQ(line("statusLine")->text(), "Izrada rezervne kopije: /srv/kasa/baza");
        lines.setNextRunLine("Sledeća izrada rezervne kopije 05.12.2026 u 20:00");
        EXPECT_TRUE(line("nextRunLine")->text().startsWith("Kopirano datoteka: 3 "))
            << line("nextRunLine")->text().toStdString();
        EXPECT_EQ(lines.nextRunLine(), "Sledeća izrada rezervne kopije 05.12.2026 u 20:00");
        lines.endProgress();
    }
    EXPECT_EQ(line("statusLine")->text(), "Rezervna kopija je izradjena 04.12.2026 u 20:00");
    EXPECT_EQ(line("nextRunLine")->text(), "Sledeća izrada rezervne kopije 05.12.2026 u 20:00");

    lines.reportProgress(RunProgress{"/srv/kasa/baza", "", 4, 4096}); // arrives after the run
    QCoreApplication::processEvents();
    EXPECT_EQ(line("statusLine")->text(), "Rezervna kopija je izradjena 04.12.2026 u 20:00");
}

} // namespace
