// The page "Van lokala" and the sending beside the window: what the page saves and checks, and what a run's sending
// to the store shows on the page "Backup" and puts into the mailed report.
#include "OffsitePage.h"
#include "WindowTest.h"

#include "Base64.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>

namespace {

const std::string offsiteSection = "[S3]\r\nAdresa=http://192.168.1.5:7480\r\nBucket=kopije\r\nKljuc=AKID\r\n"
                                   "Tajna=zasticeno:anjat\r\nPrefiks=KASA\r\nSlati=1\r\n";

TEST_F(WindowTest, TheOffsitePageSavesWhatItShowsAndItsCheckWarnsOfABucketWithoutLock)
{
    TestFiles::write(ini, "[BACKUP]\r\n" + dirLine + "\r\nNacinBackupa=2\r\n");
    AppContext pageContext(platform.services);
    pageContext.settingsStore.setIniFilePath(ini);
    OffsitePage page(pageContext);
    page.loadSettings();
    auto edit = [&page](const char* name) { return page.findChild<QLineEdit*>(name); };
    edit("addressEdit")->setText(" https://s3.primjer.ba ");
    edit("bucketEdit")->setText("kopije");
    edit("keyEdit")->setText("AKID");
    edit("secretEdit")->setText("tajni-kljuc");
    edit("prefixEdit")->setText("PRODAJA");
    page.findChild<QSpinBox*>("lockDaysSpin")->setValue(30);
    page.findChild<QComboBox*>("sendCombo")->setCurrentIndex(1);
    page.findChild<QAbstractButton*>("saveOffsiteButton")->click();
    EXPECT_EQ(platform.messages.shown.back(), "Podesavanje je spremljeno");
    EXPECT_EQ(TestFiles::read(ini).find("tajni-kljuc"), std::string::npos);
    for (QWidget* input : page.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (qobject_cast<QLineEdit*>(input) || qobject_cast<QSpinBox*>(input) || qobject_cast<QComboBox*>(input)) {
            EXPECT_FALSE(input->accessibleName().isEmpty()) << input->objectName().toStdString();
        }
    }

    OffsitePage again(pageContext);
    again.loadSettings();
    EXPECT_EQ(again.findChild<QLineEdit*>("secretEdit")->text(), "tajni-kljuc");
    EXPECT_EQ(again.findChild<QLineEdit*>("addressEdit")->text(), "https://s3.primjer.ba");
    EXPECT_EQ(again.findChild<QSpinBox*>("lockDaysSpin")->value(), 30);

    platform.objectStore.objectLock = false;
    again.findChild<QAbstractButton*>("checkOffsiteButton")->click();
    const std::string found = platform.messages.shown.back();
    EXPECT_NE(found.find("Bucket \"kopije\" odgovara."), std::string::npos) << found;
    EXPECT_NE(found.find("Kljuc moze pisati"), std::string::npos) << found;
    EXPECT_NE(found.find("Upozorenje: bucket nema zakljucavanje"), std::string::npos) << found;
    EXPECT_TRUE(platform.objectStore.objects().empty()); // the probe is gone again
}

TEST_F(WindowTest, ARunsBackupsGoToTheStoreBesideTheWindowAndItsFailuresReachThePageAndTheMail)
{
    TestFiles::write(ini, "[BACKUP]\r\n" + dirLine +
                              "\r\nNacinBackupa=2\r\n[POSTA]\r\nServer=127.0.0.1\r\nOd=kasa@radnja.ba\r\n"
                              "Za=vlasnik@radnja.ba\r\nSlati=1\r\n" +
                              offsiteSection);
    start();
    click("backUpNowButton");
    spin(std::chrono::seconds(20), [this] { return !watch().sendingOffsite(); });
    QCoreApplication::processEvents();
    EXPECT_EQ(platform.objectStore.objects().at("KASA/05_12_2026_Docs_backup/racun.txt").bytes,
              TestFiles::read(backupOf(5) + "/racun.txt"));
    EXPECT_NE(label("offsiteLine").find("poslano 1 datoteka"), std::string::npos) << label("offsiteLine");
    waitForMail();
    EXPECT_TRUE(platform.mail.sent().empty()); // a whole run and a whole sending: nothing to report

    platform.objectStore.failWhen = [](const std::string&, const std::string&) -> std::optional<StoreAnswer> {
        return StoreAnswer{Result::failure("403 Forbidden"), 403, "SignatureDoesNotMatch"};
    };
    platform.clock.set(2026, 12, 5, 9, 0);
    click("backUpNowButton");
    EXPECT_EQ(label("statusLine"), "Rezervna kopija je izradjena 05.12.2026 u 09:00"); // not held by the store
    spin(std::chrono::seconds(20), [this] { return !watch().sendingOffsite(); });
    QCoreApplication::processEvents();
    waitForMail();
    const std::vector<std::string> failures = items("failedFoldersList");
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures.front().find("skladiste odbija kljuc"), std::string::npos) << failures.front();
    EXPECT_EQ(label("statusLine"), "Rezervna kopija je izradjena 05.12.2026 u 09:00");
    ASSERT_EQ(platform.mail.sent().size(), 1u);
    const std::string message = platform.mail.sent().front().envelope.message;
    std::string body;
    for (size_t at = message.find("\r\n\r\n") + 4; at < message.size(); at = message.find("\r\n", at) + 2)
        body += message.substr(at, message.find("\r\n", at) - at);
    EXPECT_NE(Base64::decode(body).value_or("").find("skladiste odbija kljuc"), std::string::npos);
}

} // namespace
