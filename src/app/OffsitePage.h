#pragma once

#include "OffsiteSettings.h"

#include <QWidget>

#include <memory>

namespace Ui {
class OffsitePage;
}
struct AppContext;

/// The settings page "Van lokala": the S3-compatible store each day's backups are sent to (section "S3" of
/// KOPIRKO.ini, the secret through the platform's SecretProtector). "Prihvati" saves what is entered; the check
/// button asks the store with it, away from the window's thread, and says what it found.
class OffsitePage : public QWidget
{
    Q_OBJECT
public:
    explicit OffsitePage(AppContext& context, QWidget* parent = nullptr);
    ~OffsitePage() override;

    /// The saved settings in the controls; a section that cannot be read is named on the page, the controls keep
    /// what they showed.
    void loadSettings();

public slots:
    /// "Prihvati": writes the section when what is entered can send (else says why and writes nothing).
    void onSaveOffsite();
    /// "Provjeri podesavanje": checks the store with what is entered and shows what it found.
    void onCheckOffsite();

private:
    OffsiteSettings enteredSettings() const;
    void message(const std::string& text);

    AppContext& m_context;
    std::unique_ptr<Ui::OffsitePage> ui;
};
