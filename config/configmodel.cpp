#include "config/configmodel.h"

#include <algorithm>

#include "config/catalogue.h"

namespace {
const QString Zero = QStringLiteral("0");
const QString ReadOnlyAttribute = QStringLiteral("1");
}

QString ConfigValueText(const ConfigParameter &parameter, const QString &value)
{
    if (parameter.kind == QLatin1String(KindCheckBox))
        return CheckStateFromText(value) ? QObject::tr("Oui") : QObject::tr("Non");
    int index = 0;
    if (parameter.kind == QLatin1String(KindComboBox)
        && ComboIndexFromText(value, parameter.choiceCount, &index))
        return parameter.choices.at(index);
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

QString ConfigModel::EditorValue(const ConfigParameter &parameter, const QString &text,
                                 const QString &current)
{
    if (parameter.kind == QLatin1String(KindCheckBox))
        return CheckStateFromText(text) ? QStringLiteral("1") : Zero;
    if (parameter.kind == QLatin1String(KindComboBox)) {
        int index = 0;
        return ComboIndexFromText(text, parameter.choiceCount, &index) ? QString::number(index)
                                                                        : current;
    }
    return text;
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
    parameter.value = EditorValue(parameter, value, parameter.value);
    parameter.valueKnown = true;
    if (!parameter.readOnly)
        remark(parameter);
    emit parameterChanged(parameter.identifier);
}

bool ConfigModel::edit(const QString &identifier, const QString &value)
{
    ConfigParameter *parameter = findMutable(identifier);
    if (!parameter || parameter->readOnly)
        return false;
    if (EditorValue(*parameter, value, parameter->value) != parameter->value)
        setValue(*parameter, value);
    return true;
}

int ConfigModel::applyFile(const QList<ConfigLine> &lines)
{
    int named = 0;
    for (const ConfigLine &line : lines) {
        ConfigParameter *parameter = findMutable(line.identifier);
        if (!parameter)
            continue;
        ++named;
        setValue(*parameter, line.value);
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
            parameter->value = EditorValue(*parameter, read.value, parameter->value);
            parameter->readerValue = parameter->value;
            parameter->valueKnown = true;
        }
    }
    // A fresh start: what the operator changes from now on is numbered anew.
    m_counter = 0;
    for (ConfigParameter &parameter : m_parameters)
        parameter.mark = 0;
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
        parameter->readerValue = EditorValue(*parameter, read.value, parameter->value);
        if (parameter->mark != 0 && parameter->value == parameter->readerValue)
            parameter->mark = 0;
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
        parameter->readerValue = EditorValue(*parameter, readValue, readValue);
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
    for (const QString &identifier : m_itemOrder) {
        const ConfigParameter *parameter = find(identifier);
        if (parameter->readerKnown)
            content += ConfigFileLine(identifier, parameter->readerValue);
    }
    return content;
}

QList<ConfigChange> ConfigModel::changes() const
{
    QList<ConfigChange> list;
    for (const ConfigParameter &parameter : m_parameters) {
        if (parameter.changed() && !parameter.readOnly)
            list.append({parameter.identifier, parameter.value, parameter.mark});
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
    if (parameter->mark == change.mark)
        parameter->mark = 0;
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
