// The USB library's selector and endpoint names, parsed without a device.
#include "Names.h"
#include "mpusbapi.h"

#include <QtTest>

#include <cstring>
#include <memory>

using mpusb::kMaxNameLength;

namespace {

// Exactly the bytes given, no terminator after them unless they hold one: a
// read past the end is caught by the address sanitizer.
std::unique_ptr<char[]> exact(const QByteArray &text, bool terminated)
{
    auto buffer = std::make_unique<char[]>(static_cast<std::size_t>(text.size()) + (terminated ? 1 : 0));
    std::memcpy(buffer.get(), text.constData(), static_cast<std::size_t>(text.size()));
    if (terminated)
        buffer[static_cast<std::size_t>(text.size())] = '\0';
    return buffer;
}

const char *orNull(const QByteArray &text) { return text.isNull() ? nullptr : text.constData(); }

} // namespace

class TestNames : public QObject {
    Q_OBJECT

private slots:
    void selector_data()
    {
        QTest::addColumn<QByteArray>("selector");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<uint>("vendor");
        QTest::addColumn<uint>("product");
        QTest::newRow("as the tool asks") << QByteArray("vid_04d8&pid_000c") << true << 0x04d8u << 0x000cu;
        QTest::newRow("upper-case digits") << QByteArray("VID_ABCD&PID_EF01") << true << 0xabcdu << 0xef01u;
        QTest::newRow("product first") << QByteArray("pid_1234&vid_fffe") << true << 0xfffeu << 0x1234u;
        QTest::newRow("inside a device path")
            << QByteArray("\\\\?\\usb#vid_04d8&pid_000c#5&1a2b") << true << 0x04d8u << 0x000cu;
        QTest::newRow("ids at the very end") << QByteArray("xvid_0001pid_0002") << true << 0x0001u << 0x0002u;
        QTest::newRow("high bytes around") << QByteArray("\xff\x80vid_04d8\xc3\xa9pid_000c\xfe") << true << 0x04d8u
                                           << 0x000cu;
        QTest::newRow("first vendor key decides") << QByteArray("vid_zz&vid_04d8&pid_000c") << false << 0u << 0u;
        QTest::newRow("key cut short at the end") << QByteArray("pid_000c&vid_04d") << false << 0u << 0u;
        QTest::newRow("key alone at the end") << QByteArray("pid_000c&vid_") << false << 0u << 0u;
        QTest::newRow("five digits") << QByteArray("vid_04d80&pid_000c") << false << 0u << 0u;
        QTest::newRow("sign in the digits") << QByteArray("vid_+4d8&pid_000c") << false << 0u << 0u;
        QTest::newRow("no product") << QByteArray("vid_04d8") << false << 0u << 0u;
        QTest::newRow("empty") << QByteArray("") << false << 0u << 0u;
        QTest::newRow("null") << QByteArray() << false << 0u << 0u;
    }
    void selector()
    {
        QFETCH(QByteArray, selector);
        QFETCH(bool, valid);
        QFETCH(uint, vendor);
        QFETCH(uint, product);
        auto id = mpusb::parseSelector(orNull(selector));
        QCOMPARE(id.has_value(), valid);
        if (valid) {
            QCOMPARE(uint(id->vendor), vendor);
            QCOMPARE(uint(id->product), product);
        }
    }

    void endpoint_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<uint>("direction");
        QTest::addColumn<int>("address"); // -1: refused
        QTest::newRow("IN") << QByteArray("\\MCHP_EP1") << MP_READ << 0x81;
        QTest::newRow("OUT") << QByteArray("\\MCHP_EP1") << MP_WRITE << 0x01;
        QTest::newRow("without backslash") << QByteArray("MCHP_EP2") << MP_READ << 0x82;
        QTest::newRow("lower case") << QByteArray("\\mchp_ep15") << MP_WRITE << 0x0f;
        QTest::newRow("leading zero") << QByteArray("\\MCHP_EP07") << MP_READ << 0x87;
        QTest::newRow("beyond 15") << QByteArray("\\MCHP_EP16") << MP_READ << -1;
        QTest::newRow("many digits") << QByteArray("\\MCHP_EP99999999999999999999") << MP_READ << -1;
        QTest::newRow("control endpoint") << QByteArray("\\MCHP_EP0") << MP_WRITE << -1;
        QTest::newRow("no number") << QByteArray("\\MCHP_EP") << MP_READ << -1;
        QTest::newRow("text after the number") << QByteArray("\\MCHP_EP1a") << MP_READ << -1;
        QTest::newRow("high byte after the number") << QByteArray("\\MCHP_EP1\xb9") << MP_READ << -1;
        QTest::newRow("two backslashes") << QByteArray("\\\\MCHP_EP1") << MP_READ << -1;
        QTest::newRow("name cut short") << QByteArray("\\MCHP_") << MP_READ << -1;
        QTest::newRow("lone backslash") << QByteArray("\\") << MP_READ << -1;
        QTest::newRow("empty") << QByteArray("") << MP_READ << -1;
        QTest::newRow("null") << QByteArray() << MP_READ << -1;
        QTest::newRow("direction 2") << QByteArray("\\MCHP_EP1") << 2u << -1;
        QTest::newRow("direction all bits") << QByteArray("\\MCHP_EP1") << 0xffffffffu << -1;
    }
    void endpoint()
    {
        QFETCH(QByteArray, name);
        QFETCH(uint, direction);
        QFETCH(int, address);
        auto parsed = mpusb::parseEndpoint(orNull(name), direction);
        QCOMPARE(parsed ? int(*parsed) : -1, address);
    }

    // Text is read up to the limit and no further: a valid name just inside
    // it parses, anything longer is refused without reading past the limit
    // (the buffers below end where the text does).
    void lengthIsBounded_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("terminated");
        QTest::addColumn<bool>("valid");
        const int limit = int(kMaxNameLength);
        QTest::newRow("at the limit") << limit << true << true;
        QTest::newRow("one past the limit") << limit + 1 << true << false;
        QTest::newRow("far past the limit") << 100000 << true << false;
        QTest::newRow("unterminated, one past the limit") << limit + 1 << false << false;
    }
    void lengthIsBounded()
    {
        QFETCH(int, length);
        QFETCH(bool, terminated);
        QFETCH(bool, valid);

        const QByteArray selectorTail("vid_04d8&pid_000c");
        QByteArray selector = QByteArray(length - selectorTail.size(), '#') + selectorTail;
        auto s = exact(selector, terminated);
        QCOMPARE(mpusb::parseSelector(s.get()).has_value(), valid);

        // Leading zeros keep the endpoint name valid at any length.
        const QByteArray endpointHead("\\MCHP_EP");
        QByteArray endpoint = endpointHead + QByteArray(length - endpointHead.size() - 1, '0') + "1";
        auto e = exact(endpoint, terminated);
        auto address = mpusb::parseEndpoint(e.get(), MP_READ);
        QCOMPARE(address.has_value(), valid);
        if (valid)
            QCOMPARE(int(*address), 0x81);
    }
};

QTEST_GUILESS_MAIN(TestNames)
#include "tst_names.moc"
