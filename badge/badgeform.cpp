#include <QDate>
#include <QDebug>
#include <QRegularExpressionValidator>

#include "app/mainwindow.h"
#include "badge/badgerecord.h"
#include "util/textutil.h"
#include "link/commands.h"
#include "ui_mainwindow.h"

namespace {
const char *const FormDateFormat = "dd/MM/yy";

struct BadgeType {
    const char *text;
    int data;
};
const BadgeType BadgeTypes[] = {
    {QT_TRANSLATE_NOOP("MainWindow", "Crédit"), 16},
    {QT_TRANSLATE_NOOP("MainWindow", "Exploitant"), 2},
    {QT_TRANSLATE_NOOP("MainWindow", "Accès"), 128},
    {QT_TRANSLATE_NOOP("MainWindow", "Unité"), 32},
    {QT_TRANSLATE_NOOP("MainWindow", "Facturation"), 64},
    {QT_TRANSLATE_NOOP("MainWindow", "Audit"), 8},
};

QString FormDate(const QDate &date)
{
    return date.toString(FormDateFormat);
}
}

void MainWindow::BadgeTypesPrepare()
{
    for (const BadgeType &type : BadgeTypes)
        ui->COMBO_BadgeType->addItem(tr(type.text), type.data);
}

void MainWindow::BadgeFormValidatorsPrepare()
{
    // The validity starts blank, like every other field of the empty form.
    // Its blank is the day before the record's first writable date, so every
    // date the operator can pick is one the record can hold.
    ui->SAI_ValiditeDate->setDateRange(QDate(1999, 12, 31), QDate(2099, 12, 31));
    ui->SAI_ValiditeDate->setSpecialValueText(QStringLiteral(" "));
    ui->SAI_ValiditeDate->setDisplayFormat(FormDateFormat);
    ui->SAI_ValiditeDate->setDate(ui->SAI_ValiditeDate->minimumDate());
    // ';' and '=' separate the record's pairs: a typed value may hold neither.
    const QRegularExpression plainText(QStringLiteral("[^;=]*"));
    for (QLineEdit *field : {ui->SAI_Level, ui->SAI_Domaine, ui->SAI_LastName, ui->SAI_FirstName,
                             ui->SAI_Compagny, ui->SAI_Remise, ui->SAI_CreationDate,
                             ui->SAI_UniteProduit, ui->SAI_UniteTarif})
        field->setValidator(new QRegularExpressionValidator(plainText, field));
    // Amounts: units, optionally a point and one or two digits of hundredths.
    const QRegularExpression amount(QStringLiteral("\\d*(\\.\\d{0,2})?"));
    for (QLineEdit *field : {ui->SAI_Credit, ui->SAI_Transaction})
        field->setValidator(new QRegularExpressionValidator(amount, field));
}

bool MainWindow::BadgeRecordFromForm(QString &record)
{
    BadgeFormValues form;
    form.hasType = ui->COMBO_BadgeType->currentIndex() >= 0;
    if (form.hasType)
        form.typeData = ui->COMBO_BadgeType->currentData().toInt();
    form.usr = ui->SAI_Usr->text();
    form.grp = ui->SAI_Grp->text();
    form.level = ui->SAI_Level->text();
    form.uniteTarif = ui->SAI_UniteTarif->text();
    form.uniteProduit = ui->SAI_UniteProduit->text();
    form.validiteText = ui->SAI_ValiditeDate->text().trimmed();
    form.validiteDate = ui->SAI_ValiditeDate->date();
    form.creationDate = ui->SAI_CreationDate->text();
    form.domaine = ui->SAI_Domaine->text();
    form.remise = ui->SAI_Remise->text();
    form.firstName = ui->SAI_FirstName->text();
    form.lastName = ui->SAI_LastName->text();
    form.company = ui->SAI_Compagny->text();
    form.credit = ui->SAI_Credit->text();
    record += BadgeRecordBuild(form);
    return true;
}

void MainWindow::BadgeRecordToForm(const QString &record)
{
    const QHash<QString, QLineEdit *> lineFields = {
        {"UID", ui->SAI_UID},          {"Usr", ui->SAI_Usr},
        {"Grp", ui->SAI_Grp},          {"Uni", ui->SAI_UniteTarif},
        {"Rem", ui->SAI_Remise},       {"Unp", ui->SAI_UniteProduit},
        {"Doi", ui->SAI_Domaine},      {"Naf", ui->SAI_FirstName},
        {"Nal", ui->SAI_LastName},     {"Nac", ui->SAI_Compagny},
        {"Cda", ui->SAI_CreationDate}, {"Lcd", ui->SAI_LastCreditDate},
        {"Ldd", ui->SAI_LastDebitDate}, {"Cn0", ui->SAI_Credit},
        {"Lct", ui->SAI_LastCreditTransaction}, {"Lca", ui->SAI_LastCreditAmount},
        {"Ldt", ui->SAI_LastDebitTransaction}, {"Lev", ui->SAI_Level},
    };
    for (const BadgeFieldText &field : BadgeRecordToFields(record)) {
        if (QLineEdit *edit = lineFields.value(field.key)) {
            edit->setText(field.text);
        } else if (field.key == QLatin1String("Tyc")) {
            const int index = ui->COMBO_BadgeType->findData(field.text.toInt());
            if (index >= 0)
                ui->COMBO_BadgeType->setCurrentIndex(index);
        } else if (field.key == QLatin1String("Vda")) {
            ui->SAI_ValiditeDate->setDisplayFormat(FormDateFormat);
            ui->SAI_ValiditeDate->setDate(field.date);
        }
    }
}

void MainWindow::BadgeFormClear()
{
    for (QLineEdit *field :
         {ui->SAI_CreationDate, ui->SAI_Credit, ui->SAI_Domaine, ui->SAI_Level, ui->SAI_UniteProduit,
          ui->SAI_UniteTarif, ui->SAI_Grp, ui->SAI_Usr, ui->SAI_LastName, ui->SAI_FirstName,
          ui->SAI_Compagny, ui->SAI_LastCreditAmount, ui->SAI_LastCreditDate,
          ui->SAI_LastCreditTransaction, ui->SAI_LastDebitDate, ui->SAI_LastDebitTransaction})
        field->setText(QString());
    // The date editor's own clear() empties only one section; its minimum
    // date shows a blank instead, which the record builder reads as empty.
    ui->SAI_ValiditeDate->setDate(ui->SAI_ValiditeDate->minimumDate());
}

void MainWindow::BadgeCreateDefaults()
{
    ui->SAI_Compagny->setText(AppsConfigReadString("CREATION.DEFAUT.SOCIETE", QString()));
    ui->SAI_FirstName->setText(AppsConfigReadString("CREATION.DEFAUT.PRENOM", QString()));
    ui->SAI_LastName->setText(AppsConfigReadString("CREATION.DEFAUT.NOM", QString()));
    ui->SAI_Usr->setText(AppsConfigReadString("CREATION.CURRENT.USER", "1"));
    ui->SAI_Grp->setText(AppsConfigReadString("CREATION.DEFAUT.GROUP", "1"));
    ui->SAI_Credit->setText(AppsConfigReadString("CREATION.DEFAUT.CREDIT", "1"));
    ui->SAI_Remise->setText("0");
    ui->SAI_Level->setText("1");

    const QDate today = QDate::currentDate();
    const int months = AppsConfigReadInt("CREATION.DEFAUT.VALIDITE.MOIS.NB", 48);
    ui->SAI_ValiditeDate->setDisplayFormat(FormDateFormat);
    ui->SAI_ValiditeDate->setDate(today.addMonths(months));
    ui->SAI_CreationDate->setText(FormDate(today));
}

void MainWindow::on_BTN_BadgeRead_clicked()
{
    ui->BTN_BadgeCreate->setChecked(false);
    BadgeMode = 0;
    Protocole.Polling.store(false, std::memory_order_release);
    if (ui->BTN_BadgeRead->isChecked()) {
        BadgeFormClear();
        Protocole.Polling.store(true, std::memory_order_release);
    }
}

void MainWindow::on_BTN_BadgeCreate_clicked()
{
    ui->BTN_BadgeRead->setChecked(false);
    Protocole.Polling.store(false, std::memory_order_release);
    BadgeMode = 1;
    if (ui->BTN_BadgeCreate->isChecked()) {
        BadgeCreateDefaults();
        Protocole.Polling.store(true, std::memory_order_release);
    }
    qDebug("BadgeCreateClicked");
}
