#include "VerificationTools.h"

#include "Lang.h"
#include "Main.h"
#include "VerificationDialog.h"

#include <QAction>
#include <QMenu>

TVerificationTools::TVerificationTools(TMainF &window) : QObject(&window), w(window)
{
    setObjectName(QStringLiteral("verificationTools"));
    menuVerification = new QAction(&w);
    menuVerification->setObjectName(QStringLiteral("menuVerification"));
    // beside the other tools: before the separator that sets Exit apart, when there is one
    const QList<QAction *> actions = w.menuApplication->actions();
    const qsizetype exit = actions.indexOf(w.menuExit);
    QAction *before = exit > 0 && actions[exit - 1]->isSeparator() ? actions[exit - 1] : w.menuExit;
    w.menuApplication->insertAction(before, menuVerification);
    connect(menuVerification, &QAction::triggered, this, &TVerificationTools::showDialog);
    connect(&w, &TMainF::translated, this, &TVerificationTools::retranslate);
    retranslate();
}

void TVerificationTools::retranslate()
{
    menuVerification->setText(translateWithEllipsis(QStringLiteral("Verification")));
}

void TVerificationTools::showDialog()
{
    if (!dialog)
        dialog = new TVerificationDialog(w);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}
