#include "OffsitePage.h"

#include "ui_OffsitePage.h"

#include "AppContext.h"
#include "ComputerName.h"
#include "MessageBoxService.h"
#include "OffThreadWork.h"
#include "OffsiteCheck.h"
#include "Paths.h"

#include <chrono>

namespace {

constexpr const char* section = "S3";

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

std::string trimmed(const QString& text)
{
    return text.trimmed().toStdString();
}

} // namespace

OffsitePage::OffsitePage(AppContext& context, QWidget* parent)
    : QWidget(parent), m_context(context), ui(std::make_unique<Ui::OffsitePage>())
{
    ui->setupUi(this);
    ui->lockDaysSpin->setMaximum(OffsiteSettingsStore::longestLockDays);
    connect(ui->saveOffsiteButton, &QPushButton::clicked, this, &OffsitePage::onSaveOffsite);
    connect(ui->checkOffsiteButton, &QPushButton::clicked, this, &OffsitePage::onCheckOffsite);
}

OffsitePage::~OffsitePage() = default;

void OffsitePage::loadSettings()
{
    OffsiteSettings settings;
    if (const Result loaded = OffsiteSettingsStore::load(m_context.settingsStore, m_context.platform.secrets,
                                                         thisComputerName(), settings);
        !loaded) {
        ui->offsiteStatusLabel->setText(qs("Podesavanje slanja van lokala nije ispravno: " + loaded.error()));
        return;
    }
    ui->offsiteStatusLabel->clear();
    ui->addressEdit->setText(qs(settings.Adresa));
    ui->regionEdit->setText(qs(settings.Regija));
    ui->bucketEdit->setText(qs(settings.Bucket));
    ui->keyEdit->setText(qs(settings.Kljuc));
    ui->secretEdit->setText(qs(settings.Tajna));
    ui->prefixEdit->setText(qs(settings.Prefiks));
    ui->lockDaysSpin->setValue(settings.ZakljucatiDana);
    ui->sendCombo->setCurrentIndex(settings.Slati);
}

OffsiteSettings OffsitePage::enteredSettings() const
{
    OffsiteSettings settings;
    settings.Adresa = trimmed(ui->addressEdit->text());
    settings.Regija = trimmed(ui->regionEdit->text());
    settings.Bucket = trimmed(ui->bucketEdit->text());
    settings.Kljuc = trimmed(ui->keyEdit->text());
    settings.Tajna = trimmed(ui->secretEdit->text());
    settings.Prefiks = trimmed(ui->prefixEdit->text());
    if (settings.Prefiks.empty())
        settings.Prefiks = OffsiteSettingsStore::usablePrefix(thisComputerName());
    settings.ZakljucatiDana = ui->lockDaysSpin->value();
    settings.Slati = ui->sendCombo->currentIndex();
    return settings;
}

void OffsitePage::onSaveOffsite()
{
    const OffsiteSettings settings = enteredSettings();
    // Switched off with nothing entered is no fault: only "Slati" is written then.
    const bool nothingToSend = settings.Slati == 0 && settings.Adresa.empty() && settings.Bucket.empty();
    const Result saved =
        nothingToSend ? m_context.settingsStore.WriteIniValue(section, "Slati", "0")
                      : OffsiteSettingsStore::save(m_context.settingsStore, m_context.platform.secrets, settings);
    if (!saved) {
        message("Podesavanje slanja van lokala nije spremljeno.\r\n" + saved.error());
        return;
    }
    std::string said = "Podesavanje je spremljeno";
    for (const std::string& warning : OffsiteSettingsStore::warnings(settings))
        said += "\r\n" + warning;
    ui->offsiteStatusLabel->clear();
    message(said);
}

void OffsitePage::onCheckOffsite()
{
    const OffsiteSettings settings = enteredSettings();
    ObjectStore& store = m_context.platform.objectStore;
    FileSystem& disk = m_context.platform.fileSystem;
    // The settings file's folder: the program writes there anyway.
    const std::string probe = Paths::join(Paths::parent(m_context.settingsStore.IniFilePath()), "kopirko-proba-s3.txt");
    OffsiteCheck::Findings findings;
    ui->checkOffsiteButton->setEnabled(false);
    ui->offsiteStatusLabel->setText(QStringLiteral("Provjera je u toku..."));
    // The window stays usable while the store is asked; the account's time limits end the wait.
    runOffThread([&] {
        findings = OffsiteCheck::run(store, disk, settings, probe,
                                     std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()));
    });
    ui->checkOffsiteButton->setEnabled(true);
    ui->offsiteStatusLabel->setText(qs(findings.text));
    message(findings.text);
}

void OffsitePage::message(const std::string& text)
{
    m_context.platform.messages.showMessage(text);
}
