#include "badge/badgepage.h"

#include <QDate>
#include <QDebug>
#include <QHash>
#include <QInputDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTimer>

#include "core/pollanswer.h"
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
// How long past the longest time-out an operation waits for the command slot.
constexpr int SlotMarginMs = 1000;
constexpr int SlotRetryMs = 10;
}

BadgePage::BadgePage(QWidget *window, Ui::MainWindow *ui, int &mode, Link link)
    : QObject(window), Window(window), ui(ui), Mode(mode), Send(std::move(link)), Operations(this)
{
    prepareForm();
    SlotTimer = new QTimer(this);
    SlotTimer->setSingleShot(true);
    SlotTimer->setInterval(SlotRetryMs);
    connect(SlotTimer, &QTimer::timeout, this, &BadgePage::slotTry);
    connect(&Operations, &BadgeOperations::changed, this, &BadgePage::operationChanged);
    connect(ui->BTN_BadgePendingAbandon, &QPushButton::clicked, this, &BadgePage::abandonClicked);
    pendingShow();
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

void BadgePage::formEmpty()
{
    formClear();
    ui->SAI_UID->clear();
    ui->SAI_Remise->clear();
    ui->COMBO_BadgeType->setCurrentIndex(-1);
    Form = FormBadge();
}

// Nothing of a badge read earlier stays: checking "Créer" starts from the
// creation defaults only.
void BadgePage::createDefaults()
{
    formEmpty();
    ui->COMBO_BadgeType->setCurrentIndex(0);
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
        formEmpty();
        Send.setPolling(true);
    }
    buttonsUpdate();
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
    buttonsUpdate();
    qDebug("BadgeCreateClicked");
}

void BadgePage::pollEvent(const QString &answer)
{
    const PollAnswer poll = PollAnswerParse(answer);
    if (!poll.support)
        return;
    PollUid.clear();
    for (const RecordPair &pair : RecordPairsParse(answer))
        if (pair.key == QLatin1String("UID"))
            PollUid = pair.value;

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

    // One operation at a time: the badge is taken up once the one in
    // flight has ended.
    if (CurrentId != 0) {
        DeferredPoll = answer;
        DeferredRemoval = false;
        return;
    }
    if (Mode == 0)
        readPollFollowUp(answer, supportOk, status);
    else if (Mode == 1)
        creationPollFollowUp(answer, creationAllowed, supportOk);
}

// Read mode: whatever is presented, the previous holder leaves the form.
void BadgePage::readPollFollowUp(const QString &answer, bool supportOk, quint32 status)
{
    formEmpty();
    recordToForm(answer);
    // Still blank: an unanswered creation of it did not happen.
    if (status == 5 || status == 7)
        resolveBy(PollUid, QString());
    if (supportOk || status <= 5)
        readStart(QString(), CmdTimeout::BadgeReadAfterPoll);
    buttonsUpdate();
}

void BadgePage::creationPollFollowUp(const QString &answer, bool creationAllowed, bool supportOk)
{
    if (ui->CKB_CreationForce->isChecked() || creationAllowed) {
        // Still blank: an unanswered creation of it did not happen.
        if (creationAllowed)
            resolveBy(PollUid, QString());
        creationStart(PollUid);
        return;
    }
    PresentedValid = supportOk;
    PresentedUid.clear();
    presentedShow(answer);
    readStart(QString(), CmdTimeout::BadgeReadShort);
}

void BadgePage::creationStart(const QString &uid)
{
    if (Operations.isLocked(uid)) {
        ui->SAI_ProtocoleStatus->setText(tr("Création->ECHEC : opération à régler sur %1").arg(uid));
        return;
    }
    if (!creationFormValid())
        return;
    if (ui->CKB_AutoId->isChecked())
        ui->SAI_Usr->setText(Send.settingText("CREATION.CURRENT.USER", "1"));
    // The form's pairs only: nothing of the poll answer goes with them.
    const QString record = recordFromForm();
    if (!PayloadFits(record)) {
        ui->SAI_ProtocoleStatus->setText(tr("Création->ECHEC : enregistrement trop long"));
        return;
    }
    const qint64 credit = AmountRead(ui->SAI_Credit->text()).cents;
    const quint64 id = Operations.plan(BadgeOperation::Kind::Creation, uid, record, credit,
                                       BadgeOperation::NoBalance, ui->SAI_Usr->text());
    CurrentId = id;
    sendWhenFree(id, Cmd::BadgeCreate, record, ARG_BADGE_CREATE_RESULT, CmdTimeout::BadgeCreate,
                 [this](bool sent, const QString &) {
                     if (sent) {
                         qDebug("COMDATAPROCESS: Demande de créer le badge");
                         ui->SAI_ProtocoleStatus->setText(tr("Création ..."));
                     }
                 });
}

// A field the form marks invalid stops the creation: nothing is sent.
bool BadgePage::creationFormValid()
{
    if (!AmountRead(ui->SAI_Credit->text()).ok) {
        ui->SAI_ProtocoleStatus->setText(tr("Création->ECHEC : crédit invalide"));
        return false;
    }
    return true;
}

void BadgePage::readStart(const QString &expectedUid, unsigned int timeoutMs)
{
    const quint64 id = Operations.plan(BadgeOperation::Kind::Read, expectedUid, QString(), 0,
                                       BadgeOperation::NoBalance, QString());
    CurrentId = id;
    sendWhenFree(id, Cmd::BadgeRead, QString(), ARG_BADGE_READ_RESULT, timeoutMs,
                 [this](bool sent, const QString &) {
                     if (sent) {
                         qDebug("LECTURE DU BADGE ...");
                         ui->SAI_ProtocoleStatus->setText(tr("Lecture ..."));
                     }
                 });
}

void BadgePage::sendWhenFree(quint64 id, char c2, const QString &payload, unsigned int arg,
                             unsigned int timeoutMs,
                             const std::function<void(bool, const QString &)> &done)
{
    QString reason;
    if (!Operations.approve(id, &reason)) {
        ui->SAI_ProtocoleStatus->setText(tr("Historique inaccessible : opération non envoyée (%1)").arg(reason));
        done(false, reason);
        operationEnd();
        return;
    }
    Waiting.id = id;
    Waiting.attempt = [this, c2, payload, arg, timeoutMs] {
        return Send.send(Cmd::FamilyBadge, c2, payload, arg, timeoutMs);
    };
    Waiting.done = done;
    Waiting.since.start();
    buttonsUpdate();
    slotTry();
}

void BadgePage::slotTry()
{
    if (Waiting.id == 0)
        return;
    const quint64 id = Waiting.id;
    const auto done = Waiting.done;
    if (!ChainRunning && Waiting.attempt()) {
        Waiting = SlotWait();
        SlotTimer->stop();
        Operations.sent(id);
        done(true, QString());
        return;
    }
    if (!ChainRunning && Waiting.since.elapsed() < qint64(CmdTimeout::Longest) + SlotMarginMs) {
        // Polling gives way; it comes back when the operation has ended.
        if (!PollingPaused) {
            PollingPaused = true;
            Send.setPolling(false);
        }
        SlotTimer->start();
        return;
    }
    Waiting = SlotWait();
    SlotTimer->stop();
    const QString reason = tr("lecteur occupé");
    const BadgeOperation *operation = Operations.find(id);
    // A re-read that cannot go out is its transaction's business.
    if (!operation || operation->state != BadgeOperation::State::Planned) {
        done(false, reason);
        return;
    }
    Operations.notSent(id, reason);
    done(false, reason);
    ui->SAI_ProtocoleStatus->setText(tr("Lecteur occupé : réessayer"));
    operationEnd();
}

void BadgePage::operationEnd()
{
    CurrentId = 0;
    pollingResume();
    buttonsUpdate();
    // What the reader reported meanwhile is taken up now.
    if (!DeferredPoll.isEmpty() || DeferredRemoval) {
        QTimer::singleShot(0, this, [this] {
            const QString answer = DeferredPoll;
            const bool removal = DeferredRemoval;
            DeferredPoll.clear();
            DeferredRemoval = false;
            if (CurrentId != 0)
                return;
            if (!answer.isEmpty())
                pollEvent(answer);
            else if (removal)
                pollNoSupport();
        });
    }
}

void BadgePage::pollingResume()
{
    if (!PollingPaused)
        return;
    PollingPaused = false;
    Send.setPolling(ui->BTN_BadgeRead->isChecked() || ui->BTN_BadgeCreate->isChecked());
}

const BadgeOperation *BadgePage::current() const
{
    return CurrentId ? Operations.find(CurrentId) : nullptr;
}

void BadgePage::pollNoSupport()
{
    if (CurrentId != 0) {
        DeferredPoll.clear();
        DeferredRemoval = true;
        return;
    }
    ui->SAI_SupportStatus->setText(tr("Aucun Support"));
    ui->SAI_SupportStatus->setToolTip(QString());
    qDebug("Support Retiré");
    // The badge gone, nothing on screen may be debited any more.
    if (Mode == 0 && CurrentId == 0 && ui->BTN_BadgeRead->isChecked()) {
        formEmpty();
        buttonsUpdate();
    }
}

void BadgePage::pollTimeout()
{
    ui->BTN_BadgeCreate->setChecked(false);
    ui->BTN_BadgeRead->setChecked(false);
    ui->SAI_ProtocoleStatus->setText(tr("Statut timeout"));
    buttonsUpdate();
}

void BadgePage::createAnswer(bool ok, char status)
{
    const BadgeOperation *operation = current();
    if (!operation || operation->kind != BadgeOperation::Kind::Creation
        || operation->state != BadgeOperation::State::Sent) {
        qDebug("Création : réponse sans demande en cours, ignorée");
        return;
    }
    const quint64 id = operation->id;
    const QString user = operation->user;
    if (!ok) {
        ui->SAI_ProtocoleStatus->setText(tr("Création->TIMEOUT : résultat inconnu, relire le badge"));
        Operations.settle(id, BadgeOperation::Outcome::Unknown);
        userNumberUsed(user);
    } else if (status != Cmd::StatusOk) {
        ui->SAI_ProtocoleStatus->setText(tr("Création->ECHEC"));
        Operations.answered(id, false, tr("statut %1").arg(QChar::fromLatin1(status)));
    } else {
        ui->SAI_ProtocoleStatus->setText(tr("Création->OK"));
        Operations.answered(id, true);
        Operations.settle(id, BadgeOperation::Outcome::Done);
        userNumberUsed(user);
    }
    operationEnd();
}

// A number that went out is never given again, even if its creation went
// unanswered: the series moves past it, here and in the settings.
void BadgePage::userNumberUsed(const QString &user)
{
    QString next;
    if (UserNumberNext(user, &next) == UserNumberStep::Next) {
        const QString kept = Send.settingText("CREATION.CURRENT.USER", "1");
        bool keptOk = false;
        const qulonglong keptNumber = kept.toULongLong(&keptOk);
        if (!keptOk || keptNumber < next.toULongLong())
            Send.settingWrite("CREATION.CURRENT.USER", next);
    }
    // The form moves on in a series; a number typed for one badge stays.
    if ((ui->CKB_CreationForce->isChecked() || ui->CKB_AutoId->isChecked()) && ui->SAI_Usr->text() == user)
        userNumberIncrement();
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

namespace {
// A read answer is a badge record when it holds at least one of the
// record's pairs besides the UID: another command's answer holds none.
bool IsBadgeRecord(const QString &record)
{
    for (const BadgeFieldText &field : BadgeRecordToFields(record))
        if (field.key != QLatin1String("UID"))
            return true;
    return false;
}

QString RecordValue(const QString &record, const char *key)
{
    for (const RecordPair &pair : RecordPairsParse(record))
        if (pair.key == QLatin1String(key))
            return pair.value;
    return QString();
}

qint64 RecordBalance(const QString &record)
{
    const QString value = RecordValue(record, "Cn0");
    bool ok = false;
    const qint64 cents = value.toLongLong(&ok);
    return ok && IsAsciiDigits(value) ? cents : BadgeOperation::NoBalance;
}
}

void BadgePage::readAnswer(bool ok, char status, const QString &record)
{
    const BadgeOperation *operation = current();
    if (!operation) {
        qDebug("Lecture : réponse sans demande en cours, ignorée");
        return;
    }
    if (operation->movesMoney() && operation->state == BadgeOperation::State::Rereading) {
        rereadSettle(*operation, ok, status, record);
        return;
    }
    if (operation->kind != BadgeOperation::Kind::Read || operation->state != BadgeOperation::State::Sent) {
        qDebug("Lecture : réponse hors de l'opération en cours, ignorée");
        return;
    }
    const BadgeOperation read = *operation;
    if (!ok) {
        ui->SAI_ProtocoleStatus->setText(tr("Lecture->CMD ERREUR"));
        Operations.answered(read.id, false, tr("sans réponse"));
    } else if (status != Cmd::StatusOk) {
        ui->SAI_ProtocoleStatus->setText(tr("Lecture->ECHEC"));
        Operations.answered(read.id, false, tr("statut %1").arg(QChar::fromLatin1(status)));
    } else if (!IsBadgeRecord(record)) {
        ui->SAI_ProtocoleStatus->setText(tr("Lecture->ECHEC : réponse sans badge"));
        Operations.answered(read.id, false, tr("réponse sans badge"));
    } else {
        readSettle(read, record);
    }
    operationEnd();
}

// The record goes where the page is now: the creation form never takes it.
void BadgePage::readSettle(const BadgeOperation &read, const QString &record)
{
    qDebug("Lecture:***%s***", qUtf8Printable(record));
    QString uid = RecordValue(record, "UID");
    if (uid.isEmpty())
        uid = read.targetUid.isEmpty() ? PollUid : read.targetUid;
    if (Mode == 1) {
        presentedShow(record);
    } else {
        formEmpty();
        recordToForm(record);
        ui->SAI_UID->setText(uid);
        Form.uid = uid;
        Form.user = RecordValue(record, "Usr");
        Form.balance = RecordBalance(record);
    }
    Operations.answered(read.id, true);
    Operations.settle(read.id, BadgeOperation::Outcome::Done, RecordBalance(record));
    resolveBy(uid, record);
    ui->SAI_ProtocoleStatus->setText(tr("Lecture->OK"));
    if (!read.targetUid.isEmpty() && uid != read.targetUid)
        ui->SAI_ProtocoleStatus->setText(
            tr("Badge changé pendant la transaction : %1 attendu, %2 lu").arg(read.targetUid, uid));
}

// A read of a badge whose operation went unanswered tells what became of
// it: money by the balance, a creation by the user number it carries (a
// blank poll, with an empty record, says it was not created).
void BadgePage::resolveBy(const QString &uid, const QString &record)
{
    if (uid.isEmpty())
        return;
    Operations.resolveCreation(uid, RecordValue(record, "Usr"));
    if (!record.isEmpty())
        Operations.resolveByBalance(uid, RecordBalance(record));
}

void BadgePage::transactionClicked(bool debit)
{
    if (CurrentId != 0 || ChainRunning) {
        ui->SAI_ProtocoleStatus->setText(tr("Lecteur occupé : réessayer"));
        return;
    }
    if (Form.uid.isEmpty() || Operations.isLocked(Form.uid) || ui->BTN_BadgeCreate->isChecked()) {
        buttonsUpdate();
        return;
    }
    qint64 cents = 0;
    if (transactionRefused(ui->SAI_Transaction->text(), &cents))
        return;
    const QString payload =
        TransactionPayload(Send.settingText("CREDIT.DEFAUT.NUMERO", "0"),
                           debit ? TransactionType::Debit : TransactionType::Credit, quint32(cents));
    const quint64 id = Operations.plan(debit ? BadgeOperation::Kind::Debit : BadgeOperation::Kind::Credit,
                                       Form.uid, payload, cents, Form.balance, Form.user);
    CurrentId = id;
    buttonsUpdate();
    sendWhenFree(id, Cmd::BadgeTransaction, payload, ARG_TRANSACTION_RESULT, CmdTimeout::Transaction,
                 [this, debit](bool sent, const QString &) {
                     if (!sent)
                         return;
                     qDebug(debit ? "débit" : "Crédit");
                     ui->SAI_ProtocoleStatus->setText(debit ? tr("Débit ...") : tr("Crédit ..."));
                 });
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

void BadgePage::transactionAnswer(bool ok, char status, const QString &text)
{
    qDebug("ARG_TRANSACTION_RESULT");
    const BadgeOperation *operation = current();
    if (!operation || !operation->movesMoney() || operation->state != BadgeOperation::State::Sent) {
        qDebug("Transaction : réponse sans demande en cours, ignorée");
        return;
    }
    const quint64 id = operation->id;
    // A badge record is no transaction's answer: whatever it answered, the
    // transaction's own answer is missing.
    if (ok && IsBadgeRecord(text))
        ok = false;
    if (ok && status != Cmd::StatusOk) {
        ui->SAI_ProtocoleStatus->setText(tr("Transaction->Echec"));
        Operations.answered(id, false, tr("statut %1").arg(QChar::fromLatin1(status)));
        operationEnd();
        return;
    }
    // One holder on screen: the re-read shows who holds the badge now.
    const QString uid = operation->targetUid;
    formEmpty();
    if (ok) {
        ui->SAI_ProtocoleStatus->setText(tr("Transaction->OK"));
        ui->SAI_Transaction->clear();
        Operations.answered(id, true);
        rereadStart(id);
        return;
    }
    ui->SAI_ProtocoleStatus->setText(tr("Transaction->TIMEOUT : résultat inconnu, relire le badge"));
    Operations.settle(id, BadgeOperation::Outcome::Unknown);
    pendingShow();
    // Read again at once: the badge still on the reader settles it.
    CurrentId = 0;
    readStart(uid, CmdTimeout::BadgeReadShort);
}

// The re-read belongs to the transaction: it waits for the slot and must
// show the badge the transaction was meant for.
void BadgePage::rereadStart(quint64 transactionId)
{
    Operations.rereading(transactionId);
    Waiting.id = transactionId;
    Waiting.attempt = [this] {
        return Send.send(Cmd::FamilyBadge, Cmd::BadgeRead, QString(), ARG_BADGE_READ_RESULT,
                         CmdTimeout::BadgeReadShort);
    };
    Waiting.done = [this, transactionId](bool sent, const QString &) {
        if (sent)
            qDebug("LECTURE DU BADGE");
        else
            rereadImpossible(transactionId);
    };
    Waiting.since.start();
    slotTry();
}

void BadgePage::rereadImpossible(quint64 transactionId)
{
    const BadgeOperation *operation = Operations.find(transactionId);
    if (!operation)
        return;
    Operations.settle(transactionId, BadgeOperation::Outcome::Done);
    ui->SAI_ProtocoleStatus->setText(tr("Transaction->OK, relecture impossible : relire le badge"));
    operationEnd();
}

void BadgePage::rereadSettle(const BadgeOperation &transaction, bool ok, char status, const QString &record)
{
    if (!ok || status != Cmd::StatusOk || !IsBadgeRecord(record)) {
        Operations.settle(transaction.id, BadgeOperation::Outcome::Done);
        ui->SAI_ProtocoleStatus->setText(tr("Transaction->OK, relecture impossible : relire le badge"));
        operationEnd();
        return;
    }
    qDebug("Lecture:***%s***", qUtf8Printable(record));
    QString uid = RecordValue(record, "UID");
    if (uid.isEmpty())
        uid = transaction.targetUid;
    const qint64 balance = RecordBalance(record);
    const bool swapped = uid != transaction.targetUid;
    // Another badge answered: what became of the target is unknown.
    Operations.settle(transaction.id,
                      swapped ? BadgeOperation::Outcome::Unknown : BadgeOperation::Outcome::Done, balance);
    // The badge on the reader goes to the form as a read, in read mode only.
    if (Mode == 0 && !ui->BTN_BadgeCreate->isChecked()) {
        formEmpty();
        recordToForm(record);
        ui->SAI_UID->setText(uid);
        Form.uid = uid;
        Form.user = RecordValue(record, "Usr");
        Form.balance = balance;
    } else {
        presentedShow(record);
    }
    if (swapped) {
        resolveBy(uid, record);
        ui->SAI_ProtocoleStatus->setText(
            tr("Badge changé pendant la transaction : %1 attendu, %2 lu").arg(transaction.targetUid, uid));
    } else {
        ui->SAI_ProtocoleStatus->setText(tr("Lecture->OK"));
    }
    operationEnd();
}

void BadgePage::abandonClicked()
{
    QListWidgetItem *item = ui->LST_BadgePending->currentItem();
    if (!item)
        return;
    const quint64 id = item->data(Qt::UserRole).toULongLong();
    const BadgeOperation *operation = Operations.find(id);
    if (!operation)
        return;
    const QString title = operation->title();
    bool accepted = false;
    const QString reason =
        QInputDialog::getText(Window, tr("Abandonner l'opération"),
                              tr("%1 : résultat inconnu.\nRaison de l'abandon :").arg(title), QLineEdit::Normal,
                              QString(), &accepted)
            .simplified();
    if (!accepted || reason.isEmpty())
        return;
    QMessageBox box(QMessageBox::Question, tr("Abandonner l'opération"),
                    tr("Abandonner « %1 » ? Son résultat ne sera plus vérifié.").arg(title),
                    QMessageBox::Yes | QMessageBox::No, Window);
    box.setDefaultButton(QMessageBox::No);
    if (box.exec() != QMessageBox::Yes)
        return;
    Operations.abandon(id, reason);
    buttonsUpdate();
}

bool BadgePage::closeAllowed()
{
    if (CurrentId != 0) {
        QMessageBox box(QMessageBox::Question, tr("Fermer"),
                        tr("Une opération sur le badge est en cours : fermer quand même ?"),
                        QMessageBox::Yes | QMessageBox::No, Window);
        box.setDefaultButton(QMessageBox::No);
        if (box.exec() != QMessageBox::Yes)
            return false;
    }
    const int left = Operations.pending().size();
    if (left == 0)
        return true;
    QMessageBox box(QMessageBox::Question, tr("Fermer"),
                    tr("%n opération(s) à régler : leur résultat restera inconnu. Fermer quand même ?", nullptr,
                       left),
                    QMessageBox::Yes | QMessageBox::No, Window);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

// Each money operation and each creation writes one line when it is
// settled, and one more when an unknown outcome is cleared up.
void BadgePage::operationChanged(const BadgeOperation &operation)
{
    if (operation.resolution != BadgeOperation::Resolution::None)
        emit journal(operation.resolutionLine());
    else if (operation.settled() && operation.kind != BadgeOperation::Kind::Read)
        emit journal(operation.outcomeLine());
    if (operation.settled())
        pendingShow();
}

void BadgePage::pendingShow()
{
    const quint64 selected =
        ui->LST_BadgePending->currentItem() ? ui->LST_BadgePending->currentItem()->data(Qt::UserRole).toULongLong() : 0;
    ui->LST_BadgePending->clear();
    for (const BadgeOperation &operation : Operations.pending()) {
        const QString amount = operation.kind == BadgeOperation::Kind::Creation
                                   ? tr("utilisateur %1").arg(operation.user)
                                   : CentsText(operation.cents);
        auto *item = new QListWidgetItem(QStringLiteral("%1  %2 %3  %4")
                                             .arg(operation.targetUid, operation.kindText(), amount,
                                                  operation.plannedAt.toString("HH:mm:ss")),
                                         ui->LST_BadgePending);
        item->setData(Qt::UserRole, operation.id);
        item->setToolTip(operation.outcomeLine());
        if (operation.id == selected)
            ui->LST_BadgePending->setCurrentItem(item);
    }
    if (!ui->LST_BadgePending->currentItem() && ui->LST_BadgePending->count() > 0)
        ui->LST_BadgePending->setCurrentRow(0);
    ui->BTN_BadgePendingAbandon->setEnabled(ui->LST_BadgePending->count() > 0);
    buttonsUpdate();
}

void BadgePage::readerChanged(bool open, bool chainRunning)
{
    LinkOpen = open;
    ChainRunning = chainRunning;
    buttonsUpdate();
}

void BadgePage::buttonsUpdate()
{
    const bool idle = CurrentId == 0 && !ChainRunning;
    const QString busyTip = ChainRunning ? tr("Lecteur occupé") : QString();
    for (QPushButton *button : {ui->BTN_BadgeRead, ui->BTN_BadgeCreate}) {
        button->setEnabled(idle);
        button->setToolTip(busyTip);
    }
    const bool locked = !Form.uid.isEmpty() && Operations.isLocked(Form.uid);
    const bool allowed = LinkOpen && idle && !Form.uid.isEmpty() && !locked && !ui->BTN_BadgeCreate->isChecked();
    ui->BTN_TransactionDebit->setEnabled(allowed);
    ui->BTN_TransactionCredit->setEnabled(allowed);
    QString tip = busyTip;
    if (locked)
        tip = tr("Résultat de la dernière transaction inconnu : relire le badge");
    ui->BTN_TransactionDebit->setToolTip(tip);
    ui->BTN_TransactionCredit->setToolTip(tip);
}
