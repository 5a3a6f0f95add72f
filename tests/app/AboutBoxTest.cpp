#include "AboutBox.h"
#include "AboutCommand.h"
#include "AppTestSupport.h"
#include "VersionInfo.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

QByteArray GoodBlob()
{
    QByteArray translation("\x07\x04\xE4\x04", 4);
    return BuildVersionInfo(TVersionBlock::Binary(
        "VS_VERSION_INFO", FixedFileInfo(3, 1, 4, 0),
        {TVersionBlock::Node("StringFileInfo",
                             {TVersionBlock::Node("040704E4", {TVersionBlock::Text("FileVersion", "3.1.4")})}),
         TVersionBlock::Node("VarFileInfo", {TVersionBlock::Binary("Translation", translation)})}));
}

TEST(AboutBox, LayoutAndTexts)
{
    TAboutBox box(GoodBlob());
    EXPECT_EQ(box.windowTitle(), "Info");
    EXPECT_EQ(box.height(), 213);
    EXPECT_GE(box.width(), 298);
    EXPECT_FALSE(box.isModal());
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.ProductName->text(), "Vessik");
    EXPECT_TRUE(box.ProductName->font().bold());
    EXPECT_EQ(box.ProductName->font().pointSize(), 12);
    EXPECT_EQ(box.Version->text(), "3.1.4");
    EXPECT_EQ(box.Comments->text(), "Vessik is only functional with ISDN-cards from AVM.");
    EXPECT_TRUE(box.Comments->wordWrap());
    EXPECT_FALSE(box.Copyright->text().isEmpty());
    EXPECT_EQ(box.OKButton->text(), "OK");
    EXPECT_TRUE(box.OKButton->isDefault());
    EXPECT_EQ(box.OKButton->size(), QSize(75, 25));
    EXPECT_EQ(box.OKButton->y(), 180);
    // Every label is inside the dialog and as wide as its text, so none is cut off.
    for (const QLabel* label : box.findChildren<QLabel*>()) {
        EXPECT_TRUE(box.rect().contains(label->mapTo(&box, label->rect().bottomRight())))
            << label->objectName().toStdString();
        if (!label->wordWrap() && label->pixmap().isNull()) {
            EXPECT_GE(label->width(), label->sizeHint().width()) << label->objectName().toStdString();
        }
    }
}

TEST(AboutBox, WithoutVersionInformation)
{
    TAboutBox box({});
    EXPECT_EQ(box.Version->text(), ": Version not available");
    // The fallback in 12-point bold is wider than the designed dialog on
    // some desktops; the dialog then grows instead of cutting it off.
    EXPECT_GE(box.Version->width(), box.Version->sizeHint().width());
    EXPECT_TRUE(box.rect().contains(box.Version->mapTo(&box, box.Version->rect().bottomRight())));
    EXPECT_GE(box.width(), 298);
    EXPECT_EQ(box.OKButton->geometry().center().x(), box.rect().center().x());
}

TEST(AboutBox, OkHidesAndItShowsAgain)
{
    TAboutBox box(GoodBlob());
    box.ShowAbout();
    EXPECT_TRUE(box.isVisible());
    box.OKButton->click();
    EXPECT_FALSE(box.isVisible());
    box.ShowAbout();
    EXPECT_TRUE(box.isVisible());
    EXPECT_EQ(box.Version->text(), "3.1.4");
}

TEST(AboutCommandFilter, ReactsToTheAboutCommandWithAnyLowBits)
{
    QObject target;
    TAboutCommandFilter filter;
    int shown = 0;
    filter.OnAbout = [&] { ++shown; };
    qApp->installEventFilter(&filter);
    for (int command : {kAboutCommand, kAboutCommand | 0x1, kAboutCommand | 0xF})
        PostSysCommand(&target, command);
    // Neighbouring commands are not the about command.
    for (int command : {kAboutCommand - 1, kAboutCommand + 0x10, 0, 0xF020})
        PostSysCommand(&target, command);
    QCoreApplication::processEvents();
    qApp->removeEventFilter(&filter);
    EXPECT_EQ(shown, 3);
}

} // namespace
