// The page "Opcije" alone: the controls it shows the settings in, the days field in its caption, and what it
// tells the window after "Prihvati".
#include "OptionsPage.h"

#include "AppContext.h"
#include "BackupSettings.h"
#include "TestFiles.h"
#include "TestPlatform.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace {

struct OptionsPageTest : ::testing::Test
{
    TempDir temp;
    TestPlatform platform;
    AppContext context{platform.services};
    OptionsPage page{context};

    template <typename Widget = QAbstractButton>
    Widget* get(const char* name) const
    {
        return page.findChild<Widget*>(name);
    }
};

// Each saved value is shown up to the first one no control can show, which names its key for the message.
TEST_F(OptionsPageTest, ShowingTheSettingsStopsAtTheFirstValueNoControlCanShow)
{
    const struct
    {
        const char* key; ///< "": every value can be shown
        int value;
        void (*spoil)(BackupSettings&);
    } cases[] = {
        {"", 0, [](BackupSettings&) {}},
        {"NacinBackupa", 3, [](BackupSettings& s) { s.NacinBackupa = 3; }},
        {"OpsegBackupa", -1, [](BackupSettings& s) { s.OpsegBackupa = -1; }},
        {"Brisati", 2, [](BackupSettings& s) { s.Brisati = 2; }},
        {"GasenjeRacunaraMreze", 5, [](BackupSettings& s) { s.GasenjeRacunaraMreze = 5; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        OptionsPage fresh(context);
        BackupSettings settings;
        settings.NacinBackupa = 2;
        settings.OpsegBackupa = 0;
        settings.VrijemeBackupa = "07:30";
        settings.Brisati = 1;
        settings.ZIPOVANJE = 1;
        settings.Starost = 14;
        c.spoil(settings);
        const auto invalid = fresh.showSettings(settings);
        EXPECT_EQ(invalid ? invalid->key : "", c.key);
        EXPECT_EQ(invalid ? invalid->value : 0, c.value);
        const bool modeShown = std::string(c.key) != "NacinBackupa";
        EXPECT_EQ(fresh.findChild<QAbstractButton*>("manualModeRadio")->isChecked(), modeShown);
        EXPECT_EQ(fresh.findChild<QLineEdit*>("keepDaysEdit")->text(), invalid ? "0" : "14");
        if (!invalid) {
            EXPECT_EQ(fresh.findChild<QComboBox*>("backupTimeCombo")->currentText(), "07:30"); // typed in, no item
            EXPECT_EQ(fresh.findChild<QComboBox*>("backupTimeCombo")->currentIndex(), -1);
            EXPECT_TRUE(fresh.findChild<QAbstractButton*>("compressCheckbox")->isChecked());
        }
    }
}

// The number of days stands between "... starije od" and "dana", also once the font has grown.
TEST_F(OptionsPageTest, TheNumberOfDaysStandsInTheGapOfItsCaption)
{
    page.resize(640, 480);
    page.show();
    auto* box = get<QCheckBox>("deleteOldBackupsCheckbox");
    auto* field = get<QLineEdit>("keepDaysEdit");
    for (const int points : {0, 20}) {
        SCOPED_TRACE(points);
        if (points) {
            QFont font = box->font();
            font.setPointSize(points);
            box->setFont(font);
            QCoreApplication::processEvents();
        }
        const QFontMetrics metrics = box->fontMetrics();
        EXPECT_GE(field->x(), metrics.horizontalAdvance("Brisati rezervne kopije starije od"));
        EXPECT_LE(field->geometry().right() + metrics.horizontalAdvance(" dana"), box->sizeHint().width());
        EXPECT_GE(field->width(), metrics.horizontalAdvance("999"));
        EXPECT_TRUE(box->rect().contains(field->geometry()));
    }
}

// The window hears of a save only once the settings are written and loaded again; a refused save says nothing.
TEST_F(OptionsPageTest, TheWindowHearsOfASaveOnlyOnceTheSettingsAreWrittenAndLoaded)
{
    const std::string ini = temp / "KOPIRKO.ini";
    TestFiles::write(ini, "[BACKUP]\r\nBackupDir=/mnt/usb\r\n");
    context.settingsStore.setIniFilePath(ini);
    std::vector<std::string> timesWhenSaved;
    QObject::connect(&page, &OptionsPage::saved,
                     [&] { timesWhenSaved.push_back(context.backupSettings.VrijemeBackupa); });
    get<QComboBox>("backupTimeCombo")->setEditText("8:00");
    get<QAbstractButton>("saveOptionsButton")->click();
    EXPECT_TRUE(timesWhenSaved.empty());
    get<QComboBox>("backupTimeCombo")->setCurrentIndex(21);
    get<QAbstractButton>("saveOptionsButton")->click();
    EXPECT_EQ(timesWhenSaved, std::vector<std::string>{"21:00"});
    EXPECT_EQ(context.backupSettings.BackupDir, "/mnt/usb");
    EXPECT_EQ(platform.messages.shown,
              (std::vector<std::string>{"Odaberite vrijeme izrade rezervne kopije (na primjer 08:00).",
                                        "Podesavanje je spremljeno"}));
}

} // namespace
