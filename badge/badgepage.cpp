#include "badge/badgepage.h"

#include <QDate>
#include <QDebug>
#include <QHash>
#include <QMessageBox>
#include <QRegularExpressionValidator>

#include "app/pollanswer.h"
#include "badge/badgerecord.h"
#include "badge/transaction.h"
#include "link/commands.h"
#include "util/amount.h"
#include "util/textutil.h"
#include "ui_mainwindow.h"

namespace {
const char *const FormDateFormat = "dd/MM/yy";

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

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

struct SupportState {
    const char *debugLine;
    const char *text;
};
// Texts of the support status codes 1 to 9; code 6 appends its detail.
const SupportState SupportStates[] = {
    {"Polling => Support Inséré Liste Noire", "En Liste Noire"},
    {"Polling => Support Inséré Crédit erreur", "Crédit En Erreur"},
    {"Polling => Support Inséré Validité erreur", "Date Validité Erreur"},
    {"Polling => Support dernière écriture erreur", "Dernière écriture erreur"},
    {"Polling => Support Intégrité erreur", "Intégrité erreur"},
    {"Polling => Support lecture donnée erreur", "Lecture erreur("},
    {"Polling => Support Inséré Inconnu", "Support Inconnu"},
    {"Polling => Support Inséré sécurité inconnue", "Sécurité inconnue"},
    {"Polling => Support Inséré erreur de protocole", "Erreur protocole"},
};
constexpr quint32 StatusReadError = 6;

// Labels of the badge view shown in creation mode; other keys show as is.
const QHash<QString, QString> &ViewLabels()
{
    static const QHash<QString, QString> labels = {
        {"Usr", tr("Utilisateur")}, {"Grp", tr("Groupe")}, {"Nal", tr("Nom")},
        {"Naf", tr("Prénom")},      {"Nac", tr("Société")}, {"Cn0", tr("Crédit")},
    };
    return labels;
}

const char *const RefusedStyle = "QLineEdit { border: 2px solid #c00000; }";
const char *const PlainTipProperty = "kovrimPlainTip";
}

BadgePage::BadgePage(QWidget *window, Ui::MainWindow *ui, int &mode, Link link)
    : QObject(window), Window(window), ui(ui), Mode(mode), Send(std::move(link))
{
    prepareForm();
}

void BadgePage::prepareForm()
{
    for (const BadgeType &type : BadgeTypes)
        ui->COMBO_BadgeType->addItem(tr(type.text), type.data);
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
    // Amounts take no validator: one would drop a typed ',' without a word
    // and turn "12,50" into 1250. The field says what is wrong instead.
    connect(ui->SAI_Credit, &QLineEdit::textChanged, this,
            [this] { amountFieldCheck(ui->SAI_Credit, true); });
    connect(ui->SAI_Transaction, &QLineEdit::textChanged, this,
            [this] { amountFieldCheck(ui->SAI_Transaction, false); });
}

void BadgePage::amountFieldCheck(QLineEdit *field, bool zeroAllowed)
{
    if (!field->property(PlainTipProperty).isValid())
        field->setProperty(PlainTipProperty, field->toolTip());
    const AmountReading reading =
        AmountRead(field->text(), zeroAllowed ? AmountZero::Allowed : AmountZero::Refused);
    const bool refused = !field->text().trimmed().isEmpty() && !reading.ok;
    field->setStyleSheet(refused ? QString::fromLatin1(RefusedStyle) : QString());
    field->setToolTip(refused ? reading.refusal : field->property(PlainTipProperty).toString());
}

QString BadgePage::recordFromForm() const
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
    return BadgeRecordBuild(form);
}

void BadgePage::recordToForm(const QString &record)
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

void BadgePage::formClear()
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

void BadgePage::createDefaults()
{
    ui->SAI_Compagny->setText(Send.settingText("CREATION.DEFAUT.SOCIETE", QString()));
    ui->SAI_FirstName->setText(Send.settingText("CREATION.DEFAUT.PRENOM", QString()));
    ui->SAI_LastName->setText(Send.settingText("CREATION.DEFAUT.NOM", QString()));
    ui->SAI_Usr->setText(Send.settingText("CREATION.CURRENT.USER", "1"));
    ui->SAI_Grp->setText(Send.settingText("CREATION.DEFAUT.GROUP", "1"));
    ui->SAI_Credit->setText(Send.settingText("CREATION.DEFAUT.CREDIT", "1"));
    ui->SAI_Remise->setText("0");
    ui->SAI_Level->setText("1");

    const QDate today = QDate::currentDate();
    const int months = Send.settingInt("CREATION.DEFAUT.VALIDITE.MOIS.NB", 48);
    ui->SAI_ValiditeDate->setDisplayFormat(FormDateFormat);
    ui->SAI_ValiditeDate->setDate(today.addMonths(months));
    ui->SAI_CreationDate->setText(QDate::currentDate().toString(FormDateFormat));
}

void BadgePage::readClicked()
{
    ui->BTN_BadgeCreate->setChecked(false);
    Mode = 0;
    Send.setPolling(false);
    if (ui->BTN_BadgeRead->isChecked()) {
        formClear();
        Send.setPolling(true);
    }
}

void BadgePage::createClicked()
{
    ui->BTN_BadgeRead->setChecked(false);
    Send.setPolling(false);
    Mode = 1;
    if (ui->BTN_BadgeCreate->isChecked()) {
        createDefaults();
        Send.setPolling(true);
    }
    qDebug("BadgeCreateClicked");
}

void BadgePage::pollEvent(const QString &answer)
{
    // In creation mode the form is what the next creation writes: a badge
    // merely presented must not leave anything in it.
    if (Mode != 1)
        recordToForm(answer);
    const PollAnswer poll = PollAnswerParse(answer);
    if (!poll.support)
        return;

    const bool supportOk = poll.supportOk;
    const quint32 status = poll.status;
    bool creationAllowed = false;
    if (supportOk) {
        qDebug("Polling => Support Inséré OK");
        ui->SAI_SupportStatus->setText(tr("Support OK"));
    } else if (status >= 1 && status <= 9) {
        const SupportState &state = SupportStates[status - 1];
        qDebug("%s", state.debugLine);
        QString shown = tr(state.text);
        if (status == StatusReadError)
            shown += poll.detail + ")";
        ui->SAI_SupportStatus->setText(shown);
        creationAllowed = status == 5 || status == 7;
    }
    ui->SAI_SupportStatus->setToolTip(QString());

    if (Mode == 0) {
        if (supportOk || status <= 5) {
            formClear();
            readRequest(ReadInto::Form, CmdTimeout::BadgeReadAfterPoll);
        }
    } else if (Mode == 1) {
        if (ui->CKB_CreationForce->isChecked() || creationAllowed) {
            creationRequest(answer);
        } else {
            PresentedValid = supportOk;
            PresentedUid.clear();
            presentedShow(answer);
            readRequest(ReadInto::View, CmdTimeout::BadgeReadShort);
        }
    }
}

void BadgePage::creationRequest(const QString &pollAnswer)
{
    // The badge about to be written: its UID goes with the form.
    recordToForm(pollAnswer);
    const QString record = recordFromForm();
    // Long texts in the form: the link would refuse the record, say so.
    if (!PayloadFits(record)) {
        ui->SAI_ProtocoleStatus->setText(tr("Création->ECHEC : enregistrement trop long"));
    } else if (Send.send(Cmd::FamilyBadge, Cmd::BadgeCreate, record, ARG_BADGE_CREATE_RESULT,
                         CmdTimeout::BadgeCreate)) {
        qDebug("COMDATAPROCESS: Demande de créer le badge");
        ui->SAI_ProtocoleStatus->setText(tr("Création ..."));
    }
}

// Creation mode: a badge that is not to be created is shown beside the
// form, never in it. Its UID in the status, what it holds in the tooltip.
void BadgePage::presentedShow(const QString &record)
{
    QStringList lines;
    for (const BadgeFieldText &field : BadgeRecordToFields(record)) {
        if (field.key == QLatin1String("UID"))
            PresentedUid = field.text;
        else
            lines << ViewLabels().value(field.key, field.key) + " : " + field.text;
    }
    if (!lines.isEmpty())
        ui->SAI_SupportStatus->setToolTip(lines.join('\n'));
    if (PresentedValid && !PresentedUid.isEmpty())
        ui->SAI_SupportStatus->setText(tr("Badge déjà créé : %1").arg(PresentedUid));
}

void BadgePage::readRequest(ReadInto into, unsigned int timeoutMs)
{
    if (Send.send(Cmd::FamilyBadge, Cmd::BadgeRead, QString(), ARG_BADGE_READ_RESULT, timeoutMs)) {
        PendingRead = into;
        qDebug("LECTURE DU BADGE ...");
        ui->SAI_ProtocoleStatus->setText(tr("Lecture ..."));
    }
}

void BadgePage::pollNoSupport()
{
    ui->SAI_SupportStatus->setText(tr("Aucun Support"));
    ui->SAI_SupportStatus->setToolTip(QString());
    qDebug("Support Retiré");
}

void BadgePage::pollTimeout()
{
    ui->BTN_BadgeCreate->setChecked(false);
    ui->BTN_BadgeRead->setChecked(false);
    ui->SAI_ProtocoleStatus->setText(tr("Statut timeout"));
}

void BadgePage::createAnswer(bool ok, char status)
{
    if (!ok) {
        ui->SAI_ProtocoleStatus->setText(tr("Création->CMD ERREUR"));
    } else if (status != Cmd::StatusOk) {
        ui->SAI_ProtocoleStatus->setText(tr("Création->ECHEC"));
    } else {
        ui->SAI_ProtocoleStatus->setText(tr("Création->OK"));
        if (ui->CKB_CreationForce->isChecked())
            userNumberIncrement();
    }
}

void BadgePage::userNumberIncrement()
{
    QString next;
    if (UserNumberNext(ui->SAI_Usr->text(), &next) != UserNumberStep::AtMaximum) {
        if (!next.isEmpty())
            ui->SAI_Usr->setText(next);
        return;
    }
    // The next badge would carry the same number again: the series stops.
    ui->BTN_BadgeCreate->setChecked(false);
    Send.setPolling(false);
    ui->SAI_ProtocoleStatus->setText(tr("Numéro utilisateur maximal atteint : création arrêtée"));
}

void BadgePage::readAnswer(bool ok, char status, const QString &record)
{
    const ReadInto into = PendingRead;
    PendingRead = ReadInto::Nothing;
    if (!ok) {
        ui->SAI_ProtocoleStatus->setText(tr("Lecture->CMD ERREUR"));
    } else if (status != Cmd::StatusOk) {
        ui->SAI_ProtocoleStatus->setText(tr("Lecture->ECHEC"));
    } else {
        qDebug("Lecture:***%s***", qUtf8Printable(record));
        if (into == ReadInto::View)
            presentedShow(record);
        else
            recordToForm(record);
        outcomeKnownIf(record);
        ui->SAI_ProtocoleStatus->setText(tr("Lecture->OK"));
    }
    if (into == ReadInto::FormAfterTransaction)
        transactionEnd();
}

// An unanswered transaction is settled by a read that shows the badge it
// was meant for. A read without the badge's UID settles nothing: it may be
// the late answer of the transaction itself.
void BadgePage::outcomeKnownIf(const QString &record)
{
    if (!OutcomeUnknown)
        return;
    for (const RecordPair &pair : RecordPairsParse(record)) {
        if (pair.key == QLatin1String("UID") && !pair.value.isEmpty()
            && (UnknownUid.isEmpty() || pair.value == UnknownUid)) {
            OutcomeUnknown = false;
            transactionButtonsUpdate();
            return;
        }
    }
}

void BadgePage::transactionClicked(bool debit)
{
    if (TransactionRunning || OutcomeUnknown)
        return;
    qint64 cents = 0;
    if (transactionRefused(ui->SAI_Transaction->text(), &cents))
        return;
    const QString payload =
        TransactionPayload(Send.settingText("CREDIT.DEFAUT.NUMERO", "0"),
                           debit ? TransactionType::Debit : TransactionType::Credit, quint32(cents));
    if (!Send.send(Cmd::FamilyBadge, Cmd::BadgeTransaction, payload, ARG_TRANSACTION_RESULT,
                   CmdTimeout::Transaction))
        return;
    TransactionRunning = true;
    TransactionUid = ui->SAI_UID->text();
    transactionButtonsUpdate();
    qDebug(debit ? "débit" : "Crédit");
    ui->SAI_ProtocoleStatus->setText(debit ? tr("Débit ...") : tr("Crédit ..."));
}

bool BadgePage::transactionRefused(const QString &amountText, qint64 *cents)
{
    const AmountReading reading = AmountRead(amountText, AmountZero::Refused);
    if (reading.ok) {
        *cents = reading.cents;
        return false;
    }
    // Readable, yet refused: it is zero.
    const bool zero = AmountRead(amountText).ok;
    QMessageBox box(QMessageBox::Information, tr("Erreur"),
                    zero ? reading.refusal : tr("Contenu transaction invalide"), QMessageBox::Ok, Window);
    if (!zero)
        box.setInformativeText(reading.refusal);
    box.exec();
    return true;
}

void BadgePage::transactionAnswer(bool ok, char status)
{
    qDebug("ARG_TRANSACTION_RESULT");
    if (ok && status != Cmd::StatusOk) {
        ui->SAI_ProtocoleStatus->setText(tr("Transaction->Echec"));
        transactionEnd();
        return;
    }
    if (ok) {
        ui->SAI_ProtocoleStatus->setText(tr("Transaction->OK"));
    } else {
        // The reader may have applied it: only a read can tell.
        OutcomeUnknown = true;
        UnknownUid = TransactionUid;
        ui->SAI_ProtocoleStatus->setText(tr("Transaction->TIMEOUT : résultat inconnu, relire le badge"));
    }
    if (!Send.send(Cmd::FamilyBadge, Cmd::BadgeRead, QString(), ARG_BADGE_READ_RESULT,
                   CmdTimeout::BadgeReadShort)) {
        transactionEnd();
        return;
    }
    PendingRead = ReadInto::FormAfterTransaction;
    qDebug("LECTURE DU BADGE");
    // One holder on screen: nothing of the previous badge stays.
    formClear();
    ui->SAI_UID->clear();
}

void BadgePage::transactionEnd()
{
    TransactionRunning = false;
    transactionButtonsUpdate();
}

void BadgePage::linkChanged(bool open)
{
    LinkOpen = open;
    transactionButtonsUpdate();
}

void BadgePage::transactionButtonsUpdate()
{
    const bool allowed = LinkOpen && !TransactionRunning && !OutcomeUnknown;
    ui->BTN_TransactionDebit->setEnabled(allowed);
    ui->BTN_TransactionCredit->setEnabled(allowed);
    ui->BTN_TransactionDebit->setToolTip(
        OutcomeUnknown ? tr("Résultat de la dernière transaction inconnu : relire le badge") : QString());
    ui->BTN_TransactionCredit->setToolTip(ui->BTN_TransactionDebit->toolTip());
}
