// Which libmpusbapi.so the link loads on Linux. The executable is built beside
// a copy of the simulator and carries a RUNPATH to a foreign library (standing
// in for one in a system folder); ctest runs it with LD_LIBRARY_PATH pointing
// at an empty folder and at the simulator's folder, and QZ_EXPECT_LIBRARY_DIR
// names the folder whose library must win.
#include "LibraryLoader.h"

#include <QtTest>

#include <dlfcn.h>
#include <link.h>

#include <string>
#include <vector>

using Places = std::vector<std::string>;
Q_DECLARE_METATYPE(Places)

class LibrarySearchTest : public QObject {
    Q_OBJECT
private slots:
    void searchOrder_data()
    {
        QTest::addColumn<QByteArray>("ldLibraryPath");
        QTest::addColumn<bool>("ldLibraryPathSet");
        QTest::addColumn<QString>("executableFolder");
        QTest::addColumn<Places>("expected");

        QTest::newRow("unset: beside the executable, then the system")
            << QByteArray() << false << "/usr/lib/qz5801/"
            << Places{"/usr/lib/qz5801/libmpusbapi.so", "libmpusbapi.so"};
        QTest::newRow("each folder of the list first, in its order")
            << QByteArray("/a:/b/") << true << "/usr/lib/qz5801"
            << Places{"/a/libmpusbapi.so", "/b/libmpusbapi.so", "/usr/lib/qz5801/libmpusbapi.so", "libmpusbapi.so"};
        QTest::newRow("empty entries are not the current folder")
            << QByteArray(":/a::") << true << "/opt/q/"
            << Places{"/a/libmpusbapi.so", "/opt/q/libmpusbapi.so", "libmpusbapi.so"};
        QTest::newRow("executable's folder unknown: system search only")
            << QByteArray("") << true << ""
            << Places{"libmpusbapi.so"};
    }

    void searchOrder()
    {
        QFETCH(QByteArray, ldLibraryPath);
        QFETCH(bool, ldLibraryPathSet);
        QFETCH(QString, executableFolder);
        QFETCH(Places, expected);
        const Places places = qzlink::usbLibrarySearchOrder(ldLibraryPathSet ? ldLibraryPath.constData() : nullptr,
                                                            executableFolder.toStdString());
        QCOMPARE(QList<std::string>(places.begin(), places.end()),
                 QList<std::string>(expected.begin(), expected.end()));
    }

    void loadsTheExpectedCopy()
    {
        const QString expectedDir = qEnvironmentVariable("QZ_EXPECT_LIBRARY_DIR");
        QVERIFY2(!expectedDir.isEmpty(), "run through ctest: QZ_EXPECT_LIBRARY_DIR is not set");
        void *library = qzlink::openUsbLibrary();
        QVERIFY(library);
        link_map *map = nullptr;
        QCOMPARE(dlinfo(library, RTLD_DI_LINKMAP, &map), 0);
        QVERIFY(map && map->l_name);
        const QFileInfo loaded(QString::fromLocal8Bit(map->l_name));
        QCOMPARE(loaded.fileName(), QStringLiteral("libmpusbapi.so"));
        QCOMPARE(loaded.canonicalPath(), QFileInfo(expectedDir).canonicalFilePath());
        // It is a working library, not only a file of that name.
        QVERIFY(qzlink::findSymbol(library, "_MPUSBGetDeviceCount"));
    }
};

QTEST_GUILESS_MAIN(LibrarySearchTest)
#include "test_library_search.moc"
