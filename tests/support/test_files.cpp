#include "test_files.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace testing_support {

bool HaveProgram(const QString& program) {
    return !QStandardPaths::findExecutable(program).isEmpty();
}

ProcessResult RunProgram(const QString& program, const QStringList& args, int timeoutMs) {
    QProcess p;
    p.start(program, args);
    ProcessResult r;
    if (!p.waitForStarted(timeoutMs))
        return r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.crashed = true;
    }
    r.crashed = r.crashed || p.exitStatus() == QProcess::CrashExit;
    r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

QByteArray ReadWholeFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

bool WriteWholeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QStringList MovingShapesArgs() {
    return {"-size",
            "48x32",
            "gradient:red-blue",
            "(",
            "-clone",
            "0",
            "-fill",
            "green",
            "-draw",
            "rectangle 5,4 14,11",
            ")",
            "(",
            "-clone",
            "0",
            "-fill",
            "yellow",
            "-draw",
            "rectangle 20,10 31,17",
            ")",
            "(",
            "-clone",
            "0",
            "-fill",
            "white",
            "-draw",
            "circle 30,20 34,24",
            ")",
            "-delete",
            "0"};
}

} // namespace testing_support
