#pragma once

// Runs a program to its end and keeps what it said: the tests of the command
// line, the containers and the installed tree; whole files read and written.

#include <QtCore>

inline QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
inline bool Save(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

struct ProgramRun {
    int exitCode = -1; // -1: did not start or finish, -2: crashed
    QByteArray out, err;
};

// `environment` replaces the process environment (unset: this process's).
inline ProgramRun
RunProgram(const QString& program, const QStringList& args, const QString& workingDirectory = {},
           const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(environment);
    p.setWorkingDirectory(workingDirectory);
    p.start(program, args);
    ProgramRun r;
    if (!p.waitForStarted(10000) || !p.waitForFinished(60000))
        return r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// The program itself, run without a display: the converter must not need one.
inline const QString kVistrom = QStringLiteral(VISTROM_BIN_DIR "/vistrom");
inline ProgramRun RunVistrom(const QStringList& args, const QString& workingDirectory = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(name);
    return RunProgram(kVistrom, args, workingDirectory, env);
}
