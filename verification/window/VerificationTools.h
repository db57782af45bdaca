// "Verification..." in the window's Application menu: opens the verification
// dialog, made when first asked for and kept, so a run goes on while it is hidden.
#pragma once

#include <QObject>

class QAction;
class TMainF;
class TVerificationDialog;

class TVerificationTools : public QObject {
    Q_OBJECT
public:
    explicit TVerificationTools(TMainF &window);

    void showDialog();
    void retranslate();

    QAction *menuVerification = nullptr;
    TVerificationDialog *dialog = nullptr;

private:
    TMainF &w;
};
