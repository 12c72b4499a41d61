#include "MailPage.h"

#include "ui_MailPage.h"

#include "AppContext.h"
#include "Clock.h"
#include "ComputerName.h"
#include "MailMessage.h"
#include "MailReporter.h"
#include "MessageBoxService.h"
#include "OffThreadWork.h"

#include <chrono>
#include <sstream>
#include <string>

namespace {

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

std::string trimmed(const QString& text)
{
    return text.trimmed().toStdString();
}

} // namespace

MailPage::MailPage(AppContext& context, QWidget* parent)
    : QWidget(parent), m_context(context), ui(std::make_unique<Ui::MailPage>())
{
    ui->setupUi(this);
    connect(ui->saveMailButton, &QPushButton::clicked, this, &MailPage::onSaveMail);
    connect(ui->testMailButton, &QPushButton::clicked, this, &MailPage::onSendTestMail);
}

MailPage::~MailPage() = default;

void MailPage::loadSettings()
{
    MailSettings settings;
    if (const Result loaded = MailSettingsStore::load(m_context.settingsStore, m_context.platform.secrets, settings);
        !loaded) {
        ui->mailStatusLabel->setText(qs("Podesavanje poste nije ispravno: " + loaded.error()));
        return;
    }
    ui->mailStatusLabel->clear();
    ui->serverEdit->setText(qs(settings.Server));
    ui->portEdit->setText(QString::number(settings.Port));
    ui->encryptionCombo->setCurrentIndex(static_cast<int>(settings.Sifrovanje));
    ui->userEdit->setText(qs(settings.Korisnik));
    ui->passwordEdit->setText(qs(settings.Lozinka));
    ui->fromEdit->setText(qs(settings.Od));
    std::string to;
    for (const std::string& address : settings.Za)
        to += (to.empty() ? "" : ";") + address;
    ui->toEdit->setText(qs(to));
    ui->sendWhenCombo->setCurrentIndex(static_cast<int>(settings.Slati));
}

std::optional<MailSettings> MailPage::enteredSettings()
{
    MailSettings settings;
    settings.Server = trimmed(ui->serverEdit->text());
    settings.Sifrovanje = static_cast<MailEncryption>(ui->encryptionCombo->currentIndex());
    const std::string port = trimmed(ui->portEdit->text());
    const bool digits = !port.empty() && port.size() <= 5 && port.find_first_not_of("0123456789") == std::string::npos;
    if (port.empty()) {
        settings.Port = MailSettingsStore::defaultPort(settings.Sifrovanje);
    } else if (digits && std::stoi(port) >= 1 && std::stoi(port) <= 65535) {
        settings.Port = std::stoi(port);
    } else {
        message("Port \"" + port + "\" nije ispravan: upisite broj od 1 do 65535.");
        return std::nullopt;
    }
    settings.Korisnik = trimmed(ui->userEdit->text());
    settings.Lozinka = ui->passwordEdit->text().toStdString(); // blanks may belong to a password
    settings.Od = trimmed(ui->fromEdit->text());
    std::istringstream to(trimmed(ui->toEdit->text()));
    for (std::string address; std::getline(to, address, ';');)
        if (const std::string plain = trimmed(qs(address)); !plain.empty())
            settings.Za.push_back(plain);
    settings.Slati = static_cast<MailWhen>(ui->sendWhenCombo->currentIndex());
    return settings;
}

void MailPage::onSaveMail()
{
    const std::optional<MailSettings> settings = enteredSettings();
    if (!settings)
        return;
    // With no mail asked for, an empty server or address is no fault.
    const bool nothingToSend = settings->Slati == MailWhen::Never && settings->Server.empty();
    if (const Result saved =
            nothingToSend ? Result::success()
                          : MailSettingsStore::save(m_context.settingsStore, m_context.platform.secrets, *settings);
        !saved) {
        message("Podesavanje poste nije spremljeno.\r\n" + saved.error());
        return;
    }
    if (nothingToSend) {
        if (const Result written = m_context.settingsStore.WriteIniValue("POSTA", "Slati", "0"); !written) {
            message("Podesavanje poste nije spremljeno.\r\n" + written.error());
            return;
        }
    }
    ui->mailStatusLabel->clear();
    message("Podesavanje je spremljeno");
}

void MailPage::onSendTestMail()
{
    const std::optional<MailSettings> settings = enteredSettings();
    if (!settings)
        return;
    const MailText text = MailMessage::testMessage(thisComputerName(), m_context.platform.clock.now());
    MailSender& sender = m_context.platform.mail;
    MailDelivery delivery;
    ui->testMailButton->setEnabled(false);
    // The window stays usable while the server is asked; the time limit of the settings ends the wait.
    runOffThread([&] {
        delivery = MailReporter::send(sender, *settings, text,
                                      std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()));
    });
    ui->testMailButton->setEnabled(true);
    message(MailReporter::testOutcome(delivery));
}

void MailPage::message(const std::string& text)
{
    m_context.platform.messages.showMessage(text);
}
