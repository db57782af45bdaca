// What the main window offers beyond its design: the trend with its history
// and recording, comparing a file with the transmitter, the connection state
// in the status bar, keyboard shortcuts and accessible names. It only listens
// to what the window does; it adds nothing to the transmitter's traffic except
// the compare's own read.
#pragma once

#include "ConnectionState.h"
#include "Recorder.h"
#include "TrendHistory.h"
#include "TrendHost.h"

#include <QDateTime>
#include <QObject>

#include <array>
#include <functional>

class QAction;
class QLabel;
class TMainF;

class TOperatorTools : public QObject {
    Q_OBJECT
public:
    explicit TOperatorTools(TMainF &window);

    void retranslate();
    void showTrend();
    // Ctrl+R: stops a running recording, or asks for a file and starts one.
    void toggleRecording();
    void compareWithTransmitter();

    // The time values are stamped with; tests set their own.
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };

    TrendHistory history;
    // Started and stopped in the trend window; runs on with the window closed.
    TRecorder recorder;
    // Made when first shown, kept; its code is loaded then (trendHost).
    TrendView *trendWindow = nullptr;
    TTrendHost trendHost;
    QString trendLibraryFolder; // empty: beside the program
    QLabel *recordingLabel = nullptr; // in the status bar: the file being recorded, or why it stopped
    QLabel *connectionLabel = nullptr;
    ConnectionState connection = ConnectionState::Unknown;
    QAction *menuReadConfiguration = nullptr;
    QAction *menuCompare = nullptr;
    QAction *menuTrend = nullptr;
    QAction *menuRecord = nullptr; // checked while a recording runs

private:
    void polled(int outcome, float pascal);
    void setConnection(ConnectionState state);
    void showRecording();
    void showConnection();
    // The live value's description: empty, or that it is the last value and since when.
    void describeLiveValue(bool stale);
    int64_t nowMs() const { return clock().toMSecsSinceEpoch(); }

    // The connection states' texts by ConnectionState, looked up at each
    // translation: every poll sets the state, only a language change its words.
    std::array<QString, 5> connectionTexts;

    TMainF &w;
    // Looked up at a change of language, not for every line recorded.
    QString recordingTitle;
    QString recordingFailedTitle;
    QString connectionText;
    QString lastValueText;
    QDateTime lastValueAt; // of the last value polled
};
