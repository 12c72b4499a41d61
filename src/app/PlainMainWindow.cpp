#include "PlainMainWindow.h"

#include "AppContext.h"
#include "FolderListFile.h"
#include "OffThreadWork.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

PlainMainWindow::PlainMainWindow(AppContext& context)
    : m_context(context), m_list2(new QListWidget(this)), m_label1(new QLabel(this)), m_label2(new QLabel(this))
{
    m_list2->setObjectName("List2");
    m_label1->setObjectName("Label1");
    m_label2->setObjectName("Label2");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_label1);
    layout->addWidget(m_label2);
    layout->addWidget(m_list2);
    resize(480, 320);
}

void PlainMainWindow::load()
{
    setWindowTitle(QString::fromStdString(m_context.WindowTitle));
    const auto loaded = FolderListFile::load(m_context.platform.fileSystem, m_context.programFolder);
    for (const std::string& entry : loaded.entries)
        m_list2->addItem(QString::fromStdString(entry));
}

void PlainMainWindow::showWindow()
{
    show();
}

int PlainMainWindow::folderCount() const
{
    return m_list2->count();
}

std::string PlainMainWindow::folderEntry(int index) const
{
    const QListWidgetItem* item = m_list2->item(index);
    return item ? item->text().toStdString() : std::string();
}

void PlainMainWindow::setBusyPointer(bool busy)
{
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void PlainMainWindow::processEvents()
{
    QCoreApplication::processEvents();
}

void PlainMainWindow::runWork(const std::function<void()>& work)
{
    runOffThread(work);
}

void PlainMainWindow::reportProgress(const RunProgress& progress)
{
    const QString text = QString::fromStdString(progress.currentFile);
    QMetaObject::invokeMethod(this, [this, text] { m_label2->setText(text); }, Qt::QueuedConnection);
}

void PlainMainWindow::setStatusLine1(const std::string& text)
{
    m_label1->setText(QString::fromStdString(text));
}

void PlainMainWindow::setStatusLine2(const std::string& text)
{
    m_label2->setText(QString::fromStdString(text));
}

void PlainMainWindow::setLampColour(std::uint32_t) {}

void PlainMainWindow::runFinished(const RunReport&) {}
