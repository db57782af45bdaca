// One verification run as it is journaled and certified: the plan, the
// transmitter as read, the unit, every reading with its result, the
// adjustment, the switch points and how the run ended. Its data is one
// compact JSON text whose SHA-256 the certificate shows.
#pragma once

#include "Decision.h"
#include "Plan.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <array>
#include <optional>
#include <vector>

namespace verification {

struct TransmitterInfo {
    std::optional<int> serial;
    QString location;
    float rangePa = 0;
    float gravity = 0;
    std::array<float, 6> values{}; // lower1, higher1, lower2, higher2, lower3, higher3 in Pa
    std::array<int, 3> modes{-1, -1, -1};
};

struct UnitInfo {
    QString text = QStringLiteral("kPa");
    float factor = 0.001f; // Pa to the unit
    int decimals = 3;
};

struct PointRecord {
    double percent = 0;
    double referencePa = 0;
    std::vector<float> readingsPa;
    PointResult result;
};

struct SwitchRecord {
    int output = 1; // 1 to 3
    int mode = 0;
    Direction direction = Direction::Rising;
    double readingPa = 0;
    double expectedPa = 0;
    Verdict verdict = Verdict::Fail;
};

enum class Phase { AsFound, AsLeft };

// Why a run ended before its last point.
struct Stop {
    QString reason; // English key, e.g. "The transmitter stopped answering"
    Phase phase = Phase::AsFound;
    int point = 0; // 1-based, the point that was being taken
};

struct Run {
    QString certificate;
    Plan plan;
    TransmitterInfo transmitter;
    UnitInfo unit;
    QDateTime started; // with its offset from UTC
    QDateTime finished;
    QString station;
    QString program;
    QString version;
    std::vector<PointRecord> asFound;
    std::vector<PointRecord> asLeft;
    // The adjustment between the two, as done (empty: none): the zero offset before and after, Pa.
    std::optional<std::pair<float, float>> zeroAdjustment;
    std::vector<SwitchRecord> switches;
    std::optional<Stop> stop;
};

double tolerancePa(const Run &run);
std::optional<double> uncertaintyPa(const Run &run);
// The nominal pressure of a point, Pa.
double nominalPa(const Run &run, double percent);

// Takes the point's readings into the phase, with its result.
void recordPoint(Run &run, Phase phase, double percent, double referencePa, std::vector<float> readingsPa);
void recordSwitch(Run &run, int output, Direction direction, double readingPa);

// The standard's due date lies before the run's day.
bool standardOverdue(const Run &run);
// Pass: every point of the final phase (as left when taken, else as found)
// and every switch point passed, and the run ended at its last point.
Verdict overallVerdict(const Run &run);
// Number of failed points in a phase.
int failedPoints(const std::vector<PointRecord> &points);

// A new certificate number: serial, time and a random part, unique enough
// across stations ("QZ-12345-20261211-091500-3F2A").
QString newCertificateNumber(const std::optional<int> &serial, const QDateTime &time);
// The run's local time with its offset from UTC.
QDateTime nowWithOffset();

// The data as journaled: compact JSON, keys in a fixed order; reading it
// back and writing it again gives the same bytes.
QByteArray runData(const Run &run);
std::optional<Run> runFromData(const QByteArray &data, QString &problem);
QString sha256Hex(const QByteArray &data);

} // namespace verification
