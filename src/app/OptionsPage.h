#pragma once

#include <QWidget>

#include <memory>
#include <optional>
#include <string>

namespace Ui {
class OptionsPage;
}
struct AppContext;
struct BackupSettings;

/// The settings page "Opcije": when to back up (at a time of day, at every start, by hand) and what, the steps
/// after a run, and the deletion of old backups. Its "Prihvati" checks what was entered, writes it to KOPIRKO.ini
/// key by key, loads the settings again and says `saved`; what the new mode changes is the window's.
class OptionsPage : public QWidget
{
    Q_OBJECT
public:
    explicit OptionsPage(AppContext& context, QWidget* parent = nullptr);
    ~OptionsPage() override;

    /// A saved setting that no control can show.
    struct InvalidSetting
    {
        std::string key; ///< its INI key
        int value;
    };
    /// Shows `settings` in the controls, in the order of the keys NacinBackupa, OpsegBackupa, VrijemeBackupa,
    /// Brisati, GasitiRacunar, ZIPOVANJE, GasenjeRacunaraMreze, Starost, then Nadoknaditi and UpozorenjeDana as
    /// BackupRecords reads them; stops at the first value no control
    /// can show and returns it (the controls after it keep what they showed).
    std::optional<InvalidSetting> showSettings(const BackupSettings& settings);
    /// Shows a time no item of the list holds, typed into the field, no item selected.
    void showTime(const std::string& time);

public slots:
    /// "Prihvati": refused with a message while a run works, or when the time or the number of days is not
    /// valid (then nothing is written); else writes the eight keys and the two of the watch over the backups and emits
    /// `saved` after the settings are loaded again. A key that cannot be written stops it with a message, and no
    /// `saved`.
    void onSaveOptions();

signals:
    void saved();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// The number of days stands in the blank gap of the caption "Brisati rezervne kopije starije od ... dana".
    void placeKeepDaysEditInCaptionGap();
    void message(const std::string& text);

    AppContext& m_context;
    std::unique_ptr<Ui::OptionsPage> ui;
};
