// What journaling adds to one transmitter's write, as the companion does it
// for each transmitter: open the journal, commit the before-record, complete
// it. On SQLite in a temporary folder (synchronous=FULL: every commit reaches
// the disk) and, when QZ5801_TEST_PG_URL names a server (scripts/with-postgres),
// on PostgreSQL. The "Record" cases keep the journal open, as the window does.
#include "Journal.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

journal::Entry sampleEntry()
{
    journal::Entry e;
    journal::stampEntry(e, QStringLiteral("bench_journal"), QStringLiteral("1"));
    e.operation = QStringLiteral("write-config");
    e.serial = 12345;
    e.location = QStringLiteral("1-1");
    e.fileName = QStringLiteral("/home/operator/line3/batch.cfg");
    e.fileSha256 = QStringLiteral("ab").repeated(32);
    std::vector<uint8_t> image(898, 0x42);
    e.before = journal::configurationContent(image);
    image[70] = 0x43;
    e.requested = journal::configurationContent(image);
    return e;
}

std::optional<journal::Address> addressOf(int kind)
{
    static QTemporaryDir dir;
    if (kind == 0) {
        journal::Address a;
        a.path = dir.filePath(QStringLiteral("bench.sqlite"));
        return a;
    }
    const QString url = qEnvironmentVariable("QZ5801_TEST_PG_URL");
    if (url.isEmpty())
        return std::nullopt;
    return journal::parseAddress(url, nullptr);
}

void OpenBeginComplete(benchmark::State &state)
{
    const std::optional<journal::Address> a = addressOf(int(state.range(0)));
    if (!a) {
        state.SkipWithError("no PostgreSQL server: run under scripts/with-postgres");
        return;
    }
    { journal::Journal first(*a); }
    const journal::Entry sample = sampleEntry();
    for (auto _ : state) {
        journal::Journal j(*a);
        journal::Entry e = sample;
        const qint64 id = j.begin(e);
        j.complete(id, journal::Result::Written, e.requested, QString());
    }
}

void BeginComplete(benchmark::State &state)
{
    const std::optional<journal::Address> a = addressOf(int(state.range(0)));
    if (!a) {
        state.SkipWithError("no PostgreSQL server: run under scripts/with-postgres");
        return;
    }
    journal::Journal j(*a);
    const journal::Entry sample = sampleEntry();
    for (auto _ : state) {
        journal::Entry e = sample;
        const qint64 id = j.begin(e);
        j.complete(id, journal::Result::Written, e.requested, QString());
    }
}

} // namespace

// 0: SQLite, 1: PostgreSQL
BENCHMARK(OpenBeginComplete)->ArgName("postgresql")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BeginComplete)->ArgName("postgresql")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
