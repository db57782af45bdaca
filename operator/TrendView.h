// The seam between the window and the trend window, which lives in a library
// of its own (trend/) loaded when the trend is first opened: Qt Charts and
// what it pulls in stay out of the start-up. The trend reaches the window
// only through TrendHost, so the library holds no copy of the window's state
// (language, dialogs, display) and works the same on every platform.
#pragma once

#include "TrendHistory.h"

#include <QString>

#include <cstdint>

class QWidget;

// How the window shows values now.
struct TrendDisplay {
    float factor = 1;  // Pa to the unit
    int decimals = 0;
    QString unitText;  // "kPa", "mm", ...
    bool isPressure = true;
    float nominalPascal = 0; // the transmitter's nominal range; 0: not known
};

// The window's recording as the trend shows it.
struct TrendRecording {
    bool active = false;
    bool failed = false; // the last one stopped because the file could not be written
    QString path;        // empty: none since the start
    qint64 lines = 0;
};

// What the window offers the trend; implemented on the window's side.
class TrendHost {
public:
    virtual QString translate(const QString &key) const = 0;
    virtual QString translateWithColon(const QString &key) const = 0;
    virtual QString translateWithEllipsis(const QString &key) const = 0;
    // One of the forms of a text already looked up ("%i line|%i lines"), by the language's rule.
    virtual QString pluralForm(const QString &translatedForms, int number) const = 0;
    // The language's short name in the catalogue ("CZ", "DE"); empty for English.
    virtual QString languageShort() const = 0;

    virtual TrendDisplay display() const = 0;
    // The number as the window shows a value in Pa, without the unit.
    virtual QString shownNumber(float pascal) const = 0;
    // Lower 1, higher 1, lower 2, ... in Pa.
    virtual float limitValue(int index) const = 0;
    virtual const TrendHistory &history() const = 0;
    // The window polls the live value ("Actual value" is on).
    virtual bool liveValueOn() const = 0;
    // Milliseconds since the epoch.
    virtual int64_t now() const = 0;

    // The recording belongs to the window and runs on with the trend closed;
    // the trend shows it and starts and stops it.
    virtual TrendRecording recording() const = 0;
    // False when the file cannot be opened (nothing started).
    virtual bool startRecording(const QString &path) = 0;
    virtual void stopRecording() = 0;

    // The tool's dialogs (tests answer them).
    virtual QString chooseSaveFile(QWidget *parent, const QString &title, const QString &filter,
                                   const QString &suffix) = 0;
    virtual void showMessage(QWidget *parent, const QString &text, const QString &title) = 0;

protected:
    ~TrendHost() = default;
};

// What the window asks of the trend.
class TrendView {
public:
    virtual ~TrendView() = default;
    virtual QWidget *widget() = 0;
    virtual void retranslate() = 0;
    // Draws again in the unit the window shows now.
    virtual void redraw() = 0;
    // A gap or a value: the view follows unless paused.
    virtual void historyChanged() = 0;
    // The recording started, stopped, failed or wrote a line.
    virtual void recordingChanged() = 0;
};

// The library's one entry point, looked up by this name.
using TrendViewFactory = TrendView *(*)(TrendHost *host, QWidget *parent);
inline constexpr const char *kTrendViewFactoryName = "qz5801CreateTrendView";
