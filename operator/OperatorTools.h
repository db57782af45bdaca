// What the main window offers beyond its design: the trend with its history
// and recording, comparing a file with the transmitter, the connection state
// in the status bar, keyboard shortcuts and accessible names. It only listens
// to what the window does; it adds nothing to the transmitter's traffic except
// the compare's own read.
#pragma once

#include "ConnectionState.h"
#include "TrendHistory.h"
#include "TrendHost.h"

#include <QDateTime>
#include <QObject>

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
    void compareWithTransmitter();

    // The time values are stamped with; tests set their own.
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };

    TrendHistory history;
    // Made when first shown, kept; its code is loaded then (trendHost).
    TrendView *trendWindow = nullptr;
    TTrendHost trendHost;
    QString trendLibraryFolder; // empty: beside the program
    QLabel *connectionLabel = nullptr;
    ConnectionState connection = ConnectionState::Unknown;
    QAction *menuReadConfiguration = nullptr;
    QAction *menuCompare = nullptr;
    QAction *menuTrend = nullptr;

private:
    void polled(int outcome, float pascal);
    void setConnection(ConnectionState state);
    int64_t nowMs() const { return clock().toMSecsSinceEpoch(); }

    TMainF &w;
};
