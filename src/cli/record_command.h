#pragma once
#include <QStringList>

struct CliParts;

// frameloop-cli record: records a screen rectangle through the capture engine
// and builds the GIF, with no window.
extern const char* const kRecordUsage;
// `args` are the arguments after the command name. Needs an application
// object for its event loop; makes a QCoreApplication when there is none.
int RunRecord(const QStringList& args, const CliParts& parts);
