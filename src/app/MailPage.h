#pragma once

#include "MailSettings.h"

#include <QWidget>

#include <memory>
#include <optional>

namespace Ui {
class MailPage;
}
struct AppContext;

/// The settings page "Posta": the mail server, the account and who gets the reports (section "POSTA" of
/// KOPIRKO.ini, the password through the platform's SecretProtector). "Prihvati" saves what is entered; the test
/// button sends a test message with it, away from the window's thread, and says what the server answered.
class MailPage : public QWidget
{
    Q_OBJECT
public:
    explicit MailPage(AppContext& context, QWidget* parent = nullptr);
    ~MailPage() override;

    /// The saved settings in the controls; a section that cannot be read is named on the page, the controls
    /// keep what they showed.
    void loadSettings();

public slots:
    /// "Prihvati": writes the section when what is entered can send (else says why and writes nothing).
    void onSaveMail();
    /// "Posalji probnu poruku": sends the test message with what is entered and shows the outcome.
    void onSendTestMail();

private:
    /// What the controls say; nothing, after a message, when the port is no number.
    std::optional<MailSettings> enteredSettings();
    void message(const std::string& text);

    AppContext& m_context;
    std::unique_ptr<Ui::MailPage> ui;
};
