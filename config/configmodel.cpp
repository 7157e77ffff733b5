#include "config/configmodel.h"

#include <algorithm>

#include "config/catalogue.h"

namespace {
const QString Zero = QStringLiteral("0");
const QString ReadOnlyAttribute = QStringLiteral("1");
}

namespace {
bool IsDigits(const QString &text)
{
    return !text.isEmpty()
           && std::all_of(text.cbegin(), text.cend(),
                          [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

bool IsCheckBox(const ConfigParameter &parameter)
{
    return parameter.kind == QLatin1String(KindCheckBox);
}

bool IsComboBox(const ConfigParameter &parameter)
{
    return parameter.kind == QLatin1String(KindComboBox);
}
}

bool ConfigValueCanonical(const ConfigParameter &parameter, const QString &value,
                          QString *canonical)
{
    *canonical = value;
    if (IsCheckBox(parameter))
        return value == QLatin1String("0") || value == QLatin1String("1");
    if (!IsComboBox(parameter))
        return true;
    int index = 0;
    if (!IsDigits(value) || value.size() > 6 || !ComboIndexFromText(value, parameter.choiceCount, &index))
        return false;
    *canonical = QString::number(index);
    return true;
}

QString ConfigValueRefusal(const ConfigParameter &parameter, const QString &value)
{
    QString canonical;
    if (ConfigValueCanonical(parameter, value, &canonical))
        return QString();
    if (IsCheckBox(parameter))
        return QObject::tr("0 ou 1 attendu");
    return QObject::tr("numéro d'option de 0 à %1 attendu").arg(parameter.choiceCount - 1);
}

QString ConfigUnknownValueSuffix()
{
    return QObject::tr(" (valeur inconnue)");
}

QString ConfigValueText(const ConfigParameter &parameter, const QString &value)
{
    QString canonical;
    if (!ConfigValueCanonical(parameter, value, &canonical))
        return value + ConfigUnknownValueSuffix();
    if (IsCheckBox(parameter))
        return canonical == QLatin1String("1") ? QObject::tr("Oui") : QObject::tr("Non");
    if (IsComboBox(parameter))
        return parameter.choices.at(canonical.toInt());
    return value;
}

ConfigModel::ConfigModel(QObject *parent) : QObject(parent)
{
    for (int i = 0; i < CatalogueItemCount; ++i) {
        const CatalogueItem &item = CatalogueItems[i];
        const QString identifier = QString::fromUtf8(item.identifier);
        if (identifier.isEmpty())
            continue;
        m_itemOrder << identifier;
        if (m_index.contains(identifier))
            continue;
        ConfigParameter parameter;
        parameter.identifier = identifier;
        parameter.label = QString::fromUtf8(item.label);
        parameter.kind = QString::fromUtf8(item.kind);
        parameter.choices = QString::fromUtf8(item.choices).split(QLatin1Char(';'));
        parameter.choiceCount = parameter.choices.size();
        parameter.readOnly = QString::fromUtf8(item.attribute) == ReadOnlyAttribute;
        // An editor shows its first state before anything is known.
        const bool editor = parameter.kind == QLatin1String(KindCheckBox)
                            || parameter.kind == QLatin1String(KindComboBox);
        parameter.value = editor ? Zero : QString::fromUtf8(item.value);
        parameter.lastWritten = QString::fromUtf8(item.save);
        parameter.catalogueSave = parameter.lastWritten;
        parameter.catalogueModified = QString::fromUtf8(item.modified);
        m_index.insert(identifier, m_parameters.size());
        m_parameters.append(parameter);
    }
}

const ConfigParameter *ConfigModel::find(const QString &identifier) const
{
    const auto it = m_index.constFind(identifier);
    return it == m_index.constEnd() ? nullptr : &m_parameters.at(*it);
}

ConfigParameter *ConfigModel::findMutable(const QString &identifier)
{
    const auto it = m_index.constFind(identifier);
    return it == m_index.constEnd() ? nullptr : &m_parameters[*it];
}

QString ConfigModel::value(const QString &identifier) const
{
    const ConfigParameter *parameter = find(identifier);
    return parameter ? parameter->value : QString();
}

QString ConfigModel::EditorValue(const ConfigParameter &parameter, const QString &text)
{
    QString canonical;
    ConfigValueCanonical(parameter, text, &canonical);
    return canonical;
}

// Marked when it differs from what the reader holds, or nobody knows that.
void ConfigModel::remark(ConfigParameter &parameter)
{
    if (parameter.readerKnown && parameter.value == parameter.readerValue)
        parameter.mark = 0;
    else
        parameter.mark = ++m_counter;
}

void ConfigModel::setValue(ConfigParameter &parameter, const QString &value)
{
    parameter.value = EditorValue(parameter, value);
    parameter.valueKnown = true;
    parameter.fromFile = false;
    if (!parameter.readOnly)
        remark(parameter);
    emit parameterChanged(parameter.identifier);
}

bool ConfigModel::edit(const QString &identifier, const QString &value)
{
    ConfigParameter *parameter = findMutable(identifier);
    if (!parameter || parameter->readOnly)
        return false;
    // A value the editor cannot show (the reader's unknown one) is never
    // the operator's choice: picking it again changes nothing.
    QString canonical;
    if (!ConfigValueCanonical(*parameter, value, &canonical))
        return canonical == parameter->value;
    if (canonical != parameter->value || parameter->fromFile)
        setValue(*parameter, canonical);
    return true;
}

namespace {
QString LineRefused(const ConfigLine &line, const QString &reason)
{
    return QObject::tr("ligne %1 : %2 : %3").arg(line.number).arg(line.text(), reason);
}
}

// The reason each refused line is refused, by its place in `lines`.
QHash<int, QString> ConfigModel::lineRefusals(const QList<ConfigLine> &lines) const
{
    QHash<int, QString> refusals;
    QHash<QString, const ConfigLine *> first;
    for (int i = 0; i < lines.size(); ++i) {
        const ConfigLine &line = lines.at(i);
        const ConfigParameter *parameter = find(line.identifier);
        if (!line.hasEquals) {
            refusals.insert(i, LineRefused(line, tr("« = » manquant")));
            continue;
        }
        if (!parameter) {
            refusals.insert(i, LineRefused(line, tr("paramètre inconnu")));
            continue;
        }
        if (const ConfigLine *earlier = first.value(line.identifier)) {
            if (earlier->value != line.value)
                refusals.insert(i, LineRefused(line, tr("déjà donné ligne %1 avec une autre valeur")
                                                         .arg(earlier->number)));
            continue;
        }
        first.insert(line.identifier, &line);
        const bool readersOwn = parameter->readerKnown && line.value == parameter->readerValue;
        if (parameter->readOnly || readersOwn)
            continue;
        const QString reason = ConfigValueRefusal(*parameter, line.value);
        if (!reason.isEmpty())
            refusals.insert(i, LineRefused(line, reason));
    }
    return refusals;
}

QStringList ConfigModel::fileRefusals(const QList<ConfigLine> &lines) const
{
    const QHash<int, QString> refusals = lineRefusals(lines);
    QStringList texts;
    for (int i = 0; i < lines.size(); ++i)
        if (refusals.contains(i))
            texts << refusals.value(i);
    return texts;
}

int ConfigModel::applyFile(const QList<ConfigLine> &lines)
{
    int named = 0;
    const QHash<int, QString> refused = lineRefusals(lines);
    for (int i = 0; i < lines.size(); ++i) {
        const ConfigLine &line = lines.at(i);
        ConfigParameter *parameter = findMutable(line.identifier);
        if (!parameter || !line.hasEquals)
            continue;
        ++named;
        // The reader's versions and clock are the reader's, never a file's.
        if (parameter->readOnly || refused.contains(i))
            continue;
        QString canonical;
        ConfigValueCanonical(*parameter, line.value, &canonical);
        setValue(*parameter, canonical);
        parameter->fromFile = IsPerReaderParameter(parameter->identifier) && parameter->changed();
    }
    if (named > 0)
        m_hasConfiguration = true;
    return named;
}

void ConfigModel::applyReaderLoad(const QList<ConfigRead> &reads)
{
    for (const ConfigRead &read : reads) {
        ConfigParameter *parameter = findMutable(read.identifier);
        if (!parameter)
            continue;
        parameter->readRefused = !read.accepted;
        parameter->readerKnown = read.accepted;
        if (read.accepted) {
            parameter->value = EditorValue(*parameter, read.value);
            parameter->readerValue = parameter->value;
            parameter->valueKnown = true;
            parameter->fromFile = false;
        }
    }
    // A fresh start: what the operator changes from now on is numbered anew;
    // a value that may wait uncommitted is still to be committed.
    m_counter = 0;
    for (ConfigParameter &parameter : m_parameters)
        parameter.mark = parameter.pendingInReader && !parameter.readOnly ? ++m_counter : 0;
    m_hasConfiguration = true;
    for (const ConfigParameter &parameter : qAsConst(m_parameters))
        emit parameterChanged(parameter.identifier);
}

void ConfigModel::applyReaderValues(const QList<ConfigRead> &reads)
{
    for (const ConfigRead &read : reads) {
        ConfigParameter *parameter = findMutable(read.identifier);
        if (!parameter || !read.accepted)
            continue;
        parameter->readRefused = false;
        parameter->readerKnown = true;
        parameter->readerValue = EditorValue(*parameter, read.value);
        if (parameter->mark != 0 && parameter->value == parameter->readerValue
            && !parameter->pendingInReader) {
            parameter->mark = 0;
            parameter->fromFile = false;
        }
        emit parameterChanged(parameter->identifier);
    }
}

void ConfigModel::checkFailed(const QString &identifier, const QString &readValue, bool answered)
{
    ConfigParameter *parameter = findMutable(identifier);
    if (!parameter)
        return;
    parameter->readerKnown = answered;
    if (answered)
        parameter->readerValue = EditorValue(*parameter, readValue);
    if (parameter->mark == 0)
        parameter->mark = ++m_counter;
    emit parameterChanged(identifier);
}

void ConfigModel::forgetReader()
{
    for (ConfigParameter &parameter : m_parameters) {
        // In step with the old reader: the value was that reader's. A change
        // keeps its mark and its place in the write order.
        if (!parameter.changed())
            parameter.valueKnown = false;
        parameter.readerKnown = false;
        parameter.readerValue.clear();
        parameter.readRefused = false;
        parameter.lastWritten = parameter.catalogueSave;
        emit parameterChanged(parameter.identifier);
    }
}

ReaderIdentity ConfigModel::readerIdentity() const
{
    ReaderIdentity identity;
    for (const QString &identifier : ReaderIdentity::Identifiers()) {
        const ConfigParameter *parameter = find(identifier);
        identity.take(identifier, parameter && parameter->readerKnown,
                      parameter ? parameter->readerValue : QString());
    }
    return identity;
}

void ConfigModel::writeUndone(const QString &identifier, const QString &value)
{
    ConfigParameter *parameter = findMutable(identifier);
    if (!parameter)
        return;
    parameter->readerKnown = true;
    parameter->readerValue = value;
    parameter->lastWritten = value;
    parameter->pendingInReader = false;
    if (parameter->mark == 0 && parameter->value != value)
        parameter->mark = ++m_counter;
    emit parameterChanged(identifier);
}

void ConfigModel::readerValueLost(const QString &identifier)
{
    ConfigParameter *parameter = findMutable(identifier);
    if (!parameter)
        return;
    parameter->readerKnown = false;
    parameter->pendingInReader = true;
    if (parameter->mark == 0)
        parameter->mark = ++m_counter;
    emit parameterChanged(identifier);
}

QStringList ConfigModel::unknownToReader(const QStringList &identifiers) const
{
    QStringList unknown;
    for (const QString &identifier : identifiers) {
        const ConfigParameter *parameter = find(identifier);
        if (parameter && !parameter->readerKnown && !unknown.contains(identifier))
            unknown << identifier;
    }
    return unknown;
}

QByteArray ConfigModel::readerValuesContent() const
{
    QByteArray content;
    for (const ConfigParameter &parameter : m_parameters) {
        if (parameter.readerKnown)
            content += ConfigFileLine(parameter.identifier, parameter.readerValue);
    }
    return content;
}

QList<ConfigChange> ConfigModel::changes() const
{
    QList<ConfigChange> list;
    for (const ConfigParameter &parameter : m_parameters) {
        if (parameter.changed() && !parameter.readOnly)
            list.append({parameter.identifier, parameter.value, parameter.mark, parameter.fromFile});
    }
    std::stable_sort(list.begin(), list.end(),
                     [](const ConfigChange &a, const ConfigChange &b) { return a.mark < b.mark; });
    return list;
}

void ConfigModel::writeAccepted(const ConfigChange &change)
{
    ConfigParameter *parameter = findMutable(change.identifier);
    if (!parameter)
        return;
    parameter->lastWritten = change.value;
    // Changed again meanwhile: that change still waits for a save.
    if (parameter->mark == change.mark) {
        parameter->mark = 0;
        parameter->fromFile = false;
    }
    emit parameterChanged(parameter->identifier);
}

void ConfigModel::objectCommitted(const QString &object, const QList<ConfigChange> &written)
{
    for (const ConfigChange &change : written) {
        if (ObjectNumber(change.identifier) != object)
            continue;
        if (ConfigParameter *parameter = findMutable(change.identifier)) {
            parameter->readerKnown = true;
            parameter->readerValue = change.value;
            parameter->pendingInReader = false;
        }
    }
}

void ConfigModel::markAgain(const QList<ConfigChange> &written)
{
    for (const ConfigChange &change : written) {
        ConfigParameter *parameter = findMutable(change.identifier);
        if (parameter && parameter->mark == 0) {
            parameter->mark = ++m_counter;
            emit parameterChanged(parameter->identifier);
        }
    }
}

QString ConfigModel::modifiedText(const QString &identifier) const
{
    const ConfigParameter *parameter = find(identifier);
    if (!parameter)
        return QString();
    if (parameter->mark != 0)
        return QString::number(parameter->mark);
    if (parameter->readerKnown || parameter->readRefused || !parameter->lastWritten.isEmpty())
        return Zero;
    return parameter->catalogueModified;
}
