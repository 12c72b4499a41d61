#include "StatusPage.h"

#include "ui_StatusPage.h"

#include <algorithm>

StatusPage::StatusPage(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::StatusPage>())
{
    ui->setupUi(this);
    connect(ui->backUpNowButton, &QPushButton::clicked, this, &StatusPage::backUpNowClicked);
    connect(ui->shutDownNetworkButton, &QPushButton::clicked, this, &StatusPage::shutDownNetworkClicked);
    connect(ui->hideWindowButton, &QPushButton::clicked, this, &StatusPage::hideWindowClicked);
}

StatusPage::~StatusPage() = default;

void StatusPage::setStatusLine(const QString& text)
{
    ui->statusLine->setText(text);
}

void StatusPage::setNextRunLine(const QString& text)
{
    ui->nextRunLine->setText(text);
}

void StatusPage::setOffsiteLine(const QString& text)
{
    ui->offsiteLine->setText(text);
    ui->offsiteLine->setVisible(!text.isEmpty());
}

void StatusPage::showProgressLine(const QString& counts, const QString& currentFile)
{
    QString line = counts;
    if (!currentFile.isEmpty()) {
        const QFontMetrics metrics = ui->nextRunLine->fontMetrics();
        const QString separator = QStringLiteral(" - ");
        const int room = ui->nextRunLine->width() - metrics.horizontalAdvance(counts + separator);
        line += separator + metrics.elidedText(currentFile, Qt::ElideMiddle, std::max(room, 0));
    }
    ui->nextRunLine->setText(line);
}

std::uint32_t StatusPage::lampColour() const
{
    return ui->lamp->fillColour();
}

void StatusPage::setLampColour(std::uint32_t bgr)
{
    ui->lamp->setFillColour(bgr);
}

void StatusPage::showFailures(const std::vector<std::string>& lines)
{
    ui->failedFoldersList->clear();
    for (const std::string& line : lines)
        ui->failedFoldersList->addItem(QString::fromStdString(line));
    ui->failedFoldersLabel->setVisible(!lines.empty());
    ui->failedFoldersList->setVisible(!lines.empty());
}

void StatusPage::hideFailures()
{
    ui->failedFoldersLabel->hide();
    ui->failedFoldersList->hide();
}

void StatusPage::setBackUpNowVisible(bool visible)
{
    ui->backUpNowButton->setVisible(visible);
}
