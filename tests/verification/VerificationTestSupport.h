// A finished run to certify, and the certificate's text as pdftotext reads it.
#pragma once

#include "Certificate.h"
#include "Run.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

namespace verificationtest {

// A run over the given points with readings off the nominal pressure by `offsetPa`.
inline verification::Run sampleRun(std::vector<double> points, double offsetPa = 120)
{
    using namespace verification;
    Run run;
    run.certificate = QStringLiteral("QZ-12345-20261211-091500-ABCD");
    run.plan.points = points;
    run.plan.readings = 3;
    run.plan.tolerance = 0.5;
    run.plan.uncertainty = 0.05; // kPa
    run.plan.standard = {QStringLiteral("Pressure calibrator PC-7"), QStringLiteral("SN 4711"),
                         QStringLiteral("CAL-2026-0815"), QDate(2027, 6, 30)};
    run.plan.temperature = QStringLiteral("21.5 °C");
    run.plan.humidity = QStringLiteral("45 %");
    run.plan.customer = QStringLiteral("Brewery Žatec");
    run.plan.tag = QStringLiteral("PT-101");
    run.plan.operatorName = QStringLiteral("Jana Nováková");
    run.transmitter.serial = 12345;
    run.transmitter.rangePa = 100000;
    run.transmitter.gravity = 1000;
    run.transmitter.values = {20000, 80000, 30000, 70000, 10000, 90000};
    run.transmitter.modes = {1, 2, 3};
    run.started = QDateTime(QDate(2026, 12, 11), QTime(9, 15, 0), Qt::OffsetFromUTC, 3600);
    run.finished = run.started.addSecs(600);
    run.station = QStringLiteral("bench-3");
    run.program = QStringLiteral("qz5801");
    run.version = QStringLiteral("1.0.0");
    for (double p : points) {
        const double nominal = nominalPa(run, p);
        recordPoint(run, Phase::AsFound, p, nominal,
                    {float(nominal + offsetPa), float(nominal + offsetPa), float(nominal + offsetPa)});
    }
    return run;
}

inline verification::Translator english()
{
    return [](const QString &key) { return key; };
}

// Each page's text; empty with a skip when pdftotext is missing.
inline QStringList pdfPages(const QByteArray &pdf)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (tool.isEmpty())
        return {};
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("c.pdf"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size())
        return {};
    file.close();
    QProcess p;
    p.start(tool, {QStringLiteral("-layout"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), path,
                   QStringLiteral("-")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return {};
    QStringList pages = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

} // namespace verificationtest
