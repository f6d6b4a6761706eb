#pragma once
// Helpers shared by the tests: scratch folders, running outside programs.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace testing_support {

// True when `program` is on PATH.
bool HaveProgram(const QString& program);

struct ProcessResult {
    int exitCode = -1;
    bool crashed = false;
    QByteArray out;
    QByteArray err;
};

// Runs a program to completion (at most `timeoutMs`), capturing its output.
ProcessResult RunProgram(const QString& program, const QStringList& args, int timeoutMs = 60000);

QByteArray ReadWholeFile(const QString& path);
bool WriteWholeFile(const QString& path, const QByteArray& bytes);

// ImageMagick `convert` arguments for three 48x32 frames, a gradient with a
// different shape drawn on each; the caller appends options and the output.
QStringList MovingShapesArgs();

} // namespace testing_support
