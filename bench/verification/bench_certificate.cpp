// The certificate of a verification run of 50 points as found and 50 as
// left, in memory: laying it out, counting its pages and drawing them with
// Qt's PDF writer. Goal: at most 1 s. Also the run's data and its SHA-256.
#include "Certificate.h"
#include "Run.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

namespace {

verification::Run fiftyPoints()
{
    using namespace verification;
    Run run;
    run.certificate = QStringLiteral("QZ-12345-20261211-091500-ABCD");
    run.plan.points.clear();
    for (int i = 0; i < 50; ++i)
        run.plan.points.push_back(i < 25 ? i * 4 : (49 - i) * 4);
    run.plan.readings = 5;
    run.plan.uncertainty = 0.05;
    run.plan.standard = {QStringLiteral("PC-7"), QStringLiteral("4711"), QStringLiteral("CAL-1"), QDate(2027, 6, 30)};
    run.plan.operatorName = QStringLiteral("Jana Nováková");
    run.transmitter.serial = 12345;
    run.transmitter.rangePa = 100000;
    run.transmitter.modes = {1, 2, 3};
    run.started = QDateTime(QDate(2026, 12, 11), QTime(9, 15), Qt::OffsetFromUTC, 3600);
    run.finished = run.started.addSecs(3600);
    for (Phase phase : {Phase::AsFound, Phase::AsLeft})
        for (double p : run.plan.points) {
            const float v = float(nominalPa(run, p) + (phase == Phase::AsFound ? 230 : 40));
            recordPoint(run, phase, p, nominalPa(run, p), {v, v, v, v, v});
        }
    return run;
}

void Certificate50Points(benchmark::State &state)
{
    const verification::Run run = fiftyPoints();
    const QString sha = verification::sha256Hex(verification::runData(run));
    const verification::Translator tr = [](const QString &k) { return k; };
    int pages = 0;
    qint64 bytes = 0;
    for (auto _ : state) {
        const QByteArray pdf = verification::certificatePdf(run, sha, tr, &pages);
        bytes = pdf.size();
        benchmark::DoNotOptimize(pdf.data());
    }
    state.counters["pages"] = pages;
    state.counters["bytes"] = double(bytes);
}
BENCHMARK(Certificate50Points)->Unit(benchmark::kMillisecond);

void RunDataAndHash(benchmark::State &state)
{
    const verification::Run run = fiftyPoints();
    for (auto _ : state)
        benchmark::DoNotOptimize(verification::sha256Hex(verification::runData(run)));
}
BENCHMARK(RunDataAndHash)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
