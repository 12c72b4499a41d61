// The page "O programu" alone: the version line and the web page behind the address.
#include "AboutPage.h"

#include "TestPlatform.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>

#include <gtest/gtest.h>

namespace {

TEST(AboutPage, TheVersionLineNamesAllThreeParts)
{
    TestPlatform platform;
    AboutPage page(platform.services);
    page.showVersion(ProgramVersion{1, 2, 30});
    EXPECT_EQ(page.findChild<QLabel*>("versionLabel")->text(), "Verzija programa 1.2.30");
}

// A left click on the address opens it (a right click does not); an address that cannot be opened is said.
TEST(AboutPage, AClickOnTheAddressOpensTheWebPageOrSaysWhyNot)
{
    TestPlatform platform;
    AboutPage page(platform.services);
    QLabel* link = page.findChild<QLabel*>("webLink");
    const auto release = [&](Qt::MouseButton button) {
        QMouseEvent event(QEvent::MouseButtonRelease, QPointF(2, 2), link->mapToGlobal(QPointF(2, 2)), button,
                          Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(link, &event);
    };
    release(Qt::LeftButton);
    release(Qt::RightButton);
    platform.web.failure = "nema preglednika";
    release(Qt::LeftButton);
    EXPECT_EQ(platform.web.openedUrls, (std::vector<std::string>{"www.vedroton.ba", "www.vedroton.ba"}));
    EXPECT_EQ(platform.messages.shown, std::vector<std::string>{"Stranica se ne moze otvoriti: nema preglednika"});
}

} // namespace
