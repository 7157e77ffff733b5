#ifndef CONFIGMODEL_H
#define CONFIGMODEL_H

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include "config/paramlogic.h"
#include "link/readeridentity.h"

// One reader parameter: what the operator sees and what the reader is
// known to hold.
struct ConfigParameter {
    QString identifier;
    QString label;
    QString kind;        // editor kind: "10" check box, "20" combo box
    int choiceCount = 0;  // options of a combo box
    QStringList choices;
    bool readOnly = false;
    QString value;        // as its editor shows it
    // The reader's value: from the last completed load, updated by what
    // saves wrote and had committed. Unknown until then.
    bool readerKnown = false;
    QString readerValue;
    bool readRefused = false;    // the last load asked and the reader refused
    // The value came from the reader, a file or the operator: a default
    // shown for want of anything better is never copied elsewhere.
    bool valueKnown = false;
    // A per-reader parameter whose value came from a file: listed for
    // writing only when the operator asks for it.
    bool fromFile = false;
    // A write of it may wait uncommitted in the reader, where a read shows
    // it as if stored: it is written and committed again, whatever a read
    // says, until a commit of its object.
    bool pendingInReader = false;
    QString lastWritten;  // the last value the reader accepted
    QString catalogueSave;      // the "Save" text before anything is known
    QString catalogueModified;  // the "Modifié" text before anything is known
    quint64 mark = 0;     // 0: in step; else the order of the change
    bool changed() const { return mark != 0; }
};

// A value as the operator reads it: a combo box's option, "Oui" or "Non"
// for a check box, other values as they are; a value the editor cannot
// show is "5 (valeur inconnue)".
QString ConfigValueText(const ConfigParameter &parameter, const QString &value);
// The value as its editor holds it: "0" or "1" for a check box, an option
// index for a combo box ("01" is "1"), any text for a plain parameter.
// False when the editor cannot show it; *canonical is then `value`.
bool ConfigValueCanonical(const ConfigParameter &parameter, const QString &value,
                          QString *canonical);
// Why the editor cannot take `value` ("0 ou 1 attendu"); empty when it can.
QString ConfigValueRefusal(const ConfigParameter &parameter, const QString &value);
// " (valeur inconnue)" as appended to such a value.
QString ConfigUnknownValueSuffix();

// A value to write, with the mark it had when the save took it.
struct ConfigChange {
    QString identifier;
    QString value;
    quint64 mark = 0;
    // A per-reader parameter set by a file: not written unless asked.
    bool perReader = false;
};

// One parameter read from the reader.
struct ConfigRead {
    QString identifier;
    bool accepted = false;
    QString value;
};

// The reader configuration, without any widget: one entry per parameter
// of the catalogue. A save writes exactly the changed parameters, in the
// order of their changes; a change is a value that differs from what the
// reader is known to hold (or whose reader value is unknown).
class ConfigModel : public QObject
{
    Q_OBJECT
public:
    explicit ConfigModel(QObject *parent = nullptr);

    int count() const { return m_parameters.size(); }
    const ConfigParameter &at(int index) const { return m_parameters.at(index); }
    const ConfigParameter *find(const QString &identifier) const;
    // The identifiers of the catalogue's parameter items in tree order, an
    // identifier that stands on two items twice: what a load reads and a
    // file holds.
    const QStringList &itemOrder() const { return m_itemOrder; }
    QString value(const QString &identifier) const;
    // A configuration was loaded from the reader or a file.
    bool hasConfiguration() const { return m_hasConfiguration; }

    // The operator's edit. The value is taken as its editor shows it (a
    // check box "1" or "0", a combo box a valid option index). False for
    // an unknown or read-only parameter: nothing changes.
    bool edit(const QString &identifier, const QString &value);
    // Why each line of a configuration file cannot be taken, one text per
    // line refused ("ligne 12 : 3.4.1=Non : 0 ou 1 attendu"): malformed,
    // unknown identifier, a value its editor cannot take, or a parameter
    // given twice with two values. A value equal to the reader's own is
    // always taken, so that a backup loads back.
    QStringList fileRefusals(const QList<ConfigLine> &lines) const;
    // A configuration file's lines, in file order: each line naming a
    // writable parameter with a value it takes sets it; one whose value
    // differs from the reader's (or whose reader value is unknown) is
    // marked. Read-only parameters keep the reader's values. Returns the
    // number of lines that named a parameter.
    int applyFile(const QList<ConfigLine> &lines);
    // A completed load from the reader: every value read becomes the
    // reader's and the operator's; nothing is marked afterwards.
    void applyReaderLoad(const QList<ConfigRead> &reads);

    // Values read from the reader outside a full load (before a write, or to
    // check one): they become what the reader is known to hold, and a
    // change equal to the reader's value is no change any more.
    void applyReaderValues(const QList<ConfigRead> &reads);
    // Another reader may stand on the port now (the link closed, was lost
    // or opened again): nothing known from the reader holds any more. The
    // operator's changes stay, marked against an unknown reader; values
    // that only came from the reader are no longer known.
    void forgetReader();
    // The identity of the reader the known values came from.
    ReaderIdentity readerIdentity() const;
    // A write was undone: the reader holds `value` again, and the change
    // waits for the next save.
    void writeUndone(const QString &identifier, const QString &value);
    // What the reader holds is not known any more (a write left half-done):
    // the value is written and committed again by the next save.
    void readerValueLost(const QString &identifier);

    // A value read back differs from the one written: the reader holds
    // `readValue` (empty when unknown), and the value is to be written again.
    void checkFailed(const QString &identifier, const QString &readValue, bool answered);
    // The parameters whose reader value is unknown, among `identifiers`.
    QStringList unknownToReader(const QStringList &identifiers) const;
    // A configuration file of the values known from the reader, in tree
    // order: what a write replaces.
    QByteArray readerValuesContent() const;

    // What a save writes: the changed writable parameters in mark order.
    QList<ConfigChange> changes() const;
    // The reader accepted a write (not yet committed).
    void writeAccepted(const ConfigChange &change);
    // The reader committed `object`: it now holds the values written to it.
    void objectCommitted(const QString &object, const QList<ConfigChange> &written);
    // Written but not committed: the reader may drop them, so the next save
    // writes them again.
    void markAgain(const QList<ConfigChange> &written);

    // The "Modifié" text of a parameter: its mark, "0" in step with the
    // reader, the catalogue's text while nothing is known.
    QString modifiedText(const QString &identifier) const;

    // The value a parameter holds for the reader's `text`: its editor's
    // form when the editor can show it, else the text as given.
    static QString EditorValue(const ConfigParameter &parameter, const QString &text);

signals:
    // Value, mark or last written value of one parameter changed.
    void parameterChanged(const QString &identifier);

private:
    ConfigParameter *findMutable(const QString &identifier);
    QHash<int, QString> lineRefusals(const QList<ConfigLine> &lines) const;
    void remark(ConfigParameter &parameter);
    void setValue(ConfigParameter &parameter, const QString &value);

    QVector<ConfigParameter> m_parameters;
    QHash<QString, int> m_index;
    QStringList m_itemOrder;
    quint64 m_counter = 0;
    bool m_hasConfiguration = false;
};

#endif
