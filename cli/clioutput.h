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
    // Every message names the port once it is known.
    void setPort(const QString &port) { m_port = port; }
    // The command's data goes to standard output (FILE "-"): its summary
    // lines go to standard error, out of the data's way.
    void setDataOnStdout(bool onStdout) { m_dataOnStdout = onStdout; }
    // A result line (text mode only: in JSON the data says it).
    void result(const QString &line);
    // A job's outcome or failure line: a result, kept in the JSON object
    // under "summary" too.
    void summary(const QString &line);
    // A message for the technician; kept in the JSON object too.
    void message(const QString &text);
    // "Lecture 57 / 143", on one line that keeps being rewritten on a
    // terminal; nothing unless progress was asked for.
    void progress(const QString &name, int done, int total);
    // The command's data on standard output; false (said) when it could
    // not be written whole.
    bool writeData(const QByteArray &bytes);

    void set(const QString &key, const QJsonValue &value) { m_data.insert(key, value); }
    void append(const QString &key, const QJsonValue &value);

    // Ends the run: the JSON object, when asked for. Returns `exitStatus`,
    // or 74 when a result of a run that succeeded could not be written.
    int finish(const QString &command, const QString &port, int exitStatus);

    // Whether standard error is a terminal: progress is shown by default.
    static bool ErrorIsTerminal();

private:
    void endProgressLine();
    QString withPort(const QString &text) const;
    bool writeOut(const QByteArray &bytes);

    bool m_json;
    bool m_progress;
    FILE *m_out;
    FILE *m_err;
    QString m_port;
    bool m_dataOnStdout = false;
    bool m_progressOnLine = false;
    int m_outError = -1;  // errno of the first failed write to m_out; -1: none
    QString m_lastProgress;
    QJsonObject m_data;
    QJsonArray m_messages;
};

#endif
