// Moving the main widget between embedding containers, on Qt's offscreen platform (which
// wraps no foreign window: the X11 side is tested under a real X server in x11embed_test).
#include "channelfiles.h"
#include "debuglog.h"
#include "embedding.h"
#include "mainwidget.h"
#include "mainwidgetprobe.h"
#include "scaledview.h"
#include "uicommunication.h"

#include <QPointer>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

// The widget a container draws; null when it is no scaling view or shows nothing.
QWidget* shownIn(QWidget* container)
{
    const auto* view = qobject_cast<ScaledView*>(container);
    return view ? view->widget() : nullptr;
}

// Takes the main widget out of the containers before they go, as the program's end does.
class Embedded : public testing::Test {
protected:
    void TearDown() override
    {
        if (mainWidget) mainWidget->setParent(nullptr);
        releaseEmbedContainers();
    }

    void setUpChannel()
    {
        files.makeFifos();
        files.makeSharedBlock();
        files.openEnds();
        communication.emplace(files.instance);
        mainWidget.emplace(&*communication);
        communication->setMainWidget(&*mainWidget);
    }

    DebugLog log;
    ChannelFiles files{testInstanceNumber()};
    std::optional<UICommunication> communication;
    std::optional<MainWidget> mainWidget;
};

} // namespace

TEST_F(Embedded, ContainerIsAParentless260x517NativeWidgetNotYetShown)
{
    QWidget* container = embedIntoWindow(60817415);
    ASSERT_NE(container, nullptr);
    EXPECT_EQ(embedContainer(), container);
    EXPECT_EQ(container->parentWidget(), nullptr);
    EXPECT_EQ(container->size(), QSize(260, 517));
    EXPECT_EQ(container->minimumSize(), container->maximumSize());
    EXPECT_TRUE(container->testAttribute(Qt::WA_NativeWindow));
    EXPECT_FALSE(container->isVisible());
}

TEST_F(Embedded, MainWidgetMovesIntoTheContainerAtItsOrigin)
{
    mainWidget.emplace(nullptr);
    QWidget* container = embedIntoWindow(1234);
    moveIntoEmbedContainer(&*mainWidget);
    EXPECT_EQ(shownIn(container), &*mainWidget);
    EXPECT_EQ(embeddedWidget(), &*mainWidget);
    EXPECT_EQ(mainWidget->geometry(), QRect(0, 0, 260, 517));
    EXPECT_TRUE(container->isVisible());
    EXPECT_TRUE(mainWidget->isVisible());
}

TEST_F(Embedded, ReplacedContainerIsDeletedOnceTheMainWidgetHasLeftIt)
{
    mainWidget.emplace(nullptr);
    mainWidget->setParameter(6, 0.625f);
    QPointer<QWidget> first = embedIntoWindow(1);
    moveIntoEmbedContainer(&*mainWidget);
    QPointer<QWidget> second = embedIntoWindow(2);
    // Until the main widget has moved, the old container still holds it and stays.
    EXPECT_FALSE(first.isNull());
    EXPECT_EQ(shownIn(first), &*mainWidget);
    moveIntoEmbedContainer(&*mainWidget);
    EXPECT_TRUE(first.isNull());
    ASSERT_FALSE(second.isNull());
    EXPECT_EQ(shownIn(second), &*mainWidget);
    EXPECT_EQ(knobValue(*mainWidget, 6), 0.625f);
}

TEST_F(Embedded, OpenRecordMovesTheUnchangedMainWidgetThenAppliesTheNextRecord)
{
    setUpChannel();
    files.writePlugin(join({parameterBytes(9, 0.75f), openBytes(60817415)}));
    communication->processMessageFromPlugin();
    QPointer<QWidget> first = embedContainer();
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(shownIn(first), &*mainWidget);
    EXPECT_TRUE(first->isVisible());

    files.writePlugin(join({openBytes(60817416), parameterBytes(10, 0.5f)}));
    communication->processMessageFromPlugin();
    EXPECT_TRUE(first.isNull());
    ASSERT_NE(embedContainer(), nullptr);
    EXPECT_EQ(shownIn(embedContainer()), &*mainWidget);
    EXPECT_EQ(embedContainer()->size(), QSize(260, 517));
    EXPECT_TRUE(mainWidget->isVisible());
    EXPECT_EQ(knobValue(*mainWidget, 9), 0.75f);
    EXPECT_EQ(knobValue(*mainWidget, 10), 0.5f);
}

TEST_F(Embedded, OpenRecordWithoutAMainWidgetStillShowsAContainer)
{
    files.makeFifos();
    files.makeSharedBlock();
    files.openEnds();
    communication.emplace(files.instance);
    files.writePlugin(openBytes(77));
    communication->processMessageFromPlugin();
    ASSERT_NE(embedContainer(), nullptr);
    EXPECT_TRUE(embedContainer()->isVisible());
}

TEST(MainWidget, IsAFixed260x517WindowTitledPravoLindel)
{
    const MainWidget mainWidget(nullptr);
    EXPECT_EQ(mainWidget.size(), QSize(260, 517));
    EXPECT_EQ(mainWidget.minimumSize(), mainWidget.maximumSize());
    EXPECT_EQ(mainWidget.windowTitle(), QString("Pravo lindel"));
    EXPECT_EQ(mainWidget.objectName(), QString("mainwidget"));
    EXPECT_TRUE(mainWidget.isWindow());
}

TEST(MainWidget, ShowsEachParameterOnItsControlWithoutADebugLine)
{
    DebugLog log;
    MainWidget mainWidget(nullptr);
    mainWidget.setParameter(0, 1.0f);
    mainWidget.setParameter(23, 0.25f);
    mainWidget.setParameter(4, 0.5f);
    mainWidget.setParameter(24, 1.0f);
    mainWidget.setParameter(-1, 1.0f);
    EXPECT_TRUE(buttonPressed(mainWidget, 0));
    EXPECT_EQ(knobValue(mainWidget, 4), 0.5f);
    EXPECT_FALSE(buttonPressed(mainWidget, 1));
    EXPECT_TRUE(log.lines().empty());
}
