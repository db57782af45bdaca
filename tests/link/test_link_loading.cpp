// Built twice: against no library at all, and against a library that lacks
// one entry point (QZ_MISSING_ENTRY).
#include "Fix64usb.h"
#ifdef QZ_MISSING_ENTRY
#include "qzsim.h"
#endif

#include <QtTest>

class LinkLoadingTest : public QObject {
    Q_OBJECT
private slots:
#ifndef QZ_MISSING_ENTRY
    void missingLibraryRaisesTheExactText()
    {
        TFix64 link;
        try {
            link.loadLibrary();
            QFAIL("loaded a library that is not there");
        } catch (const TLinkError &e) {
            QCOMPARE(QString(e.what()), QString("Cannot find usb serial library mpusbapi.dll"));
        }
        QVERIFY(!link.libraryLoaded());
        // every operation then fails as a silent transmitter would
        link.openPipes(0);
        link.closePipes(0);
        QCOMPARE(link.deviceCount(), 0u);
        QVERIFY_THROWS_EXCEPTION(TLinkError, link.sendCommand2());
    }
#else
    void missingEntryPointLeavesTheLinkUnableToTransact()
    {
        qzsim_reset();
        TFix64 link;
        QVERIFY(!link.loadLibrary());
        QVERIFY(link._MPUSBRead != nullptr);
        QVERIFY(link._MPUSBReadInt == nullptr); // the one that is missing
        QVERIFY(link._MPUSBWrite == nullptr);   // binding stopped there
        QVERIFY(link._MPUSBGetStringDescriptor == nullptr);
        link.setSlaveAddress(0xFE);
        link.timeoutMs = 250;
        QVERIFY(!link.openPipes(0));
        QCOMPARE(link.deviceCount(), 0u);
        link.closePipes(0);
        try {
            link.sendCommand2();
            QFAIL("transacted without all entry points");
        } catch (const TLinkError &e) {
            QCOMPARE(QString(e.what()), QString("Device not reply"));
        }
        QCOMPARE(QString(qzsim_call_log()), QString()); // nothing of the library was called
    }
#endif
};

QTEST_GUILESS_MAIN(LinkLoadingTest)
#include "test_link_loading.moc"
