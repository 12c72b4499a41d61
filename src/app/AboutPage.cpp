#include "AboutPage.h"

#include "ui_AboutPage.h"

#include "AppInfo.h"
#include "MessageBoxService.h"
#include "PlatformServices.h"
#include "WebOpener.h"

#include <QMouseEvent>

namespace {

const char* const versionPrefix = "Verzija programa ";

} // namespace

AboutPage::AboutPage(const PlatformServices& platform, QWidget* parent)
    : QWidget(parent), m_platform(platform), ui(std::make_unique<Ui::AboutPage>())
{
    ui->setupUi(this);
    QPalette linkPalette = ui->webLink->palette();
    linkPalette.setColor(QPalette::WindowText, linkPalette.color(QPalette::Link));
    ui->webLink->setPalette(linkPalette);
    ui->webLink->installEventFilter(this);
}

AboutPage::~AboutPage() = default;

void AboutPage::showVersion(const ProgramVersion& version)
{
    ui->versionLabel->setText(QString::fromUtf8(versionPrefix) + QString::number(version.major) + '.' +
                              QString::number(version.minor) + '.' + QString::number(version.revision));
}

void AboutPage::onWebLink()
{
    if (Result opened = m_platform.web.openUrl(ui->webLink->text().toStdString()); !opened)
        m_platform.messages.showMessage("Stranica se ne moze otvoriti: " + opened.error());
}

bool AboutPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->webLink && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        onWebLink();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
