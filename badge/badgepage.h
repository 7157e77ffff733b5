#ifndef BADGEPAGE_H
#define BADGEPAGE_H

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <functional>

#include "badge/badgeoperation.h"

namespace Ui {
class MainWindow;
}
class QLineEdit;
class QTimer;
class QWidget;

// The page "Clé/Carte": the badge form, the read and creation modes, the
// view of a badge presented in creation mode, debit and credit, and the
// operations whose outcome is unknown. It works through one badge
// operation at a time; an answer lands where the operation in flight at
// its arrival says, never where a request sent earlier meant it to.
class BadgePage : public QObject
{
    Q_OBJECT
public:
    struct Link {
        // Sends when the command slot is free; false when nothing was sent.
        std::function<bool(char, char, const QString &, unsigned int, unsigned int)> send;
        std::function<void(bool)> setPolling;
        std::function<QString(const QString &, const QString &)> settingText;
        std::function<int(const QString &, int)> settingInt;
        std::function<void(const QString &, const QString &)> settingWrite;
    };

    // mode is the window's BadgeMode: 0 read, 1 creation.
    BadgePage(QWidget *window, Ui::MainWindow *ui, int &mode, Link link);

    // Where a record of the badge operations hooks on.
    BadgeOperations &operations() { return Operations; }

    QString recordFromForm() const;
    void recordToForm(const QString &record);
    void formClear();
    void createDefaults();

    void readClicked();
    void createClicked();
    void transactionClicked(bool debit);
    void abandonClicked();
    // Debit and credit need the link; every badge button waits for a chain.
    void readerChanged(bool open, bool chainRunning);
    // False when the operator keeps the window open.
    bool closeAllowed();

    void pollEvent(const QString &answer);
    void pollNoSupport();
    void pollTimeout();
    void createAnswer(bool ok, char status);
    void readAnswer(bool ok, char status, const QString &record);
    void transactionAnswer(bool ok, char status, const QString &text = QString());

signals:
    void journal(const QString &line);

private:
    // A badge read into the form: the one a debit or credit is meant for.
    struct FormBadge {
        QString uid;
        QString user;
        qint64 balance = BadgeOperation::NoBalance;
    };

    void prepareForm();
    void amountFieldCheck(QLineEdit *field, bool zeroAllowed);
    void formEmpty();

    void readPollFollowUp(const QString &answer, bool supportOk, quint32 status);
    void creationPollFollowUp(const QString &answer, bool creationAllowed, bool supportOk);
    void readStart(const QString &expectedUid, unsigned int timeoutMs);
    void creationStart(const QString &uid);
    bool creationFormValid();
    void userNumberUsed(const QString &user);
    void userNumberIncrement();
    void presentedShow(const QString &record);

    void readSettle(const BadgeOperation &read, const QString &record);
    void rereadSettle(const BadgeOperation &transaction, bool ok, char status, const QString &record);
    void rereadStart(quint64 transactionId);
    void rereadImpossible(quint64 transactionId);
    void resolveBy(const QString &uid, const QString &record);
    bool transactionRefused(const QString &amountText, qint64 *cents);

    // Sends the operation's request once the command slot is free (polling
    // gives way meanwhile), or gives up after the longest time-out.
    void sendWhenFree(quint64 id, char c2, const QString &payload, unsigned int arg, unsigned int timeoutMs,
                      const std::function<void(bool sent, const QString &reason)> &done);
    void slotTry();
    void operationEnd();
    void pollingResume();
    void operationChanged(const BadgeOperation &operation);
    void pendingShow();
    void buttonsUpdate();
    const BadgeOperation *current() const;

    QWidget *Window;
    Ui::MainWindow *ui;
    int &Mode;
    Link Send;
    BadgeOperations Operations;

    // The operation in flight: 0 when the page is idle.
    quint64 CurrentId = 0;
    FormBadge Form;
    // The UID the last poll event reported.
    QString PollUid;
    // The badge presented in creation mode was reported valid by its poll.
    bool PresentedValid = false;
    QString PresentedUid;

    // A poll event or removal that came while an operation was in flight.
    QString DeferredPoll;
    bool DeferredRemoval = false;
    // Polling was switched off for an operation waiting for the slot.
    bool PollingPaused = false;

    bool LinkOpen = false;
    bool ChainRunning = false;

    struct SlotWait {
        quint64 id = 0;
        std::function<bool()> attempt;
        std::function<void(bool, const QString &)> done;
        QElapsedTimer since;
    } Waiting;
    QTimer *SlotTimer = nullptr;
};

#endif
