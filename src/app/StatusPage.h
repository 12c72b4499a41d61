#pragma once

#include <QWidget>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Ui {
class StatusPage;
}

/// The page "Backup": the status lamp, the two status lines, the folders the latest run could not back up, and
/// the buttons "Izradi rezervne kopije", "Pogasi ostale racunare" and "Sakri prozor". It shows what the window
/// tells it and says when a button is clicked; the runs, the schedule and the progress are the window's.
class StatusPage : public QWidget
{
    Q_OBJECT
public:
    explicit StatusPage(QWidget* parent = nullptr);
    ~StatusPage() override;

    /// The first line: how the latest run went, or what the run in progress backs up.
    void setStatusLine(const QString& text);
    /// The second line: when the next timed run is due.
    void setNextRunLine(const QString& text);
    /// The second line while a run works: `counts`, then `currentFile` with its middle left out where the line
    /// has no room for all of it (the counts are always shown whole).
    /// The line about the copy away from the shop: where its sending stands or how it ended; hidden when empty.
    void setOffsiteLine(const QString& text);
    void showProgressLine(const QString& counts, const QString& currentFile);

    /// The lamp's colour, 0x00BBGGRR.
    std::uint32_t lampColour() const;
    void setLampColour(std::uint32_t bgr);

    /// The latest run's failures, one line each, under their heading; heading and list are hidden when there
    /// are none.
    void showFailures(const std::vector<std::string>& lines);
    /// Hides the heading and the list of failures (their lines stay until the next showFailures).
    void hideFailures();

    void setBackUpNowVisible(bool visible);

signals:
    void backUpNowClicked();
    void shutDownNetworkClicked();
    void hideWindowClicked();

private:
    std::unique_ptr<Ui::StatusPage> ui;
};
