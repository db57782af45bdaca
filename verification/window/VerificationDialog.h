// The window's verification run: the plan, then point by point the reference
// the operator enters and the mean of the window's own next polls; the zero
// correction through the window's own operation; as left; switch points;
// journaled as one record and certified. It sends nothing to the
// transmitter itself: it listens to the window's polls.
#pragma once

#include "Session.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QGroupBox;
class TMainF;

class TVerificationDialog : public QDialog {
    Q_OBJECT
public:
    explicit TVerificationDialog(TMainF &window);

    void retranslate();

    // The plan as the fields hold it; the problem (translated) when they hold none.
    std::optional<verification::Plan> planFromFields(QString &problem) const;
    void showPlan(const verification::Plan &plan);

    void startRun();
    // Enter in the reference field: the point's reference (empty: its nominal value).
    void takeReference();
    void zeroCorrection();
    void startAsLeft();
    void startSwitchPoints();
    void switched(int output);
    // Ends the run (stopped where it is, if it has not reached its end), journals and certifies it.
    void finishRun();
    void loadPlanFile();
    void savePlanFile();

    verification::Session session;
    bool journaled = false;
    QString certificateFolder; // where the save dialog starts; empty: the default

    QLineEdit *pointsEdit = nullptr;
    QSpinBox *readingsSpin = nullptr;
    QLineEdit *toleranceEdit = nullptr;
    QLineEdit *uncertaintyEdit = nullptr;
    QLineEdit *standardNameEdit = nullptr;
    QLineEdit *standardSerialEdit = nullptr;
    QLineEdit *standardCertificateEdit = nullptr;
    QLineEdit *standardDueEdit = nullptr;
    QLineEdit *temperatureEdit = nullptr;
    QLineEdit *humidityEdit = nullptr;
    QLineEdit *customerEdit = nullptr;
    QLineEdit *tagEdit = nullptr;
    QLineEdit *operatorEdit = nullptr;
    QLabel *overdueLabel = nullptr;
    QLabel *prompt = nullptr;
    QLineEdit *referenceEdit = nullptr;
    QListWidget *results = nullptr;
    QPushButton *loadButton = nullptr;
    QPushButton *saveButton = nullptr;
    QPushButton *startButton = nullptr;
    QPushButton *zeroButton = nullptr;
    QPushButton *asLeftButton = nullptr;
    QPushButton *switchButton = nullptr;
    std::array<QPushButton *, 3> outputButtons{};
    QPushButton *finishButton = nullptr;
    QPushButton *closeButton = nullptr;

private:
    void build();
    void polled(int outcome, float pascal);
    void zeroOffsetWritten(float storedOffset, float sentOffset, bool written);
    void pointDone();
    void runEnded();
    void journalRun();
    void certify();
    void updateControls();
    void updateOverdue();
    void announce(const QString &text);
    QString number(double pascal) const;
    QString pointLine(std::size_t index, const verification::PointRecord &point) const;

    TMainF &w;
    std::optional<int> serial;
    QList<QLabel *> labels;     // the form's captions, by their English keys
    QStringList labelKeys;
    QGroupBox *planGroup = nullptr;
    QGroupBox *runGroup = nullptr;
};
