#ifndef BADGEPAGE_H
#define BADGEPAGE_H

#include <QObject>
#include <QString>
#include <functional>

namespace Ui {
class MainWindow;
}
class QLineEdit;
class QWidget;

// The page "Clé/Carte": the badge form, the read and creation modes, the
// view of a badge presented in creation mode, and debit and credit. It
// sends commands through its link and is handed the answers already
// fetched, so it does not care who routes them.
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
    };

    // mode is the window's BadgeMode: 0 read, 1 creation.
    BadgePage(QWidget *window, Ui::MainWindow *ui, int &mode, Link link);

    QString recordFromForm() const;
    void recordToForm(const QString &record);
    void formClear();
    void createDefaults();

    void readClicked();
    void createClicked();
    void transactionClicked(bool debit);
    // Debit and credit need the link.
    void linkChanged(bool open);

    void pollEvent(const QString &answer);
    void pollNoSupport();
    void pollTimeout();
    void createAnswer(bool ok, char status);
    void readAnswer(bool ok, char status, const QString &record);
    void transactionAnswer(bool ok, char status);

private:
    enum class ReadInto { Nothing, Form, View, FormAfterTransaction };

    void prepareForm();
    void amountFieldCheck(QLineEdit *field, bool zeroAllowed);
    void readRequest(ReadInto into, unsigned int timeoutMs);
    void creationRequest(const QString &pollAnswer);
    void presentedShow(const QString &record);
    void userNumberIncrement();
    void transactionEnd();
    void transactionButtonsUpdate();
    bool transactionRefused(const QString &amountText, qint64 *cents);
    void outcomeKnownIf(const QString &record);

    QWidget *Window;
    Ui::MainWindow *ui;
    int &Mode;
    Link Send;

    ReadInto PendingRead = ReadInto::Nothing;
    // The badge presented in creation mode was reported valid by its poll.
    bool PresentedValid = false;
    QString PresentedUid;

    bool LinkOpen = false;
    // From the click until the transaction and its re-read have ended.
    bool TransactionRunning = false;
    QString TransactionUid;
    // A transaction went unanswered: it may or may not have been applied.
    // Debit and credit wait for a read of that badge.
    bool OutcomeUnknown = false;
    QString UnknownUid;
};

#endif
