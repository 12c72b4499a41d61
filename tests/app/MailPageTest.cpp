// The page "Posta" alone: what "Prihvati" writes and shows again, what it refuses, and the test message.
#include "MailPage.h"

#include "AppContext.h"
#include "IniFile.h"
#include "TestFiles.h"
#include "TestPlatform.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace {

struct MailPageTest : ::testing::Test
{
    TempDir temp;
    const std::string ini = temp / "KOPIRKO.ini";
    TestPlatform platform;
    AppContext context{platform.services};

    MailPageTest() { context.settingsStore.setIniFilePath(ini); }

    static QLineEdit* edit(const MailPage& page, const char* name) { return page.findChild<QLineEdit*>(name); }
    static QComboBox* combo(const MailPage& page, const char* name) { return page.findChild<QComboBox*>(name); }
    static void fill(MailPage& page, const char* server, const char* port, const char* to)
    {
        edit(page, "serverEdit")->setText(server);
        edit(page, "portEdit")->setText(port);
        combo(page, "encryptionCombo")->setCurrentIndex(1);
        edit(page, "userEdit")->setText("kasa@radnja.ba");
        edit(page, "passwordEdit")->setText("tajna lozinka");
        edit(page, "fromEdit")->setText("kasa@radnja.ba");
        edit(page, "toEdit")->setText(to);
        combo(page, "sendWhenCombo")->setCurrentIndex(2);
    }
    std::string value(const char* key) const { return IniFile::read(platform.fileSystem, ini, "POSTA", key); }
};

TEST_F(MailPageTest, WhatIsSavedIsShownAgainAndThePasswordIsNeverStoredInClear)
{
    MailPage page(context);
    page.loadSettings();
    fill(page, " smtp.radnja.ba ", "", "vlasnik@radnja.ba ; knjige@radnja.ba;");
    page.findChild<QAbstractButton*>("saveMailButton")->click();
    EXPECT_EQ(platform.messages.shown, std::vector<std::string>{"Podesavanje je spremljeno"});
    EXPECT_EQ(value("Server"), "smtp.radnja.ba");
    EXPECT_EQ(value("Port"), "587"); // the usual port of STARTTLS
    EXPECT_EQ(value("Za"), "vlasnik@radnja.ba;knjige@radnja.ba");
    EXPECT_EQ(value("Slati"), "2");
    EXPECT_EQ(TestFiles::read(ini).find("tajna"), std::string::npos);

    MailPage again(context);
    again.loadSettings();
    EXPECT_EQ(edit(again, "serverEdit")->text(), "smtp.radnja.ba");
    EXPECT_EQ(edit(again, "portEdit")->text(), "587");
    EXPECT_EQ(combo(again, "encryptionCombo")->currentIndex(), 1);
    EXPECT_EQ(edit(again, "passwordEdit")->text(), "tajna lozinka");
    EXPECT_EQ(edit(again, "passwordEdit")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(edit(again, "toEdit")->text(), "vlasnik@radnja.ba;knjige@radnja.ba");
    EXPECT_EQ(combo(again, "sendWhenCombo")->currentIndex(), 2);

    TestFiles::write(ini, "[POSTA]\r\nSlati=7\r\n"); // damaged: said on the page, the program goes on
    MailPage damaged(context);
    damaged.loadSettings();
    EXPECT_NE(damaged.findChild<QLabel*>("mailStatusLabel")->text().indexOf("Slati"), -1);
}

// What cannot send is not saved: the message names what is wrong, the file keeps what it had.
TEST_F(MailPageTest, SettingsThatCannotSendAreNotSaved)
{
    const struct
    {
        const char* server;
        const char* port;
        const char* to;
        const char* named;
    } cases[] = {
        {"smtp.radnja.ba", "70000", "vlasnik@radnja.ba", "Port \"70000\""},
        {"smtp.radnja.ba", "25a", "vlasnik@radnja.ba", "Port \"25a\""},
        {"smtp.radnja.ba", "25", "vlasnik", "Za"},
        {"smtp.radnja.ba", "25", "", "Za"},
        {"smtp radnja", "25", "vlasnik@radnja.ba", "Server"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.named);
        platform.messages.shown.clear();
        MailPage page(context);
        fill(page, c.server, c.port, c.to);
        page.findChild<QAbstractButton*>("saveMailButton")->click();
        ASSERT_EQ(platform.messages.shown.size(), 1u);
        EXPECT_NE(platform.messages.shown[0].find(c.named), std::string::npos) << platform.messages.shown[0];
        EXPECT_FALSE(TestFiles::exists(ini));
    }
}

TEST_F(MailPageTest, TheTestMessageGoesWithWhatIsEnteredAndTheServersAnswerIsShown)
{
    MailPage page(context);
    fill(page, "127.0.0.1", "2525", "vlasnik@radnja.ba");
    platform.mail.answer({Result::success(), "250 2.0.0 Ok: queued as 42"});
    page.findChild<QAbstractButton*>("testMailButton")->click();
    ASSERT_EQ(platform.mail.sent().size(), 1u);
    EXPECT_EQ(platform.mail.sent()[0].server.port, 2525);
    EXPECT_EQ(platform.mail.sent()[0].server.password, "tajna lozinka");
    EXPECT_EQ(platform.mail.sent()[0].envelope.to, std::vector<std::string>{"vlasnik@radnja.ba"});
    ASSERT_EQ(platform.messages.shown.size(), 1u);
    EXPECT_NE(platform.messages.shown[0].find("250 2.0.0 Ok: queued as 42"), std::string::npos);

    platform.mail.answer({Result::failure("535 5.7.8 Authentication failed"), "535 5.7.8 Authentication failed"});
    page.findChild<QAbstractButton*>("testMailButton")->click();
    EXPECT_TRUE(platform.messages.shown.back().starts_with("Probna poruka nije poslana: "));
    EXPECT_FALSE(TestFiles::exists(ini)); // a test saves nothing
}

} // namespace
