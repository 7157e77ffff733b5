#ifndef CONFIGMODEL_H
#define CONFIGMODEL_H

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include "config/paramlogic.h"

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
    QString lastWritten;  // the last value the reader accepted
    QString catalogueModified;  // the "Modifié" text before anything is known
    quint64 mark = 0;     // 0: in step; else the order of the change
    bool changed() const { return mark != 0; }
};

// A value as the operator reads it: a combo box's option, "Oui" or "Non"
// for a check box, other values as they are.
QString ConfigValueText(const ConfigParameter &parameter, const QString &value);

// A value to write, with the mark it had when the save took it.
struct ConfigChange {
    QString identifier;
    QString value;
    quint64 mark = 0;
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
    // A configuration file's lines, in file order: each line naming a
    // parameter sets its value; a writable parameter whose value differs
    // from the reader's (or whose reader value is unknown) is marked.
    // Returns the number of lines that named a parameter.
    int applyFile(const QList<ConfigLine> &lines);
    // A completed load from the reader: every value read becomes the
    // reader's and the operator's; nothing is marked afterwards.
    void applyReaderLoad(const QList<ConfigRead> &reads);

    // Values read from the reader outside a full load (before a write, or to
    // check one): they become what the reader is known to hold, and a
    // change equal to the reader's value is no change any more.
    void applyReaderValues(const QList<ConfigRead> &reads);
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

    // The value a parameter's editor takes for `text`: "1"/"0" for a check
    // box, the index for a combo box (an invalid one keeps `current`).
    static QString EditorValue(const ConfigParameter &parameter, const QString &text,
                               const QString &current);

signals:
    // Value, mark or last written value of one parameter changed.
    void parameterChanged(const QString &identifier);

private:
    ConfigParameter *findMutable(const QString &identifier);
    void remark(ConfigParameter &parameter);
    void setValue(ConfigParameter &parameter, const QString &value);

    QVector<ConfigParameter> m_parameters;
    QHash<QString, int> m_index;
    QStringList m_itemOrder;
    quint64 m_counter = 0;
    bool m_hasConfiguration = false;
};

#endif
