#include "OptionsPage.h"

#include "ui_OptionsPage.h"

#include "AppContext.h"
#include "BackupRecords.h"
#include "DailySchedule.h"
#include "IniNumber.h"
#include "MessageBoxService.h"
#include "RunGuard.h"
#include "RunReport.h"

#include <QButtonGroup>
#include <QEvent>
#include <QStyle>
#include <QStyleOptionButton>

#include <cstdint>
#include <utility>

namespace {

const char* const crlf = "\r\n";
const char* const settingsSaved = "Podesavanje je spremljeno";

/// What the archives keep of the names. They store every name in UTF-8 and say so in the archive, so names written in
/// Cyrillic come back as they were; only an unpacker that ignores that mark shows them wrongly.
const char* const archiveNamesNote =
    "NAPOMENA\r\n"
    "ZIP arhive čuvaju nazive datoteka i fascikli onakve kakvi jesu, i one ispisane ćiriličnim slovima (UTF-8). "
    "Stari programi za raspakivanje koji ne poznaju UTF-8 nazive mogu ih prikazati pogrešno; sadržaj datoteka "
    "je uvijek isti.";

/// The gap in the caption of deleteOldBackupsCheckbox that holds keepDaysEdit.
const QString keepDaysGap = QString(16, QLatin1Char(' '));

} // namespace

OptionsPage::OptionsPage(AppContext& context, QWidget* parent)
    : QWidget(parent), m_context(context), ui(std::make_unique<Ui::OptionsPage>())
{
    ui->setupUi(this);
    ui->archiveNamesNoteLabel->setText(QString::fromUtf8(archiveNamesNote));
    // The buttons' ids are the values NacinBackupa and OpsegBackupa store.
    ui->backupModeGroup->setId(ui->timedModeRadio, 0);
    ui->backupModeGroup->setId(ui->startModeRadio, 1);
    ui->backupModeGroup->setId(ui->manualModeRadio, 2);
    ui->backupScopeGroup->setId(ui->filesOnlyRadio, 0);
    ui->backupScopeGroup->setId(ui->withSubfoldersRadio, 1);

    // Measured before the hours are in, the field keeps the room for seven characters it has empty: for a time
    // typed in by hand.
    ui->backupTimeCombo->setMinimumWidth(ui->backupTimeCombo->sizeHint().width());
    for (int hour = 0; hour < 24; ++hour)
        ui->backupTimeCombo->addItem(QStringLiteral("%1:00").arg(hour, 2, 10, QLatin1Char('0')));
    // An editable combo box selects its first item on its own; no hour is chosen until the settings say so.
    ui->backupTimeCombo->setCurrentIndex(-1);

    ui->deleteOldBackupsCheckbox->installEventFilter(this);
    connect(ui->saveOptionsButton, &QPushButton::clicked, this, &OptionsPage::onSaveOptions);
    placeKeepDaysEditInCaptionGap();
}

OptionsPage::~OptionsPage() = default;

std::optional<OptionsPage::InvalidSetting> OptionsPage::showSettings(const BackupSettings& settings)
{
    QAbstractButton* mode = ui->backupModeGroup->button(settings.NacinBackupa);
    if (!mode)
        return InvalidSetting{"NacinBackupa", settings.NacinBackupa};
    mode->setChecked(true);
    QAbstractButton* scope = ui->backupScopeGroup->button(settings.OpsegBackupa);
    if (!scope)
        return InvalidSetting{"OpsegBackupa", settings.OpsegBackupa};
    scope->setChecked(true);

    const QString time = QString::fromStdString(settings.VrijemeBackupa);
    const int hour = ui->backupTimeCombo->findText(time, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (hour >= 0)
        ui->backupTimeCombo->setCurrentIndex(hour);
    else
        showTime(settings.VrijemeBackupa);

    struct Box
    {
        QCheckBox* box;
        const char* key;
        std::int16_t value;
    };
    const Box boxes[] = {{ui->deleteOldBackupsCheckbox, "Brisati", settings.Brisati},
                         {ui->shutDownThisComputerCheckbox, "GasitiRacunar", settings.GasitiRacunar},
                         {ui->compressCheckbox, "ZIPOVANJE", settings.ZIPOVANJE},
                         {ui->shutDownNetworkCheckbox, "GasenjeRacunaraMreze", settings.GasenjeRacunaraMreze}};
    for (const Box& box : boxes) {
        if (box.value != 0 && box.value != 1)
            return InvalidSetting{box.key, box.value};
        box.box->setChecked(box.value == 1);
    }

    ui->keepDaysEdit->setText(QString::number(settings.Starost));
    // Unreadable values come as their defaults: they are no reason to stop the program.
    const WatchSettings watch = BackupRecords(m_context.settingsStore).loadWatchSettings();
    ui->catchUpCheckbox->setChecked(watch.catchUp);
    ui->warningDaysSpin->setValue(watch.warningDays);
    return std::nullopt;
}

void OptionsPage::showTime(const std::string& time)
{
    ui->backupTimeCombo->setEditText(QString::fromStdString(time));
}

void OptionsPage::onSaveOptions()
{
    if (RunGuard::busy()) {
        // A run reads the settings while it works; they change when it is over.
        message(std::string(RunTexts::alreadyRunning) + crlf + "Podesavanje spremite kada se zavrsi.");
        return;
    }
    const std::string time = ui->backupTimeCombo->currentText().toStdString();
    if (!DailySchedule::isValidTime(time)) {
        message("Odaberite vrijeme izrade rezervne kopije (na primjer 08:00).");
        return;
    }
    const std::string typedDays = ui->keepDaysEdit->text().toStdString();
    const std::string days = leadingNumberText(typedDays);
    const std::optional<std::int16_t> dayCount = parseIniInteger(days);
    if (!dayCount) {
        message("Broj dana \"" + days + "\" nije ispravan.");
        return;
    }
    // Deletion with no whole number of days from 1 up would silently delete nothing, ever.
    if (ui->deleteOldBackupsCheckbox->isChecked() && (*dayCount < 1 || days.find('.') != std::string::npos)) {
        message("Broj dana \"" + typedDays +
                "\" nije ispravan: za brisanje starih rezervnih kopija upisite cijeli "
                "broj dana, 1 ili vise.");
        return;
    }
    auto checked = [](QButtonGroup* group, int designTimeChoice) {
        const int id = group->checkedId();
        return std::to_string(id >= 0 ? id : designTimeChoice);
    };
    auto state = [](QCheckBox* box) { return std::string(box->isChecked() ? "1" : "0"); };
    const std::pair<const char*, std::string> values[] = {
        {"VrijemeBackupa", time},
        {"GasitiRacunar", state(ui->shutDownThisComputerCheckbox)},
        {"ZIPOVANJE", state(ui->compressCheckbox)},
        {"GasenjeRacunaraMreze", state(ui->shutDownNetworkCheckbox)},
        {"NacinBackupa", checked(ui->backupModeGroup, 0)},
        {"OpsegBackupa", checked(ui->backupScopeGroup, 1)},
        {"Brisati", state(ui->deleteOldBackupsCheckbox)},
        {"Starost", days},
    };
    for (const auto& [key, value] : values) {
        if (Result written = m_context.settingsStore.WriteIniValue("BACKUP", key, value); !written) {
            message(std::string("Podesavanje nije spremljeno.") + crlf + written.error());
            return;
        }
    }
    const WatchSettings watch{ui->catchUpCheckbox->isChecked(), ui->warningDaysSpin->value()};
    if (Result written = BackupRecords(m_context.settingsStore).saveWatchSettings(watch); !written) {
        message(std::string("Podesavanje nije spremljeno.") + crlf + written.error());
        return;
    }
    message(settingsSaved);

    if (Result loaded = m_context.settingsStore.LoadSettings(m_context.backupSettings, m_context.programFolder);
        !loaded)
        message("Podesavanje nije ucitano: " + loaded.error());
    emit saved();
}

bool OptionsPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->deleteOldBackupsCheckbox) {
        switch (event->type()) {
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::FontChange:
        case QEvent::StyleChange:
            placeKeepDaysEditInCaptionGap();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void OptionsPage::placeKeepDaysEditInCaptionGap()
{
    QCheckBox* box = ui->deleteOldBackupsCheckbox;
    QLineEdit* field = ui->keepDaysEdit;
    const QString caption = box->text();
    const qsizetype gapAt = caption.indexOf(keepDaysGap);
    if (gapAt < 0)
        return;
    QStyleOptionButton option;
    option.initFrom(box);
    option.text = caption;
    const QRect contents = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
    const QFontMetrics metrics = box->fontMetrics();
    const int blank = metrics.horizontalAdvance(QLatin1Char(' '));
    const int left = contents.left() + metrics.horizontalAdvance(caption.left(gapAt)) + blank;
    const int right = contents.left() + metrics.horizontalAdvance(caption.left(gapAt + keepDaysGap.size())) - blank;
    const int height = field->sizeHint().height();
    box->setMinimumHeight(height);
    field->setGeometry(left, (box->height() - height) / 2, right - left, height);
}

void OptionsPage::message(const std::string& text)
{
    m_context.platform.messages.showMessage(text);
}
