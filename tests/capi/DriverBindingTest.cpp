#include "CapiTestSupport.h"
#include "PlatformCapiAdapter.h"

#include <QRegularExpression>

namespace {

TEST(DriverBinding, MissingLibraryFailsWithTheLoaderLines)
{
    TCapi20 capi;
    TLineRecorder lines;
    lines.Attach(capi);
    const QString name = QStringLiteral("/nonexistent/capi2032.so");
    EXPECT_FALSE(capi.OpenDevice(QStringLiteral("  ") + name + QStringLiteral(" ")));
    const QStringList app = lines.AppLines();
    ASSERT_EQ(app.size(), 5) << app.join(u'|').toStdString();
    EXPECT_EQ(app[0], QStringLiteral("OpenDevice (") + name + QStringLiteral(")"));
    EXPECT_EQ(app[1], QStringLiteral("LoadCAPI(") + name + QStringLiteral(")"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^LoadCAPI: loadLibrary failed: 0x[0-9A-F]{8}$"))
                    .match(app[2]).hasMatch())
        << app[2].toStdString();
    EXPECT_EQ(app[2], QStringLiteral("LoadCAPI: loadLibrary failed: 0x00000002")); // ENOENT
    EXPECT_EQ(app[3], QStringLiteral("Loading CAPI failed"));
    EXPECT_EQ(app[4], QStringLiteral("OpenDevice failed"));
    EXPECT_FALSE(capi.DeviceOpened());
    EXPECT_FALSE(capi.CapiLoaded());
    EXPECT_EQ(capi.GetManufacturer(), QStringLiteral("no CAPI available"));
    EXPECT_EQ(capi.GetVersion(), QString());
    EXPECT_EQ(capi.ControllerCount(), 0);
}

TEST(DriverBinding, LibraryWithoutCapiExportsIsUnloadedAgain)
{
    TCapi20 capi;
    TLineRecorder lines;
    lines.Attach(capi);
    EXPECT_FALSE(capi.OpenDevice(QStringLiteral("libz.so.1")));
    EXPECT_EQ(lines.AppLines(), QStringList({QStringLiteral("OpenDevice (libz.so.1)"),
                                             QStringLiteral("LoadCAPI(libz.so.1)"),
                                             QStringLiteral("LoadCAPI: not all function imported"),
                                             QStringLiteral("UnloadCAPI"), QStringLiteral("Loading CAPI failed"),
                                             QStringLiteral("OpenDevice failed")}));
    EXPECT_FALSE(capi.CapiLoaded());
}

TEST(DriverBinding, PlatformLibraryBindsAllTenFunctions)
{
    TCapiDriverLibrary library;
    uint32_t error = 0;
    ASSERT_EQ(library.Load(QStringLiteral("capi2032.dll"), error), TCapiDriverLibrary::TLoadResult::Loaded)
        << "error " << error;
    EXPECT_TRUE(library.IsPlatformLibrary());
    EXPECT_TRUE(library.Entry().Complete());
    EXPECT_EQ(library.GetFatal(), nullptr);
    library.Unload();
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_EQ(library.Entry().CAPI_REGISTER, nullptr);
}

TEST(DriverBinding, DefaultNameOpensThePlatformLibraryWhichHasNoCapiHere)
{
    TCapi20 capi;
    TLineRecorder lines;
    lines.Attach(capi);
    EXPECT_FALSE(capi.OpenDevice(QStringLiteral("   ")));
    EXPECT_EQ(lines.AppLines(), QStringList({QStringLiteral("OpenDevice (capi2032.dll)"),
                                             QStringLiteral("LoadCAPI(capi2032.dll)"), QStringLiteral("Installed"),
                                             QStringLiteral("No valid CAPI installed"),
                                             QStringLiteral("CapiInitialize failed"), QStringLiteral("CloseDevice"),
                                             QStringLiteral("UnloadCAPI"), QStringLiteral("OpenDevice failed")}));
    EXPECT_FALSE(capi.DeviceOpened());
    EXPECT_FALSE(capi.CapiLoaded());
}

TEST(DriverBinding, SimulatedDriverBindsWithGetFatal)
{
    TCapiDriverLibrary library;
    uint32_t error = 0;
    ASSERT_EQ(library.Load(kSimLibrary, error), TCapiDriverLibrary::TLoadResult::Loaded);
    EXPECT_FALSE(library.IsPlatformLibrary());
    EXPECT_TRUE(library.Entry().Complete());
    EXPECT_NE(library.GetFatal(), nullptr);
}

TEST(DriverBinding, CloseDeviceWhenNotOpenDoesNothing)
{
    TCapi20 capi;
    TLineRecorder lines;
    lines.Attach(capi);
    capi.CloseDevice();
    EXPECT_TRUE(lines.AppLines().isEmpty());
    EXPECT_EQ(capi.Release(), 1);
    EXPECT_EQ(capi.CancelListen(), 1);
    EXPECT_EQ(capi.CapiInitialize(), 1);
    EXPECT_TRUE(lines.HasAppLine(QStringLiteral("No CAPI loaded: Initialize failed")));
}

} // namespace
