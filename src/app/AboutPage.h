#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class AboutPage;
}
struct PlatformServices;
struct ProgramVersion;

/// The page "O programu": what the program is, how to use it, its version, and the maker's web page, which a
/// click on its address opens in the browser.
class AboutPage : public QWidget
{
    Q_OBJECT
public:
    explicit AboutPage(const PlatformServices& platform, QWidget* parent = nullptr);
    ~AboutPage() override;

    /// "Verzija programa 1.0.16".
    void showVersion(const ProgramVersion& version);

public slots:
    /// Opens the address of the web page; one that cannot be opened is said in a message.
    void onWebLink();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const PlatformServices& m_platform;
    std::unique_ptr<Ui::AboutPage> ui;
};
