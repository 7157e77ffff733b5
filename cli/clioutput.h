#ifndef CLIOUTPUT_H
#define CLIOUTPUT_H

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <cstdio>

// Where a run's results and messages go. Results on standard output: text
// lines, or with --json one object per result for a fleet tool to parse.
// Messages and progress on standard error, for the technician.
class CliOutput
{
public:
    CliOutput(bool json, bool progress, FILE *out = stdout, FILE *err = stderr);

    bool json() const { return m_json; }
    // A result line (text mode only: in JSON the data says it).
    void result(const QString &line);
    // A message for the technician; kept in the JSON object too.
    void message(const QString &text);
    // "Lecture 57 / 143", on one line that keeps being rewritten on a
    // terminal; nothing unless progress was asked for.
    void progress(const QString &name, int done, int total);

    void set(const QString &key, const QJsonValue &value) { m_data.insert(key, value); }
    void append(const QString &key, const QJsonValue &value);

    // Ends the run: the JSON object, when asked for. Returns `exitStatus`.
    int finish(const QString &command, const QString &port, int exitStatus);

    // Whether standard error is a terminal: progress is shown by default.
    static bool ErrorIsTerminal();

private:
    void endProgressLine();

    bool m_json;
    bool m_progress;
    FILE *m_out;
    FILE *m_err;
    bool m_progressOnLine = false;
    QString m_lastProgress;
    QJsonObject m_data;
    QJsonArray m_messages;
};

#endif
