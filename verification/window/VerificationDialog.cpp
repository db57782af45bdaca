// The dialog's controls, texts and plan; the run's steps are in VerificationRun.cpp.
#include "VerificationDialog.h"

#include "Dialogs.h"
#include "Lang.h"
#include "Main.h"

#include <QAccessible>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>

using namespace verification;

namespace {

// Captions: English keys, translated at each change of language.
const char *const kPointsKey = "Test points (% of the nominal range)";
const char *const kReadingsKey = "Readings averaged per point";
const char *const kToleranceKey = "Tolerance (0.5% of the range, or a value in the unit)";
const char *const kUncertaintyKey = "Expanded uncertainty (k = 2), in the unit";
const char *const kStandardKey = "Reference standard";
const char *const kStandardSerialKey = "Standard's serial number";
const char *const kStandardCertificateKey = "Standard's certificate number";
const char *const kDueKey = "Due date (YYYY-MM-DD)";
const char *const kTemperatureKey = "Temperature";
const char *const kHumidityKey = "Humidity";
const char *const kCustomerKey = "Customer";
const char *const kTagKey = "Tag";
const char *const kOperatorKey = "Operator";
const char *const kReferenceKey = "Reference reading";

QString key(const char *k) { return QString::fromUtf8(k); }

} // namespace

TVerificationDialog::TVerificationDialog(TMainF &window) : QDialog(&window), w(window)
{
    setObjectName(QStringLiteral("verificationDialog"));
    build();
    showPlan(Plan{});
    connect(&w, &TMainF::liveValuePolled, this, &TVerificationDialog::polled);
    connect(&w, &TMainF::zeroOffsetWriteEnded, this, &TVerificationDialog::zeroOffsetWritten);
    connect(&w, &TMainF::serialNumberRead, this, [this](uint16_t s) { serial = s; });
    connect(&w, &TMainF::translated, this, &TVerificationDialog::retranslate);
    retranslate();
    updateControls();
}

void TVerificationDialog::build()
{
    auto *plan = new QFormLayout;
    plan->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    const auto row = [&](const char *caption, QWidget *field, const char *name) {
        field->setObjectName(QLatin1String(name));
        auto *label = new QLabel;
        label->setBuddy(field);
        plan->addRow(label, field);
        labels << label;
        labelKeys << key(caption);
    };
    row(kPointsKey, pointsEdit = new QLineEdit, "verificationPoints");
    row(kReadingsKey, readingsSpin = new QSpinBox, "verificationReadings");
    readingsSpin->setRange(1, kMaxReadings);
    row(kToleranceKey, toleranceEdit = new QLineEdit, "verificationTolerance");
    row(kUncertaintyKey, uncertaintyEdit = new QLineEdit, "verificationUncertainty");
    row(kStandardKey, standardNameEdit = new QLineEdit, "verificationStandard");
    row(kStandardSerialKey, standardSerialEdit = new QLineEdit, "verificationStandardSerial");
    row(kStandardCertificateKey, standardCertificateEdit = new QLineEdit, "verificationStandardCertificate");
    row(kDueKey, standardDueEdit = new QLineEdit, "verificationStandardDue");
    row(kTemperatureKey, temperatureEdit = new QLineEdit, "verificationTemperature");
    row(kHumidityKey, humidityEdit = new QLineEdit, "verificationHumidity");
    row(kCustomerKey, customerEdit = new QLineEdit, "verificationCustomer");
    row(kTagKey, tagEdit = new QLineEdit, "verificationTag");
    row(kOperatorKey, operatorEdit = new QLineEdit, "verificationOperator");
    for (QLineEdit *e : {pointsEdit, toleranceEdit, uncertaintyEdit, standardNameEdit, standardSerialEdit,
                         standardCertificateEdit, standardDueEdit, temperatureEdit, humidityEdit, customerEdit, tagEdit,
                         operatorEdit})
    {
        e->setMaxLength(kMaxTextLength);
        e->setMinimumWidth(e->fontMetrics().averageCharWidth() * 26);
    }
    overdueLabel = new QLabel;
    overdueLabel->setObjectName(QStringLiteral("verificationOverdue"));
    overdueLabel->setWordWrap(true);
    overdueLabel->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold"));
    overdueLabel->hide();
    plan->addRow(overdueLabel);
    loadButton = new QPushButton;
    saveButton = new QPushButton;
    auto *planButtons = new QHBoxLayout;
    planButtons->addWidget(loadButton);
    planButtons->addWidget(saveButton);
    planButtons->addStretch();
    plan->addRow(planButtons);
    planGroup = new QGroupBox;
    planGroup->setLayout(plan);

    prompt = new QLabel;
    prompt->setObjectName(QStringLiteral("verificationPrompt"));
    prompt->setWordWrap(true);
    prompt->setMinimumHeight(prompt->fontMetrics().lineSpacing() * 3);
    referenceEdit = new QLineEdit;
    referenceEdit->setObjectName(QStringLiteral("verificationReference"));
    auto *referenceLabel = new QLabel;
    referenceLabel->setBuddy(referenceEdit);
    labels << referenceLabel;
    labelKeys << key(kReferenceKey);
    results = new QListWidget;
    results->setObjectName(QStringLiteral("verificationResults"));
    // a point's whole line is read, and seen, without scrolling sideways
    results->setWordWrap(true);
    results->setResizeMode(QListView::Adjust);
    results->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    startButton = new QPushButton;
    zeroButton = new QPushButton;
    asLeftButton = new QPushButton;
    switchButton = new QPushButton;
    finishButton = new QPushButton;
    closeButton = new QPushButton;
    auto *steps = new QHBoxLayout;
    for (QPushButton *b : {startButton, zeroButton, asLeftButton, switchButton, finishButton})
        steps->addWidget(b);
    auto *outputs = new QHBoxLayout;
    for (int i = 0; i < 3; ++i) {
        outputButtons[i] = new QPushButton;
        outputButtons[i]->setObjectName(QStringLiteral("verificationOutput%1").arg(i + 1));
        outputs->addWidget(outputButtons[i]);
        // the output's key while switch points are taken, wherever the focus is in the dialog
        auto *shortcut = new QShortcut(QKeySequence(Qt::Key_1 + i), this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, i] { switched(i + 1); });
        connect(outputButtons[i], &QPushButton::clicked, this, [this, i] { switched(i + 1); });
    }
    auto *run = new QVBoxLayout;
    run->addWidget(prompt);
    auto *referenceRow = new QHBoxLayout;
    referenceRow->addWidget(referenceLabel);
    referenceRow->addWidget(referenceEdit, 1);
    run->addLayout(referenceRow);
    run->addLayout(steps);
    run->addLayout(outputs);
    run->addWidget(results, 1);
    runGroup = new QGroupBox;
    runGroup->setLayout(run);

    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(closeButton);
    auto *columns = new QHBoxLayout;
    columns->addWidget(planGroup, 5);
    columns->addWidget(runGroup, 6);
    auto *all = new QVBoxLayout(this);
    all->addLayout(columns, 1);
    all->addLayout(bottom);

    // Enter in the reference field takes the point; no button is the default
    for (QPushButton *b : findChildren<QPushButton *>())
        b->setAutoDefault(false);
    connect(referenceEdit, &QLineEdit::returnPressed, this, &TVerificationDialog::takeReference);
    connect(startButton, &QPushButton::clicked, this, &TVerificationDialog::startRun);
    connect(zeroButton, &QPushButton::clicked, this, &TVerificationDialog::zeroCorrection);
    connect(asLeftButton, &QPushButton::clicked, this, &TVerificationDialog::startAsLeft);
    connect(switchButton, &QPushButton::clicked, this, &TVerificationDialog::startSwitchPoints);
    connect(finishButton, &QPushButton::clicked, this, &TVerificationDialog::finishRun);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::hide);
    connect(loadButton, &QPushButton::clicked, this, &TVerificationDialog::loadPlanFile);
    connect(saveButton, &QPushButton::clicked, this, &TVerificationDialog::savePlanFile);
    connect(standardDueEdit, &QLineEdit::textChanged, this, &TVerificationDialog::updateOverdue);
    resize(1040, 600);
}

void TVerificationDialog::retranslate()
{
    setWindowTitle(translate(QStringLiteral("Verification")));
    planGroup->setTitle(translate(QStringLiteral("Plan")));
    runGroup->setTitle(translate(QStringLiteral("Run")));
    for (int i = 0; i < labels.size(); ++i)
        labels[i]->setText(translateWithColon(labelKeys[i]).trimmed());
    loadButton->setText(translateWithEllipsis(QStringLiteral("Load plan")));
    saveButton->setText(translateWithEllipsis(QStringLiteral("Save plan")));
    startButton->setText(translate(QStringLiteral("Start")));
    zeroButton->setText(translate(QStringLiteral("Zero correction")));
    asLeftButton->setText(translate(QStringLiteral("As left")));
    switchButton->setText(translate(QStringLiteral("Switch points")));
    finishButton->setText(translate(QStringLiteral("Finish")));
    closeButton->setText(translate(QStringLiteral("Close")));
    for (int i = 0; i < 3; ++i) {
        outputButtons[i]->setText(translate(QStringLiteral("Output")) + QStringLiteral(" &%1").arg(i + 1));
        outputButtons[i]->setAccessibleDescription(translate(QStringLiteral("Press when the output switches")));
    }
    results->setAccessibleName(translate(QStringLiteral("Results")));
    overdueLabel->setText(translate(QStringLiteral("The reference standard is past its due date: the run was still allowed.")));
    updateControls();
}

std::optional<Plan> TVerificationDialog::planFromFields(QString &problem) const
{
    Plan plan;
    const std::optional<std::vector<double>> points = parsePoints(pointsEdit->text());
    if (!points) {
        problem = translate(QStringLiteral("A plan has 2 to 50 test points"));
        return std::nullopt;
    }
    plan.points = *points;
    plan.readings = readingsSpin->value();
    if (!parseTolerance(toleranceEdit->text(), plan.toleranceKind, plan.tolerance)) {
        problem = translate(QStringLiteral("The tolerance is not a positive number"));
        return std::nullopt;
    }
    if (!uncertaintyEdit->text().trimmed().isEmpty()) {
        bool ok = false;
        const double u = uncertaintyEdit->text().trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(u) || u < 0) {
            problem = translate(QStringLiteral("The uncertainty is not a number from 0"));
            return std::nullopt;
        }
        plan.uncertainty = u;
    }
    plan.standard = {standardNameEdit->text(), standardSerialEdit->text(), standardCertificateEdit->text(),
                     QDate::fromString(standardDueEdit->text().trimmed(), Qt::ISODate)};
    if (!standardDueEdit->text().trimmed().isEmpty() && !plan.standard.due.isValid()) {
        problem = translate(QStringLiteral("The due date is not a date (YYYY-MM-DD)"));
        return std::nullopt;
    }
    plan.temperature = temperatureEdit->text();
    plan.humidity = humidityEdit->text();
    plan.customer = customerEdit->text();
    plan.tag = tagEdit->text();
    plan.operatorName = operatorEdit->text();
    if (const QString p = planProblem(plan); !p.isEmpty()) {
        problem = translate(p);
        return std::nullopt;
    }
    return plan;
}

void TVerificationDialog::showPlan(const Plan &plan)
{
    pointsEdit->setText(pointsText(plan.points));
    readingsSpin->setValue(plan.readings);
    toleranceEdit->setText(toleranceText(plan.toleranceKind, plan.tolerance));
    uncertaintyEdit->setText(plan.uncertainty ? QString::number(*plan.uncertainty, 'g', QLocale::FloatingPointShortest)
                                              : QString());
    standardNameEdit->setText(plan.standard.name);
    standardSerialEdit->setText(plan.standard.serial);
    standardCertificateEdit->setText(plan.standard.certificate);
    standardDueEdit->setText(plan.standard.due.isValid() ? plan.standard.due.toString(Qt::ISODate) : QString());
    temperatureEdit->setText(plan.temperature);
    humidityEdit->setText(plan.humidity);
    customerEdit->setText(plan.customer);
    tagEdit->setText(plan.tag);
    operatorEdit->setText(plan.operatorName);
    updateOverdue();
}

void TVerificationDialog::updateOverdue()
{
    const QDate due = QDate::fromString(standardDueEdit->text().trimmed(), Qt::ISODate);
    overdueLabel->setVisible(due.isValid() && due < QDate::currentDate());
}

void TVerificationDialog::loadPlanFile()
{
    const QString path = chooseOpenFile(this, {translate(QStringLiteral("Load plan")),
                                               QStringLiteral("JSON (*.json);;* (*)"), QStringLiteral("json")});
    if (path.isEmpty())
        return;
    QString problem;
    const std::optional<Plan> plan = loadPlan(path, problem);
    if (!plan) {
        showMessage(this, translate(problem), translate(QStringLiteral("Error")));
        return;
    }
    showPlan(*plan);
}

void TVerificationDialog::savePlanFile()
{
    QString problem;
    const std::optional<Plan> plan = planFromFields(problem);
    if (!plan) {
        showMessage(this, problem, translate(QStringLiteral("Error")));
        return;
    }
    const QString path = chooseSaveFile(this, {translate(QStringLiteral("Save plan")),
                                               QStringLiteral("JSON (*.json);;* (*)"), QStringLiteral("json")});
    if (!path.isEmpty() && !savePlan(*plan, path, problem))
        showMessage(this, translate(QStringLiteral("Cannot open file")) + QStringLiteral("\n") + problem,
                    translate(QStringLiteral("Error")));
}

void TVerificationDialog::announce(const QString &text)
{
    prompt->setText(text);
    prompt->setAccessibleName(text);
    referenceEdit->setAccessibleDescription(text);
    QAccessibleEvent event(prompt, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}
